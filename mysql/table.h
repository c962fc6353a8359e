#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

namespace mysql {

class Column;
class Database;
class ForeignKey;
class PrimaryKey;

class Table : public QObject
{
    Q_OBJECT

public:
    // Loads the table's columns at once; the parent must be the Database.
    Table(const QString &name, QObject *parent);

    const QString &name() const { return m_name; }
    const QList<Column *> &columns() const { return m_columns; }
    const QList<Column *> &notNullColumns() const { return m_notNullColumns; }
    PrimaryKey *primaryKey() const { return m_primaryKey; }
    const QList<ForeignKey *> &foreignKeys() const { return m_foreignKeys; }
    const QList<Table *> &oneToOneTables() const { return m_oneToOneTables; }
    const QList<Table *> &referencingTables() const { return m_referencingTables; }
    const QList<Table *> &referencedTables() const { return m_referencedTables; }

    Database *database() const;
    Column *column(const QString &name) const;

    void createPrimaryKey();
    void loadForeignKeys();

    bool foreignKeyInPrimaryKey(ForeignKey *key) const;

    // A key read or declared after the catalogue's, before the links are
    // derived.
    void appendForeignKey(ForeignKey *key) { m_foreignKeys.append(key); }

    void addOneToOneTable(Table *table);
    void addReferencingTable(Table *table);
    void addReferencedTable(Table *table);

private:
    friend class SchemaCatalog;
    struct Unloaded {};
    // A table whose columns a schema-wide reader supplies.
    Table(const QString &name, QObject *parent, Unloaded);
    void appendColumn(Column *column);

    void loadColumns();

    QString m_name;
    QList<Column *> m_columns;
    QList<Column *> m_notNullColumns;
    PrimaryKey *m_primaryKey = nullptr;
    QList<ForeignKey *> m_foreignKeys;
    QList<Table *> m_oneToOneTables;
    QList<Table *> m_referencingTables;
    QList<Table *> m_referencedTables;
    // The members of the three link lists, for appending each table once.
    QSet<const Table *> m_oneToOneSet;
    QSet<const Table *> m_referencingSet;
    QSet<const Table *> m_referencedSet;
};

} // namespace mysql
