#include "mysql/database.h"

#include "mysql/catalogquery.h"
#include "mysql/diagnostics.h"
#include "mysql/foreignkey.h"
#include "mysql/primarykey.h"
#include "mysql/table.h"

#include <QHash>
#include <QSqlError>
#include <QVariant>

namespace mysql {

Database::Database(const QString &schema, QObject *parent)
    : QObject(parent)
    , m_name(schema)
{
}

Database::Database(const QString &schema, const QStringList &tableNames, QObject *parent)
    : QObject(parent)
    , m_name(schema)
    , m_tableNames(tableNames)
{
}

Database::Database(const QString &schema, LogSink logSink, QObject *parent)
    : QObject(parent)
    , m_name(schema)
    , m_logSink(std::move(logSink))
{
}

Table *Database::table(const QString &name) const
{
    // Tables are only ever appended, so the index catches up with the list
    // instead of being rebuilt; it keeps the first table of each name, which
    // is what a walk from the front finds.
    if (m_indexedTables > m_tables.size()) {
        m_tableIndex.clear();
        m_indexedTables = 0;
    }
    for (; m_indexedTables < m_tables.size(); ++m_indexedTables) {
        Table *table = m_tables.at(m_indexedTables);
        if (!m_tableIndex.contains(table->name()))
            m_tableIndex.insert(table->name(), table);
    }
    return m_tableIndex.value(name, nullptr);
}

void Database::writeLog(const QString &line) const
{
    if (m_logSink)
        m_logSink(line);
}

void Database::loadSequences()
{
    QSqlQuery query = catalogQuery();
    query.prepare(QStringLiteral("select TABLE_NAME from tables where table_schema = :schema and table_type = 'SEQUENCE'"));
    query.bindValue(QStringLiteral(":schema"), m_name);
    reportQueryError(execCatalogQuery(query), QString());
    m_sequences.clear();
    while (query.next())
        m_sequences.append(query.value(0).toString());
}

bool Database::hasSequence(const QString &name) const
{
    return m_sequences.contains(name) || table(name);
}

QStringList Database::queryTableNames() const
{
    QSqlQuery query = catalogQuery();
    query.prepare(QStringLiteral("select TABLE_NAME  from tables  where 1=1  and table_type = 'BASE TABLE'  and table_schema = :schema"));
    query.bindValue(QStringLiteral(":schema"), m_name);
    reportQueryError(execCatalogQuery(query), QString());

    QStringList names;
    while (query.next()) {
        const QString name = query.value(0).toString();
        if (m_tableNames.isEmpty()) {
            names.append(name);
            continue;
        }
        for (const QString &wanted : m_tableNames) {
            if (name == wanted)
                names.append(name);
        }
    }
    return names;
}

void Database::announceTable(const QString &name) const
{
    debugQuoted(name);
    writeLog(QStringLiteral("Getting information from table: %1").arg(name));
}

void Database::loadTables()
{
    const QStringList names = queryTableNames();
    for (const QString &name : names) {
        if (stopped())
            return;
        announceTable(name);
        m_tables.append(new Table(name, this));
        tableLoaded(names.size());
    }
}

void Database::announcePrimaryKey(const Table *table) const
{
    // The debug line comes before the work, as the developers are used to.
    debugQuoted(QStringLiteral("Creado Primary Key de la tabla \"%1\"").arg(table->name()));
    writeLog(QStringLiteral("Creating Primary key for table: %1").arg(table->name()));
}

void Database::announceForeignKeys(const Table *table) const
{
    debugQuoted(QStringLiteral("Creado Foreign Key de la tabla \"%1\"").arg(table->name()));
    writeLog(QStringLiteral("Creating Foreign key for table: %1").arg(table->name()));
}

void Database::createPrimaryKeys()
{
    for (Table *table : std::as_const(m_tables)) {
        if (stopped())
            return;
        announcePrimaryKey(table);
        table->createPrimaryKey();
    }
}

void Database::createForeignKeys()
{
    for (Table *table : std::as_const(m_tables)) {
        if (stopped())
            return;
        announceForeignKeys(table);
        table->loadForeignKeys();
    }
}

void Database::createKeys()
{
    createPrimaryKeys();
    createForeignKeys();
}

void Database::createRelationships()
{
    // The link of a pair (T1, T2) comes from T2's first foreign key whose
    // referenced table has the name of T1's primary key's table. Instead of
    // asking every table about every primary key, list for each referenced
    // name the tables holding such a key, in table order, with that first
    // key. Walking T1 in order and then that list meets the very same pairs
    // in the very same order as the walk over all pairs, so every link list
    // comes out the same.
    struct Referrer
    {
        Table *table;
        ForeignKey *key;
    };
    QHash<QString, QList<Referrer>> referrers;
    for (Table *t2 : std::as_const(m_tables)) {
        for (ForeignKey *key : t2->foreignKeys()) {
            const Table *referenced = key->referencedTable();
            if (!referenced)
                continue;
            QList<Referrer> &list = referrers[referenced->name()];
            if (list.isEmpty() || list.constLast().table != t2)
                list.append({t2, key});
        }
    }
    if (referrers.isEmpty())
        return;

    for (Table *t1 : std::as_const(m_tables)) {
        PrimaryKey *p1 = t1->primaryKey();
        if (!p1 || !p1->table())
            continue;
        const auto found = referrers.constFind(p1->table()->name());
        if (found == referrers.cend())
            continue;
        for (const Referrer &referrer : found.value()) {
            Table *t2 = referrer.table;
            const bool sameKeySize = t2->primaryKey()
                    && p1->columns().size() == t2->primaryKey()->columns().size();
            if (t2->foreignKeyInPrimaryKey(referrer.key) && sameKeySize) {
                t2->addOneToOneTable(t1);
                t1->addOneToOneTable(t2);
            } else {
                t2->addReferencedTable(t1);
                t1->addReferencingTable(t2);
            }
        }
    }
}

} // namespace mysql
