#include "mysql/column.h"

#include "mysql/table.h"

#include <QSqlRecord>
#include <QVariant>

namespace mysql {

Column::Column(const QSqlRecord &record, Table *parent)
    : QObject(parent)
{
    m_tableName = record.value(QStringLiteral("TABLE_NAME")).toString();
    m_name = record.value(QStringLiteral("COLUMN_NAME")).toString();
    m_dataType = record.value(QStringLiteral("DATA_TYPE")).toString();
    m_columnType = record.value(QStringLiteral("COLUMN_TYPE")).toString();
    m_notNull = record.value(QStringLiteral("IS_NULLABLE")).toString() == QLatin1String("NO");
    setObjectName(m_name);
}

Column::Column(const QString &tableName, const QString &name, const QString &dataType,
               const QString &columnType, const QString &isNullable, Table *parent)
    : QObject(parent)
    , m_tableName(tableName)
    , m_name(name)
    , m_dataType(dataType)
    , m_columnType(columnType)
    , m_notNull(isNullable == QLatin1String("NO"))
{
    setObjectName(m_name);
}

} // namespace mysql
