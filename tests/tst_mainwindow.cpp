#include "app/tablemodel.h"
#include "app/tablesmith.h"
#include "testserver.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
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

const char windowTitle[] = "Tablesmith - generated code is overwritten on every run";

// Collects every message of the Qt message handlers while it lives, and
// passes them on to the handler it replaced.
class MessageCapture
{
public:
    MessageCapture()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&MessageCapture::handle);
    }
    ~MessageCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }

    QStringList messages;

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        s_current->messages.append(message);
        if (s_current->m_previous)
            s_current->m_previous(type, context, message);
    }

    static MessageCapture *s_current;
    QtMessageHandler m_previous = nullptr;
};

MessageCapture *MessageCapture::s_current = nullptr;

// Names a child widget the moment it is added, which for a Tablesmith is
// before its constructor runs setupUi.
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

struct Form
{
    QString host = QStringLiteral("127.0.0.1");
    QString schema;
    QString user = TestServer::settings().user;
    QString password = TestServer::settings().password;
    QString port = QString::number(TestServer::settings().port);
};

template<typename T>
T *child(const QWidget &window, const char *name)
{
    T *widget = window.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

void fillForm(Tablesmith &window, const Form &form)
{
    child<QLineEdit>(window, "serverAddress")->setText(form.host);
    child<QLineEdit>(window, "schema")->setText(form.schema);
    child<QLineEdit>(window, "userName")->setText(form.user);
    child<QLineEdit>(window, "password")->setText(form.password);
    child<QLineEdit>(window, "port")->setText(form.port);
}

void connectWith(Tablesmith &window, const Form &form)
{
    fillForm(window, form);
    QTest::mouseClick(child<QPushButton>(window, "btConnect"), Qt::LeftButton);
}

QStringList logLines(const Tablesmith &window)
{
    const QString text = child<QPlainTextEdit>(window, "textLog")->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
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

bool allUnticked(const QAbstractItemModel *model)
{
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, 0).data(Qt::CheckStateRole).toInt() != Qt::Unchecked)
            return false;
    }
    return true;
}

// The tables of `schema` in the order the driver lists them, asked on a
// connection of the test's own.
QStringList driverTables(const QString &schema)
{
    const QString name = QStringLiteral("tst_mainwindow_reference");
    QStringList tables;
    {
        const TestServer::Settings &s = TestServer::settings();
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(s.port);
        db.setUserName(s.user);
        db.setPassword(s.password);
        db.setDatabaseName(schema);
        if (db.open())
            tables = db.tables(QSql::Tables);
    }
    QSqlDatabase::removeDatabase(name);
    return tables;
}

// A listening socket on 127.0.0.1 that never accepts: the kernel completes
// the TCP handshake, but no server ever greets, like a host that hangs.
class SilentListener
{
public:
    SilentListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), length) != 0
            || ::listen(m_fd, 8) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
            return;
        }
        m_port = ntohs(address.sin_port);
    }
    ~SilentListener()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SilentListener(const SilentListener &) = delete;
    SilentListener &operator=(const SilentListener &) = delete;

    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

QString itemName(QLayoutItem *item)
{
    if (!item)
        return QString();
    if (item->widget())
        return item->widget()->objectName();
    return item->layout() ? item->layout()->objectName() : QStringLiteral("spacer");
}

// The items of a layout in order, a form layout's as "label:field" per row.
QString layoutItems(QLayout *layout)
{
    QStringList items;
    if (auto *form = qobject_cast<QFormLayout *>(layout)) {
        for (int row = 0; row < form->rowCount(); ++row) {
            items.append(itemName(form->itemAt(row, QFormLayout::LabelRole)) + QLatin1Char(':')
                         + itemName(form->itemAt(row, QFormLayout::FieldRole)));
        }
    } else {
        for (int i = 0; i < layout->count(); ++i)
            items.append(itemName(layout->itemAt(i)));
    }
    return items.join(QLatin1Char(' '));
}

QString shownText(const QWidget *widget)
{
    if (auto *box = qobject_cast<const QGroupBox *>(widget))
        return box->title();
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->text();
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    return QString();
}

bool mentions(const QStringList &lines, const QString &text)
{
    for (const QString &line : lines) {
        if (line.contains(text))
            return true;
    }
    return false;
}

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void initialState();
    void objectNameSetBeforeSetupIsKept();
    void nameSizeAndTitle();
    void form_data();
    void form();
    void clear_data();
    void clear();

    void connectSucceeds();
    void connectThroughLocalhostSocket_data();
    void connectThroughLocalhostSocket();
    void wrongPassword();
    void secondConnectShowsOnlyTheNewSchema();
    void selectionButtons();
    void emptySchema();
    void silentHostTimesOut();
    void generateFollowsTheSwitches_data();
    void generateFollowsTheSwitches();

private:
    Form m_form;
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
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QVERIFY(!child<QGroupBox>(window, "groupBox")->isEnabled());
    // Disabling the group reaches everything in it...
    for (const char *name : {"listViewSource", "btSelectAll", "btSelectNone", "chkDao", "chkObject",
                             "chkModel", "chkCustomEditor", "btGenerate"}) {
        QVERIFY2(!child<QWidget>(window, name)->isEnabled(), name);
    }
    // ...and nothing outside it.
    for (const char *name : {"btConnect", "serverAddress", "schema", "userName", "password", "port",
                             "btClear", "textLog"}) {
        QVERIFY2(child<QWidget>(window, name)->isEnabled(), name);
    }

    for (const char *name : {"chkDao", "chkObject", "chkModel", "chkCustomEditor"})
        QVERIFY2(child<QCheckBox>(window, name)->isChecked(), name);

    // The start texts of the fields are checked with the widgets.
    QCOMPARE(child<QLineEdit>(window, "password")->echoMode(), QLineEdit::Password);

    QVERIFY(!child<QListView>(window, "listViewSource")->model());
    const QPlainTextEdit *log = child<QPlainTextEdit>(window, "textLog");
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

void tst_MainWindow::nameSizeAndTitle()
{
    Tablesmith window;
    QCOMPARE(window.objectName(), QStringLiteral("Tablesmith"));
    QCOMPARE(window.metaObject()->className(), "Tablesmith");
    QCOMPARE(window.size(), QSize(693, 491));
    QCOMPARE(window.windowTitle(), QString::fromLatin1(windowTitle));
}

void tst_MainWindow::form_data()
{
    // Every widget and layout of the form, in order of creation: its class,
    // its holder (the widget a widget is a child of; the widget a layout is
    // set on or the layout it is nested in) and what it shows (a widget's
    // text or title; a layout's items in order, "label:field" for each form
    // row and "spacer" for a spacer item).
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<QString>("content");

    const auto row = [](const char *name, const char *className, const char *holder, const char *content) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(className)
                            << QString::fromLatin1(holder) << QString::fromUtf8(content);
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
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, holder);
    QFETCH(QString, content);

    Tablesmith window;
    const QList<QObject *> found = window.findChildren<QObject *>(name);
    QCOMPARE(found.size(), 1);
    QObject *object = found.first();
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);

    if (auto *layout = qobject_cast<QLayout *>(object)) {
        if (auto *outer = window.findChild<QLayout *>(holder)) {
            QCOMPARE(layout->parent(), outer);
        } else {
            auto *owner = window.objectName() == holder ? &window : window.findChild<QWidget *>(holder);
            QVERIFY(owner);
            QCOMPARE(owner->layout(), layout);
        }
        QCOMPARE(layoutItems(layout), content);
    } else {
        auto *widget = qobject_cast<QWidget *>(object);
        QVERIFY(widget && widget->parentWidget());
        QCOMPARE(widget->parentWidget()->objectName(), holder);
        QCOMPARE(shownText(widget), content);
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
    auto *log = child<QPlainTextEdit>(window, "textLog");
    for (const QString &line : lines)
        log->appendPlainText(line);
    child<QLineEdit>(window, "schema")->setText(QStringLiteral("shop_a"));

    QTest::mouseClick(child<QPushButton>(window, "btClear"), Qt::LeftButton);

    QVERIFY(log->toPlainText().isEmpty());
    QCOMPARE(child<QLineEdit>(window, "schema")->text(), QStringLiteral("shop_a"));
    QCOMPARE(child<QLineEdit>(window, "serverAddress")->text(), QStringLiteral("localhost"));
    QVERIFY(!child<QGroupBox>(window, "groupBox")->isEnabled());
}

void tst_MainWindow::connectSucceeds()
{
    Tablesmith window;
    Form form;
    form.schema = QStringLiteral("shop_a");
    MessageCapture capture;

    connectWith(window, form);

    QCOMPARE(logLines(window), (QStringList{QStringLiteral("Establishing connection to: 127.0.0.1"),
                                            QStringLiteral("Connected to: 127.0.0.1")}));
    QVERIFY(child<QGroupBox>(window, "groupBox")->isEnabled());
    QVERIFY(child<QPushButton>(window, "btGenerate")->isEnabled());

    const TableModel *model = listModel(window);
    QVERIFY(model);
    const QStringList expected = driverTables(form.schema);
    QCOMPARE(QSet<QString>(expected.cbegin(), expected.cend()),
             (QSet<QString>{QStringLiteral("customer"), QStringLiteral("invoice"),
                            QStringLiteral("product")}));
    QCOMPARE(listedNames(model), expected);
    QVERIFY(allUnticked(model));
    QVERIFY(model->checkedTables().isEmpty());

    // Both connections stay registered for the schema reader and the code model.
    QSqlDatabase schema = QSqlDatabase::database(QStringLiteral("Connection"), false);
    QVERIFY(schema.isOpen());
    QCOMPARE(schema.databaseName(), QStringLiteral("shop_a"));
    QSqlDatabase catalog = QSqlDatabase::database(QStringLiteral("InformationSchema"), false);
    QVERIFY(catalog.isOpen());
    QCOMPARE(catalog.databaseName(), QStringLiteral("information_schema"));

    QVERIFY(!mentions(logLines(window), form.password));
    QVERIFY2(!mentions(capture.messages, form.password), qPrintable(capture.messages.join('\n')));
}

void tst_MainWindow::connectThroughLocalhostSocket_data()
{
    QTest::addColumn<QString>("port");

    QTest::newRow("port of the form") << QString::number(TestServer::settings().port);
    // Not a number: port 0, the client's default, which over the socket
    // does not matter.
    QTest::newRow("port of letters") << QStringLiteral("abc");
}

void tst_MainWindow::connectThroughLocalhostSocket()
{
    QFETCH(QString, port);

    Tablesmith window;
    Form form;
    form.host = QStringLiteral("localhost");
    form.schema = QStringLiteral("shop_b");
    form.port = port;

    connectWith(window, form);

    QCOMPARE(logLines(window), (QStringList{QStringLiteral("Establishing connection to: localhost"),
                                            QStringLiteral("Connected to: localhost")}));
    QVERIFY(child<QGroupBox>(window, "groupBox")->isEnabled());
    QCOMPARE(listedNames(listModel(window)), driverTables(form.schema));
    QCOMPARE(listModel(window)->rowCount(), 2);
}

void tst_MainWindow::wrongPassword()
{
    Tablesmith window;
    Form form;
    form.schema = QStringLiteral("shop_a");
    connectWith(window, form);
    QCOMPARE(listModel(window)->rowCount(), 3);
    child<QPlainTextEdit>(window, "textLog")->clear();

    form.password = QStringLiteral("Wr0ng-Secret-4711");
    MessageCapture capture;
    connectWith(window, form);

    const QStringList lines = logLines(window);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), QStringLiteral("Establishing connection to: 127.0.0.1"));
    QVERIFY2(lines.at(1).contains(QStringLiteral("Access denied")), qPrintable(lines.at(1)));
    QVERIFY(!child<QGroupBox>(window, "groupBox")->isEnabled());
    // The view keeps the model, which now has no rows.
    QCOMPARE(listModel(window)->rowCount(), 0);

    QVERIFY(!mentions(lines, form.password));
    QVERIFY2(!mentions(capture.messages, form.password), qPrintable(capture.messages.join('\n')));
}

void tst_MainWindow::secondConnectShowsOnlyTheNewSchema()
{
    Tablesmith window;
    Form form;
    form.schema = QStringLiteral("shop_a");
    connectWith(window, form);
    TableModel *model = listModel(window);
    QVERIFY(model);
    QVERIFY(model->setData(model->index(0, 0), Qt::Checked, Qt::CheckStateRole));

    // A view attached before the second Connect, on the schema's last row.
    QListView view;
    view.setModel(model);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setCurrentIndex(model->index(2, 0));
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);

    form.schema = QStringLiteral("shop_b");
    MessageCapture capture;
    connectWith(window, form);

    QCOMPARE(listModel(window), model);
    QCOMPARE(reset.count(), 1);
    const QStringList expected = driverTables(form.schema);
    QCOMPARE(QSet<QString>(expected.cbegin(), expected.cend()),
             (QSet<QString>{QStringLiteral("warehouse"), QStringLiteral("stock")}));
    QCOMPARE(listedNames(model), expected);
    QVERIFY(allUnticked(model));
    QVERIFY(model->checkedTables().isEmpty());

    // The view dropped the row that no longer exists and lays out the new ones.
    QVERIFY(!view.currentIndex().isValid());
    QCoreApplication::processEvents();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QRect rect = view.visualRect(model->index(row, 0));
        QVERIFY(!rect.isEmpty());
        QCOMPARE(view.indexAt(rect.center()), model->index(row, 0));
    }

    // The old registrations were dropped cleanly.
    QVERIFY2(!mentions(capture.messages, QStringLiteral("still in use")),
             qPrintable(capture.messages.join('\n')));
    QCOMPARE(QSqlDatabase::database(QStringLiteral("Connection"), false).databaseName(),
             QStringLiteral("shop_b"));
}

void tst_MainWindow::selectionButtons()
{
    Tablesmith window;
    Form form;
    form.schema = QStringLiteral("shop_a");
    connectWith(window, form);
    TableModel *model = listModel(window);
    QVERIFY(model);
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);

    QTest::mouseClick(child<QPushButton>(window, "btSelectAll"), Qt::LeftButton);
    QCOMPARE(model->checkedTables(), driverTables(form.schema));
    QCOMPARE(changed.count(), 1);

    QTest::mouseClick(child<QPushButton>(window, "btSelectNone"), Qt::LeftButton);
    QVERIFY(model->checkedTables().isEmpty());
    QCOMPARE(changed.count(), 2);
}

void tst_MainWindow::emptySchema()
{
    Tablesmith window;
    Form form;
    form.schema = QStringLiteral("empty_schema");
    connectWith(window, form);

    QCOMPARE(logLines(window).size(), 2);
    QVERIFY(child<QGroupBox>(window, "groupBox")->isEnabled());
    QVERIFY(listModel(window));
    QCOMPARE(listModel(window)->rowCount(), 0);
}

void tst_MainWindow::silentHostTimesOut()
{
    SilentListener silent;
    QVERIFY(silent.port() > 0);

    Tablesmith window;
    Form form;
    form.schema = QStringLiteral("shop_a");
    form.port = QString::number(silent.port());
    MessageCapture capture;
    QElapsedTimer timer;
    timer.start();
    connectWith(window, form);
    const qint64 elapsed = timer.elapsed();

    // Two connections, each given up after the connect timeout.
    QVERIFY2(elapsed >= 9000 && elapsed < 60000, qPrintable(QString::number(elapsed)));
    const QStringList lines = logLines(window);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), QStringLiteral("Establishing connection to: 127.0.0.1"));
    QVERIFY(!lines.at(1).isEmpty());
    QVERIFY(!child<QGroupBox>(window, "groupBox")->isEnabled());
    QVERIFY(!mentions(capture.messages, form.password));
}

void tst_MainWindow::generateFollowsTheSwitches_data()
{
    QTest::addColumn<QString>("switchName");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("line");

    QTest::newRow("dao") << QStringLiteral("chkDao") << QStringLiteral("dao")
                         << QStringLiteral("Generating DAO class for table: invoice");
    QTest::newRow("object") << QStringLiteral("chkObject") << QStringLiteral("object")
                            << QStringLiteral("Generating Object class for table: invoice");
    QTest::newRow("model") << QStringLiteral("chkModel") << QStringLiteral("model")
                           << QStringLiteral("Generating Model class for table: invoice");
    QTest::newRow("editor") << QStringLiteral("chkCustomEditor") << QStringLiteral("editors")
                            << QStringLiteral("Generating Editor class for table: invoice");
    QTest::newRow("none") << QString() << QString() << QString();
}

void tst_MainWindow::generateFollowsTheSwitches()
{
    QFETCH(QString, switchName);
    QFETCH(QString, directory);
    QFETCH(QString, line);

    Tablesmith window;
    Form form;
    form.schema = QStringLiteral("shop_a");
    connectWith(window, form);
    TableModel *model = listModel(window);
    QVERIFY(model);
    const int invoiceRow = int(listedNames(model).indexOf(QStringLiteral("invoice")));
    QVERIFY(invoiceRow >= 0);
    QVERIFY(model->setData(model->index(invoiceRow, 0), Qt::Checked, Qt::CheckStateRole));
    for (const char *name : {"chkDao", "chkObject", "chkModel", "chkCustomEditor"}) {
        auto *box = child<QCheckBox>(window, name);
        box->setChecked(QLatin1String(name) == switchName);
    }
    child<QPlainTextEdit>(window, "textLog")->clear();

    QTest::mouseClick(child<QPushButton>(window, "btGenerate"), Qt::LeftButton);

    const QStringList lines = logLines(window);
    const QStringList generating = lines.filter(QStringLiteral("Generating "));
    QCOMPARE(generating, line.isEmpty() ? QStringList() : QStringList{line});
    QVERIFY(!mentions(lines, form.password));

    const QDir code(QCoreApplication::applicationDirPath() + QStringLiteral("/code/C++"));
    for (const QString &sub : {QStringLiteral("object"), QStringLiteral("dao"), QStringLiteral("model"),
                               QStringLiteral("editors")}) {
        QVERIFY2(code.exists(sub), qPrintable(sub));
        const int files = int(QDir(code.filePath(sub)).entryList(QDir::Files).size());
        QCOMPARE(files, sub == directory ? 2 : 0);
    }
    QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/code")).removeRecursively();
}

QTEST_MAIN(tst_MainWindow)

#include "tst_mainwindow.moc"
