#include "project/outputfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

QString outputFolderIn(const QString &base, const QString &named)
{
    return QDir::cleanPath(QDir(base).absoluteFilePath(named.isEmpty() ? QStringLiteral(".") : named));
}

OutputFolder windowOutputFolder(const QString &named)
{
    // A folder the user chose is where it is, whatever the program's.
    if (QDir::isAbsolutePath(named))
        return {QDir::cleanPath(named), QString()};
    const QString beside = QCoreApplication::applicationDirPath();
    if (::access(QFile::encodeName(beside).constData(), W_OK | X_OK) == 0)
        return {outputFolderIn(beside, named), QString()};
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return {outputFolderIn(documents + QStringLiteral("/Tablesmith"), named),
            QCoreApplication::translate("Tablesmith", "the program's folder %1 cannot be written to")
                    .arg(QDir::toNativeSeparators(beside))};
}
