// One Generate of the window, driven offscreen as a user drives it: fill the
// form, Connect, Select All, Generate. Prints the time Generate took (from
// the click to the closing line in the log, the run being on the window's
// worker thread), the longest the event loop went without turning meanwhile,
// and the log's closing line.
//
//   tablesmith-windowbench HOST PORT USER SCHEMA OUTPUT_DIR [schema|per-table]
//
// The password comes from MYSQL_PWD. The window's settings are kept in Qt's
// test location, never the user's.

#include "app/tablesmith.h"
#include "project/usersettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 6) {
        std::fprintf(stderr, "usage: tablesmith-windowbench HOST PORT USER SCHEMA OUTPUT_DIR [schema|per-table]\n");
        return 2;
    }
    {
        UserSettings settings;
        settings.setOutputFolder(arguments.at(5));
        settings.setCatalogReader(arguments.value(6) == QLatin1String("per-table")
                                          ? GenerationRun::CatalogReader::PerTable
                                          : GenerationRun::CatalogReader::SchemaWide);
    }

    Tablesmith window;
    window.show();
    const auto field = [&window](const char *name, const QString &text) {
        window.findChild<QLineEdit *>(QLatin1String(name))->setText(text);
    };
    const auto click = [&window](const char *name) { window.findChild<QPushButton *>(QLatin1String(name))->click(); };
    field("serverAddress", arguments.at(1));
    field("port", arguments.at(2));
    field("userName", arguments.at(3));
    field("schema", arguments.at(4));
    field("password", qEnvironmentVariable("MYSQL_PWD"));
    // Runs the event loop until the window's run ends, measuring the longest
    // gap between two turns of a 1 ms timer.
    qint64 longestGap = 0;
    const auto waitForRun = [&window, &longestGap] {
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { longestGap = qMax(longestGap, sinceTick.restart()); });
        tick.start(1);
        while (window.isRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    };
    click("btConnect");
    waitForRun();
    auto *log = window.findChild<QPlainTextEdit *>(QStringLiteral("textLog"));
    if (!window.findChild<QGroupBox *>(QStringLiteral("groupBox"))->isEnabled()) {
        std::fprintf(stderr, "%s\n", qPrintable(log->toPlainText()));
        return 1;
    }
    click("btSelectAll");
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    longestGap = 0;
    click("btGenerate");
    waitForRun();
    const qint64 generate = clock.elapsed();
    // What the user waits for until the log shows the run.
    QCoreApplication::processEvents();
    const qint64 shown = clock.elapsed();

    const QString closing = log->toPlainText().section(QLatin1Char('\n'), -1);
    std::printf("generate ms: %lld\nshown ms: %lld\nlongest gap ms: %lld\n%s\n", generate, shown, longestGap,
                qPrintable(closing));
    return closing.contains(QLatin1String("problem")) ? 1 : 0;
}
