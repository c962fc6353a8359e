#pragma once

#include <QString>

// One row of the table check list: a table name and whether it is ticked.
class TableItem
{
public:
    explicit TableItem(const QString &name);
    virtual ~TableItem();

    QString name() const;
    bool isChecked() const;
    void setChecked(bool checked);

private:
    QString m_name;
    bool m_checked = false;
};
