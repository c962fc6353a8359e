#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

namespace mysql {
class Database;
}

class FieldLists;
class TableObject;

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

    void createTableObjects();
    void createRelations();

private:
    mysql::Database *m_database;
    QList<TableObject *> m_tableObjects;
    // Name lookups: the first object of each table name among the first
    // m_indexedObjects objects.
    mutable QHash<QString, TableObject *> m_objectIndex;
    mutable qsizetype m_indexedObjects = 0;
    QSet<QString> m_classNames;
    const FieldLists *m_fieldLists = nullptr;
};
