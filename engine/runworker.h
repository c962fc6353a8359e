#pragma once

#include "engine/generationrun.h"
#include "connection/mysqlconnection.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSemaphore>
#include <QStringList>
#include <QThread>

#include <atomic>

// Connect and Generate away from the window's thread, so that the window
// keeps painting and answering while the server answers. The worker lives
// on a thread of its own and opens its connections there (a Qt SQL
// connection belongs to the thread that opened it); it runs the same
// widget-free code as the command line and reports by signals.
class RunWorker : public QObject
{
    Q_OBJECT

public:
    struct GenerateJob
    {
        QString root;
        QString outputFolderNote;
        QString schema;
        QStringList chosenTables;
        GenerationRun::Switches switches;
        bool keepUnchanged = false;
        GenerationRun::CatalogReader reader = GenerationRun::CatalogReader::SchemaWide;
        // Tables the schema is expected to have, for the progress counts.
        int expectedTables = 0;
    };

    // Any thread. A Generate stops before its next table and leaves the old
    // tree as it was; a Connect cannot be stopped inside the client library,
    // so its result is dropped.
    void cancel() { m_cancelled = true; }
    // Any thread, before a job is posted: a Cancel from then on stops it.
    void clearCancel() { m_cancelled = false; }
    bool isCancelled() const { return m_cancelled; }
    // Any thread: the answer to foreignEntries().
    void answerForeignEntries(bool remove);

    // On the worker's thread (queued calls).
    void connectToServer(const ConnectionSettings &settings);
    void generate(const GenerateJob &job);
    // Closes and unregisters the worker's connections; runs as its thread
    // ends.
    void closeConnections();

    // The worker whose Generate runs on the calling thread, if any; a line
    // given to its appendLine() joins the run's log in order (developer
    // lines, say).
    static RunWorker *runningOnThisThread();
    void appendLine(const QString &line) { log(line); }

signals:
    void logLines(const QStringList &lines);
    // Counts so far and expected; 0 expected means not known.
    void progress(int tablesRead, int tablesExpected, int filesWritten, int filesExpected);
    // `error`: why the connection did not open; `encryption`: the lines that
    // follow "Connected to": the server's port and schema (serverLine()), and
    // whether the connection is encrypted.
    void connectFinished(bool opened, const QString &error, const QStringList &tables, const QString &encryption);
    // `interruptedLine` is empty unless the run was cancelled.
    void generateFinished(const QString &interruptedLine, const QString &closingLine);
    // The old output tree holds `count` entries the run did not write; the
    // run waits for answerForeignEntries().
    void foreignEntries(int count);

private:
    void log(const QString &line);
    void flush(bool force);

    std::atomic_bool m_cancelled{false};
    QSemaphore m_answered;
    std::atomic_bool m_answer{false};
    QStringList m_pending;
    QElapsedTimer m_sinceFlush;
    int m_tablesRead = 0;
    int m_tablesExpected = 0;
    int m_filesWritten = 0;
    int m_filesExpected = 0;
};

// The worker and its thread: started on construction, and on destruction
// the run is cancelled and the thread waited for, connections closed.
class RunThread
{
public:
    RunThread();
    ~RunThread();
    RunThread(const RunThread &) = delete;
    RunThread &operator=(const RunThread &) = delete;

    RunWorker *worker() const { return m_worker; }
    // Runs `call` on the worker's thread.
    template<typename Call>
    void post(Call call) { QMetaObject::invokeMethod(m_worker, std::move(call), Qt::QueuedConnection); }

private:
    QThread m_thread;
    RunWorker *m_worker;
};
