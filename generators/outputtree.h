#pragma once

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

    // Writes `text` to root/directory/fileName in text mode, replacing an
    // existing file. `directory` is relative to the root, such as
    // "code/C++/dao". Returns whether the whole text reached the file. A file
    // that this tree has already written is not written again: two tables
    // whose names differ only in case get the same file names, and the second
    // must not silently replace the first's classes.
    bool writeFile(const QString &directory, const QString &fileName, const QString &text) const;

    int failureCount() const { return m_failures; }

private:
    bool fail(const QString &path, const QString &reason) const;

    QString m_root;
    FailureHandler m_onFailure;
    mutable int m_failures = 0;
    mutable QSet<QString> m_written;
};
