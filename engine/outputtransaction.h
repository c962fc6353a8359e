#pragma once

#include "mysql/database.h"

#include <QString>
#include <QStringList>

#include <functional>

// The output side of a run that writes: the new tree is built in a staging
// folder beside the old "code" folder and takes its place in one step, only
// when it is complete; the old tree goes only when it holds nothing but what
// a run wrote, or the foreign-entries handler lets the rest go. Otherwise
// the old tree stays exactly as it was.
class OutputTransaction
{
public:
    // Asked, with the paths found, whether an old tree holding what the run
    // did not write may go all the same.
    using ForeignEntriesHandler = std::function<bool(const QStringList &paths, int count)>;

    enum class Start {
        Ready,
        Failed, // the output folder cannot be created
        Refused // the old tree holds what no run wrote
    };

    enum class Commit {
        Done,
        Incomplete, // a file could not be written: the new tree was dropped
        Refused // the old tree gained foreign entries meanwhile
    };

    // `root` is the directory that receives "code"; what fails goes to
    // `errors`.
    OutputTransaction(const QString &root, mysql::LogSink errors);
    // Drops a staging tree that was neither put in place nor dropped.
    ~OutputTransaction();
    OutputTransaction(const OutputTransaction &) = delete;
    OutputTransaction &operator=(const OutputTransaction &) = delete;

    // Without a handler an old tree with foreign entries is left alone.
    void setForeignEntriesHandler(ForeignEntriesHandler handler) { m_foreignEntriesHandler = std::move(handler); }
    // Told the staging folder, once it exists.
    void setStagingObserver(std::function<void(const QString &path)> observer) { m_stagingObserver = std::move(observer); }

    QString code() const { return m_root + QStringLiteral("/code"); }

    // Creates the output folder, removes the leftovers of killed runs and
    // checks the old tree.
    Start start();
    // Creates the staging folder with the old tree's permissions; false (a
    // failure, said why) when it cannot.
    bool createStaging();
    // Empty until createStaging() succeeded, and again once the tree was put
    // in place or dropped.
    const QString &staging() const { return m_staging; }
    // Removes the staging tree; the old one stays.
    void drop();
    // Puts the staging tree in place of the old one, unless `writeErrors`
    // files could not be written or the old tree must stay.
    Commit commit(int writeErrors);

    // Folders and files that could not be created, moved or removed.
    int failureCount() const { return m_failures; }
    // Files of the tree that was put in place (0 when none was).
    int writtenFileCount() const { return m_writtenFiles; }

    // How many foreign paths are named before "and N more".
    static constexpr int foreignPathsShown = 10;

private:
    // Whether the old tree holds only what a run wrote, or the handler lets
    // the rest go (then the later check passes, too).
    bool oldTreeMayGo();
    void removeLeftovers() const;
    void putInPlace();

    QString m_root;
    mysql::LogSink m_errors;
    ForeignEntriesHandler m_foreignEntriesHandler;
    std::function<void(const QString &)> m_stagingObserver;
    QString m_staging;
    bool m_foreignAllowed = false;
    int m_failures = 0;
    int m_writtenFiles = 0;
};
