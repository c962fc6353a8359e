#include "application.h"

#include <QApplication>

#include <cstring>

int main(int argc, char **argv)
{
	// The check needs no display; the generated classes still expect an
	// application of widgets.
	for (int i = 1; i < argc; ++i) {
		if (std::strcmp(argv[i], "--check-tables") == 0) {
			if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
				qputenv("QT_QPA_PLATFORM", "offscreen");
			QApplication app(argc, argv);
			return scaffold::checkTables(app.arguments());
		}
	}
	QApplication app(argc, argv);
	return scaffold::runWindow(app.arguments());
}
