#pragma once

#include <QObject>
#include <QString>

QT_BEGIN_NAMESPACE
class QSqlRecord;
QT_END_NAMESPACE

namespace mysql {

class Table;

class Column : public QObject
{
    Q_OBJECT

public:
    // One column from one row of the columns query.
    Column(const QSqlRecord &record, Table *parent);

    const QString &tableName() const { return m_tableName; }
    const QString &name() const { return m_name; }
    const QString &dataType() const { return m_dataType; }
    const QString &columnType() const { return m_columnType; }
    bool notNull() const { return m_notNull; }

private:
    friend class SchemaCatalog;
    // A column from the values of a schema-wide reader's row, in the same
    // fields that the record constructor reads.
    Column(const QString &tableName, const QString &name, const QString &dataType,
           const QString &columnType, const QString &isNullable, Table *parent);

    QString m_tableName;
    QString m_name;
    QString m_dataType;
    QString m_columnType;
    bool m_notNull = false;
};

} // namespace mysql
