#include "app/window/passwordkeyring.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>
#include <QTimer>

namespace {

const QString service = QStringLiteral("Tablesmith");
const int waitMs = 5000;

// Runs the job to its end; a keyring that does not answer in time counts as
// none.
PasswordKeyring::Result run(QKeychain::Job *job, QString *text = nullptr)
{
    // Never the plain-text file QtKeychain can fall back to.
    job->setInsecureFallback(false);
    PasswordKeyring::Result result;
    QEventLoop loop;
    bool finished = false;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        switch (job->error()) {
        case QKeychain::NoError:
            result.status = PasswordKeyring::Status::Done;
            if (text)
                *text = static_cast<QKeychain::ReadPasswordJob *>(job)->textData();
            break;
        case QKeychain::EntryNotFound:
            result.status = PasswordKeyring::Status::NotFound;
            break;
        case QKeychain::NoBackendAvailable:
        case QKeychain::NotImplemented:
            result.status = PasswordKeyring::Status::Unavailable;
            break;
        default:
            result.status = PasswordKeyring::Status::Failed;
        }
        result.error = job->errorString();
        loop.quit();
    });
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    job->start();
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!finished) {
        // It deletes itself when it ends after all.
        QObject::disconnect(job, nullptr, &loop, nullptr);
        result.status = PasswordKeyring::Status::Unavailable;
        result.error = QStringLiteral("the keyring did not answer");
    }
    return result;
}

} // namespace

QString PasswordKeyring::key(const QString &user, const QString &host, int port)
{
    return QStringLiteral("%1@%2:%3").arg(user, host).arg(port);
}

PasswordKeyring::Result PasswordKeyring::read(const QString &key)
{
    auto *job = new QKeychain::ReadPasswordJob(service);
    job->setKey(key);
    QString password;
    Result result = run(job, &password);
    result.password = password;
    return result;
}

PasswordKeyring::Result PasswordKeyring::write(const QString &key, const QString &password)
{
    auto *job = new QKeychain::WritePasswordJob(service);
    job->setKey(key);
    job->setTextData(password);
    return run(job);
}

PasswordKeyring::Result PasswordKeyring::remove(const QString &key)
{
    auto *job = new QKeychain::DeletePasswordJob(service);
    job->setKey(key);
    return run(job);
}

PasswordKeyring::Result PasswordKeyring::probe()
{
    Result result = read(QStringLiteral("probe"));
    if (result.status == Status::NotFound)
        result.status = Status::Done;
    return result;
}
