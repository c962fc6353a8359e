#include "mysql/foreignkey.h"

#include "mysql/catalogquery.h"
#include "mysql/database.h"
#include "mysql/diagnostics.h"
#include "mysql/foreignkeycolumn.h"
#include "mysql/table.h"

#include <QSqlError>
#include <QVariant>

namespace mysql {

ForeignKey::ForeignKey(const QString &name, Table *table, QObject *parent)
    : ForeignKey(name, table, parent, Unloaded())
{
    loadReferencedTable();
    loadColumns();
}

ForeignKey::ForeignKey(const QString &name, Table *table, QObject *parent, Unloaded)
    : Constraint(table, parent)
{
    setObjectName(name);
    setName(name);
}

ForeignKey *ForeignKey::declare(Table *table, Table *referenced, const QList<std::pair<Column *, Column *>> &columns)
{
    auto *key = new ForeignKey(QStringLiteral("declared"), table, table, Unloaded());
    key->m_declared = true;
    key->m_referencedTable = referenced;
    key->m_referencedTableName = referenced->name();
    key->m_referencedSchema = schemaOf(table);
    int position = 0;
    for (const auto &[column, referencedColumn] : columns) {
        auto *keyColumn = new ForeignKeyColumn(column, key);
        keyColumn->setPosition(++position);
        keyColumn->setReferencedColumn(referencedColumn);
        key->appendColumn(keyColumn);
    }
    table->appendForeignKey(key);
    return key;
}

void ForeignKey::loadReferencedTable()
{
    QSqlQuery query = catalogQuery();
    query.prepare(QStringLiteral("select kc.referenced_table_name, kc.referenced_table_schema, kc.table_schema\n"
                                 "  from KEY_COLUMN_USAGE kc, table_constraints tc\n"
                                 " where 1=1\n"
                                 "   and kc.CONSTRAINT_SCHEMA = tc.constraint_schema\n"
                                 "   and tc.table_name = kc.table_name\n"
                                 "   and tc.constraint_name = kc.constraint_name\n"
                                 "   and tc.constraint_type = 'FOREIGN KEY'\n"
                                 "   and tc.table_name = :tableName\n"
                                 "   and tc.constraint_name = :constraintName \n"
                                 "   and tc.constraint_schema = :schema \n"));
    query.bindValue(QStringLiteral(":tableName"), table()->name());
    query.bindValue(QStringLiteral(":constraintName"), name());
    query.bindValue(QStringLiteral(":schema"), schemaOf(table()));
    reportQueryError(execCatalogQuery(query), QString());

    if (query.next())
        setReferenced(query.value(2).toString(), query.value(1).toString(), query.value(0).toString());
}

void ForeignKey::setReferenced(const QString &ownSchema, const QString &schema, const QString &name)
{
    m_referencedSchema = schema;
    m_referencedTableName = name;
    m_otherSchema = schema != ownSchema;
    const Database *db = table()->database();
    m_referencedTable = db && !m_otherSchema ? db->table(name) : nullptr;
}

void ForeignKey::loadColumns()
{
    QSqlQuery query = catalogQuery();
    query.prepare(QStringLiteral("select kc.column_name,\n"
                                 "       kc.ordinal_position,\n"
                                 "       kc.referenced_column_name\n"
                                 "  from KEY_COLUMN_USAGE kc, table_constraints tc\n"
                                 " where 1=1\n"
                                 "   and kc.CONSTRAINT_SCHEMA = tc.constraint_schema\n"
                                 "   and tc.table_name = kc.table_name\n"
                                 "   and tc.constraint_name = kc.constraint_name\n"
                                 "   and tc.constraint_type = 'FOREIGN KEY'\n"
                                 "   and tc.table_name = :tableName\n"
                                 "   and tc.constraint_name = :constraintName \n"
                                 "   and tc.constraint_schema = :schema\n"));
    query.bindValue(QStringLiteral(":tableName"), table()->name());
    query.bindValue(QStringLiteral(":constraintName"), name());
    query.bindValue(QStringLiteral(":schema"), schemaOf(table()));
    reportQueryError(execCatalogQuery(query), QString());

    while (query.next()) {
        auto *keyColumn = new ForeignKeyColumn(table()->column(query.value(0).toString()), this);
        keyColumn->setPosition(query.value(1).toInt());
        if (m_referencedTable)
            keyColumn->setReferencedColumn(m_referencedTable->column(query.value(2).toString()));
        appendColumn(keyColumn);
    }
}

} // namespace mysql
