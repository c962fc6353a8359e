// Drives the window of a generated application as a user would, offscreen:
//   drive CONNECTION-OPTIONS STEP...
// with the steps
//   --edit TABLE KEY=VALUE COLUMN TEXT   type TEXT into a cell of the row whose
//                                        KEY column shows VALUE, press Save
//   --add TABLE COLUMN=TEXT...           press Add..., fill the form, press OK
//   --grab FILE                          save a picture of the window
// Each step prints one line "TABLE: " and what the window then says: the
// page's status line, or the message of the form still open.

#include "application.h"
#include "mainwindow.h"
#include "tablepage.h"

#include <core/connectionpool.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTextStream>

using scaffold::TablePage;

namespace {

QTextStream out(stdout);

bool fail(const QString &text)
{
	out << "drive: " << text << Qt::endl;
	return false;
}

// Types `text` key by key; keyClicks takes ASCII only.
void type(QWidget *widget, const QString &text)
{
	for (const QChar c : text)
		QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

bool edit(scaffold::MainWindow &window, const QStringList &args)
{
	TablePage *page = window.page(args.at(0));
	if (!page)
		return fail(QStringLiteral("no page %1").arg(args.at(0)));
	window.tabs()->setCurrentWidget(page);
	QTableView *view = page->view();
	QAbstractItemModel *model = view->model();
	const QString keyColumn = args.at(1).section(QLatin1Char('='), 0, 0);
	const QString keyValue = args.at(1).section(QLatin1Char('='), 1);
	int key = -1, column = -1, row = -1;
	for (int c = 0; c < model->columnCount(); ++c) {
		const QString name = page->access()->columns().at(c).name;
		if (name == keyColumn)
			key = c;
		if (name == args.at(2))
			column = c;
	}
	for (int r = 0; key >= 0 && r < model->rowCount(); ++r) {
		if (model->index(r, key).data().toString() == keyValue)
			row = r;
	}
	if (row < 0 || column < 0)
		return fail(QStringLiteral("no cell %1 %2 in %3").arg(args.at(1), args.at(2), args.at(0)));
	const QModelIndex cell = model->index(row, column);
	view->scrollTo(cell);
	view->setCurrentIndex(cell);
	view->edit(cell);
	auto *editor = qobject_cast<QLineEdit *>(view->indexWidget(cell));
	if (!editor)
		return fail(QStringLiteral("the cell %1 of %2 does not open for editing").arg(args.at(2), args.at(0)));
	editor->selectAll();
	QTest::keyClick(editor, Qt::Key_Delete);
	type(editor, args.at(3));
	QTest::keyClick(editor, Qt::Key_Return);
	QTest::mouseClick(page->findChild<QPushButton *>(QStringLiteral("save")), Qt::LeftButton);
	out << args.at(0) << ": " << page->statusText() << Qt::endl;
	return true;
}

bool add(scaffold::MainWindow &window, const QStringList &args)
{
	TablePage *page = window.page(args.at(0));
	if (!page)
		return fail(QStringLiteral("no page %1").arg(args.at(0)));
	window.tabs()->setCurrentWidget(page);
	QTest::mouseClick(page->findChild<QPushButton *>(QStringLiteral("add")), Qt::LeftButton);
	scaffold::AddRowDialog *dialog = page->addRowDialog();
	if (!dialog)
		return fail(QStringLiteral("Add... opened no form"));
	for (const QString &item : args.mid(1)) {
		QLineEdit *field = dialog->field(item.section(QLatin1Char('='), 0, 0));
		if (!field || !field->isEnabled())
			return fail(QStringLiteral("no field %1").arg(item));
		type(field, item.section(QLatin1Char('='), 1));
	}
	QTest::keyClick(dialog, Qt::Key_Return);
	if (page->addRowDialog() && page->addRowDialog()->isVisible()) {
		out << args.at(0) << ": " << dialog->message() << Qt::endl;
		dialog->reject();
	} else {
		out << args.at(0) << ": " << page->statusText() << Qt::endl;
	}
	return true;
}

} // namespace

int main(int argc, char **argv)
{
	QApplication app(argc, argv);
	SessionOptions options;
	QString error;
	QStringList steps;
	if (!SessionOptions::fromArguments(app.arguments(), &options, &error, &steps)
	    || !Session::instance()->open(options, &error)) {
		fail(error);
		return 2;
	}
	steps.removeFirst(); // the program's name
	scaffold::MainWindow window;
	window.show();
	if (!QTest::qWaitForWindowExposed(&window))
		return fail(QStringLiteral("the window is not shown")), 2;
	for (qsizetype i = 0; i < steps.size();) {
		const QString step = steps.at(i++);
		QStringList args;
		while (i < steps.size() && !steps.at(i).startsWith(QLatin1String("--")))
			args.append(steps.at(i++));
		bool ok = false;
		if (step == QLatin1String("--edit") && args.size() == 4)
			ok = edit(window, args);
		else if (step == QLatin1String("--add") && !args.isEmpty())
			ok = add(window, args);
		else if (step == QLatin1String("--grab") && args.size() == 1)
			ok = window.grab().save(args.at(0)) || fail(QStringLiteral("cannot save %1").arg(args.at(0)));
		else
			fail(QStringLiteral("unknown step %1 %2").arg(step, args.join(QLatin1Char(' '))));
		if (!ok)
			return 1;
	}
	return 0;
}
