#pragma once

#include "mysql/constraint.h"

#include <QList>

#include <utility>

namespace mysql {

class Column;

class ForeignKey : public Constraint
{
public:
    // Reads the referenced table and the key's columns at once.
    ForeignKey(const QString &name, Table *table, QObject *parent);

    // Null when the referenced table is not loaded, or lies in another schema.
    Table *referencedTable() const { return m_referencedTable; }
    // The referenced table as the catalogue names it, and its schema.
    const QString &referencedTableName() const { return m_referencedTableName; }
    const QString &referencedSchema() const { return m_referencedSchema; }
    // A key into another schema links to no table of this one, even when
    // this schema has a table of the same name.
    bool referencesOtherSchema() const { return m_otherSchema; }
    // Declared by the project rather than read from the catalogue.
    bool isDeclared() const { return m_declared; }

    // A key the schema lacks, declared by the project: links `table` to
    // `referenced` through the pairs (column, referenced column), and joins
    // the table's keys after those of the catalogue.
    static ForeignKey *declare(Table *table, Table *referenced, const QList<std::pair<Column *, Column *>> &columns);

private:
    friend class SchemaCatalog;
    struct Unloaded {};
    // A key whose referenced table and columns a schema-wide reader supplies.
    ForeignKey(const QString &name, Table *table, QObject *parent, Unloaded);

    void loadReferencedTable();
    void loadColumns();
    // Links the key to the table `name` of `schema` when that is the key's
    // own schema, as the catalogue spells both.
    void setReferenced(const QString &ownSchema, const QString &schema, const QString &name);

    Table *m_referencedTable = nullptr;
    QString m_referencedSchema;
    QString m_referencedTableName;
    bool m_otherSchema = false;
    bool m_declared = false;
};

} // namespace mysql
