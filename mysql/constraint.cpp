#include "mysql/constraint.h"

namespace mysql {

Constraint::Constraint(Table *table, QObject *parent)
    : QObject(parent)
    , m_table(table)
{
}

} // namespace mysql
