#pragma once

#include "mysql/constraint.h"

namespace mysql {

class PrimaryKey : public Constraint
{
public:
    // Reads the key's name and columns at once.
    PrimaryKey(Table *table, QObject *parent);

private:
    void loadName();
    void loadColumns();
};

} // namespace mysql
