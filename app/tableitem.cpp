#include "app/tableitem.h"

TableItem::TableItem(const QString &name)
    : m_name(name)
{
}

TableItem::~TableItem() = default;

QString TableItem::name() const
{
    return m_name;
}

bool TableItem::isChecked() const
{
    return m_checked;
}

void TableItem::setChecked(bool checked)
{
    m_checked = checked;
}
