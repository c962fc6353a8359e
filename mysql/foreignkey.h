#pragma once

#include "mysql/constraint.h"

namespace mysql {

class ForeignKey : public Constraint
{
public:
    // Reads the referenced table and the key's columns at once.
    ForeignKey(const QString &name, Table *table, QObject *parent);

    Table *referencedTable() const { return m_referencedTable; }

private:
    friend class SchemaCatalog;
    struct Unloaded {};
    // A key whose referenced table and columns a schema-wide reader supplies.
    ForeignKey(const QString &name, Table *table, QObject *parent, Unloaded);

    void loadReferencedTable();
    void loadColumns();

    Table *m_referencedTable = nullptr;
};

} // namespace mysql
