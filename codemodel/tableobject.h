#pragma once

#include <QList>
#include <QObject>
#include <QString>

namespace mysql {
class Table;
}

class ColumnObject;
class Generator;
class Relation;

// The generators' view of one table: the names of the classes to generate,
// its columns and its links to other tables.
class TableObject : public QObject
{
    Q_OBJECT

public:
    TableObject(mysql::Table *table, QObject *parent);

    mysql::Table *table() const { return m_table; }
    const QString &className() const { return m_className; }
    const QString &daoClassName() const { return m_daoClassName; }
    const QList<ColumnObject *> &columns() const { return m_columns; }
    const QList<Relation *> &relations() const { return m_relations; }

    bool hasIdColumn() const;
    ColumnObject *column(const QString &name) const;
    Generator *generator() const;

    void appendRelation(Relation *relation) { m_relations.append(relation); }

private:
    mysql::Table *m_table;
    QString m_className;
    QString m_daoClassName;
    QList<ColumnObject *> m_columns;
    QList<Relation *> m_relations;
};
