#include "app/tablemodel.h"
#include "app/tablesmith.h"
#include "testserver.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QTest>
#include <QTextDocument>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Every Qt message while it lives, passed on to the handler it replaced.
struct MessageCapture
{
    MessageCapture()
    {
        messages.clear();
        previous = qInstallMessageHandler(handle);
    }
    ~MessageCapture() { qInstallMessageHandler(previous); }
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        messages.append(message);
        if (previous)
            previous(type, context, message);
    }
    static inline QStringList messages;
    static inline QtMessageHandler previous = nullptr;
};

// Names a child the moment it is added, which for a Tablesmith is before
// its constructor runs setupUi.
class NamingParent : public QWidget
{
protected:
    void childEvent(QChildEvent *event) override
    {
        if (event->added() && event->child()->objectName().isEmpty())
            event->child()->setObjectName(QStringLiteral("namedBeforeSetup"));
        QWidget::childEvent(event);
    }
};

// A socket on 127.0.0.1 that listens but never accepts: the kernel completes
// the handshake, no server ever greets, like a host that hangs.
struct SilentListener
{
    SilentListener()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), length) == 0 && ::listen(fd, 8) == 0
            && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            port = ntohs(address.sin_port);
    }
    ~SilentListener() { ::close(fd); }
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
};

struct Form
{
    QString host = QStringLiteral("127.0.0.1");
    QString schema = QStringLiteral("shop_a");
    QString password = TestServer::settings().password;
    QString port = QString::number(TestServer::settings().port);
};

} // namespace

Q_DECLARE_METATYPE(Form)

namespace {

template<typename T = QWidget>
T *child(const QWidget &window, const char *name)
{
    T *widget = window.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

void click(const Tablesmith &window, const char *button)
{
    QTest::mouseClick(child<QPushButton>(window, button), Qt::LeftButton);
}

void connectWith(Tablesmith &window, const Form &form)
{
    child<QLineEdit>(window, "serverAddress")->setText(form.host);
    child<QLineEdit>(window, "schema")->setText(form.schema);
    child<QLineEdit>(window, "userName")->setText(TestServer::settings().user);
    child<QLineEdit>(window, "password")->setText(form.password);
    child<QLineEdit>(window, "port")->setText(form.port);
    click(window, "btConnect");
}

QStringList logLines(const Tablesmith &window)
{
    return child<QPlainTextEdit>(window, "textLog")->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

TableModel *listModel(const Tablesmith &window)
{
    return qobject_cast<TableModel *>(child<QListView>(window, "listViewSource")->model());
}

QStringList listedNames(const QAbstractItemModel *model)
{
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names.append(model->index(row, 0).data().toString());
    return names;
}

QString itemName(QLayoutItem *item)
{
    if (!item)
        return QString();
    if (item->widget() || item->layout())
        return item->widget() ? item->widget()->objectName() : item->layout()->objectName();
    return QStringLiteral("spacer");
}

// A layout's items in order, a form layout's as "label:field" per row.
QString layoutItems(QLayout *layout)
{
    QStringList items;
    if (auto *form = qobject_cast<QFormLayout *>(layout)) {
        for (int row = 0; row < form->rowCount(); ++row)
            items.append(itemName(form->itemAt(row, QFormLayout::LabelRole)) + QLatin1Char(':')
                         + itemName(form->itemAt(row, QFormLayout::FieldRole)));
    } else {
        for (int i = 0; i < layout->count(); ++i)
            items.append(itemName(layout->itemAt(i)));
    }
    return items.join(QLatin1Char(' '));
}

bool mentions(const QStringList &lines, const QString &text)
{
    return std::any_of(lines.cbegin(), lines.cend(), [&](const QString &line) { return line.contains(text); });
}

const char *const switches[4] = {"chkDao", "chkObject", "chkModel", "chkCustomEditor"};

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void initialState();
    void objectNameSetBeforeSetupIsKept();
    void form_data();
    void form();
    void clear_data();
    void clear();
    void connectTo_data();
    void connectTo();
    void generateFollowsTheSwitches_data();
    void generateFollowsTheSwitches();
};

void tst_MainWindow::initTestCase()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");
    // The client library reads this once, when the driver first loads it;
    // "localhost" then reaches the private server through its socket.
    qputenv("MYSQL_UNIX_PORT", TestServer::settings().socket.toLocal8Bit());
}

void tst_MainWindow::initialState()
{
    Tablesmith window;
    QCOMPARE(window.objectName(), QStringLiteral("Tablesmith"));
    QCOMPARE(window.metaObject()->className(), "Tablesmith");
    QCOMPARE(window.size(), QSize(693, 491));
    QCOMPARE(window.windowTitle(), QStringLiteral("Tablesmith - generated code is overwritten on every run"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Disabling the group reaches everything in it, and nothing outside it.
    for (const char *name : {"groupBox", "listViewSource", "btSelectAll", "btSelectNone", "chkDao", "chkObject",
                             "chkModel", "chkCustomEditor", "btGenerate"})
        QVERIFY2(!child(window, name)->isEnabled(), name);
    for (const char *name : {"btConnect", "serverAddress", "schema", "userName", "password", "port", "btClear",
                             "textLog"})
        QVERIFY2(child(window, name)->isEnabled(), name);
    for (const char *name : switches)
        QVERIFY2(child<QCheckBox>(window, name)->isChecked(), name);

    // The start texts of the fields are checked with the form.
    QCOMPARE(child<QLineEdit>(window, "password")->echoMode(), QLineEdit::Password);
    QVERIFY(!child<QListView>(window, "listViewSource")->model());
    const auto *log = child<QPlainTextEdit>(window, "textLog");
    QVERIFY(log->isReadOnly());
    QVERIFY(log->toPlainText().isEmpty());
    QVERIFY(log->document()->metaInformation(QTextDocument::DocumentTitle).isEmpty());
}

void tst_MainWindow::objectNameSetBeforeSetupIsKept()
{
    NamingParent parent;
    auto *window = new Tablesmith(&parent);
    QCOMPARE(window->objectName(), QStringLiteral("namedBeforeSetup"));
    // The form is complete all the same.
    QVERIFY(window->findChild<QPlainTextEdit *>(QStringLiteral("textLog")));
}

void tst_MainWindow::form_data()
{
    // Every widget and layout of the form: its class, its holder (a widget's
    // parent; the widget a layout is set on or the layout it is nested in)
    // and what it shows (a widget's text or title; a layout's items in
    // order, "label:field" per form row, "spacer" for a spacer).
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<QString>("content");

    const auto row = [](const char *name, const char *className, const char *holder, const char *content) {
        QTest::newRow(name) << QString::fromLatin1(className) << QString::fromLatin1(holder)
                            << QString::fromUtf8(content);
    };
    row("horizontalLayout_6", "QHBoxLayout", "Tablesmith", "verticalLayout_4 verticalLayout_3");
    row("verticalLayout_4", "QVBoxLayout", "horizontalLayout_6", "groupBox_3 horizontalLayout groupBox");
    row("groupBox_3", "QGroupBox", "Tablesmith", "MySQL database configuration");
    row("formLayout", "QFormLayout", "groupBox_3",
        "label_8:serverAddress label_4:schema label:userName label_2:password label_3:port");
    row("label_8", "QLabel", "groupBox_3", "Server address");
    row("serverAddress", "QLineEdit", "groupBox_3", "localhost");
    row("label_4", "QLabel", "groupBox_3", "Schema");
    row("schema", "QLineEdit", "groupBox_3", "");
    row("label", "QLabel", "groupBox_3", "Username");
    row("userName", "QLineEdit", "groupBox_3", "");
    row("label_2", "QLabel", "groupBox_3", "Password");
    row("password", "QLineEdit", "groupBox_3", "");
    row("label_3", "QLabel", "groupBox_3", "Port");
    row("port", "QLineEdit", "groupBox_3", "3306");
    row("horizontalLayout", "QHBoxLayout", "verticalLayout_4", "btConnect spacer");
    row("btConnect", "QPushButton", "Tablesmith", "Connect");
    row("groupBox", "QGroupBox", "Tablesmith", "Generator");
    row("horizontalLayout_5", "QHBoxLayout", "groupBox", "verticalLayout_2 verticalLayout");
    row("verticalLayout_2", "QVBoxLayout", "horizontalLayout_5", "label_5 listViewSource horizontalLayout_4");
    row("label_5", "QLabel", "groupBox", "Source tables");
    row("listViewSource", "QListView", "groupBox", "");
    row("horizontalLayout_4", "QHBoxLayout", "verticalLayout_2", "btSelectAll btSelectNone spacer");
    row("btSelectAll", "QPushButton", "groupBox", "Select All");
    row("btSelectNone", "QPushButton", "groupBox", "Select None");
    row("verticalLayout", "QVBoxLayout", "horizontalLayout_5", "groupBox_2 horizontalLayout_3 spacer");
    row("groupBox_2", "QGroupBox", "groupBox", "Generate");
    row("formLayout_2", "QFormLayout", "groupBox_2", "chkDao: chkObject: chkModel: chkCustomEditor:");
    row("chkDao", "QCheckBox", "groupBox_2", "Dao");
    row("chkObject", "QCheckBox", "groupBox_2", "Object");
    row("chkModel", "QCheckBox", "groupBox_2", "Model");
    row("chkCustomEditor", "QCheckBox", "groupBox_2", "CustomEditor");
    row("horizontalLayout_3", "QHBoxLayout", "verticalLayout", "btGenerate spacer");
    row("btGenerate", "QPushButton", "groupBox", "Generate");
    row("verticalLayout_3", "QVBoxLayout", "horizontalLayout_6", "horizontalLayout_2 textLog");
    row("horizontalLayout_2", "QHBoxLayout", "verticalLayout_3", "label_7 spacer btClear");
    row("label_7", "QLabel", "Tablesmith", "Log information");
    row("btClear", "QPushButton", "Tablesmith", "Clear");
    row("textLog", "QPlainTextEdit", "Tablesmith", "");
}

void tst_MainWindow::form()
{
    QFETCH(QString, className);
    QFETCH(QString, holder);
    QFETCH(QString, content);

    Tablesmith window;
    const QList<QObject *> found = window.findChildren<QObject *>(QString::fromLatin1(QTest::currentDataTag()));
    QCOMPARE(found.size(), 1);
    QObject *object = found.first();
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);

    if (auto *layout = qobject_cast<QLayout *>(object)) {
        if (auto *outer = window.findChild<QLayout *>(holder)) {
            QCOMPARE(layout->parent(), outer);
        } else {
            auto *owner = holder == window.objectName() ? &window : window.findChild<QWidget *>(holder);
            QVERIFY(owner);
            QCOMPARE(owner->layout(), layout);
        }
        QCOMPARE(layoutItems(layout), content);
    } else {
        auto *widget = qobject_cast<QWidget *>(object);
        QVERIFY(widget && widget->parentWidget());
        QCOMPARE(widget->parentWidget()->objectName(), holder);
        // A group box shows its title, the others their text (a list view
        // and the log pane have none).
        const QVariant title = widget->property("title");
        QCOMPARE((title.isValid() ? title : widget->property("text")).toString(), content);
    }
}

void tst_MainWindow::clear_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty log") << QStringList();
    QTest::newRow("two lines") << QStringList{QStringLiteral("one"), QStringLiteral("two")};
}

void tst_MainWindow::clear()
{
    QFETCH(QStringList, lines);

    Tablesmith window;
    for (const QString &line : lines)
        child<QPlainTextEdit>(window, "textLog")->appendPlainText(line);
    child<QLineEdit>(window, "schema")->setText(QStringLiteral("shop_a"));
    click(window, "btClear");

    QVERIFY(logLines(window).isEmpty());
    QCOMPARE(child<QLineEdit>(window, "schema")->text(), QStringLiteral("shop_a"));
    QCOMPARE(child<QLineEdit>(window, "serverAddress")->text(), QStringLiteral("localhost"));
    QVERIFY(!child(window, "groupBox")->isEnabled());
}

void tst_MainWindow::connectTo_data()
{
    // Each row's Connect follows one to shop_a, with a view attached.
    QTest::addColumn<Form>("form");
    QTest::addColumn<QString>("outcome"); // the exact second log line, or a part of an error line
    QTest::addColumn<QStringList>("tables"); // in any order; the driver's is checked

    const QStringList shopA{QStringLiteral("customer"), QStringLiteral("invoice"), QStringLiteral("product")};
    const QStringList shopB{QStringLiteral("warehouse"), QStringLiteral("stock")};
    Form form;
    QTest::newRow("same schema again") << form << "Connected to: 127.0.0.1" << shopA;
    form.schema = QStringLiteral("empty_schema");
    QTest::newRow("empty schema") << form << "Connected to: 127.0.0.1" << QStringList();
    form.schema = QStringLiteral("shop_b");
    QTest::newRow("another schema") << form << "Connected to: 127.0.0.1" << shopB;
    form.host = QStringLiteral("localhost");
    QTest::newRow("localhost through the socket") << form << "Connected to: localhost" << shopB;
    // Not a number: port 0, the client's default, which over the socket
    // does not matter.
    form.port = QStringLiteral("abc");
    QTest::newRow("localhost, port of letters") << form << "Connected to: localhost" << shopB;
    form = Form();
    form.password = QStringLiteral("Wr0ng-Secret-4711");
    QTest::newRow("wrong password") << form << "Access denied" << QStringList();
    form = Form();
    form.port = QStringLiteral("silent");
    QTest::newRow("host that never answers") << form << "" << QStringList();
}

void tst_MainWindow::connectTo()
{
    QFETCH(Form, form);
    QFETCH(QString, outcome);
    QFETCH(QStringList, tables);
    const bool connects = outcome.startsWith(QLatin1String("Connected to: "));
    SilentListener silent;
    const bool silentHost = form.port == QLatin1String("silent");
    if (silentHost)
        form.port = QString::number(silent.port);
    MessageCapture capture;

    Tablesmith window;
    connectWith(window, Form());
    QCOMPARE(logLines(window), (QStringList{QStringLiteral("Establishing connection to: 127.0.0.1"),
                                            QStringLiteral("Connected to: 127.0.0.1")}));
    TableModel *model = listModel(window);
    QVERIFY(model);
    QCOMPARE(model->rowCount(), 3);
    QVERIFY(model->setData(model->index(0, 0), Qt::Checked, Qt::CheckStateRole));
    QListView view;
    view.setModel(model);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setCurrentIndex(model->index(2, 0));
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    child<QPlainTextEdit>(window, "textLog")->clear();

    QElapsedTimer clock;
    clock.start();
    connectWith(window, form);
    const qint64 elapsed = clock.elapsed();

    const QStringList lines = logLines(window);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), QStringLiteral("Establishing connection to: ") + form.host);
    QVERIFY2(connects ? lines.at(1) == outcome : lines.at(1).contains(outcome) && !lines.at(1).isEmpty(),
             qPrintable(lines.at(1)));
    QCOMPARE(child(window, "groupBox")->isEnabled(), connects);
    QCOMPARE(child(window, "btGenerate")->isEnabled(), connects);

    // Old rows are gone whatever the outcome, through one reset of the same
    // model; the new ones come unticked, in the driver's order.
    QCOMPARE(listModel(window), model);
    QCOMPARE(reset.count(), 1);
    const QStringList listed = listedNames(model);
    QCOMPARE(QSet<QString>(listed.cbegin(), listed.cend()), QSet<QString>(tables.cbegin(), tables.cend()));
    if (connects)
        QCOMPARE(listed, QSqlDatabase::database(QStringLiteral("Connection"), false).tables(QSql::Tables));
    QVERIFY(model->checkedTables().isEmpty());
    click(window, "btSelectAll");
    QCOMPARE(model->checkedTables(), listed);
    click(window, "btSelectNone");
    QVERIFY(model->checkedTables().isEmpty());

    // The attached view dropped the row that no longer exists and lays out
    // the new ones.
    QVERIFY(!view.currentIndex().isValid());
    QCoreApplication::processEvents();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QRect rect = view.visualRect(model->index(row, 0));
        QVERIFY(!rect.isEmpty());
        QCOMPARE(view.indexAt(rect.center()), model->index(row, 0));
    }

    // Both connections are registered anew, the old ones dropped cleanly.
    QVERIFY2(!mentions(capture.messages, QStringLiteral("still in use")), qPrintable(capture.messages.join('\n')));
    const QSqlDatabase schema = QSqlDatabase::database(QStringLiteral("Connection"), false);
    const QSqlDatabase catalog = QSqlDatabase::database(QStringLiteral("InformationSchema"), false);
    QCOMPARE(schema.isOpen(), connects);
    QCOMPARE(catalog.isOpen(), connects);
    QCOMPARE(schema.databaseName(), form.schema);
    QCOMPARE(catalog.databaseName(), QStringLiteral("information_schema"));

    // A host that never answers is given up after the connect timeout, for
    // each of the two connections, not after minutes.
    QVERIFY2(elapsed < 60000, qPrintable(QString::number(elapsed)));
    if (silentHost)
        QVERIFY2(elapsed >= 9000, qPrintable(QString::number(elapsed)));

    for (const QString &password : {form.password, Form().password}) {
        QVERIFY(!mentions(lines, password));
        QVERIFY2(!mentions(capture.messages, password), qPrintable(capture.messages.join('\n')));
    }
}

void tst_MainWindow::generateFollowsTheSwitches_data()
{
    QTest::addColumn<QString>("switchName");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("kind");

    QTest::newRow("dao") << "chkDao" << "dao" << "DAO";
    QTest::newRow("object") << "chkObject" << "object" << "Object";
    QTest::newRow("model") << "chkModel" << "model" << "Model";
    QTest::newRow("editor") << "chkCustomEditor" << "editors" << "Editor";
    QTest::newRow("none") << QString() << QString() << QString();
}

void tst_MainWindow::generateFollowsTheSwitches()
{
    QFETCH(QString, switchName);
    QFETCH(QString, directory);
    QFETCH(QString, kind);

    Tablesmith window;
    connectWith(window, Form());
    TableModel *model = listModel(window);
    QVERIFY(model);
    const int invoice = int(listedNames(model).indexOf(QStringLiteral("invoice")));
    QVERIFY(model->setData(model->index(invoice, 0), Qt::Checked, Qt::CheckStateRole));
    for (const char *name : switches)
        child<QCheckBox>(window, name)->setChecked(QLatin1String(name) == switchName);
    child<QPlainTextEdit>(window, "textLog")->clear();

    click(window, "btGenerate");

    const QStringList lines = logLines(window);
    QCOMPARE(lines.filter(QStringLiteral("Generating ")),
             kind.isEmpty() ? QStringList() : QStringList{QStringLiteral("Generating %1 class for table: invoice").arg(kind)});
    QVERIFY(!mentions(lines, Form().password));
    const QDir code(QCoreApplication::applicationDirPath() + QStringLiteral("/code/C++"));
    for (const char *sub : {"object", "dao", "model", "editors"}) {
        QVERIFY2(code.exists(QLatin1String(sub)), sub);
        QCOMPARE(int(QDir(code.filePath(QLatin1String(sub))).entryList(QDir::Files).size()),
                 QLatin1String(sub) == directory ? 2 : 0);
    }
    QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/code")).removeRecursively();
}

QTEST_MAIN(tst_MainWindow)

#include "tst_mainwindow.moc"
