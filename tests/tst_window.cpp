// The window: its form as a user first sees it (tests/golden/window-form.golden)
// and Connect against the test server, with the table check list it fills,
// and both runs behind a slow link (the window stays alive, Cancel and
// closing keep the old tree); the Relations tab's menu, which changes the
// open project's rules; what Generate writes is in tst_golden.

#include "support.h"

#include "app/window/diagramview.h"
#include "app/window/inspectionpanel.h"
#include "app/window/projectmenu.h"
#include "app/window/ruledialogs.h"
#include "engine/schemathread.h"
#include "project/usersettings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QScreen>
#include <QTcpServer>
#include <QtTest>

#include <memory>

namespace {

QString itemName(QLayoutItem *item)
{
    if (!item)
        return QStringLiteral("-");
    if (item->widget())
        return item->widget()->objectName();
    return item->layout() ? item->layout()->objectName() : QStringLiteral("spacer");
}

// One line per named widget or layout, nested as in the form: class, name,
// what it shows and its state; a layout's items in order.
void describe(const QObject *object, int depth, QString *text)
{
    for (const QObject *child : object->children()) {
        const QString name = child->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || name.startsWith(QLatin1String("_q_"))) {
            // Named widgets inside Qt's own (a tab's page) still count.
            describe(child, depth, text);
            continue;
        }
        QString line = QString(depth * 2, QLatin1Char(' ')) + QLatin1String(child->metaObject()->className())
                + QLatin1Char(' ') + name;
        if (auto *layout = qobject_cast<const QLayout *>(child)) {
            QStringList items;
            auto *form = qobject_cast<const QFormLayout *>(layout);
            for (int i = 0; i < (form ? form->rowCount() : layout->count()); ++i)
                items.append(form ? itemName(form->itemAt(i, QFormLayout::LabelRole)) + QLatin1Char(':')
                                          + itemName(form->itemAt(i, QFormLayout::FieldRole))
                                  : itemName(layout->itemAt(i)));
            line += QStringLiteral(" [%1]").arg(items.join(QLatin1Char(' ')));
        } else {
            for (const char *property : {"title", "text", "checked", "readOnly", "echoMode", "placeholderText"}) {
                const QVariant value = child->property(property);
                if (!value.toString().isEmpty() && value.toString() != QLatin1String("false"))
                    line += QStringLiteral(" %1=\"%2\"").arg(QLatin1String(property), value.toString());
            }
            if (child->isWidgetType() && !static_cast<const QWidget *>(child)->isEnabled())
                line += QStringLiteral(" disabled");
        }
        *text += line + QLatin1Char('\n');
        describe(child, depth + 1, text);
    }
}

// The schema's base tables in the catalogue's own order, which the server
// takes from its file system; not through the driver's call the window makes.
QStringList catalogue(const QString &schema)
{
    return serverQuery({QStringLiteral("select table_name from information_schema.tables where table_schema = '%1' "
                                    "and table_type = 'BASE TABLE'").arg(schema)});
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void form();
    void connectTo_data();
    void connectTo();
    void catalogueRefused();
    void sameAsCommandLine_data();
    void sameAsCommandLine();
    void refusals_data();
    void refusals();
    void tableOrder_data();
    void tableOrder();
    void firstGeometry_data();
    void firstGeometry();
    void remembers();
    void overSlowLink();
    void relationsMenu_data();
    void relationsMenu();
};

void TestWindow::initTestCase()
{
    // The client library reads this once, when the driver loads it; then
    // "localhost" reaches the test server through its socket.
    qputenv("MYSQL_UNIX_PORT", TestServer::settings().socket.toLocal8Bit());
}

void TestWindow::form()
{
    Tablesmith window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QString text = QStringLiteral("%1 %2 %3x%4 \"%5\"\n")
                           .arg(QLatin1String(window.metaObject()->className()), window.objectName(),
                                QString::number(window.width()), QString::number(window.height()), window.windowTitle());
    describe(&window, 1, &text);
    const QString difference = goldenDifference(QStringLiteral("window-form"), text);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestWindow::connectTo_data()
{
    // Each row's Connect follows one to shop_a with a row ticked and a view
    // attached; Return in a field of the form starts it, each row another.
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("outcome"); // the second log line, or a part of the error line
    QTest::addColumn<QString>("field");
    const TestServer::Settings &s = TestServer::settings();
    const QString port = QString::number(s.port);
    const QString connected = QStringLiteral("Connected to: 127.0.0.1");
    const QString local = QStringLiteral("Connected to: localhost");
    int rows = 0;
    const auto row = [&rows](const char *tag, const char *host, const char *schema, const QString &password,
                             const QString &port, const QString &outcome) {
        const char *fields[] = {"serverAddress", "schema", "userName", "password", "port"};
        QTest::newRow(tag) << host << schema << password << port << outcome << QString::fromLatin1(fields[rows++ % 5]);
    };
    row("same schema again", "127.0.0.1", "shop_a", s.password, port, connected);
    row("empty schema", "127.0.0.1", "empty_schema", s.password, port, connected);
    row("another schema", "127.0.0.1", "shop_b", s.password, port, connected);
    row("localhost through the socket", "localhost", "shop_b", s.password, port, local);
    // Not a number: port 0, the client's default, which the socket ignores.
    row("localhost, port of letters", "localhost", "shop_b", s.password, "abc", local);
    // The usual failures in plain words first, the driver's after them.
    row("wrong password", "127.0.0.1", "shop_a", "Wr0ng-Secret-4711", port,
        "Access denied: wrong user name or password (Access denied for user");
    row("nobody listens", "127.0.0.1", "shop_a", s.password, "1",
        "Nothing is listening on 127.0.0.1:1 (Can't connect to server on '127.0.0.1'");
    row("unknown schema", "127.0.0.1", "no_such_schema", s.password, port,
        "The server has no schema \"no_such_schema\" (Unknown database");
    row("host that never answers", "127.0.0.1", "shop_a", s.password, "silent",
        " within 10 seconds (Lost connection to server at 'handshake: reading initial communication packet', system "
        "error: 110");
}

void TestWindow::connectTo()
{
    QFETCH(QString, host);
    QFETCH(QString, schema);
    QFETCH(QString, password);
    QFETCH(QString, port);
    QFETCH(QString, outcome);
    QFETCH(QString, field);
    const bool connects = outcome.startsWith(QLatin1String("Connected to: "));
    // Listens, but the window blocks the event loop that would accept: no
    // server ever greets, like a host that hangs.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    if (port == QLatin1String("silent"))
        port = QString::number(silent.serverPort());

    MessageCapture capture;
    Tablesmith window;
    TableModel *model = connectWindow(window, QStringLiteral("shop_a"), {QStringLiteral("customer")});
    QVERIFY(model && model->rowCount() == 3 && model->checkedTables().size() == 1);
    QListView view;
    view.setModel(model);
    view.setCurrentIndex(model->index(2, 0));
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    click(window, "btClear");
    QVERIFY(logLines(window).isEmpty());

    fillForm(window, schema, TestServer::settings().user, password, host, port);
    QElapsedTimer clock;
    clock.start();
    // Events run, and so the log is painted, between the first line and the wait.
    QStringList beforeTheWait;
    QTimer::singleShot(0, &window, [&] { beforeTheWait = logLines(window); });
    QTest::keyClick(child(window, field.toLatin1().constData()), Qt::Key_Return);
    waitForRun(window);
    const qint64 elapsed = clock.elapsed();
    const QStringList lines = logLines(window);
    QCOMPARE(beforeTheWait, lines.mid(0, 1));
    QCOMPARE(lines.value(0), QStringLiteral("Establishing connection to: ") + host);
    QVERIFY2(connects ? lines.value(1) == outcome : lines.value(1).contains(outcome), qPrintable(lines.value(1)));
    const QString server = host == QLatin1String("localhost") ? QStringLiteral("Server socket (the default), schema ")
                                                              : QStringLiteral("Server port %1, schema ").arg(port);
    QCOMPARE(lines.mid(2), connects ? QStringList({server + schema, "Unencrypted connection"}) : QStringList());
    QCOMPARE(child(window, "groupBox")->isEnabled(), connects);
    QCOMPARE(child(window, "btGenerate")->isEnabled(), connects);
    // The old rows go whatever the outcome, through one reset of the same
    // model; the new ones come unticked, by name.
    QCOMPARE(tableModel(window), model);
    QCOMPARE(reset.count(), 1);
    QVERIFY(!view.currentIndex().isValid());
    QVERIFY(model->checkedTables().isEmpty());
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    click(window, "btSelectAll");
    const QStringList names = model->checkedTables();
    QStringList byName = catalogue(schema);
    byName.sort();
    QCOMPARE(names, connects ? byName : QStringList());
    click(window, "btSelectNone");
    QVERIFY(model->checkedTables().isEmpty());
    // Each announces the whole range once; no rows, nothing (an empty range
    // is an invalid one).
    QCOMPARE(changed.count(), names.isEmpty() ? 0 : 2);
    if (!names.isEmpty())
        QCOMPARE(changed.at(1).at(1).value<QModelIndex>(), model->index(int(names.size()) - 1, 0));

    // Old registrations are dropped cleanly, no password is ever shown, and
    // a silent host is given up after one connect timeout for both connections.
    QVERIFY2(capture.messages.filter(QStringLiteral("still in use")).isEmpty(), qPrintable(capture.messages.join('\n')));
    QVERIFY(capture.messages.filter(password).isEmpty() && lines.filter(password).isEmpty());
    QVERIFY2(port != QString::number(silent.serverPort()) ? elapsed < 60000 : elapsed >= 9000 && elapsed < 12000,
             qPrintable(QString::number(elapsed)));
}

void TestWindow::catalogueRefused()
{
    // An account that may hold one connection at a time (MAX_USER_CONNECTIONS
    // 1, tests/fixtures/00_shell.sql): the schema's connection opens, the
    // server refuses the catalogue's. Connect fails with the catalogue's
    // error (the command line's wording of it: tst_tls's catalogue row), and
    // keeps no connection open (the server counts one until its thread has
    // seen the client go).
    const QString refused = QStringLiteral("User 'one_link' has exceeded the 'max_user_connections' resource");
    const QStringList connections{QStringLiteral("select count(*) from information_schema.processlist where user = 'one_link'")};
    Tablesmith window;
    fillForm(window, QStringLiteral("shop_a"), QStringLiteral("one_link"), QStringLiteral("one-pw"));
    click(window, "btConnect");
    const QStringList lines = logLines(window);
    QVERIFY2(lines.size() == 2 && lines.at(1).startsWith("Cannot open the catalogue information_schema: " + refused),
             qPrintable(lines.join('\n')));
    QVERIFY(!child(window, "groupBox")->isEnabled() && !tableModel(window));
    QTRY_COMPARE(serverQuery(connections), QStringList{"0"});
}

void TestWindow::sameAsCommandLine_data()
{
    // What the window writes for the ticked tables is what the command line
    // writes for the same tables: Generate with the Application switch
    // (--app), and File > Save Sequences SQL (--sequences-sql).
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QStringList>("tables"); // ticked; none: all of them
    QTest::addColumn<bool>("application"); // or the sequences
    QTest::addColumn<QString>("form"); // TABLESMITH_RUNTIME_SEQUENCES
    QTest::addColumn<QString>("shows"); // in what both wrote
    QTest::newRow("Application, all tables") << "shop_a" << QStringList() << true << ""
                                             << "== file code/C++/app/tables/Customer.cpp";
    QTest::newRow("Application, one table") << "gen_invoice" << QStringList{"invoice"} << true << ""
                                            << "== file code/C++/app/tables/Invoice.cpp";
    QTest::newRow("Sequences SQL, all tables") << "rt_sequences" << QStringList() << false << ""
                                               << "create sequence seq_orphan start with 1;";
    QTest::newRow("Sequences SQL, as one-row tables") << "rt_sequences" << QStringList{"orphan", "ticket"} << false << "emulated"
                                                      << "create table seq_orphan (next_id bigint not null) engine=InnoDB;";
    QTest::newRow("Sequences SQL, none missing") << "rt_sequences" << QStringList{"memo", "ticket"} << false << ""
                                                 << "has its sequence.";
}

void TestWindow::sameAsCommandLine()
{
    QFETCH(QString, schema);
    QFETCH(QStringList, tables);
    QFETCH(bool, application);
    QFETCH(QString, form);
    QFETCH(QString, shows);
    qputenv("TABLESMITH_RUNTIME_SEQUENCES", form.toLatin1());
    const TemporaryOutputFolder windowFolder;
    QTemporaryDir cliFolder;
    // The name the file dialog offers, in a folder of the test's.
    const QString windowFile = windowFolder.filePath(schema + QStringLiteral("-sequences.sql"));
    const QString cliFile = cliFolder.filePath(QStringLiteral("sequences.sql"));
    Tablesmith window;
    QVERIFY(connectWindow(window, schema, tables.isEmpty() ? QStringList{"*"} : tables));
    click(window, "btClear");
    if (application) {
        child<QCheckBox>(window, "chkApplication")->setChecked(true);
        click(window, "btGenerate");
        // Compare expects the scaffold too, as --check --app does.
        child<QAction>(window, "actionCompare")->trigger();
        QTRY_VERIFY2_WITH_TIMEOUT(child<QLabel>(window, "compareStatus")->text().endsWith(
                                          QLatin1String("The output folder is up to date: Generate would change nothing.")),
                                  qPrintable(child<QLabel>(window, "compareStatus")->text()), 60000);
    } else {
        answerNextFileDialog(windowFile);
        child<QAction>(window, "actionSaveSequencesSql")->trigger();
        waitForRun(window);
    }

    CliOptions options;
    options.environment.insert(QStringLiteral("TABLESMITH_RUNTIME_SEQUENCES"), form);
    QStringList arguments = application ? QStringList{"--app"} : QStringList{"--sequences-sql=" + cliFile, "--check"};
    if (!tables.isEmpty())
        arguments.append(QStringLiteral("--tables=") + tables.join(QLatin1Char(',')));
    const CliResult cli = runCli(serverArguments(schema) + arguments + QStringList{"-o", cliFolder.path()}, options);
    qunsetenv("TABLESMITH_RUNTIME_SEQUENCES");
    const QString written = application ? describeTree(windowFolder.path()) : readText(windowFile);
    if (application) {
        QVERIFY2(cli.exitCode == 0, qPrintable(cli.describe()));
        QCOMPARE(written, describeTree(cliFolder.path()));
        QVERIFY(logLines(window).contains(
                QStringLiteral("Generating the application scaffold: code/C++/CMakeLists.txt, code/C++/app")));
    } else {
        QVERIFY2(written == readText(cliFile), qPrintable(logLines(window).join(QLatin1Char('\n'))));
        const QString line = cli.out.split(QLatin1Char('\n')).filter(cliFile).value(0);
        QCOMPARE(logLines(window), QStringList(QString(line).replace(cliFile, windowFile)));
    }
    QVERIFY2(written.contains(shows), qPrintable(shows + QStringLiteral(" not in:\n") + written));
}

void TestWindow::refusals_data()
{
    // After a Generate of shop_a, Select None, then the row's form and button
    // (or menu entry).
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("line"); // the only line logged
    QTest::addColumn<bool>("connected"); // afterwards
    QTest::newRow("Generate, no table ticked") << "shop_a" << "btGenerate"
                                               << "Nothing to generate: no table is ticked; the output folder stays as it is." << true;
    QTest::newRow("Save Sequences SQL, no table ticked")
            << "shop_a" << "actionSaveSequencesSql" << "No sequences SQL to save: tick the tables whose sequences to create." << true;
    const QString noSchema = QStringLiteral("Connect refused: the Schema field is empty; name the schema to read.");
    QTest::newRow("Connect, no schema") << "" << "btConnect" << noSchema << false;
    QTest::newRow("Connect, blank schema") << "  " << "btConnect" << noSchema << false;
}

void TestWindow::refusals()
{
    QFETCH(QString, schema);
    QFETCH(QString, button);
    QFETCH(QString, line);
    QFETCH(bool, connected);
    const TemporaryOutputFolder folder;
    Tablesmith window;
    connectWindow(window, QStringLiteral("shop_a"));
    click(window, "btGenerate");
    const QString before = describeTree(folder.path());
    QVERIFY(before.contains(QLatin1String("customerdao.h")));
    click(window, "btSelectNone");
    click(window, "btClear");
    fillForm(window, schema);
    if (button.startsWith(QLatin1String("action")))
        child<QAction>(window, button.toLatin1().constData())->trigger();
    else
        click(window, button.toLatin1().constData());
    QCOMPARE(logLines(window), QStringList(line));
    QCOMPARE(describeTree(folder.path()), before);
    QCOMPARE(child(window, "groupBox")->isEnabled(), connected);
    QCOMPARE(tableModel(window)->rowCount(), connected ? 3 : 0);
}

void TestWindow::tableOrder_data()
{
    QTest::addColumn<bool>("serverOrder");
    QTest::newRow("by name") << false;
    QTest::newRow("the server's order") << true;
}

void TestWindow::tableOrder()
{
    // Natural order, case aside, for the list; the run keeps its own.
    QFETCH(bool, serverOrder);
    const QStringList byName{"alpha", "Beta", "t7", "t97", "t195", "T262", "t1000"};
    QStringList setUp{"DROP DATABASE IF EXISTS scratch_order", "CREATE DATABASE scratch_order"};
    for (const QString &table : {"t195", "T262", "t97", "Beta", "t1000", "alpha", "t7"})
        setUp.append(QStringLiteral("CREATE TABLE scratch_order.`%1` (id INT PRIMARY KEY)").arg(table));
    QCOMPARE(serverQuery(setUp), QStringList());
    const QStringList server = catalogue(QStringLiteral("scratch_order"));
    QCOMPARE(QSet<QString>(server.cbegin(), server.cend()), QSet<QString>(byName.cbegin(), byName.cend()));
    const auto listed = [](const QAbstractItemModel *model) {
        QStringList names;
        for (int row = 0; row < model->rowCount(); ++row)
            names.append(model->index(row, 0).data().toString());
        return names;
    };

    const TemporaryOutputFolder folder;
    Tablesmith window;
    child<QAction>(window, "actionServerTableOrder")->setChecked(serverOrder);
    TableModel *model = connectWindow(window, QStringLiteral("scratch_order"));
    QCOMPARE(listed(model), serverOrder ? server : byName);
    click(window, "btClear");
    click(window, "btGenerate");
    QStringList generated = logLines(window).filter(QStringLiteral("Generating DAO class for table: "));
    generated.replaceInStrings(QStringLiteral("Generating DAO class for table: "), QString());
    QCOMPARE(generated, server);

    // Select None and Select All act on the rows the filter shows (in any
    // case), the others keep their ticks; switching the order keeps the
    // ticks and the filter, another Connect the filter, the next start the
    // order.
    const auto hidden = [&window, model] {
        QStringList names;
        for (int row = 0; row < model->rowCount(); ++row) {
            if (child<QListView>(window, "listViewSource")->isRowHidden(row))
                names.append(model->index(row, 0).data().toString());
        }
        return names;
    };
    child<QLineEdit>(window, "tableFilter")->setText(QStringLiteral("T"));
    click(window, "btSelectNone");
    model->setData(model->index(int(listed(model).indexOf(QStringLiteral("t97"))), 0), Qt::Checked, Qt::CheckStateRole);
    child<QAction>(window, "actionServerTableOrder")->setChecked(!serverOrder);
    const QStringList order = serverOrder ? byName : server;
    QCOMPARE(listed(model), order);
    QCOMPARE(hidden(), QStringList{"alpha"});
    QCOMPARE(model->checkedTables(), order.filter(QRegularExpression(QStringLiteral("^(alpha|t97)$"))));
    click(window, "btConnect");
    click(window, "btSelectAll");
    QCOMPARE(hidden(), QStringList{"alpha"});
    QCOMPARE(model->checkedTables(), order.filter(QRegularExpression(QStringLiteral("^(?!alpha$)"))));
    QCOMPARE(child<QAction>(Tablesmith(), "actionServerTableOrder")->isChecked(), !serverOrder);
}

void TestWindow::firstGeometry_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("expected"); // for the form's own size, 693x491
    QTest::newRow("1400x900") << QRect(0, 0, 1400, 900) << QRect(140, 112, 1120, 675);
    QTest::newRow("right screen, panel on top") << QRect(1920, 30, 2560, 1410) << QRect(2176, 206, 2048, 1057);
    QTest::newRow("small screen: the form's size") << QRect(0, 0, 800, 600) << QRect(53, 54, 693, 491);
    QTest::newRow("wide and low") << QRect(0, 0, 1920, 600) << QRect(192, 54, 1536, 491);
}

void TestWindow::firstGeometry()
{
    QFETCH(QRect, available);
    QFETCH(QRect, expected);
    QCOMPARE(Tablesmith::firstGeometry(available, QSize(693, 491)), expected);
    // A first start (nothing remembered) takes its place on the screen it
    // opens on.
    UserSettings().setWindowGeometry(QByteArray());
    Tablesmith window;
    QCOMPARE(window.geometry(), Tablesmith::firstGeometry(window.screen()->availableGeometry(), QSize(693, 491)));
}

void TestWindow::remembers()
{
    // The next start shows the last form but the password, size, reader and
    // Keep Unchanged Files.
    QTemporaryDir folder;
    {
        Tablesmith window;
        fillForm(window, QStringLiteral("shop_b"), QStringLiteral("someone"), QStringLiteral("Secret-4711"));
        window.resize(720, 520);
        child<QAction>(window, "actionReadTableByTable")->setChecked(true);
        child<QAction>(window, "actionKeepUnchanged")->setChecked(true);
        // Answered at once: the folder chooser, once it has read the folder, would open it.
        QTimer::singleShot(0, [&folder] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            dialog->selectFile(folder.path());
            static_cast<QDialog *>(dialog)->accept();
        });
        child<QAction>(window, "actionOutputFolder")->trigger();
        QCOMPARE(logLines(window), QStringList(QStringLiteral("Output folder: ") + folder.path()));
    }
    Tablesmith window;
    QStringList form;
    for (const char *field : {"serverAddress", "schema", "userName", "password", "port"})
        form += child<QLineEdit>(window, field)->text();
    QCOMPARE(form, QStringList({"127.0.0.1", "shop_b", "someone", "", QString::number(TestServer::settings().port)}));
    QCOMPARE(window.size(), QSize(720, 520));
    QVERIFY(child<QAction>(window, "actionReadTableByTable")->isChecked());
    QVERIFY(child<QAction>(window, "actionKeepUnchanged")->isChecked());
}

void TestWindow::overSlowLink()
{
    // The test server 10 ms away each way.
    QProcess proxy;
    const QString port = startDelayProxy(&proxy, {"--delay-ms", "10", "--lifetime", "120"});
    QVERIFY(!port.isEmpty());
    const TemporaryOutputFolder folder;
    auto window = std::make_unique<Tablesmith>();
    child<QAction>(*window, "actionReadTableByTable")->setChecked(false);
    fillForm(*window, QStringLiteral("big_chain"), TestServer::settings().user, TestServer::settings().password,
             QStringLiteral("127.0.0.1"), port);
    // The event loop keeps turning while the server answers: a timer fires
    // and the progress bar moves.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(5);
    QTest::mouseClick(child(*window, "btConnect"), Qt::LeftButton);
    QVERIFY(window->isRunning());
    QVERIFY(!child(*window, "groupBox_3")->isEnabled() && !child(*window, "btConnect")->isEnabled());
    waitForRun(*window);
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    QCOMPARE(logLines(*window).value(1), QStringLiteral("Connected to: 127.0.0.1"));
    click(*window, "btSelectAll");

    auto *progress = child<QProgressBar>(*window, "runProgress");
    QStringList shown;
    QObject::connect(progress, &QProgressBar::valueChanged, [&shown, progress] { shown.append(progress->text()); });
    ticks = 0;
    QTest::mouseClick(child(*window, "btGenerate"), Qt::LeftButton);
    QVERIFY(!child(*window, "groupBox")->isEnabled());
    waitForRun(*window);
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    QVERIFY2(shown.filter(QRegularExpression(QStringLiteral("^Files written: [1-9]\\d* of 2400$"))).size() >= 2,
             qPrintable(shown.join(QLatin1Char('|'))));
    QVERIFY2(logLines(*window).last().endsWith(QStringLiteral("2400 files written to %1/code.").arg(folder.path())),
             qPrintable(logLines(*window).last()));
    QVERIFY(child(*window, "groupBox")->isEnabled() && child(*window, "btConnect")->isEnabled());

    // Cancel while the schema is read: the old tree stays byte for byte, as
    // the command line says, and nothing lands beside it.
    const auto tree = [&folder] {
        return describeTree(folder.path())
                + QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).join('|');
    };
    const QString before = describeTree(folder.path()) + QStringLiteral("code");
    QTest::mouseClick(child(*window, "btGenerate"), Qt::LeftButton);
    QTest::qWait(30);
    QVERIFY(window->isRunning());
    QTest::mouseClick(child(*window, "btCancel"), Qt::LeftButton);
    waitForRun(*window);
    QCOMPARE(logLines(*window).mid(logLines(*window).size() - 2, 1),
             QStringList(QStringLiteral("Interrupted: %1/code is unchanged").arg(folder.path())));
    QCOMPARE(tree(), before);

    // Cancel during Connect gives up at once.
    QTest::mouseClick(child(*window, "btConnect"), Qt::LeftButton);
    QTest::mouseClick(child(*window, "btCancel"), Qt::LeftButton);
    QVERIFY(!window->isRunning());
    QCOMPARE(logLines(*window).last(), QStringLiteral("Cancelled: gave up connecting to 127.0.0.1"));
    QVERIFY(!child(*window, "groupBox")->isEnabled());

    // Closing in the middle of a Generate ends the run and its thread; the
    // old tree stays.
    click(*window, "btConnect");
    click(*window, "btSelectAll");
    QTest::mouseClick(child(*window, "btGenerate"), Qt::LeftButton);
    QTest::qWait(30);
    QVERIFY(window->isRunning());
    QVERIFY(window->close());
    QElapsedTimer clock;
    clock.start();
    const auto threads = [] { return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(); };
    const qsizetype running = threads();
    window.reset();
    QVERIFY(clock.elapsed() < 10000);
    // The run's thread ends with the window (and so does the views' own).
    QVERIFY2(threads() <= running - 1, qPrintable(QStringLiteral("%1 of %2 threads left").arg(threads()).arg(running)));
    QCOMPARE(tree(), before);
}

void TestWindow::relationsMenu_data()
{
    QTest::addColumn<QString>("action"); // of the menu on `table`'s box
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column"); // the row clicked; empty: the names
    QTest::addColumn<QString>("input"); // the class, the table referred to, the suggestion
    QTest::addColumn<QString>("problem"); // a part of what refuses it; empty: taken
    QTest::addColumn<QString>("rules"); // the rule sections saved
    QTest::addColumn<QString>("drawn"); // a part of the diagram's DOT once taken
    const auto row = [](const char *tag, const char *action, const char *table, const char *column, const char *input,
                        const char *problem, const char *rules = "", const char *drawn = "") {
        QTest::newRow(tag) << action << table << column << input << problem << rules << drawn;
    };
    row("rename a class", "actionRenameClass", "posts", "", "Article", "", "\n[names]\nposts = Article\n", "<i>Article</i>");
    row("rename refused: a C++ keyword", "actionRenameClass", "posts", "", "class", "(project not saved):");
    row("rename refused: another table's class", "actionRenameClass", "posts", "", "Users",
        "class Users for table posts meets class Users of table users");
    row("add a relation from a column", "actionAddRelation", "posts", "author_id", "users", "",
        "\n[relations]\nposts.author_id -> users.id\n",
        "\"posts\" -> \"users\" [class=\"many-to-one\", label=\"many-to-one\\nposts.author_id\", style=dashed]");
    row("add refused: types that cannot match", "actionAddRelation", "posts", "title", "users", ": a key joins columns of");
    row("accept a suggestion on its line", "actionAcceptSuggestion", "", "", "comments.user_id -> users.id", "",
        "\n[relations]\ncomments.user_id -> users.id\n",
        "\"comments\" -> \"users\" [class=\"many-to-one\", label=\"many-to-one\\ncomments.user_id\", style=dashed]");
    row("accept a suggestion on a table", "actionAcceptSuggestion", "post_tags", "", "post_tags.tag_id -> tags.id", "",
        "\n[relations]\npost_tags.tag_id -> tags.id\n",
        "\"post_tags\" -> \"tags\" [class=\"many-to-one\", label=\"many-to-one\\npost_tags.tag_id\", style=dashed]");
}

void TestWindow::relationsMenu()
{
    // rl_blog declares no key: its relations are suggested, drawn dotted.
    // The menu's rule goes into the open project once the schema takes it;
    // the views show it, and Save Project writes it.
    QFETCH(QString, action);
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QString, input);
    QFETCH(QString, problem);
    QFETCH(QString, rules);
    QFETCH(QString, drawn);
    const TemporaryOutputFolder dir;
    Tablesmith window;
    window.resize(1200, 800);
    window.show();
    connectWindow(window, QStringLiteral("rl_blog"));
    auto *panel = child<InspectionPanel>(window, "viewTabs");
    DiagramView *view = panel->diagramView();
    panel->setCurrentWidget(view);
    QTRY_VERIFY(view->hasDiagram() && !panel->viewsThread()->isBusy());
    const DiagramResult before = panel->lastDiagram();
    QCOMPARE(before.suggestions.size(), 7);
    QVERIFY(!before.dot.contains(QLatin1String("style=dashed")));

    // Where to click: the row of the table's box, or a point on the
    // suggestion's line, which shows its evidence.
    QPoint point;
    if (!table.isEmpty()) {
        const QString id = before.tables.key(table);
        const QStringList rows = before.rows.value(id);
        const QRect box = view->elementRect(id);
        QVERIFY(!box.isEmpty() && rows.contains(column));
        point = QPoint(box.center().x(), box.top() + int((rows.indexOf(column) + 0.5) * box.height() / rows.size()));
    } else {
        QString id;
        for (auto s = before.suggestions.cbegin(); s != before.suggestions.cend(); ++s) {
            if (s->keyLine() == input)
                id = s.key();
        }
        const QRect area = view->elementRect(id);
        for (int y = area.top(); y <= area.bottom() && point.isNull(); ++y) {
            for (int x = area.left(); x <= area.right() && point.isNull(); ++x) {
                if (view->edgeAt(QPoint(x, y)) == id)
                    point = QPoint(x, y);
            }
        }
        QVERIFY2(!point.isNull(), qPrintable(id));
        QVERIFY(view->noteAt(point).contains(QLatin1String("column name user_id names table users")));
        QVERIFY(view->edgeAt(area.topLeft() - QPoint(30, 30)).isEmpty());
    }
    std::unique_ptr<QMenu> menu(panel->diagramMenu(point));
    QVERIFY(menu);
    QAction *chosen = nullptr;
    for (QAction *each : menu->actions()) {
        if (each->objectName() == action && (action != QLatin1String("actionAcceptSuggestion") || each->text().endsWith(input)))
            chosen = each;
    }
    QVERIFY2(chosen, qPrintable(action));

    // The dialog is filled and answered while it is shown.
    QString refused;
    QTimer fill;
    bool filled = false;
    QObject::connect(&fill, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<RuleDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (!filled) {
            filled = true;
            if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("className")))
                name->setText(input);
            if (auto *target = dialog->findChild<QComboBox *>(QStringLiteral("targetTable"))) {
                target->setCurrentText(input);
                QCOMPARE(dialog->findChild<QComboBox *>(QStringLiteral("sourceColumn1"))->currentText(), column);
            }
            dialog->accept();
        } else if (!dialog->problems().isEmpty() && !dialog->problems().startsWith(QLatin1String("Checking"))) {
            refused = dialog->problems();
            dialog->reject();
        }
    });
    fill.start(20);
    chosen->trigger();
    fill.stop();
    QVERIFY2(problem.isEmpty() ? refused.isEmpty() : refused.contains(problem), qPrintable(refused));

    // The views are drawn again, after the tab's pause.
    QTest::qWait(400);
    QTRY_VERIFY(view->hasDiagram() && !panel->viewsThread()->isBusy());
    const QString dot = panel->lastDiagram().dot;
    if (problem.isEmpty()) {
        QVERIFY2(dot.contains(drawn), qPrintable(dot));
        QVERIFY2(logLines(window).constLast().startsWith(QLatin1String("Project rule taken: ")),
                 qPrintable(logLines(window).constLast()));
        if (action == QLatin1String("actionAcceptSuggestion"))
            QCOMPARE(panel->lastDiagram().suggestions.size(), 6);
    } else {
        QCOMPARE(dot, before.dot);
    }

    // Saved with the project, and what Generate writes: the command line
    // reads the same from the file.
    const QString path = dir.filePath(QStringLiteral("blog.ini"));
    emit window.findChild<ProjectMenu *>()->saveRequested(path);
    const QString text = readText(path);
    QVERIFY2(rules.isEmpty() ? !text.contains(QLatin1String("\n[names]")) && !text.contains(QLatin1String("\n[relations]"))
                             : text.endsWith(rules),
             qPrintable(text));
    click(window, "btGenerate");
    QVERIFY2(logLines(window).constLast().startsWith(QLatin1String("Finished in ")), qPrintable(logLines(window).constLast()));
    QTemporaryDir cli;
    const CliResult run = runCli(serverArguments(QStringLiteral("rl_blog")) + QStringList{"--project", path, "-o", cli.path()});
    QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
    QCOMPARE(describeTree(cli.path()), describeTree(dir.path()));
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
