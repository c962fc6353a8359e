#pragma once

#include "engine/generationrun.h"
#include "engine/schemaviews.h"
#include "engine/sequencescript.h"
#include "connection/mysqlconnection.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSemaphore>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

namespace mysql {
class ThreadConnectionNames;
}
class SchemaLoader;

// The part of a SchemaThread that lives on its thread: a pair of connections
// of its own (a Qt SQL connection belongs to the thread that opened it),
// opened and checked there, and the schema work that goes through them:
// Connect, Generate, and the looks of the window's views at a schema read
// once and kept until the connection or the schema changes. It runs the same
// widget-free code as the command line and reports by signals or by return.
class SchemaWorker : public QObject
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
        // Also the application scaffold (the command line's --app).
        bool application = false;
        bool keepUnchanged = false;
        CatalogReader reader = CatalogReader::SchemaWide;
        // The open project's relations, names, types and left-out columns.
        SchemaRules rules;
    };

    // `id` keeps the names of the connections apart from other threads'.
    explicit SchemaWorker(const QString &id);
    ~SchemaWorker() override;

    // Any thread. A Generate stops before its next table and leaves the old
    // tree as it was; a Connect cannot be stopped inside the client library,
    // so the window drops its result.
    void cancel() { m_cancelled = true; }
    // Any thread, before a job is posted: a Cancel from then on stops it.
    void clearCancel() { m_cancelled = false; }
    bool isCancelled() const { return m_cancelled; }
    // Any thread: the answer to foreignEntries().
    void answerForeignEntries(bool remove);

    // The rest on the worker's thread.
    // Names this thread's connections for the schema reader; first thing.
    void beginOnThread();
    // Drops what was read and the connections; last thing.
    void endOnThread();

    // The server and schema from now on: drops the connections and what was
    // read.
    void setConnection(const ConnectionSettings &settings, CatalogReader reader);
    // Drops what was read.
    void setCatalogReader(CatalogReader reader);
    // The schema may have changed: it is read again at the next look.
    void reload();
    // The open project's rules for the views from now on, as Generate
    // applies them: the schema is read again with them at the next look.
    void setRules(const SchemaRules &rules);
    // Takes `rules` and reads the schema with them now; what does not fit
    // the schema ("FILE:LINE: ..."), or why it could not be read.
    QStringList tryRules(const SchemaRules &rules);
    // Opens both connections unless they are open, refusing a fallback to
    // plain text where TLS was asked for; says why when they do not open.
    QString openConnections(ConnectionEncryption *encryption = nullptr);

    // Connect: opens the pair with `settings` and lists the schema's tables.
    void connectToServer(const ConnectionSettings &settings);
    void generate(const GenerateJob &job);
    // The statements that create the chosen tables' missing sequences, as
    // --sequences-sql makes them: the schema read afresh (some may have
    // been created since) with the project's rules. Cancel stops the read.
    SequenceScript sequences(const QStringList &chosenTables, CatalogReader reader, const SchemaRules &rules);
    DiagramResult diagram(const DiagramRequest &request);
    PreviewResult preview(const QString &table, const GenerationRun::Switches &switches);
    ComparisonResult compare(const QString &root, const QStringList &chosen, const GenerationRun::Switches &switches,
                             bool application);

    // The worker whose Generate runs on the calling thread, if any; a line
    // given to its appendLine() joins the run's log in order (developer
    // lines, say).
    static SchemaWorker *runningOnThisThread();
    void appendLine(const QString &line) { log(line); }

signals:
    void logLines(const QStringList &lines);
    // Tables read of the schema's, then files written of the run's.
    void progress(GenerationRun::Stage stage, int done, int total);
    // `error`: why the pair did not open; `encryption`: the line that says
    // whether the open one is encrypted.
    void connectFinished(bool opened, const QString &error, const QStringList &tables, const QString &encryption);
    // `interruptedLine` is empty unless the run was cancelled.
    void generateFinished(const QString &interruptedLine, const QString &closingLine);
    // The old output tree holds `count` entries the run did not write; the
    // run waits for answerForeignEntries().
    void foreignEntries(int count);

private:
    // Reads the schema and builds its code model unless that was done; the
    // error when the connections do not open.
    QString loadModel();
    void dropConnections();
    bool askForeignEntries(int count);
    void log(const QString &line);
    void showProgress(GenerationRun::Stage stage, int done, int total);
    void flush(bool force);

    QString m_schemaName;
    QString m_catalogName;
    std::unique_ptr<mysql::ThreadConnectionNames> m_names;
    ConnectionSettings m_settings;
    bool m_hasSettings = false;
    CatalogReader m_reader = CatalogReader::SchemaWide;
    std::unique_ptr<SchemaLoader> m_loader;
    QString m_loadError;
    SchemaRules m_rules;
    // The rules' problems with the schema read: nothing would be generated.
    QStringList m_ruleProblems;
    // The keys the schema's names and types point to, beside those it has.
    QList<SuggestedRelation> m_suggestions;

    std::atomic_bool m_cancelled{false};
    QSemaphore m_answered;
    std::atomic_bool m_answer{false};
    // What a Generate has not yet reported.
    QStringList m_pending;
    QElapsedTimer m_sinceFlush;
    GenerationRun::Stage m_stage = GenerationRun::Stage::Tables;
    int m_done = 0;
    int m_total = 0;
    bool m_progressChanged = false;
};

// A thread that owns its connection pair: its worker is started with it, and
// on destruction the work under way is cancelled, requests not yet begun
// are dropped, and the thread is waited for; its connections close on it.
// The window has two: one for Connect and Generate, one for the views, so
// that neither waits behind the other.
class SchemaThread : public QObject
{
    Q_OBJECT

public:
    // `name` names the thread and its connections.
    explicit SchemaThread(const QString &name, QObject *parent = nullptr);
    ~SchemaThread() override;

    SchemaWorker *worker() const { return m_worker; }
    // Runs `call` on the worker's thread, after what was posted before.
    template<typename Call>
    void post(Call call) { QMetaObject::invokeMethod(m_worker, std::move(call), Qt::QueuedConnection); }

    // For the views: the server and schema to look at, whose connections
    // open at once (the thread is busy meanwhile); what was read before is
    // dropped.
    void setConnection(const ConnectionSettings &settings, CatalogReader reader);
    void setCatalogReader(CatalogReader reader);
    void reload();
    void setRules(const SchemaRules &rules);

    // Answered on this object's thread; of each kind only the latest
    // request is answered, and one made pointless by a newer one is not
    // worked on.
    void requestDiagram(const DiagramRequest &request, std::function<void(const DiagramResult &)> done);
    // The rules are taken for the views, and `done` told what of them does
    // not fit the schema (SchemaWorker::tryRules()).
    void requestRulesCheck(const SchemaRules &rules, std::function<void(const QStringList &)> done);
    void requestPreview(const QString &table, const GenerationRun::Switches &switches,
                        std::function<void(const PreviewResult &)> done);
    void requestComparison(const QString &root, const QStringList &chosen, const GenerationRun::Switches &switches,
                           bool application,
                           std::function<void(const ComparisonResult &)> done);
    // Not dropped for a newer one: each asks for a file of its own.
    void requestSequences(const QStringList &chosenTables, CatalogReader reader, const SchemaRules &rules,
                          std::function<void(const SequenceScript &)> done);
    // Whether a request (or the opening of the views' connections) is being
    // worked on or waiting.
    bool isBusy() const { return m_pending.load() > 0; }

signals:
    void busyChanged(bool busy);

private:
    // Runs `job` on the worker's thread as work that keeps the thread busy
    // and hands its result to `done` here; with `latest`, only the latest
    // job of its kind is worked on and answered.
    template<typename Result, typename Job>
    void work(Job job, std::function<void(const Result &)> done, std::atomic<int> *latest = nullptr);

    QThread m_thread;
    SchemaWorker *m_worker;
    std::atomic<int> m_latestDiagram{0};
    std::atomic<int> m_latestPreview{0};
    std::atomic<int> m_latestComparison{0};
    std::atomic<int> m_pending{0};
};
