#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace mysql {
class Database;
class Table;
}

class FieldLists;
class TableObject;
struct SchemaRules;

// The root of the code model: one TableObject per loaded table and one
// Relation per table-to-table link.
class Generator : public QObject
{
    Q_OBJECT

public:
    Generator(mysql::Database *database, QObject *parent);

    mysql::Database *database() const { return m_database; }
    const QList<TableObject *> &tableObjects() const { return m_tableObjects; }
    TableObject *tableObject(const QString &tableName) const;
    // Whether one of the classes generated for the schema's tables has this
    // name.
    bool isClassName(const QString &name) const;
    // Whether the generated code uses a class of its framework by this name.
    static bool isFrameworkClassName(const QString &name);

    // Field lists read beforehand for many tables; the table objects read
    // those of the other tables one by one.
    void setFieldLists(const FieldLists *lists) { m_fieldLists = lists; }
    const FieldLists *fieldLists() const { return m_fieldLists; }

    // The project's names, types and left-out columns, and whether each key
    // gets a getter; checked by schemarules::apply() beforehand. Set before
    // the table objects are made.
    void setRules(const SchemaRules *rules) { m_rules = rules; }
    const SchemaRules *rules() const { return m_rules; }
    // The rules that meet the names of the model: one "FILE:LINE: ..." line
    // each; the model must not be generated when there are any.
    const QStringList &ruleProblems() const { return m_ruleProblems; }

    void createTableObjects();
    void createRelations();

private:
    // The guards of the classes the project names, with their tables;
    // names that meet are refused.
    void reserveChosenNames(QHash<QString, const mysql::Table *> *reserved);
    void addKeyRelations(TableObject *source);

    mysql::Database *m_database;
    QList<TableObject *> m_tableObjects;
    // Name lookups: the first object of each table name among the first
    // m_indexedObjects objects.
    mutable QHash<QString, TableObject *> m_objectIndex;
    mutable qsizetype m_indexedObjects = 0;
    QSet<QString> m_classNames;
    const FieldLists *m_fieldLists = nullptr;
    const SchemaRules *m_rules = nullptr;
    QStringList m_ruleProblems;
};
