#include "app/directorytree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
