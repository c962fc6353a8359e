#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

namespace mysql {
class Table;
}

class ColumnObject;
class Generator;
class Relation;
struct SchemaRules;

// The generators' view of one table: the names of the classes to generate,
// its columns and its links to other tables.
class TableObject : public QObject
{
    Q_OBJECT

public:
    TableObject(mysql::Table *table, QObject *parent);
    // With the table's C++ name chosen by the caller, and the class name
    // when it is not that name with a capital letter.
    TableObject(mysql::Table *table, const QString &cppName, QObject *parent, const QString &className = QString());

    mysql::Table *table() const { return m_table; }
    // The table's name in C++ identifiers; the entity class name is made
    // from it, unless the project names the class.
    const QString &cppName() const { return m_cppName; }
    const QString &className() const { return m_className; }
    const QString &daoClassName() const { return m_daoClassName; }
    // The stem of the entity's file names, made from the table's name as the
    // schema spells it; the other generators' files add their word to it.
    // The Generator makes it unique among the schema's tables.
    const QString &fileName() const { return m_fileName; }
    void setFileName(const QString &fileName) { m_fileName = fileName; }
    // The name of the table's number sequence, made from its name alone.
    QString sequenceName() const;
    // The name of the entity variables in the DAO's methods.
    QString variableName() const;
    // The table's name in generated SQL, quoted where the server needs it.
    QString sqlName() const;
    const QList<ColumnObject *> &columns() const { return m_columns; }
    const QList<Relation *> &relations() const { return m_relations; }

    bool hasIdColumn() const;
    // The columns of the primary key in key order; empty without one.
    QList<ColumnObject *> primaryKeyColumns() const;
    ColumnObject *column(const QString &name) const;
    Generator *generator() const;

    void appendRelation(Relation *relation) { m_relations.append(relation); }
    // Leaves out the columns the project leaves out, and gives the others
    // the types and member names it chooses; a name that meets another
    // column's or a class's adds a line to `problems`. Once the generator
    // knows every class name.
    void applyRules(const SchemaRules &rules, QStringList *problems);
    // Renames the columns whose C++ name is one of `classNames`: a getter
    // named like a class hides it.
    void avoidClassNames(const QSet<QString> &classNames);

private:
    void makeColumnNamesUnique();

    mysql::Table *m_table;
    QString m_cppName;
    QString m_className;
    QString m_fileName;
    QString m_daoClassName;
    QList<ColumnObject *> m_columns;
    QList<Relation *> m_relations;
};
