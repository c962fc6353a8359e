#include "tablepage.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFont>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QSet>
#include <QVBoxLayout>

#include <algorithm>

namespace scaffold {

// The generated model only shows its rows: editing goes through the
// entities' setters here, and the rows changed are kept for Save.
class EditableProxy : public QIdentityProxyModel
{
public:
	EditableProxy(TableAccess *access, QObject *parent)
		: QIdentityProxyModel(parent)
		, m_access(access)
		, m_columns(access->columns())
	{
	}

	Qt::ItemFlags flags(const QModelIndex &index) const override
	{
		Qt::ItemFlags flags = QIdentityProxyModel::flags(index);
		if (index.isValid() && index.column() < m_columns.size() && m_columns.at(index.column()).editable)
			flags |= Qt::ItemIsEditable;
		return flags;
	}

	QVariant data(const QModelIndex &index, int role) const override
	{
		// Every value is edited as text; the setter converts it.
		if (role == Qt::EditRole) {
			const QVariant value = QIdentityProxyModel::data(index, Qt::EditRole);
			return value.isNull() ? QString() : value.toString();
		}
		if (role == Qt::FontRole && m_changed.contains(index.row())) {
			QFont font;
			font.setBold(true);
			return font;
		}
		return QIdentityProxyModel::data(index, role);
	}

	bool setData(const QModelIndex &index, const QVariant &value, int role) override
	{
		if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
			return false;
		// An empty field is NULL.
		const QString text = value.toString();
		if (!m_access->setValue(index.row(), index.column(), text.isEmpty() ? QVariant() : QVariant(text)))
			return false;
		m_changed.insert(index.row());
		emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
		return true;
	}

	QList<int> changedRows() const
	{
		QList<int> rows(m_changed.cbegin(), m_changed.cend());
		std::sort(rows.begin(), rows.end());
		return rows;
	}
	void setSaved(int row) { m_changed.remove(row); }
	void forgetChanges() { m_changed.clear(); }

private:
	TableAccess *m_access;
	QList<TableAccess::Column> m_columns;
	QSet<int> m_changed;
};

// The view commits a cell still being edited when asked: Save includes it.
class RowsView : public QTableView
{
public:
	using QTableView::QTableView;

	void commitOpenEditor()
	{
		if (state() != EditingState)
			return;
		if (QWidget *editor = indexWidget(currentIndex()))
			commitData(editor);
	}
};

AddRowDialog::AddRowDialog(TableAccess *access, QWidget *parent)
	: QDialog(parent)
	, m_access(access)
	, m_message(new QLabel(this))
{
	setObjectName(QStringLiteral("addRowDialog"));
	setWindowTitle(tr("New row of %1").arg(access->tableName()));
	auto *form = new QFormLayout;
	for (const TableAccess::Column &column : access->columns()) {
		auto *field = new QLineEdit(this);
		field->setObjectName(column.name);
		if (!column.insertable) {
			field->setEnabled(false);
			field->setPlaceholderText(access->sequenceName().isEmpty() ? tr("not set here")
			                                                           : tr("from %1").arg(access->sequenceName()));
		} else {
			field->setPlaceholderText(tr("empty: NULL"));
		}
		form->addRow(column.name, field);
		m_fields.append(field);
	}
	m_message->setObjectName(QStringLiteral("message"));
	m_message->setWordWrap(true);
	m_message->setStyleSheet(QStringLiteral("color: #b00020"));
	auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
	connect(buttons, &QDialogButtonBox::accepted, this, &AddRowDialog::accept);
	connect(buttons, &QDialogButtonBox::rejected, this, &AddRowDialog::reject);
	auto *layout = new QVBoxLayout(this);
	layout->addLayout(form);
	layout->addWidget(m_message);
	layout->addWidget(buttons);
}

QLineEdit *AddRowDialog::field(const QString &column) const
{
	for (QLineEdit *field : m_fields) {
		if (field->objectName() == column)
			return field;
	}
	return nullptr;
}

void AddRowDialog::accept()
{
	QVariantList values;
	for (const QLineEdit *field : std::as_const(m_fields))
		values.append(field->isEnabled() && !field->text().isEmpty() ? QVariant(field->text()) : QVariant());
	QVariant id;
	QString error;
	if (!m_access->insert(values, &id, &error)) {
		m_message->setText(tr("The server refused the row: %1").arg(error));
		return;
	}
	emit added(id);
	QDialog::accept();
}

TablePage::TablePage(TableAccess *access, QWidget *parent)
	: QWidget(parent)
	, m_access(access)
	, m_status(new QLabel(this))
{
	auto *layout = new QVBoxLayout(this);
	if (access->hasEditor()) {
		auto *row = new QHBoxLayout;
		row->addWidget(new QLabel(tr("Record:"), this));
		layout->addLayout(row);
	}
	if (access->hasModel()) {
		m_view = new RowsView(this);
		m_view->setObjectName(QStringLiteral("rows"));
		m_proxy = new EditableProxy(access, this);
		m_view->setModel(m_proxy);
		m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
		m_view->horizontalHeader()->setStretchLastSection(true);
		layout->addWidget(m_view, 1);
	} else {
		auto *note = new QLabel(tr("The model class of %1 was not generated: its rows are not shown.")
		                                .arg(access->tableName()),
		                        this);
		note->setWordWrap(true);
		layout->addWidget(note, 1);
	}
	auto *buttons = new QHBoxLayout;
	auto *addButton = new QPushButton(tr("&Add..."), this);
	addButton->setObjectName(QStringLiteral("add"));
	connect(addButton, &QPushButton::clicked, this, &TablePage::add);
	buttons->addWidget(addButton);
	if (m_view) {
		m_saveButton = new QPushButton(tr("&Save"), this);
		m_saveButton->setObjectName(QStringLiteral("save"));
		connect(m_saveButton, &QPushButton::clicked, this, &TablePage::save);
		buttons->addWidget(m_saveButton);
	}
	auto *reloadButton = new QPushButton(tr("&Reload"), this);
	reloadButton->setObjectName(QStringLiteral("reload"));
	connect(reloadButton, &QPushButton::clicked, this, &TablePage::load);
	buttons->addWidget(reloadButton);
	buttons->addStretch(1);
	layout->addLayout(buttons);
	m_status->setObjectName(QStringLiteral("status"));
	m_status->setWordWrap(true);
	m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
	layout->addWidget(m_status);
}

TablePage::~TablePage()
{
	// The model points into the access's rows: it goes first.
	if (m_proxy) {
		QAbstractItemModel *source = m_proxy->sourceModel();
		m_proxy->setSourceModel(nullptr);
		delete source;
	}
}

QList<int> TablePage::changedRows() const
{
	return m_proxy ? m_proxy->changedRows() : QList<int>();
}

bool TablePage::load()
{
	QAbstractItemModel *old = m_proxy ? m_proxy->sourceModel() : nullptr;
	if (m_proxy) {
		m_proxy->setSourceModel(nullptr);
		m_proxy->forgetChanges();
	}
	delete old;
	QString error;
	m_loaded = m_access->load(&error);
	if (m_proxy)
		m_proxy->setSourceModel(m_access->createModel(m_proxy));
	if (m_access->hasEditor()) {
		// The editor reads its rows when it is made.
		delete m_picker;
		m_picker = m_access->createEditor(this);
		m_picker->setObjectName(QStringLiteral("picker"));
		static_cast<QHBoxLayout *>(layout()->itemAt(0)->layout())->addWidget(m_picker, 1);
		m_picker->show();
		if (auto *combo = m_picker->findChild<QComboBox *>())
			connect(combo, &QComboBox::currentIndexChanged, this, &TablePage::pick);
	}
	if (!m_loaded) {
		showStatus(tr("%1 could not be read: %2").arg(m_access->tableName(), error), true);
		return false;
	}
	const int rows = m_access->rowCount();
	showStatus(rows == 1 ? tr("%1: 1 row").arg(m_access->tableName())
	                     : tr("%1: %2 rows").arg(m_access->tableName(), QString::number(rows)),
	           false);
	return true;
}

bool TablePage::save()
{
	if (!m_proxy)
		return false;
	static_cast<RowsView *>(m_view)->commitOpenEditor();
	const QList<int> rows = m_proxy->changedRows();
	if (rows.isEmpty()) {
		showStatus(tr("Nothing to save in %1.").arg(m_access->tableName()), false);
		return true;
	}
	QStringList refused;
	int saved = 0;
	for (int row : rows) {
		QString error;
		if (m_access->update(row, &error)) {
			m_proxy->setSaved(row);
			++saved;
		} else {
			refused.append(tr("row %1: %2").arg(QString::number(row + 1), error));
		}
	}
	if (!refused.isEmpty()) {
		showStatus(tr("The server refused to save %1 (the row stays as it was on the server): %2")
		                   .arg(m_access->tableName(), refused.join(QStringLiteral("; "))),
		           true);
		return false;
	}
	showStatus(saved == 1 ? tr("Saved 1 row of %1.").arg(m_access->tableName())
	                      : tr("Saved %1 rows of %2.").arg(QString::number(saved), m_access->tableName()),
	           false);
	return true;
}

void TablePage::add()
{
	if (!m_loaded && !load())
		return;
	if (m_addDialog) {
		m_addDialog->raise();
		return;
	}
	m_addDialog = new AddRowDialog(m_access.get(), this);
	m_addDialog->setAttribute(Qt::WA_DeleteOnClose);
	connect(m_addDialog, &AddRowDialog::added, this, [this](const QVariant &id) {
		showStatus(id.isValid() ? tr("Added a row to %1, id %2.").arg(m_access->tableName(), id.toString())
		                        : tr("Added a row to %1.").arg(m_access->tableName()),
		           false);
		if (m_view)
			m_view->selectRow(m_proxy->rowCount() - 1);
	});
	m_addDialog->open();
}

void TablePage::showStatus(const QString &text, bool error)
{
	m_status->setText(text);
	m_status->setStyleSheet(error ? QStringLiteral("color: #b00020") : QString());
	emit statusChanged(text);
}

void TablePage::pick(int index)
{
	auto *combo = m_picker ? m_picker->findChild<QComboBox *>() : nullptr;
	if (!m_view || !combo || index < 0)
		return;
	// The editor lists the rows with the same columns: the first finds the row.
	const QVariant key = combo->model()->index(index, 0).data();
	for (int row = 0; row < m_proxy->rowCount(); ++row) {
		if (m_proxy->index(row, 0).data() == key) {
			m_view->selectRow(row);
			return;
		}
	}
}

} // namespace scaffold
