#include "codemodel/tableobject.h"

#include "codemodel/columnobject.h"
#include "codemodel/generator.h"
#include "mysql/column.h"
#include "mysql/table.h"

#include <QSqlDatabase>
#include <QSqlField>
#include <QSqlRecord>

TableObject::TableObject(mysql::Table *table, QObject *parent)
    : QObject(parent)
    , m_table(table)
{
    m_className = table->name();
    if (!m_className.isEmpty())
        m_className[0] = m_className.at(0).toUpper();
    m_daoClassName = m_className + QStringLiteral("DAO");

    // Field types come from the driver, through the connection on the schema.
    const QSqlRecord record = QSqlDatabase::database(QStringLiteral("Connection"), true)
                                      .record(table->name());
    for (mysql::Column *column : table->columns()) {
        const int type = column->name().startsWith(QLatin1String("id"))
                ? int(QMetaType::LongLong)
                : record.field(column->name()).metaType().id();
        m_columns.append(new ColumnObject(column, m_className, type, this));
    }
}

bool TableObject::hasIdColumn() const
{
    return column(QStringLiteral("id")) != nullptr;
}

ColumnObject *TableObject::column(const QString &name) const
{
    for (ColumnObject *column : m_columns) {
        if (column->name() == name)
            return column;
    }
    return nullptr;
}

Generator *TableObject::generator() const
{
    return qobject_cast<Generator *>(parent());
}
