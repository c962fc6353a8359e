#include "mysql/schemacatalog.h"

#include "mysql/catalogquery.h"
#include "mysql/column.h"
#include "mysql/database.h"
#include "mysql/diagnostics.h"
#include "mysql/foreignkey.h"
#include "mysql/foreignkeycolumn.h"
#include "mysql/primarykey.h"
#include "mysql/table.h"

#include <QHash>
#include <QSqlError>
#include <QSqlRecord>
#include <QVariant>

namespace mysql {

namespace {

// The per-table key queries join the catalogue views on table and
// constraint names under the catalogue's case- and accent-insensitive
// collation, so a key may pick up the key columns of a table whose name
// differs only in case. Grouping by this folded form gives the same rows.
QString folded(const QString &name)
{
    const QString decomposed = name.normalized(QString::NormalizationForm_D);
    QString result;
    result.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            result.append(c);
    }
    return result.toCaseFolded();
}

QString keyOf(const QString &table, const QString &constraint)
{
    return folded(table) + QChar(0) + folded(constraint);
}

struct ColumnRow
{
    QString tableName;
    QString isNullable;
    QString dataType;
    QString name;
    QString columnType;
};

struct KeyColumnRow
{
    QString column;
    int position;
    QString referencedTable;
    QString referencedColumn;
    QString schema;
    QString referencedSchema;
};

struct TableConstraints
{
    bool hasPrimaryKey = false;
    QString primaryKeyName;
    QStringList foreignKeyNames;
};

QSqlQuery runSchemaQuery(const QString &text, const QString &schema)
{
    QSqlQuery query = catalogQuery();
    query.setForwardOnly(true);
    query.prepare(text);
    query.bindValue(QStringLiteral(":schema"), schema);
    reportQueryError(execCatalogQuery(query), QString());
    return query;
}

} // namespace

SchemaCatalog::SchemaCatalog(Database *database)
    : m_database(database)
{
}

void SchemaCatalog::loadTables()
{
    const QStringList names = m_database->queryTableNames();
    if (names.isEmpty())
        return;

    // Plain values rather than a QSqlRecord per row: a record copies the
    // description of every field, which costs more than the values.
    QHash<QString, QList<ColumnRow>> columnsByTable;
    QSqlQuery query = runSchemaQuery(
            QStringLiteral("select c.TABLE_NAME, c.IS_NULLABLE, c.DATA_TYPE, c.COLUMN_NAME, c.COLUMN_TYPE"
                           "  from columns c"
                           " where c.TABLE_SCHEMA = :schema"
                           " order by c.ORDINAL_POSITION"),
            m_database->name());
    while (query.next()) {
        const QString tableName = query.value(0).toString();
        columnsByTable[tableName].append({tableName, query.value(1).toString(), query.value(2).toString(),
                                          query.value(3).toString(), query.value(4).toString()});
    }

    for (const QString &name : names) {
        m_database->announceTable(name);
        auto *table = new Table(name, m_database, Table::Unloaded());
        const auto rows = columnsByTable.constFind(name);
        if (rows != columnsByTable.cend()) {
            for (const ColumnRow &row : rows.value()) {
                table->appendColumn(new Column(row.tableName, row.name, row.dataType, row.columnType,
                                               row.isNullable, table));
            }
        }
        m_database->m_tables.append(table);
        m_database->tableLoaded(names.size());
    }
}

void SchemaCatalog::createKeys()
{
    const QList<Table *> &tables = m_database->tables();
    if (tables.isEmpty())
        return;
    const QString schema = m_database->name();

    QHash<QString, TableConstraints> constraints;
    QSqlQuery query = runSchemaQuery(
            QStringLiteral("select tc.TABLE_NAME, tc.CONSTRAINT_NAME, tc.CONSTRAINT_TYPE"
                           "  from table_constraints tc"
                           " where tc.TABLE_SCHEMA = :schema"
                           "   and tc.CONSTRAINT_SCHEMA = :schema"
                           "   and tc.CONSTRAINT_TYPE in ('PRIMARY KEY', 'FOREIGN KEY')"),
            schema);
    while (query.next()) {
        TableConstraints &table = constraints[query.value(0).toString()];
        const QString name = query.value(1).toString();
        if (query.value(2).toString() == QLatin1String("PRIMARY KEY")) {
            if (!table.hasPrimaryKey)
                table.primaryKeyName = name;
            table.hasPrimaryKey = true;
        } else {
            table.foreignKeyNames.append(name);
        }
    }

    QHash<QString, QList<KeyColumnRow>> keyColumns;
    query = runSchemaQuery(
            QStringLiteral("select kc.TABLE_NAME, kc.CONSTRAINT_NAME, kc.COLUMN_NAME, kc.ORDINAL_POSITION,"
                           "       kc.REFERENCED_TABLE_NAME, kc.REFERENCED_COLUMN_NAME,"
                           "       kc.TABLE_SCHEMA, kc.REFERENCED_TABLE_SCHEMA"
                           "  from KEY_COLUMN_USAGE kc"
                           " where kc.TABLE_SCHEMA = :schema"
                           "   and kc.CONSTRAINT_SCHEMA = :schema"),
            schema);
    while (query.next()) {
        keyColumns[keyOf(query.value(0).toString(), query.value(1).toString())].append(
                {query.value(2).toString(), query.value(3).toInt(), query.value(4).toString(),
                 query.value(5).toString(), query.value(6).toString(), query.value(7).toString()});
    }


    for (Table *table : tables) {
        m_database->announcePrimaryKey(table);
        auto *key = new PrimaryKey(table, table, PrimaryKey::Unloaded());
        const TableConstraints tableConstraints = constraints.value(table->name());
        if (tableConstraints.hasPrimaryKey) {
            key->setName(tableConstraints.primaryKeyName);
            for (const KeyColumnRow &row : keyColumns.value(keyOf(table->name(), tableConstraints.primaryKeyName))) {
                auto *keyColumn = new KeyColumn(table->column(row.column), key);
                keyColumn->setPosition(row.position);
                key->appendColumn(keyColumn);
            }
        }
        table->m_primaryKey = key;
    }

    for (Table *table : tables) {
        m_database->announceForeignKeys(table);
        for (const QString &name : constraints.value(table->name()).foreignKeyNames) {
            auto *key = new ForeignKey(name, table, table, ForeignKey::Unloaded());
            const QList<KeyColumnRow> rows = keyColumns.value(keyOf(table->name(), name));
            if (!rows.isEmpty())
                key->setReferenced(rows.first().schema, rows.first().referencedSchema, rows.first().referencedTable);
            for (const KeyColumnRow &row : rows) {
                auto *keyColumn = new ForeignKeyColumn(table->column(row.column), key);
                keyColumn->setPosition(row.position);
                if (key->m_referencedTable)
                    keyColumn->setReferencedColumn(key->m_referencedTable->column(row.referencedColumn));
                key->appendColumn(keyColumn);
            }
            table->m_foreignKeys.append(key);
        }
    }
}

} // namespace mysql
