#include "mysql/primarykey.h"

#include "mysql/catalogquery.h"
#include "mysql/database.h"
#include "mysql/diagnostics.h"
#include "mysql/keycolumn.h"
#include "mysql/table.h"

#include <QSqlError>
#include <QVariant>

namespace mysql {

PrimaryKey::PrimaryKey(Table *table, QObject *parent)
    : PrimaryKey(table, parent, Unloaded())
{
    loadName();
    loadColumns();
}

PrimaryKey::PrimaryKey(Table *table, QObject *parent, Unloaded)
    : Constraint(table, parent)
{
    setObjectName(QStringLiteral("PK -> %1").arg(table->name()));
}

void PrimaryKey::loadName()
{
    QSqlQuery query = catalogQuery();
    query.prepare(QStringLiteral("select tc.table_name,\n"
                                 "       tc.constraint_name,\n"
                                 "       tc.constraint_type\n"
                                 "  from table_constraints tc\n"
                                 " where 1=1 \n"
                                 " and tc.constraint_type = 'PRIMARY KEY' \n"
                                 " and tc.constraint_schema = :schema \n"
                                 " and tc.table_name = :tableName \n"));
    query.bindValue(QStringLiteral(":schema"), schemaOf(table()));
    query.bindValue(QStringLiteral(":tableName"), table()->name());
    reportQueryError(execCatalogQuery(query), QString());

    if (query.next())
        setName(query.value(1).toString());
}

void PrimaryKey::loadColumns()
{
    QSqlQuery query = catalogQuery();
    query.prepare(QStringLiteral("select kc.column_name,\n"
                                 "       kc.ordinal_position\n"
                                 "  from KEY_COLUMN_USAGE kc, table_constraints tc\n"
                                 " where 1=1\n"
                                 "   and kc.CONSTRAINT_SCHEMA = tc.constraint_schema\n"
                                 "   and tc.table_name = kc.table_name\n"
                                 "   and tc.constraint_name = kc.constraint_name\n"
                                 "   and tc.constraint_type = 'PRIMARY KEY' \n"
                                 "   and tc.table_name = :tableName \n"
                                 "   and tc.constraint_schema = :schema \n"));
    query.bindValue(QStringLiteral(":tableName"), table()->name());
    query.bindValue(QStringLiteral(":schema"), schemaOf(table()));
    reportQueryError(execCatalogQuery(query), QString());

    while (query.next()) {
        auto *keyColumn = new KeyColumn(table()->column(query.value(0).toString()), this);
        keyColumn->setPosition(query.value(1).toInt());
        appendColumn(keyColumn);
    }
}

} // namespace mysql
