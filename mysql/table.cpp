#include "mysql/table.h"

#include "mysql/catalogquery.h"
#include "mysql/column.h"
#include "mysql/database.h"
#include "mysql/diagnostics.h"
#include "mysql/foreignkey.h"
#include "mysql/keycolumn.h"
#include "mysql/primarykey.h"

#include <QSet>
#include <QSqlError>
#include <QSqlRecord>
#include <QVariant>

namespace mysql {

namespace {

// A table referenced by most others has long link lists; the set answers
// "already there?" without walking the list.
template<typename T>
void appendOnce(QList<T *> &list, QSet<const T *> &members, T *item)
{
    if (members.contains(item))
        return;
    members.insert(item);
    list.append(item);
}

} // namespace

Table::Table(const QString &name, QObject *parent)
    : Table(name, parent, Unloaded())
{
    loadColumns();
}

Table::Table(const QString &name, QObject *parent, Unloaded)
    : QObject(parent)
    , m_name(name)
{
    setObjectName(name);
}

void Table::appendColumn(Column *column)
{
    m_columns.append(column);
    if (column->notNull())
        m_notNullColumns.append(column);
}

void Table::loadColumns()
{
    QSqlQuery query = catalogQuery();
    query.prepare(QStringLiteral("select c.TABLE_SCHEMA, c.TABLE_NAME, c.IS_NULLABLE, c.DATA_TYPE, c.COLUMN_NAME, c.COLUMN_TYPE, c.COLUMN_KEY from columns c where c.TABLE_SCHEMA = :schema  and c.TABLE_NAME = :tablename "));
    query.bindValue(QStringLiteral(":schema"), schemaOf(this));
    query.bindValue(QStringLiteral(":tablename"), m_name);
    reportQueryError(execCatalogQuery(query), QStringLiteral("mysql::Table::Table(const QString&, QObject*)"));

    while (query.next())
        appendColumn(new Column(query.record(), this));
}

Database *Table::database() const
{
    return qobject_cast<Database *>(parent());
}

Column *Table::column(const QString &name) const
{
    for (Column *column : m_columns) {
        if (column->name() == name)
            return column;
    }
    return nullptr;
}

void Table::createPrimaryKey()
{
    m_primaryKey = new PrimaryKey(this, this);
}

void Table::loadForeignKeys()
{
    QSqlQuery query = catalogQuery();
    query.prepare(QStringLiteral("select tc.constraint_name\n"
                                 "  from table_constraints tc\n"
                                 " where 1=1 \n"
                                 " and tc.constraint_type = 'FOREIGN KEY' \n"
                                 " and tc.constraint_schema = :schema \n"
                                 " and tc.table_name = :tableName \n"));
    query.bindValue(QStringLiteral(":schema"), schemaOf(this));
    query.bindValue(QStringLiteral(":tableName"), m_name);
    reportQueryError(execCatalogQuery(query), QString());

    // Every foreign key of the table, so that every link can be derived.
    while (query.next())
        m_foreignKeys.append(new ForeignKey(query.value(0).toString(), this, this));
}

bool Table::foreignKeyInPrimaryKey(ForeignKey *key) const
{
    if (!key || !m_primaryKey)
        return false;
    if (key->columns().size() > m_primaryKey->columns().size())
        return false;
    for (const KeyColumn *primaryColumn : m_primaryKey->columns()) {
        for (const KeyColumn *foreignColumn : key->columns()) {
            // A key column whose name is not among the table's columns has
            // no column and matches nothing.
            if (!primaryColumn->column() || !foreignColumn->column())
                continue;
            if (foreignColumn->column()->name() == primaryColumn->column()->name())
                return true;
        }
    }
    return false;
}

void Table::addOneToOneTable(Table *table)
{
    appendOnce(m_oneToOneTables, m_oneToOneSet, table);
}

void Table::addReferencingTable(Table *table)
{
    appendOnce(m_referencingTables, m_referencingSet, table);
}

void Table::addReferencedTable(Table *table)
{
    appendOnce(m_referencedTables, m_referencedSet, table);
}

} // namespace mysql
