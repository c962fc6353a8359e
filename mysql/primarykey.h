#pragma once

#include "mysql/constraint.h"

namespace mysql {

class PrimaryKey : public Constraint
{
public:
    // Reads the key's name and columns at once.
    PrimaryKey(Table *table, QObject *parent);

private:
    friend class SchemaCatalog;
    struct Unloaded {};
    // A key whose name and columns a schema-wide reader supplies.
    PrimaryKey(Table *table, QObject *parent, Unloaded);

    void loadName();
    void loadColumns();
};

} // namespace mysql
