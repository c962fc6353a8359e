#include "engine/schemathread.h"

#include "engine/relationsuggester.h"
#include "engine/schemaloader.h"
#include "codemodel/generator.h"
#include "codemodel/tableobject.h"
#include "connection/tlsoptions.h"
#include "mysql/table.h"
#include "mysql/threadconnections.h"

#include <QDir>
#include <QSet>
#include <QSqlDatabase>

namespace {

// Lines reach the window in bunches: some 7,000 single lines for 1,000
// tables would keep its thread busy laying out the log.
constexpr qint64 flushMilliseconds = 100;

thread_local SchemaWorker *t_running = nullptr;

std::atomic<int> g_threads{0};

bool isOpen(const QString &connection)
{
    return QSqlDatabase::contains(connection) && QSqlDatabase::database(connection, false).isOpen();
}

} // namespace

SchemaWorker::SchemaWorker(const QString &id)
    : m_schemaName(QStringLiteral("Connection-") + id)
    , m_catalogName(QStringLiteral("InformationSchema-") + id)
{
}

SchemaWorker::~SchemaWorker()
{
    endOnThread();
}

void SchemaWorker::answerForeignEntries(bool remove)
{
    m_answer = remove;
    m_answered.release();
}

void SchemaWorker::beginOnThread()
{
    m_names = std::make_unique<mysql::ThreadConnectionNames>(m_schemaName, m_catalogName);
}

void SchemaWorker::endOnThread()
{
    m_loader.reset();
    dropConnections();
    m_names.reset();
}

void SchemaWorker::setConnection(const ConnectionSettings &settings, CatalogReader reader)
{
    reload();
    dropConnections();
    m_settings = settings;
    m_hasSettings = true;
    m_reader = reader;
}

void SchemaWorker::setCatalogReader(CatalogReader reader)
{
    m_reader = reader;
    reload();
}

void SchemaWorker::reload()
{
    m_loader.reset();
    m_loadError.clear();
    m_ruleProblems.clear();
    m_suggestions.clear();
}

void SchemaWorker::setRules(const SchemaRules &rules)
{
    m_rules = rules;
    reload();
}

QStringList SchemaWorker::tryRules(const SchemaRules &rules)
{
    setRules(rules);
    const QString error = loadModel();
    if (!error.isEmpty())
        return {error};
    return m_ruleProblems;
}

void SchemaWorker::dropConnections()
{
    for (const QString &name : {m_schemaName, m_catalogName}) {
        if (QSqlDatabase::contains(name))
            QSqlDatabase::removeDatabase(name);
    }
}

QString SchemaWorker::openConnections(ConnectionEncryption *encryption)
{
    if (!m_hasSettings)
        return QStringLiteral("Not connected: press Connect first.");
    if (isOpen(m_schemaName) && isOpen(m_catalogName))
        return QString();
    reload();
    dropConnections();
    const SchemaConnections connections = openSchemaConnections(m_settings);
    if (encryption)
        *encryption = connections.encryption;
    return connections.problem;
}

void SchemaWorker::connectToServer(const ConnectionSettings &settings)
{
    setConnection(settings, m_reader);
    ConnectionEncryption encryption;
    const QString problem = openConnections(&encryption);
    const bool opened = problem.isEmpty();
    // Half a pair holds a connection the account may need elsewhere.
    if (!opened)
        dropConnections();
    const QStringList tables = opened ? QSqlDatabase::database(m_schemaName, false).tables(QSql::Tables)
                                      : QStringList();
    emit connectFinished(opened, problem, tables, opened ? encryptionLine(encryption, settings.tls) : QString());
}

void SchemaWorker::generate(const GenerateJob &job)
{
    m_answered.tryAcquire(m_answered.available());
    m_pending.clear();
    m_sinceFlush.start();
    m_done = m_total = 0;
    m_progressChanged = false;
    const QString code = QDir(job.root).absoluteFilePath(QStringLiteral("code"));
    // The pair Connect opened; opened again, and checked, should it have
    // been closed.
    const QString problem = openConnections();
    if (!problem.isEmpty()) {
        log(problem);
        flush(true);
        emit generateFinished(QString(), QStringLiteral("Nothing was written to %1.").arg(code));
        return;
    }
    GenerationRun run(job.root, [this](const QString &line) { log(line); });
    run.setOutputFolderNote(job.outputFolderNote);
    run.setCatalogReader(job.reader);
    run.setApplication(job.application);
    run.setSwitches(job.switches);
    run.setKeepUnchanged(job.keepUnchanged);
    run.setSchemaRules(job.rules);
    run.setInterruptCheck([this] { return m_cancelled.load(); });
    run.setForeignEntriesHandler([this](const QStringList &, int count) { return askForeignEntries(count); });
    run.setProgressHandler([this](GenerationRun::Stage stage, int done, int total) {
        showProgress(stage, done, total);
    });
    t_running = this;
    run.run(job.schema, job.chosenTables);
    t_running = nullptr;
    flush(true);
    const QString interrupted = run.outcome() == GenerationRun::Outcome::Interrupted
            ? QStringLiteral("Interrupted: %1 is unchanged").arg(code)
            : QString();
    emit generateFinished(interrupted, run.closingLine());
}

SequenceScript SchemaWorker::sequences(const QStringList &chosenTables, CatalogReader reader, const SchemaRules &rules)
{
    SequenceScript script;
    script.error = openConnections();
    if (!script.error.isEmpty())
        return script;
    SchemaLoader loader(m_settings.schema, mysql::LogSink([](const QString &) {}));
    loader.setCatalogReader(reader);
    loader.setRules(rules);
    loader.setStopCheck([this] { return m_cancelled.load(); });
    loader.readSchema();
    const Generator *generator = m_cancelled ? nullptr : loader.buildCodeModel();
    if (m_cancelled) {
        script.error = QStringLiteral("cancelled");
    } else if (!loader.ruleProblems().isEmpty()) {
        script.error = loader.ruleProblems().join(QLatin1Char('\n'));
    } else if (loader.readErrorCount() > 0) {
        script.error = QStringLiteral("reading the schema failed: %1").arg(loader.lastReadError());
    }
    if (!script.error.isEmpty())
        return script;
    // The tables in the schema's order, as a run takes them.
    const QSet<QString> names(chosenTables.cbegin(), chosenTables.cend());
    QList<TableObject *> chosen;
    for (TableObject *table : generator->tableObjects()) {
        if (names.contains(table->table()->name()))
            chosen.append(table);
    }
    return sequenceScript(chosen, QSqlDatabase::database(m_schemaName, false));
}

bool SchemaWorker::askForeignEntries(int count)
{
    // The question points to the lines above it. A window that closes
    // meanwhile cancels the run, which then keeps everything.
    flush(true);
    emit foreignEntries(count);
    while (!m_answered.tryAcquire(1, 50)) {
        if (m_cancelled)
            return false;
    }
    return m_answer.load();
}

QString SchemaWorker::loadModel()
{
    if (m_loader)
        return QString();
    const QString error = openConnections();
    if (!error.isEmpty())
        return error;
    m_loader = std::make_unique<SchemaLoader>(m_settings.schema, mysql::LogSink([](const QString &) {}));
    m_loader->setCatalogReader(m_reader);
    // The rules as Generate applies them: the same loader reads with them.
    m_loader->setRules(m_rules);
    m_loader->readSchema();
    m_loader->buildCodeModel();
    m_ruleProblems = m_loader->ruleProblems();
    RelationSuggester suggester(m_loader->database());
    suggester.setStripPrefixes(m_rules.stripPrefixes);
    m_suggestions = suggester.suggestions();
    // A partly read schema would show as a complete one.
    QStringList problems = m_ruleProblems;
    if (m_loader->readErrorCount() > 0)
        problems.prepend(QStringLiteral("Reading the schema failed: %1").arg(m_loader->lastReadError()));
    else if (!problems.isEmpty())
        problems.prepend(QStringLiteral("The project's rules do not fit the schema; Generate would write nothing:"));
    m_loadError = problems.join(QLatin1Char('\n'));
    return QString();
}

DiagramResult SchemaWorker::diagram(const DiagramRequest &request)
{
    DiagramResult result;
    result.error = loadModel();
    if (!result.error.isEmpty())
        return result;
    return diagramOf(*m_loader->generator(), request, m_suggestions, m_loadError);
}

PreviewResult SchemaWorker::preview(const QString &table, const GenerationRun::Switches &switches)
{
    PreviewResult result;
    result.table = table;
    result.error = loadModel();
    if (!result.error.isEmpty())
        return result;
    // Generate writes nothing then; neither does the preview show it.
    if (!m_ruleProblems.isEmpty()) {
        result.error = m_loadError;
        return result;
    }
    return previewOf(m_loader->generator(), table, switches, m_loadError);
}

ComparisonResult SchemaWorker::compare(const QString &root, const QStringList &chosen,
                                       const GenerationRun::Switches &switches, bool application)
{
    const QString error = openConnections();
    if (!error.isEmpty()) {
        ComparisonResult result;
        result.root = root;
        result.errors.append(error);
        return result;
    }
    // The command line's --check on this thread's connections: it reads the
    // schema afresh.
    const ComparisonResult result = compareWithFolder(m_settings.schema, m_reader, root, chosen, switches, m_rules,
                                                      application);
    // What Generate would write may have changed with the schema.
    reload();
    return result;
}

SchemaWorker *SchemaWorker::runningOnThisThread()
{
    return t_running;
}

void SchemaWorker::log(const QString &line)
{
    m_pending.append(line);
    flush(false);
}

void SchemaWorker::showProgress(GenerationRun::Stage stage, int done, int total)
{
    m_stage = stage;
    m_done = done;
    m_total = total;
    m_progressChanged = true;
    flush(false);
}

void SchemaWorker::flush(bool force)
{
    if ((m_pending.isEmpty() && !m_progressChanged) || (!force && m_sinceFlush.elapsed() < flushMilliseconds))
        return;
    if (!m_pending.isEmpty())
        emit logLines(m_pending);
    if (m_progressChanged)
        emit progress(m_stage, m_done, m_total);
    m_pending.clear();
    m_progressChanged = false;
    m_sinceFlush.restart();
}

SchemaThread::SchemaThread(const QString &name, QObject *parent)
    : QObject(parent)
    , m_worker(new SchemaWorker(QStringLiteral("%1-%2").arg(name).arg(++g_threads)))
{
    m_thread.setObjectName(name);
    m_worker->moveToThread(&m_thread);
    // Both are emitted by the thread itself, where the connections live.
    connect(&m_thread, &QThread::started, m_worker, [worker = m_worker] { worker->beginOnThread(); },
            Qt::DirectConnection);
    connect(&m_thread, &QThread::finished, m_worker, [worker = m_worker] { delete worker; }, Qt::DirectConnection);
    m_thread.start();
}

SchemaThread::~SchemaThread()
{
    // Requests not yet begun are dropped; the work under way ends first.
    m_latestDiagram = m_latestPreview = m_latestComparison = -1;
    m_worker->cancel();
    m_thread.quit();
    m_thread.wait();
}

void SchemaThread::setConnection(const ConnectionSettings &settings, CatalogReader reader)
{
    work([settings, reader](SchemaWorker *worker) {
        worker->setConnection(settings, reader);
        // Ready for the first look; what fails is said then.
        worker->openConnections();
        return 0;
    }, std::function<void(const int &)>());
}

void SchemaThread::setCatalogReader(CatalogReader reader)
{
    post([worker = m_worker, reader] { worker->setCatalogReader(reader); });
}

void SchemaThread::reload()
{
    post([worker = m_worker] { worker->reload(); });
}

void SchemaThread::setRules(const SchemaRules &rules)
{
    post([worker = m_worker, rules] { worker->setRules(rules); });
}

template<typename Result, typename Job>
void SchemaThread::work(Job job, std::function<void(const Result &)> done, std::atomic<int> *latest)
{
    const int request = latest ? ++*latest : 0;
    if (m_pending++ == 0)
        emit busyChanged(true);
    post([this, latest, request, job = std::move(job), done = std::move(done)] {
        // A newer request of the same kind makes this one pointless.
        const bool wanted = !latest || latest->load() == request;
        Result result{};
        if (wanted)
            result = job(m_worker);
        QMetaObject::invokeMethod(this, [this, latest, request, wanted, result, done] {
            if (wanted && done && (!latest || latest->load() == request))
                done(result);
            if (--m_pending == 0)
                emit busyChanged(false);
        });
    });
}

void SchemaThread::requestDiagram(const DiagramRequest &request, std::function<void(const DiagramResult &)> done)
{
    work<DiagramResult>([request](SchemaWorker *worker) { return worker->diagram(request); }, std::move(done),
                        &m_latestDiagram);
}

void SchemaThread::requestRulesCheck(const SchemaRules &rules, std::function<void(const QStringList &)> done)
{
    work<QStringList>([rules](SchemaWorker *worker) { return worker->tryRules(rules); }, std::move(done));
}

void SchemaThread::requestSequences(const QStringList &chosenTables, CatalogReader reader, const SchemaRules &rules,
                                    std::function<void(const SequenceScript &)> done)
{
    work<SequenceScript>([chosenTables, reader, rules](SchemaWorker *worker) {
        return worker->sequences(chosenTables, reader, rules);
    }, std::move(done));
}

void SchemaThread::requestPreview(const QString &table, const GenerationRun::Switches &switches,
                                  std::function<void(const PreviewResult &)> done)
{
    work<PreviewResult>([table, switches](SchemaWorker *worker) {
        return worker->preview(table, switches);
    }, std::move(done), &m_latestPreview);
}

void SchemaThread::requestComparison(const QString &root, const QStringList &chosen,
                                     const GenerationRun::Switches &switches, bool application,
                                     std::function<void(const ComparisonResult &)> done)
{
    work<ComparisonResult>([root, chosen, switches, application](SchemaWorker *worker) {
        return worker->compare(root, chosen, switches, application);
    }, std::move(done), &m_latestComparison);
}
