#pragma once

#include <global/vellum_global.h>

#include <QComboBox>
#include <QWidget>

namespace crud {

// An editor widget whose combo box lists the rows of a table.
class VELLUM_EXPORT CustomEditor : public QWidget
{
    Q_OBJECT

public:
    explicit CustomEditor(QWidget *parent = nullptr)
        : QWidget(parent)
        , m_comboBox(new QComboBox(this))
    {
    }

    QComboBox *descripcionComboBox() { return m_comboBox; }

private:
    QComboBox *m_comboBox;
};

} // namespace crud
