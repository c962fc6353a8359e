#include "app/tablemodel.h"
#include "app/tablesmith.h"
#include "testserver.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QTest>
#include <QTextDocument>
#include <QVBoxLayout>

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
    void objectName();
    void objectNameSetBeforeSetupIsKept();
    void sizeAndTitle();
    void widgets_data();
    void widgets();
    void layouts_data();
    void layouts();
    void spacers_data();
    void spacers();
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

    QCOMPARE(child<QLineEdit>(window, "serverAddress")->text(), QStringLiteral("localhost"));
    QCOMPARE(child<QLineEdit>(window, "port")->text(), QStringLiteral("3306"));
    QVERIFY(child<QLineEdit>(window, "schema")->text().isEmpty());
    QVERIFY(child<QLineEdit>(window, "userName")->text().isEmpty());
    QVERIFY(child<QLineEdit>(window, "password")->text().isEmpty());
    QCOMPARE(child<QLineEdit>(window, "password")->echoMode(), QLineEdit::Password);

    QVERIFY(!child<QListView>(window, "listViewSource")->model());
    const QPlainTextEdit *log = child<QPlainTextEdit>(window, "textLog");
    QVERIFY(log->isReadOnly());
    QVERIFY(log->toPlainText().isEmpty());
    QVERIFY(log->document()->metaInformation(QTextDocument::DocumentTitle).isEmpty());
}

void tst_MainWindow::objectName()
{
    Tablesmith window;
    QCOMPARE(window.objectName(), QStringLiteral("Tablesmith"));
    QCOMPARE(window.metaObject()->className(), "Tablesmith");
}

void tst_MainWindow::objectNameSetBeforeSetupIsKept()
{
    NamingParent parent;
    auto *window = new Tablesmith(&parent);
    QCOMPARE(window->objectName(), QStringLiteral("namedBeforeSetup"));
    // The form is complete all the same.
    QVERIFY(window->findChild<QPlainTextEdit *>(QStringLiteral("textLog")));
}

void tst_MainWindow::sizeAndTitle()
{
    Tablesmith window;
    QCOMPARE(window.size(), QSize(693, 491));
    QCOMPARE(window.windowTitle(), QString::fromLatin1(windowTitle));
}

void tst_MainWindow::widgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, const char *className, const char *parentName,
                        const char *text) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(className)
                            << QString::fromLatin1(parentName) << QString::fromLatin1(text);
    };
    row("groupBox_3", "QGroupBox", "Tablesmith", "MySQL database configuration");
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
    row("btConnect", "QPushButton", "Tablesmith", "Connect");
    row("groupBox", "QGroupBox", "Tablesmith", "Generator");
    row("label_5", "QLabel", "groupBox", "Source tables");
    row("listViewSource", "QListView", "groupBox", "");
    row("btSelectAll", "QPushButton", "groupBox", "Select All");
    row("btSelectNone", "QPushButton", "groupBox", "Select None");
    row("groupBox_2", "QGroupBox", "groupBox", "Generate");
    row("chkDao", "QCheckBox", "groupBox_2", "Dao");
    row("chkObject", "QCheckBox", "groupBox_2", "Object");
    row("chkModel", "QCheckBox", "groupBox_2", "Model");
    row("chkCustomEditor", "QCheckBox", "groupBox_2", "CustomEditor");
    row("btGenerate", "QPushButton", "groupBox", "Generate");
    row("label_7", "QLabel", "Tablesmith", "Log information");
    row("btClear", "QPushButton", "Tablesmith", "Clear");
    row("textLog", "QPlainTextEdit", "Tablesmith", "");
}

void tst_MainWindow::widgets()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QString, text);

    Tablesmith window;
    const QList<QWidget *> found = window.findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *widget = found.first();
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QVERIFY(widget->parentWidget());
    QCOMPARE(widget->parentWidget()->objectName(), parentName);

    QString shown;
    if (auto *box = qobject_cast<QGroupBox *>(widget))
        shown = box->title();
    else if (auto *label = qobject_cast<QLabel *>(widget))
        shown = label->text();
    else if (auto *edit = qobject_cast<QLineEdit *>(widget))
        shown = edit->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        shown = button->text();
    QCOMPARE(shown, text);
}

void tst_MainWindow::layouts_data()
{
    // Where each layout and widget sits: the layout that holds it, its
    // position there and, in a form layout, the column (-1 in box layouts).
    // A layout held by nothing is the layout set on `holder`.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("formColumn");

    const int label = QFormLayout::LabelRole;
    const int field = QFormLayout::FieldRole;
    const auto row = [](const char *name, const char *className, const char *holder, int position,
                        int formColumn) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(className)
                            << QString::fromLatin1(holder) << position << formColumn;
    };
    row("horizontalLayout_6", "QHBoxLayout", "Tablesmith", -1, -1);
    row("verticalLayout_4", "QVBoxLayout", "horizontalLayout_6", 0, -1);
    row("groupBox_3", "QGroupBox", "verticalLayout_4", 0, -1);
    row("formLayout", "QFormLayout", "groupBox_3", -1, -1);
    row("label_8", "QLabel", "formLayout", 0, label);
    row("serverAddress", "QLineEdit", "formLayout", 0, field);
    row("label_4", "QLabel", "formLayout", 1, label);
    row("schema", "QLineEdit", "formLayout", 1, field);
    row("label", "QLabel", "formLayout", 2, label);
    row("userName", "QLineEdit", "formLayout", 2, field);
    row("label_2", "QLabel", "formLayout", 3, label);
    row("password", "QLineEdit", "formLayout", 3, field);
    row("label_3", "QLabel", "formLayout", 4, label);
    row("port", "QLineEdit", "formLayout", 4, field);
    row("horizontalLayout", "QHBoxLayout", "verticalLayout_4", 1, -1);
    row("btConnect", "QPushButton", "horizontalLayout", 0, -1);
    row("groupBox", "QGroupBox", "verticalLayout_4", 2, -1);
    row("horizontalLayout_5", "QHBoxLayout", "groupBox", -1, -1);
    row("verticalLayout_2", "QVBoxLayout", "horizontalLayout_5", 0, -1);
    row("label_5", "QLabel", "verticalLayout_2", 0, -1);
    row("listViewSource", "QListView", "verticalLayout_2", 1, -1);
    row("horizontalLayout_4", "QHBoxLayout", "verticalLayout_2", 2, -1);
    row("btSelectAll", "QPushButton", "horizontalLayout_4", 0, -1);
    row("btSelectNone", "QPushButton", "horizontalLayout_4", 1, -1);
    row("verticalLayout", "QVBoxLayout", "horizontalLayout_5", 1, -1);
    row("groupBox_2", "QGroupBox", "verticalLayout", 0, -1);
    row("formLayout_2", "QFormLayout", "groupBox_2", -1, -1);
    row("chkDao", "QCheckBox", "formLayout_2", 0, label);
    row("chkObject", "QCheckBox", "formLayout_2", 1, label);
    row("chkModel", "QCheckBox", "formLayout_2", 2, label);
    row("chkCustomEditor", "QCheckBox", "formLayout_2", 3, label);
    row("horizontalLayout_3", "QHBoxLayout", "verticalLayout", 1, -1);
    row("btGenerate", "QPushButton", "horizontalLayout_3", 0, -1);
    row("verticalLayout_3", "QVBoxLayout", "horizontalLayout_6", 1, -1);
    row("horizontalLayout_2", "QHBoxLayout", "verticalLayout_3", 0, -1);
    row("label_7", "QLabel", "horizontalLayout_2", 0, -1);
    row("btClear", "QPushButton", "horizontalLayout_2", 2, -1);
    row("textLog", "QPlainTextEdit", "verticalLayout_3", 1, -1);
}

void tst_MainWindow::layouts()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, holder);
    QFETCH(int, position);
    QFETCH(int, formColumn);

    Tablesmith window;
    const QList<QObject *> found = window.findChildren<QObject *>(name);
    QCOMPARE(found.size(), 1);
    QObject *object = found.first();
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);

    auto *layout = qobject_cast<QLayout *>(object);
    if (position < 0) {
        QVERIFY(layout);
        auto *owner = window.objectName() == holder ? &window : window.findChild<QWidget *>(holder);
        QVERIFY(owner);
        QCOMPARE(owner->layout(), layout);
        return;
    }

    auto *parentLayout = window.findChild<QLayout *>(holder);
    QVERIFY(parentLayout);
    QLayoutItem *item = parentLayout->itemAt(position);
    if (auto *form = qobject_cast<QFormLayout *>(parentLayout)) {
        int row = -1;
        QFormLayout::ItemRole role;
        form->getWidgetPosition(qobject_cast<QWidget *>(object), &row, &role);
        QCOMPARE(row, position);
        QCOMPARE(int(role), formColumn);
        return;
    }
    QVERIFY(item);
    if (layout)
        QCOMPARE(item->layout(), layout);
    else
        QCOMPARE(item->widget(), qobject_cast<QWidget *>(object));
}

void tst_MainWindow::spacers_data()
{
    QTest::addColumn<QString>("layoutName");
    QTest::addColumn<int>("position");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSizePolicy::Policy>("horizontal");
    QTest::addColumn<QSizePolicy::Policy>("vertical");
    QTest::addColumn<int>("itemCount");

    QTest::newRow("after Connect") << QStringLiteral("horizontalLayout") << 1 << QSize(40, 20)
                                   << QSizePolicy::Expanding << QSizePolicy::Minimum << 2;
    QTest::newRow("after Select None") << QStringLiteral("horizontalLayout_4") << 2 << QSize(40, 20)
                                       << QSizePolicy::Expanding << QSizePolicy::Minimum << 3;
    QTest::newRow("after Generate") << QStringLiteral("horizontalLayout_3") << 1 << QSize(40, 20)
                                    << QSizePolicy::Expanding << QSizePolicy::Minimum << 2;
    QTest::newRow("below the switches") << QStringLiteral("verticalLayout") << 2 << QSize(20, 40)
                                        << QSizePolicy::Minimum << QSizePolicy::Expanding << 3;
    QTest::newRow("before Clear") << QStringLiteral("horizontalLayout_2") << 1 << QSize(40, 20)
                                  << QSizePolicy::Expanding << QSizePolicy::Minimum << 3;
}

void tst_MainWindow::spacers()
{
    QFETCH(QString, layoutName);
    QFETCH(int, position);
    QFETCH(QSize, size);
    QFETCH(QSizePolicy::Policy, horizontal);
    QFETCH(QSizePolicy::Policy, vertical);
    QFETCH(int, itemCount);

    Tablesmith window;
    const QLayout *layout = window.findChild<QLayout *>(layoutName);
    QVERIFY(layout);
    QCOMPARE(layout->count(), itemCount);
    QSpacerItem *spacer = layout->itemAt(position)->spacerItem();
    QVERIFY(spacer);
    QCOMPARE(spacer->sizeHint(), size);
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), horizontal);
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), vertical);
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
    QCOMPARE(schema.connectOptions(), QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=10"));
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
