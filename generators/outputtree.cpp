#include "generators/outputtree.h"

#include "generators/genfunctions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <unistd.h>

OutputTree::OutputTree(const QString &root)
    : m_root(root)
{
}

bool OutputTree::fail(const QString &path, const QString &reason) const
{
    ++m_failures;
    if (m_onFailure)
        m_onFailure(QStringLiteral("Cannot write file: %1 (%2)").arg(path, reason));
    return false;
}

bool OutputTree::writeError(const QString &path, const QString &reason) const
{
    ++m_writeErrors;
    return fail(path, reason);
}

bool OutputTree::writeFile(const QString &directory, const QString &fileName,
                           const QString &text) const
{
    const QString directoryPath = m_root + QLatin1Char('/') + directory;
    const QString path = directoryPath + QLatin1Char('/') + fileName;

    // Table names are not to be trusted: "../x" or "a/b" must not lead the
    // file out of its directory.
    if (fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\'))
        || fileName.contains(QChar(0)))
        return fail(path, QStringLiteral("the file name holds a path separator"));
    if (fileName.isEmpty() || fileName == QLatin1String(".") || fileName == QLatin1String(".."))
        return fail(path, QStringLiteral("the file name is not a plain name"));
    const QString cleanDirectory = QDir::cleanPath(directoryPath);
    if (QFileInfo(QDir::cleanPath(path)).absolutePath() != QFileInfo(cleanDirectory).absoluteFilePath())
        return fail(path, QStringLiteral("the path leaves its directory"));

    const QString cleanPath = QDir::cleanPath(path);
    if (m_written.contains(cleanPath))
        return fail(path, QStringLiteral("another table's file of the same name was written in this run"));

    const QString relativePath = directory + QLatin1Char('/') + fileName;
    if (m_inMemory) {
        m_written.insert(cleanPath);
        m_texts.insert(relativePath, text);
        return true;
    }
    const QString target = writePath(relativePath);
    if (takeOverPrevious(relativePath, text, target)) {
        m_written.insert(cleanPath);
        return true;
    }
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return writeError(path, file.errorString());
    {
        QTextStream stream(&file);
        stream << text;
        stream.flush();
        if (stream.status() != QTextStream::Ok)
            return writeError(path, file.errorString());
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        return writeError(path, file.errorString());
    m_written.insert(cleanPath);
    return true;
}

QString OutputTree::writePath(const QString &relativePath) const
{
    if (!m_codeDirectory.isEmpty() && relativePath.startsWith(QLatin1String("code/")))
        return m_codeDirectory + relativePath.mid(int(qstrlen("code")));
    return m_root + QLatin1Char('/') + relativePath;
}

bool OutputTree::takeOverPrevious(const QString &relativePath, const QString &text, const QString &target) const
{
    if (m_previousCode.isEmpty() || !relativePath.startsWith(QLatin1String("code/")))
        return false;
    const QString previous = m_previousCode + relativePath.mid(int(qstrlen("code")));
    // Only a file of the old tree itself: no link on the way leads elsewhere.
    const QFileInfo info(previous);
    const QFileInfo code(m_previousCode);
    if (!info.isFile() || info.isSymLink() || code.isSymLink()
        || info.canonicalFilePath() != code.canonicalFilePath() + relativePath.mid(int(qstrlen("code"))))
        return false;
    QFile file(previous);
    if (!file.open(QIODevice::ReadOnly)
        || GenFunctions::withoutBannerDate(QString::fromUtf8(file.readAll())) != GenFunctions::withoutBannerDate(text))
        return false;
    // A second name for the same file keeps its content and its time; the
    // earlier tree is removed after the new one is in place.
    return ::link(QFile::encodeName(previous).constData(), QFile::encodeName(target).constData()) == 0;
}
