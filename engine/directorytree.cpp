#include "engine/directorytree.h"

#include "generators/genfunctions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>

bool createDirectoryPath(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    if (info.exists()) {
        *error = QString::fromLocal8Bit(std::strerror(ENOTDIR));
        return false;
    }
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !createDirectoryPath(parent, error))
        return false;
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0 || (errno == EEXIST && QFileInfo(path).isDir()))
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool removeDirectoryTree(const QString &path)
{
    return removeDirectoryTree(path, nullptr);
}

bool removeDirectoryTree(const QString &path, QString *failedPath)
{
    const QFileInfo info(path);
    // A link is removed as a link: following it would delete whatever it
    // points to, outside the tree.
    if (info.isSymLink()) {
        if (QFile::remove(path))
            return true;
        if (failedPath)
            *failedPath = path;
        return false;
    }

    if (info.exists() && !info.isDir()) {
        if (QFile::remove(path))
            return true;
        if (failedPath)
            *failedPath = path;
        return false;
    }
    QDir dir(path);
    if (!dir.exists())
        return true;

    const QFileInfoList entries = dir.entryInfoList(QDir::NoDotAndDotDot | QDir::System | QDir::Hidden
                                                            | QDir::AllDirs | QDir::Files,
                                                    QDir::DirsFirst);
    for (const QFileInfo &entry : entries) {
        const QString entryPath = entry.absoluteFilePath();
        const bool removed = entry.isDir() && !entry.isSymLink()
                ? removeDirectoryTree(entryPath, failedPath)
                : QFile::remove(entryPath);
        if (!removed) {
            if (failedPath && failedPath->isEmpty())
                *failedPath = entryPath;
            return false;
        }
    }

    if (dir.rmdir(dir.absolutePath()))
        return true;
    if (failedPath)
        *failedPath = dir.absolutePath();
    return false;
}

const QStringList &generatedFolders()
{
    static const QStringList folders{QStringLiteral("object"), QStringLiteral("dao"), QStringLiteral("model"),
                                     QStringLiteral("editors")};
    return folders;
}

QStringList foreignEntries(const QString &code, int limit, int *count)
{
    QStringList found;
    int total = 0;
    const auto foreign = [&](const QString &path) {
        if (found.size() < limit)
            found.append(path);
        ++total;
    };
    const auto entries = [](const QString &path) {
        return QDir(path).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                        QDir::Name);
    };
    // A folder that cannot be listed may hold anything.
    const auto isFolder = [](const QFileInfo &info) { return info.isDir() && !info.isSymLink() && info.isReadable(); };
    const QFileInfo codeInfo(code);
    if (codeInfo.isSymLink() || (codeInfo.exists() && !isFolder(codeInfo))) {
        foreign(code);
    } else if (codeInfo.exists()) {
        for (const QFileInfo &cpp : entries(code)) {
            if (cpp.fileName() != QLatin1String("C++") || !isFolder(cpp)) {
                foreign(cpp.filePath());
                continue;
            }
            const auto ownFile = [](const QFileInfo &file) {
                QFile text(file.filePath());
                return file.isFile() && !file.isSymLink() && text.open(QIODevice::ReadOnly)
                        && GenFunctions::isBannerFirstLine(QString::fromLatin1(text.readLine(200).trimmed()));
            };
            // The application scaffold: CMakeLists.txt, app/ and app/tables/.
            const std::function<void(const QFileInfo &, int)> ownFolder = [&](const QFileInfo &folder, int depth) {
                for (const QFileInfo &entry : entries(folder.filePath())) {
                    if (depth == 0 && entry.fileName() == QLatin1String("tables") && isFolder(entry))
                        ownFolder(entry, 1);
                    else if (!ownFile(entry))
                        foreign(entry.filePath());
                }
            };
            for (const QFileInfo &folder : entries(cpp.filePath())) {
                if (folder.fileName() == QLatin1String("CMakeLists.txt") && ownFile(folder))
                    continue;
                if (folder.fileName() == QLatin1String("app") && isFolder(folder)) {
                    ownFolder(folder, 0);
                    continue;
                }
                if (!generatedFolders().contains(folder.fileName()) || !isFolder(folder)) {
                    foreign(folder.filePath());
                    continue;
                }
                for (const QFileInfo &file : entries(folder.filePath())) {
                    if (!ownFile(file))
                        foreign(file.filePath());
                }
            }
        }
    }
    if (count)
        *count = total;
    return found;
}

bool replacePath(const QString &replacement, const QString &target, QString *oldTree, QString *error)
{
    const QByteArray from = QFile::encodeName(replacement);
    const QByteArray to = QFile::encodeName(target);
    oldTree->clear();
    const QFileInfo targetInfo(target);
    if (!targetInfo.exists() && !targetInfo.isSymLink()) {
        if (::rename(from.constData(), to.constData()) == 0)
            return true;
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // One step: the old tree takes the replacement's name.
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
        *oldTree = replacement;
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // File systems without the exchange: two steps, with a moment in which
    // neither tree is in place.
    const QString aside = replacement + QStringLiteral("-old");
    if (::rename(to.constData(), QFile::encodeName(aside).constData()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    *oldTree = aside;
    if (::rename(from.constData(), to.constData()) == 0)
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    ::rename(QFile::encodeName(aside).constData(), to.constData());
    oldTree->clear();
    return false;
}
