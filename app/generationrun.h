#pragma once

#include "mysql/database.h"

#include <QString>
#include <QStringList>

// One Generate: wipe and recreate the output tree, read the whole schema,
// build the code model and write the chosen generators' files for every
// chosen table. The window and the command line both run it.
class GenerationRun
{
public:
    // How the schema is read: the catalogue queries per table, or a few
    // schema-wide queries that give the same model much faster.
    enum class CatalogReader {
        PerTable,
        SchemaWide
    };

    // Milliseconds spent in each phase of the last run.
    struct Timings
    {
        qint64 outputTree = 0;
        qint64 tables = 0;
        qint64 keys = 0;
        qint64 relationships = 0;
        qint64 codeModel = 0;
        qint64 files = 0;
    };

    struct Switches
    {
        bool dao = true;
        bool object = true;
        bool model = true;
        bool editor = true;
    };

    // `root` is the directory that receives "code". Progress lines go to
    // `log`; lines about what could not be written go to `errors`, or to
    // `log` as well when no error sink is given.
    GenerationRun(const QString &root, mysql::LogSink log, mysql::LogSink errors = {});

    void setSwitches(const Switches &switches) { m_switches = switches; }
    void setCatalogReader(CatalogReader reader) { m_reader = reader; }

    // Runs the whole job for `schema`, writing files for the tables named in
    // `chosenTables`. Returns false when anything could not be written.
    bool run(const QString &schema, const QStringList &chosenTables);

    // Files and directories that could not be written or removed.
    int failureCount() const { return m_failures; }
    // Catalogue queries that failed while the schema was read.
    int queryErrorCount() const { return m_queryErrors; }
    const Timings &timings() const { return m_timings; }

private:
    void prepareOutputTree();

    QString m_root;
    mysql::LogSink m_log;
    mysql::LogSink m_errors;
    Switches m_switches;
    CatalogReader m_reader = CatalogReader::PerTable;
    int m_failures = 0;
    int m_queryErrors = 0;
    Timings m_timings;
};
