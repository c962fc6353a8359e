#include "engine/runworker.h"

#include "connection/tlsoptions.h"

#include <QDir>
#include <QSqlError>

namespace {

// Lines reach the window in bunches: some 7,000 single lines for 1,000
// tables would keep its thread busy laying out the log.
constexpr qint64 flushMilliseconds = 100;

const QString tableLine = QStringLiteral("Getting information from table: ");
const QString classLine = QStringLiteral("Generating ");

thread_local RunWorker *t_running = nullptr;

} // namespace

void RunWorker::answerForeignEntries(bool remove)
{
    m_answer = remove;
    m_answered.release();
}

void RunWorker::connectToServer(const ConnectionSettings &settings)
{
    const SchemaConnections connections = openSchemaConnections(settings);
    // A run needs both: the catalogue's connection too may have been refused.
    const bool opened = connections.schema.isOpen() && connections.catalog.isOpen();
    const QStringList tables = opened ? connections.schema.tables(QSql::Tables) : QStringList();
    // The lines after "Connected to: HOST", as the command line prints them.
    emit connectFinished(opened, connections.schema.isOpen() ? connections.catalogProblem : connections.problem, tables,
                         opened ? serverLine(settings) + QLatin1Char('\n') + encryptionLine(connections.encryption, settings.tls)
                                : QString());
}

void RunWorker::generate(const GenerateJob &job)
{
    m_answered.tryAcquire(m_answered.available());
    m_pending.clear();
    m_sinceFlush.start();
    m_tablesRead = 0;
    m_tablesExpected = job.expectedTables;
    m_filesWritten = 0;
    const auto &s = job.switches;
    const int kinds = int(s.dao) + int(s.object) + int(s.model) + int(s.editor);
    m_filesExpected = int(job.chosenTables.size()) * kinds * 2;
    emit progress(0, m_tablesExpected, 0, m_filesExpected);

    GenerationRun run(job.root, [this](const QString &line) { log(line); });
    run.setOutputFolderNote(job.outputFolderNote);
    run.setCatalogReader(job.reader);
    run.setSwitches(job.switches);
    run.setKeepUnchanged(job.keepUnchanged);
    run.setInterruptCheck([this] { return m_cancelled.load(); });
    run.setForeignEntriesHandler([this](const QStringList &, int count) {
        // The question points to the lines above it. A window that closes
        // meanwhile cancels the run, which then keeps everything.
        flush(true);
        emit foreignEntries(count);
        while (!m_answered.tryAcquire(1, 50)) {
            if (m_cancelled)
                return false;
        }
        return m_answer.load();
    });
    t_running = this;
    run.run(job.schema, job.chosenTables);
    t_running = nullptr;
    flush(true);
    const QString interrupted = run.outcome() == GenerationRun::Outcome::Interrupted
            ? QStringLiteral("Interrupted: %1 is unchanged").arg(QDir(job.root).absoluteFilePath(QStringLiteral("code")))
            : QString();
    emit generateFinished(interrupted, run.closingLine());
}

RunWorker *RunWorker::runningOnThisThread()
{
    return t_running;
}

void RunWorker::closeConnections()
{
    for (const QString &name : {schemaConnectionName(), catalogConnectionName()}) {
        if (QSqlDatabase::contains(name)) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
}

void RunWorker::log(const QString &line)
{
    if (line.startsWith(tableLine))
        ++m_tablesRead;
    else if (line.startsWith(classLine))
        m_filesWritten += 2; // a class is a header and a source
    m_pending.append(line);
    flush(false);
}

void RunWorker::flush(bool force)
{
    if (m_pending.isEmpty() || (!force && m_sinceFlush.elapsed() < flushMilliseconds))
        return;
    emit logLines(m_pending);
    emit progress(m_tablesRead, qMax(m_tablesExpected, m_tablesRead), m_filesWritten,
                  qMax(m_filesExpected, m_filesWritten));
    m_pending.clear();
    m_sinceFlush.restart();
}

RunThread::RunThread()
    : m_worker(new RunWorker)
{
    m_worker->moveToThread(&m_thread);
    // Emitted by the ending thread itself, where the connections live.
    QObject::connect(&m_thread, &QThread::finished, m_worker, &RunWorker::closeConnections, Qt::DirectConnection);
    m_thread.setObjectName(QStringLiteral("RunThread"));
    m_thread.start();
}

RunThread::~RunThread()
{
    m_worker->cancel();
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}
