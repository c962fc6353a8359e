#include "codemodel/tableobject.h"

#include "codemodel/columnobject.h"
#include "codemodel/generator.h"
#include "mysql/column.h"
#include "mysql/diagnostics.h"
#include "mysql/table.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// The live table's fields as the driver types them. The driver's own field
// list misreads some names: one that starts and ends with a backtick is taken
// as already quoted (and so names another table), and a long non-ASCII one
// is refused; a query of our own with the name quoted reads any table.
QSqlRecord fieldList(const QSqlDatabase &connection, const QString &table, QString *error)
{
    if (!connection.driver()->isIdentifierEscaped(table, QSqlDriver::TableName)) {
        const QSqlRecord record = connection.record(table);
        if (!record.isEmpty())
            return record;
    }
    QString quoted = table;
    quoted.replace(QLatin1Char('`'), QLatin1String("``"));
    QSqlQuery query(connection);
    if (query.exec(QStringLiteral("select * from `%1` limit 0").arg(quoted)))
        return query.record();
    *error = query.lastError().text();
    return QSqlRecord();
}

void reportIncomplete(const QString &message)
{
    reportQueryError(QSqlError(message, QString(), QSqlError::StatementError),
                     QStringLiteral("TableObject::TableObject(mysql::Table*, QObject*)"));
}

} // namespace

TableObject::TableObject(mysql::Table *table, QObject *parent)
    : QObject(parent)
    , m_table(table)
{
    m_className = table->name();
    if (!m_className.isEmpty())
        m_className[0] = m_className.at(0).toUpper();
    m_daoClassName = m_className + QStringLiteral("DAO");

    // Field types come from the driver, through the connection on the schema.
    QString fieldListError;
    const QSqlRecord record = fieldList(QSqlDatabase::database(QStringLiteral("Connection"), true),
                                        table->name(), &fieldListError);
    // Both cases below leave the classes incomplete without any catalogue
    // query failing, so they are counted with the failed queries: a front end
    // must not report such a run as complete.
    if (table->columns().isEmpty()) {
        // Every table has a column: the catalogue hides them from this
        // account, or the server went away; the field list tells which.
        QString message = QStringLiteral("The catalogue lists no columns for table %1").arg(table->name());
        if (record.isEmpty() && !fieldListError.isEmpty())
            message += QStringLiteral(" (%1)").arg(fieldListError);
        reportIncomplete(message);
    } else if (record.isEmpty()) {
        // No field list (no SELECT privilege on the table, the server gone):
        // every type falls back to text.
        reportIncomplete(QStringLiteral("Cannot read the field types of table %1: %2")
                                 .arg(table->name(), fieldListError));
    }

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
