#ifndef SCAFFOLD_TABLEPAGE_H
#define SCAFFOLD_TABLEPAGE_H

#include "tableaccess.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QWidget>

#include <memory>

namespace scaffold {

class EditableProxy;

// The form that Add opens: one field per column. OK inserts the row; a
// refusal is shown in the form, which stays open.
class AddRowDialog : public QDialog
{
	Q_OBJECT

public:
	AddRowDialog(TableAccess *access, QWidget *parent);

	// The field of a column, by the column's name.
	QLineEdit *field(const QString &column) const;
	QString message() const { return m_message->text(); }

signals:
	void added(const QVariant &id);

public slots:
	void accept() override;

private:
	TableAccess *m_access;
	QList<QLineEdit *> m_fields;
	QLabel *m_message;
};

// One table: its rows in the generated model, its editor as the record
// picker, Add, Save and Reload, and a status line that tells what the
// server said.
class TablePage : public QWidget
{
	Q_OBJECT

public:
	// Takes `access`.
	TablePage(TableAccess *access, QWidget *parent = nullptr);
	~TablePage() override;

	TableAccess *access() const { return m_access.get(); }
	bool isLoaded() const { return m_loaded; }
	QTableView *view() const { return m_view; }
	QWidget *picker() const { return m_picker; }
	QString statusText() const { return m_status->text(); }
	// The rows changed here and not yet saved.
	QList<int> changedRows() const;
	AddRowDialog *addRowDialog() const { return m_addDialog; }

public slots:
	// Reads the rows again; unsaved changes are dropped.
	bool load();
	// Writes every changed row; a row the server refuses stays changed.
	bool save();
	void add();

signals:
	void statusChanged(const QString &text);

private:
	void showStatus(const QString &text, bool error);
	void pick(int index);

	std::unique_ptr<TableAccess> m_access;
	bool m_loaded = false;
	QTableView *m_view = nullptr;
	EditableProxy *m_proxy = nullptr;
	QWidget *m_picker = nullptr;
	QPushButton *m_saveButton = nullptr;
	QLabel *m_status;
	QPointer<AddRowDialog> m_addDialog;
};

} // namespace scaffold

#endif // SCAFFOLD_TABLEPAGE_H
