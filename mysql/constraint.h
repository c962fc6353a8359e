#pragma once

#include <QList>
#include <QObject>
#include <QString>

namespace mysql {

class KeyColumn;
class Table;

// A key of a table: its name and its columns.
class Constraint : public QObject
{
    Q_OBJECT

public:
    Constraint(Table *table, QObject *parent);

    Table *table() const { return m_table; }
    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    const QList<KeyColumn *> &columns() const { return m_columns; }

protected:
    friend class SchemaCatalog;
    void appendColumn(KeyColumn *column) { m_columns.append(column); }

private:
    Table *m_table;
    QString m_name;
    QList<KeyColumn *> m_columns;
};

} // namespace mysql
