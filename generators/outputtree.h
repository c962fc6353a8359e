#pragma once

#include <QMap>
#include <QSet>
#include <QString>

#include <functional>

// The directory that receives the generated "code" tree. Every file is
// written below it; a file name that would lead outside its directory is
// refused, whatever the schema's table names hold.
class OutputTree
{
public:
    using FailureHandler = std::function<void(const QString &message)>;

    // `root` is the directory that holds "code" (the application directory
    // for the window).
    explicit OutputTree(const QString &root);

    const QString &root() const { return m_root; }

    // Called with one line per file that could not be written.
    void setFailureHandler(FailureHandler handler) { m_onFailure = std::move(handler); }
    // Files of root/code go to `path` instead, a folder that replaces code
    // once the run is complete; failure lines still name root/code.
    void setCodeDirectory(const QString &path) { m_codeDirectory = path; }
    // A file of `path` (an earlier root/code) whose text differs from the new
    // one only in the banner's date is taken over, content and time, instead
    // of being written anew.
    void setPreviousCode(const QString &path) { m_previousCode = path; }
    // Keeps the texts, by path relative to the root, and writes nothing.
    void setInMemory(bool inMemory) { m_inMemory = inMemory; }
    const QMap<QString, QString> &texts() const { return m_texts; }

    // Writes `text` to root/directory/fileName in text mode, replacing an
    // existing file. `directory` is relative to the root, such as
    // "code/C++/dao". Returns whether the whole text reached the file. A file
    // that this tree has already written is not written again: two tables
    // whose names differ only in case get the same file names, and the second
    // must not silently replace the first's classes.
    bool writeFile(const QString &directory, const QString &fileName, const QString &text) const;

    int failureCount() const { return m_failures; }
    // Of those, the files the file system would not take (as opposed to
    // names refused): a tree with such a gap is incomplete.
    int writeErrorCount() const { return m_writeErrors; }

private:
    bool fail(const QString &path, const QString &reason) const;
    bool writeError(const QString &path, const QString &reason) const;
    // Where `relativePath` (below the root) is written, and where its
    // earlier version lies, if kept.
    QString writePath(const QString &relativePath) const;
    bool takeOverPrevious(const QString &relativePath, const QString &text, const QString &target) const;

    QString m_root;
    QString m_codeDirectory;
    QString m_previousCode;
    bool m_inMemory = false;
    mutable QMap<QString, QString> m_texts;
    FailureHandler m_onFailure;
    mutable int m_failures = 0;
    mutable int m_writeErrors = 0;
    mutable QSet<QString> m_written;
};
