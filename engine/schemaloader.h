#pragma once

#include "codemodel/schemarules.h"
#include "engine/runoptions.h"
#include "mysql/database.h"

#include <QString>

#include <functional>
#include <memory>

class Generator;


// Reads a schema from its catalogue and builds its code model: the one way
// Generate, --check and the window's views read a schema. It queries the
// connections registered under the calling thread's names
// (mysql/threadconnections.h) and counts what could not be read.
class SchemaLoader
{
public:
    // Milliseconds spent in each step.
    struct Timings
    {
        qint64 tables = 0;
        qint64 keys = 0;
        qint64 relationships = 0;
        qint64 codeModel = 0;
    };

    // Progress lines ("Getting information from table: ...") go to `log`.
    SchemaLoader(const QString &schema, mysql::LogSink log);
    ~SchemaLoader();
    SchemaLoader(const SchemaLoader &) = delete;
    SchemaLoader &operator=(const SchemaLoader &) = delete;

    void setCatalogReader(CatalogReader reader) { m_reader = reader; }
    // A project's relations, names, types and left-out columns: declared
    // keys join the catalogue's before the links are derived, the rest
    // shapes the code model.
    void setRules(const SchemaRules &rules) { m_rules = rules; }
    // The rules that do not fit the schema read, "FILE:LINE: ..." in the
    // file's order; nothing may be generated when there are any.
    const QStringList &ruleProblems() const { return m_ruleProblems; }
    // Asked before each table; when it says yes, the read stops there.
    void setStopCheck(std::function<bool()> check);
    // Told after each table is read: how many are, of how many.
    void setTableProgress(std::function<void(int read, int total)> progress);

    // The tables with their columns, their keys, and the links between them.
    void readSchema();
    // The code model of what was read, with every table's field types as
    // the driver gives them: for the schema-wide reader in a few batched
    // queries, for the per-table reader one table at a time.
    Generator *buildCodeModel();

    mysql::Database *database() const { return m_database.get(); }
    // Null until buildCodeModel().
    Generator *generator() const { return m_generator.get(); }

    // Catalogue queries that failed in readSchema(), and the last one's error.
    int catalogErrorCount() const { return m_catalogErrors; }
    const QString &lastCatalogError() const { return m_lastCatalogError; }
    // Tables whose field types (or columns) buildCodeModel() could not read,
    // and the last one's error.
    int fieldTypeErrorCount() const { return m_fieldTypeErrors; }
    const QString &lastFieldTypeError() const { return m_lastFieldTypeError; }
    int readErrorCount() const { return m_catalogErrors + m_fieldTypeErrors; }
    // The error of the last read that failed, either kind.
    QString lastReadError() const { return m_fieldTypeErrors > 0 ? m_lastFieldTypeError : m_lastCatalogError; }

    const Timings &timings() const { return m_timings; }

private:
    CatalogReader m_reader = CatalogReader::PerTable;
    SchemaRules m_rules;
    QStringList m_ruleProblems;
    // The code model points into the schema: it goes first.
    std::unique_ptr<mysql::Database> m_database;
    std::unique_ptr<Generator> m_generator;
    int m_catalogErrors = 0;
    QString m_lastCatalogError;
    int m_fieldTypeErrors = 0;
    QString m_lastFieldTypeError;
    Timings m_timings;
};
