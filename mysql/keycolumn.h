#pragma once

#include <QObject>

namespace mysql {

class Column;

// One column of a key, with its position in the key.
class KeyColumn : public QObject
{
    Q_OBJECT

public:
    KeyColumn(Column *column, QObject *parent);

    Column *column() const { return m_column; }
    int position() const { return m_position; }
    void setPosition(int position) { m_position = position; }

private:
    Column *m_column;
    int m_position = 0;
};

} // namespace mysql
