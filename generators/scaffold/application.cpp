#include "application.h"

#include "connectiondialog.h"
#include "mainwindow.h"
#include "tableaccess.h"

#include <QApplication>
#include <QTextStream>

#include <memory>

namespace scaffold {

namespace {

// The session's options from the command line, over `options`; false with
// the reason in `error`.
bool parseArguments(const QStringList &arguments, SessionOptions *options, bool *given, QString *error)
{
	QStringList rest;
	if (!SessionOptions::fromArguments(arguments, options, error, &rest))
		return false;
	// The program's name stays first.
	rest = rest.mid(1);
	rest.removeAll(QStringLiteral("--check-tables"));
	if (!rest.isEmpty()) {
		*error = QStringLiteral("unknown option: %1").arg(rest.first());
		return false;
	}
	*given = arguments.size() > 1;
	return true;
}

} // namespace

int checkTables(const QStringList &arguments)
{
	QTextStream out(stdout);
	QTextStream err(stderr);
	SessionOptions options;
	bool given = false;
	QString error;
	if (!parseArguments(arguments, &options, &given, &error)) {
		err << error << Qt::endl;
		return 1;
	}
	if (!Session::instance()->open(options, &error)) {
		err << QStringLiteral("Cannot connect: %1").arg(error) << Qt::endl;
		return 1;
	}
	if (tableList().isEmpty()) {
		err << QStringLiteral("This application has no tables:") << Qt::endl;
		for (const QString &line : leftOut())
			err << line << Qt::endl;
		return 1;
	}
	int failed = 0;
	for (const TableEntry &entry : tableList()) {
		std::unique_ptr<TableAccess> access(entry.create());
		if (access->load(&error)) {
			const int rows = access->rowCount();
			out << entry.name << (rows == 1 ? QStringLiteral(": 1 row") : QStringLiteral(": %1 rows").arg(rows)) << Qt::endl;
		} else {
			++failed;
			out << entry.name << QStringLiteral(": cannot be read: ") << error << Qt::endl;
		}
	}
	return failed == 0 ? 0 : 1;
}

int runWindow(const QStringList &arguments)
{
	SessionOptions options = ConnectionDialog::remembered();
	bool given = false;
	QString error;
	if (!parseArguments(arguments, &options, &given, &error)) {
		QTextStream(stderr) << error << Qt::endl;
		return 1;
	}
	// Options on the command line connect at once; the dialog asks only
	// when they do not do.
	if (!given || !Session::instance()->open(options, &error)) {
		ConnectionDialog dialog(options);
		if (given)
			dialog.showError(QStringLiteral("Cannot connect: %1").arg(error));
		if (dialog.exec() != QDialog::Accepted)
			return 1;
	} else {
		ConnectionDialog::remember(options);
	}
	MainWindow window;
	window.show();
	return QApplication::exec();
}

} // namespace scaffold
