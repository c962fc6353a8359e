#pragma once

#include "mysql/keycolumn.h"

namespace mysql {

class ForeignKeyColumn : public KeyColumn
{
public:
    ForeignKeyColumn(Column *column, QObject *parent);

    Column *referencedColumn() const { return m_referencedColumn; }
    void setReferencedColumn(Column *column) { m_referencedColumn = column; }

private:
    Column *m_referencedColumn = nullptr;
};

} // namespace mysql
