#include "engine/outputtransaction.h"

#include "engine/directorytree.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/stat.h>

OutputTransaction::OutputTransaction(const QString &root, mysql::LogSink errors)
    : m_root(root)
    , m_errors(std::move(errors))
{
}

OutputTransaction::~OutputTransaction()
{
    drop();
}

OutputTransaction::Start OutputTransaction::start()
{
    QString error;
    if (!createDirectoryPath(m_root, &error)) {
        ++m_failures;
        m_errors(QStringLiteral("Cannot create the output folder %1 (%2): nothing was written.").arg(m_root, error));
        return Start::Failed;
    }
    removeLeftovers();
    return oldTreeMayGo() ? Start::Ready : Start::Refused;
}

OutputTransaction::Commit OutputTransaction::commit(int writeErrors)
{
    if (writeErrors > 0) {
        // A tree with gaps must not replace a whole one.
        drop();
        m_errors(QStringLiteral("The new output tree is incomplete: %1 was left as it was.").arg(code()));
        return Commit::Incomplete;
    }
    if (!m_foreignAllowed && !oldTreeMayGo()) {
        // Something was put into the old tree while the run went on.
        drop();
        return Commit::Refused;
    }
    putInPlace();
    return Commit::Done;
}

void OutputTransaction::drop()
{
    if (m_staging.isEmpty())
        return;
    removeDirectoryTree(m_staging);
    m_staging.clear();
}

bool OutputTransaction::oldTreeMayGo()
{
    int count = 0;
    const QStringList foreign = foreignEntries(code(), foreignPathsShown, &count);
    if (foreign.isEmpty())
        return true;
    m_errors(QStringLiteral("The output tree %1 holds %2 that Tablesmith did not write:")
                     .arg(code(), count == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(count)));
    for (const QString &path : foreign)
        m_errors(QStringLiteral("  ") + path);
    if (count > foreign.size())
        m_errors(QStringLiteral("  and %1 more").arg(count - foreign.size()));
    m_foreignAllowed = m_foreignEntriesHandler && m_foreignEntriesHandler(foreign, count);
    if (!m_foreignAllowed)
        m_errors(QStringLiteral("Nothing was removed or written."));
    return m_foreignAllowed;
}

void OutputTransaction::removeLeftovers() const
{
    // Folders of runs that were killed before they could clean up, or whose
    // old tree could not be removed; a run of another process that is still
    // going keeps its own.
    static const QRegularExpression leftover(QStringLiteral("^\\.tablesmith-(\\d+)-"));
    const QFileInfoList entries = QDir(m_root).entryInfoList({QStringLiteral(".tablesmith-*")},
                                                             QDir::AllEntries | QDir::Hidden | QDir::System);
    for (const QFileInfo &entry : entries) {
        const QRegularExpressionMatch match = leftover.match(entry.fileName());
        if (!match.hasMatch())
            continue;
        const pid_t owner = pid_t(match.captured(1).toLongLong());
        if (owner == QCoreApplication::applicationPid() || (::kill(owner, 0) != 0 && errno == ESRCH))
            removeDirectoryTree(entry.filePath());
    }
}

bool OutputTransaction::createStaging()
{
    // Beside "code", on the same file system, so that it can take code's
    // place in one step; with the old code's permissions, or the usual ones.
    QString path;
    QString error;
    for (int attempt = 0; attempt < 100 && path.isEmpty() && error.isEmpty(); ++attempt) {
        const QString candidate = QStringLiteral("%1/.tablesmith-%2-%3")
                                          .arg(m_root, QString::number(QCoreApplication::applicationPid()),
                                               QString::number(QRandomGenerator::global()->generate(), 36));
        if (::mkdir(QFile::encodeName(candidate).constData(), 0777) == 0)
            path = candidate;
        else if (errno != EEXIST)
            error = QString::fromLocal8Bit(std::strerror(errno));
    }
    const QFileInfo old(code());
    if (!path.isEmpty() && old.isDir() && !old.isSymLink())
        QFile::setPermissions(path, old.permissions());
    for (const QString &folder : generatedFolders()) {
        if (!path.isEmpty() && !QDir(path).mkpath(QStringLiteral("C++/") + folder)) {
            error = QStringLiteral("cannot create C++/%1 in it").arg(folder);
            removeDirectoryTree(path);
            path.clear();
        }
    }
    if (path.isEmpty()) {
        ++m_failures;
        m_errors(QStringLiteral("Cannot create the new output tree beside %1 (%2): nothing was written.")
                         .arg(code(), error.isEmpty() ? QStringLiteral("no free name") : error));
    } else if (m_stagingObserver) {
        m_stagingObserver(path);
    }
    m_staging = path;
    return !path.isEmpty();
}

void OutputTransaction::putInPlace()
{
    // Without a new tree the old one stays as it is.
    if (m_staging.isEmpty())
        return;
    const QString staging = m_staging;
    m_staging.clear();
    int files = 0;
    QDirIterator it(staging, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++files;
    }
    QString oldTree;
    QString error;
    if (!replacePath(staging, code(), &oldTree, &error)) {
        ++m_failures;
        m_errors(QStringLiteral("Cannot put the new output tree in place of %1: %2").arg(code(), error));
        removeDirectoryTree(staging);
        return;
    }
    m_writtenFiles = files;
    QString failedPath;
    if (!oldTree.isEmpty() && !removeDirectoryTree(oldTree, &failedPath)) {
        ++m_failures;
        m_errors(QStringLiteral("Cannot remove the old output tree completely: %1").arg(failedPath));
    }
}
