#include "mysql/keycolumn.h"

namespace mysql {

KeyColumn::KeyColumn(Column *column, QObject *parent)
    : QObject(parent)
    , m_column(column)
{
}

} // namespace mysql
