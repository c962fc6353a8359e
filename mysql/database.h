#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace mysql {

class Table;

// Receives the progress lines meant for the user, one call per line.
using LogSink = std::function<void(const QString &line)>;

// One schema as information_schema describes it: its base tables with their
// columns and keys, and the table-to-table links derived from those keys.
class Database : public QObject
{
    Q_OBJECT

public:
    Database(const QString &schema, QObject *parent);
    Database(const QString &schema, const QStringList &tableNames, QObject *parent);
    // For front ends without a log pane, such as the command line.
    Database(const QString &schema, LogSink logSink, QObject *parent);

    const QString &name() const { return m_name; }
    const QStringList &tableNames() const { return m_tableNames; }
    const QList<Table *> &tables() const { return m_tables; }

    Table *table(const QString &name) const;

    void loadTables();

    void createPrimaryKeys();
    void createForeignKeys();
    void createKeys();

    void createRelationships();

    // The schema's sequences (MariaDB's CREATE SEQUENCE), one schema-wide
    // query; MySQL has none. The generated DAOs number new rows from them.
    void loadSequences();
    // Whether the schema holds `name` as a sequence, or as a base table, the
    // form a sequence takes on a server without them.
    bool hasSequence(const QString &name) const;

    // Hands a progress line to the log sink when there is one.
    void writeLog(const QString &line) const;
    // Asked before each table is loaded or gets its keys: when it says yes,
    // the load stops there (a run that was cancelled).
    void setStopCheck(std::function<bool()> check) { m_stop = std::move(check); }
    // Told after each table is loaded: how many are, of how many there are
    // to load (a progress bar's figures).
    void setLoadProgress(std::function<void(int loaded, int total)> progress) { m_loadProgress = std::move(progress); }

private:
    friend class SchemaCatalog;

    // The names of the tables to load, in the server's order: every base
    // table, or those the filter list names (a name listed twice comes twice).
    QStringList queryTableNames() const;
    // Writes the debug and log lines that announce a table being loaded.
    void announceTable(const QString &name) const;
    void announcePrimaryKey(const Table *table) const;
    void announceForeignKeys(const Table *table) const;

    QString m_name;
    QStringList m_tableNames;
    QList<Table *> m_tables;
    QStringList m_sequences;
    // Name lookups: the first table of each name among the first
    // m_indexedTables tables.
    mutable QHash<QString, Table *> m_tableIndex;
    mutable qsizetype m_indexedTables = 0;
    LogSink m_logSink;
    std::function<bool()> m_stop;
    std::function<void(int, int)> m_loadProgress;

    bool stopped() const { return m_stop && m_stop(); }
    void tableLoaded(qsizetype total) const
    {
        if (m_loadProgress)
            m_loadProgress(int(m_tables.size()), int(total));
    }
};

} // namespace mysql
