// One action of the window, driven offscreen as a user drives it: fill the
// form, Connect, Select All, then one of
//   generate   Generate (the default)
//   relations  show the Relations tab of every table
//   neighbourhood  the Relations tab's neighbourhood of the first table,
//              two links out
//   preview    click the first table for its Preview
//   compare    File > Compare with Output Folder
//   connect    nothing more: the baseline of the others' round trips
// and wait until the window is idle again: the run ended, the views' thread
// has nothing to do, and the event loop has laid out and painted what came.
// Prints the time from the click to idle ("idle ms"), for Generate also to
// the closing line ("generate ms"), the longest the event loop went without
// turning meanwhile, and the log's last line; for the diagrams also the
// tables drawn and the Graphviz layout that placed them.
//
//   tablesmith-windowbench HOST PORT USER SCHEMA OUTPUT_DIR [schema|per-table] [ACTION]
//
// The password comes from MYSQL_PWD. The window's settings are kept in Qt's
// test location, never the user's.

#include "app/tablesmith.h"
#include "app/window/diagramview.h"
#include "app/window/inspectionpanel.h"
#include "engine/schemathread.h"
#include "project/usersettings.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

namespace {

// Runs an event loop, as the window's own, until `done` says yes, measuring
// the longest gap between two turns of a 10 ms timer (finer timers cost the
// window's thread more than they tell). The loop sleeps while nothing
// happens: a loop that spun would take a core from the run.
qint64 waitUntil(const std::function<bool()> &done)
{
    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        longestGap = qMax(longestGap, sinceTick.restart());
        if (done())
            loop.quit();
    });
    tick.start(10);
    if (!done())
        loop.exec();
    // What came last is laid out and painted.
    QCoreApplication::processEvents();
    return qMax(longestGap, sinceTick.elapsed());
}

void startAction(Tablesmith &window, InspectionPanel *panel, const QString &action)
{
    if (action == QLatin1String("generate")) {
        window.findChild<QPushButton *>(QStringLiteral("btGenerate"))->click();
    } else if (action == QLatin1String("relations")) {
        panel->setCurrentWidget(panel->diagramView());
    } else if (action == QLatin1String("neighbourhood")) {
        panel->diagramView()->setDistance(2);
        panel->setCurrentWidget(panel->diagramView());
        panel->showNeighbourhood(panel->diagramTables().value(0));
    } else if (action == QLatin1String("preview")) {
        panel->previewTable(panel->diagramTables().value(0), true);
    } else if (action == QLatin1String("compare")) {
        window.findChild<QAction *>(QStringLiteral("actionCompare"))->trigger();
    }
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QStringList arguments = QCoreApplication::arguments();
    const QString action = arguments.value(7, QStringLiteral("generate"));
    const QStringList actions{"generate", "relations", "neighbourhood", "preview", "compare", "connect"};
    if (arguments.size() < 6 || !actions.contains(action)) {
        std::fprintf(stderr, "usage: tablesmith-windowbench HOST PORT USER SCHEMA OUTPUT_DIR [schema|per-table] "
                             "[generate|relations|neighbourhood|preview|compare|connect]\n");
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
    auto *panel = window.findChild<InspectionPanel *>(QStringLiteral("viewTabs"));
    const auto field = [&window](const char *name, const QString &text) {
        window.findChild<QLineEdit *>(QLatin1String(name))->setText(text);
    };
    const auto click = [&window](const char *name) { window.findChild<QPushButton *>(QLatin1String(name))->click(); };
    const auto idle = [&window, panel] { return !window.isRunning() && !panel->viewsThread()->isBusy(); };
    field("serverAddress", arguments.at(1));
    field("port", arguments.at(2));
    field("userName", arguments.at(3));
    field("schema", arguments.at(4));
    field("password", qEnvironmentVariable("MYSQL_PWD"));
    click("btConnect");
    waitUntil(idle);
    auto *log = window.findChild<QPlainTextEdit *>(QStringLiteral("textLog"));
    if (!window.findChild<QGroupBox *>(QStringLiteral("groupBox"))->isEnabled()) {
        std::fprintf(stderr, "%s\n", qPrintable(log->toPlainText()));
        return 1;
    }
    click("btSelectAll");
    waitUntil(idle);

    QElapsedTimer clock;
    clock.start();
    qint64 generate = 0;
    startAction(window, panel, action);
    // The Relations tab waits a moment for more ticks before it asks.
    const qint64 longestGap = waitUntil([&] {
        if (generate == 0 && action == QLatin1String("generate") && !window.isRunning())
            generate = clock.elapsed();
        const bool diagram = action == QLatin1String("relations") || action == QLatin1String("neighbourhood");
        return idle() && (!diagram || clock.elapsed() > 300);
    });
    const qint64 elapsed = clock.elapsed();

    const QString last = log->toPlainText().section(QLatin1Char('\n'), -1);
    if (action == QLatin1String("generate"))
        std::printf("generate ms: %lld\n", generate);
    std::printf("idle ms: %lld\nlongest gap ms: %lld\n", elapsed, longestGap);
    if (panel->diagramView()->hasDiagram())
        std::printf("drawn tables: %d\nlayout: %s\n", panel->lastDiagram().tableCount,
                    qPrintable(panel->lastDiagram().layout));
    std::printf("%s\n", qPrintable(last));
    if ((action == QLatin1String("relations") || action == QLatin1String("neighbourhood"))
        && !panel->diagramView()->hasDiagram()) {
        std::fprintf(stderr, "no diagram: %s\n",
                     qPrintable(window.findChild<QLabel *>(QStringLiteral("diagramStatus"))->text()));
        return 1;
    }
    return last.contains(QLatin1String("problem")) ? 1 : 0;
}
