#include <gui/extras/customeditor.h>

#include <QHBoxLayout>
#include <QSqlQueryModel>

namespace crud {

CustomEditor::CustomEditor(QWidget *parent)
    : QWidget(parent)
    , m_comboBox(new QComboBox(this))
{
    m_comboBox->setObjectName(QStringLiteral("descripcionComboBox"));
    // A long row must not widen the form it sits in.
    m_comboBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_comboBox->setMinimumContentsLength(12);
    m_comboBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_comboBox);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusProxy(m_comboBox);
}

CustomEditor::~CustomEditor() = default;

QSqlRecord CustomEditor::currentRecord() const
{
    const auto *model = qobject_cast<const QSqlQueryModel *>(m_comboBox->model());
    const int row = m_comboBox->currentIndex();
    return model && row >= 0 ? model->record(row) : QSqlRecord();
}

bool CustomEditor::selectRecord(const QString &field, const QVariant &value)
{
    auto *model = qobject_cast<QSqlQueryModel *>(m_comboBox->model());
    if (model) {
        // The model fetches its rows in portions as they are needed.
        for (int row = 0; row < model->rowCount() || model->canFetchMore(); ++row) {
            if (row >= model->rowCount()) {
                model->fetchMore();
                if (row >= model->rowCount())
                    break;
            }
            if (model->record(row).value(field) == value) {
                m_comboBox->setCurrentIndex(row);
                return true;
            }
        }
    }
    m_comboBox->setCurrentIndex(-1);
    return false;
}

} // namespace crud
