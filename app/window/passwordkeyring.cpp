#include "app/window/passwordkeyring.h"

#include <qt6keychain/keychain.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace {

const QString service = QStringLiteral("Tablesmith");
const int waitMs = 5000;

QThread *g_thread = nullptr;

// QtKeychain runs its jobs one at a time through a queue that lives on the
// thread of the first job, so every job is made on this one thread, which
// lasts as long as the application. Jobs still open when it ends are given
// up; a hanging keyring delays the exit by a few seconds at most.
QThread *keyringThread()
{
    if (!g_thread) {
        g_thread = new QThread;
        g_thread->setObjectName(QStringLiteral("keyring"));
        g_thread->start();
        qAddPostRoutine([] {
            g_thread->quit();
            if (g_thread->wait(waitMs)) {
                delete g_thread;
                g_thread = nullptr;
            }
        });
    }
    return g_thread;
}

PasswordKeyring::Result resultOf(QKeychain::Job *job)
{
    PasswordKeyring::Result result;
    switch (job->error()) {
    case QKeychain::NoError:
        result.status = PasswordKeyring::Status::Done;
        if (auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(job))
            result.password = read->textData();
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
    return result;
}

// Makes the job on the keyring's thread and starts it; its answer, or the
// lack of one, reaches `done` on the thread of `context`.
void start(std::function<QKeychain::Job *()> makeJob, QObject *context, PasswordKeyring::Done done)
{
    auto *reply = new KeyringReply;
    if (context && done)
        QObject::connect(reply, &KeyringReply::answered, context, std::move(done));
    reply->moveToThread(keyringThread());
    QMetaObject::invokeMethod(reply, [reply, makeJob = std::move(makeJob)] {
        QKeychain::Job *job = makeJob();
        // Never the plain-text file QtKeychain can fall back to.
        job->setInsecureFallback(false);
        QObject::connect(job, &QKeychain::Job::finished, reply, [reply, job] { reply->answer(resultOf(job)); });
        QTimer::singleShot(waitMs, reply, [reply] {
            reply->answer({PasswordKeyring::Status::Unavailable, QString(), QStringLiteral("the keyring did not answer")});
        });
        job->start();
    });
}

} // namespace

void KeyringReply::answer(const PasswordKeyring::Result &result)
{
    if (m_answered)
        return;
    m_answered = true;
    emit answered(result);
    // A job that ends after all deletes itself; its connection to this one
    // goes with this.
    deleteLater();
}

QString PasswordKeyring::key(const QString &user, const QString &host, int port)
{
    return QStringLiteral("%1@%2:%3").arg(user, host).arg(port);
}

void PasswordKeyring::read(const QString &key, QObject *context, Done done)
{
    start([key] {
        auto *job = new QKeychain::ReadPasswordJob(service);
        job->setKey(key);
        return job;
    }, context, std::move(done));
}

void PasswordKeyring::write(const QString &key, const QString &password, QObject *context, Done done)
{
    start([key, password] {
        auto *job = new QKeychain::WritePasswordJob(service);
        job->setKey(key);
        job->setTextData(password);
        return job;
    }, context, std::move(done));
}

void PasswordKeyring::remove(const QString &key, QObject *context, Done done)
{
    start([key] {
        auto *job = new QKeychain::DeletePasswordJob(service);
        job->setKey(key);
        return job;
    }, context, std::move(done));
}

void PasswordKeyring::probe(QObject *context, Done done)
{
    read(QStringLiteral("probe"), context, [done = std::move(done)](const Result &answer) {
        Result result = answer;
        if (result.status == Status::NotFound)
            result.status = Status::Done;
        done(result);
    });
}
