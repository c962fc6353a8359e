#include "mysql/foreignkeycolumn.h"

namespace mysql {

ForeignKeyColumn::ForeignKeyColumn(Column *column, QObject *parent)
    : KeyColumn(column, parent)
{
}

} // namespace mysql
