#pragma once

#include <global/tablesmith_runtime_global.h>
#include <global/vellum_global.h>

#include <QComboBox>
#include <QSqlRecord>
#include <QVariant>
#include <QWidget>

namespace crud {

// Base of the generated editors: a record picker, a widget holding one combo
// box that lists the rows of a table. The generated editor fills the combo
// box with a QSqlQueryModel of the table's columns and shows its second
// column. Put it in a form like a line edit: it grows in width, not in
// height, and passes the focus to the combo box.
class TABLESMITH_RUNTIME_EXPORT CustomEditor : public QWidget
{
    Q_OBJECT

public:
    explicit CustomEditor(QWidget *parent = nullptr);
    ~CustomEditor() override;

    QComboBox *descripcionComboBox() const { return m_comboBox; }

    // The picked row's columns, when the combo box's model is a
    // QSqlQueryModel (as the generated editors set); empty when nothing is
    // picked.
    QSqlRecord currentRecord() const;
    // Picks the first row whose column `field` equals `value`; false (and
    // nothing picked) when there is none.
    bool selectRecord(const QString &field, const QVariant &value);

private:
    QComboBox *m_comboBox;
};

} // namespace crud
