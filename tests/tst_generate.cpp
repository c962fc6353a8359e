#include "testserver.h"

#include "app/directorytree.h"
#include "app/tablesmith.h"

#include <QAbstractItemModel>
#include <QDirIterator>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// The whole job from the window, as a user does it: connect, tick tables,
// press Generate, and look at the files beside the executable.
namespace {

const QString schema = QStringLiteral("rd_ab");

template<typename T>
T *child(const QWidget &window, const char *name)
{
    T *widget = window.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

QString codeDirectory()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/code");
}

void connectTo(Tablesmith &window)
{
    const TestServer::Settings &s = TestServer::settings();
    child<QLineEdit>(window, "serverAddress")->setText(QStringLiteral("127.0.0.1"));
    child<QLineEdit>(window, "schema")->setText(schema);
    child<QLineEdit>(window, "userName")->setText(s.user);
    child<QLineEdit>(window, "password")->setText(s.password);
    child<QLineEdit>(window, "port")->setText(QString::number(s.port));
    QTest::mouseClick(child<QPushButton>(window, "btConnect"), Qt::LeftButton);
}

void tick(Tablesmith &window, const QString &table)
{
    QAbstractItemModel *model = child<QListView>(window, "listViewSource")->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (index.data().toString() == table) {
            // What the view's delegate does for a click on the check box.
            model->setData(index, Qt::Checked, Qt::CheckStateRole);
            return;
        }
    }
    qFatal("no row %s", qPrintable(table));
}

QStringList logLines(const Tablesmith &window)
{
    const QString text = child<QPlainTextEdit>(window, "textLog")->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void generate(Tablesmith &window)
{
    child<QPlainTextEdit>(window, "textLog")->clear();
    QTest::mouseClick(child<QPushButton>(window, "btGenerate"), Qt::LeftButton);
}

// Relative path -> content with the banner's date masked.
QMap<QString, QByteArray> readTree(const QString &root)
{
    static const QRegularExpression date(QStringLiteral("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d"));
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        QByteArray content;
        if (file.open(QIODevice::ReadOnly))
            content = QString::fromUtf8(file.readAll()).replace(date, QStringLiteral("<date>")).toUtf8();
        files.insert(QDir(root).relativeFilePath(path), content);
    }
    return files;
}

QStringList filesOf(const QStringList &tables)
{
    QStringList files;
    for (const QString &table : tables) {
        files << QStringLiteral("C++/dao/%1dao.cpp").arg(table) << QStringLiteral("C++/dao/%1dao.h").arg(table)
              << QStringLiteral("C++/editors/%1editor.cpp").arg(table)
              << QStringLiteral("C++/editors/%1editor.h").arg(table)
              << QStringLiteral("C++/model/%1model.cpp").arg(table)
              << QStringLiteral("C++/model/%1model.h").arg(table)
              << QStringLiteral("C++/object/%1.cpp").arg(table) << QStringLiteral("C++/object/%1.h").arg(table);
    }
    files.sort();
    return files;
}

// The base tables of the schema in the order the server lists them.
QStringList serverOrder()
{
    const TestServer::Settings &s = TestServer::settings();
    QStringList names;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), QStringLiteral("order"));
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(s.port);
        db.setUserName(s.user);
        db.setPassword(s.password);
        db.setDatabaseName(QStringLiteral("information_schema"));
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(QStringLiteral("select TABLE_NAME from tables where table_type = 'BASE TABLE' "
                                         "and table_schema = ?"));
            query.addBindValue(schema);
            query.exec();
            while (query.next())
                names << query.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("order"));
    return names;
}

} // namespace

class TestGenerate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void tickedOneByOne();
    void selectAllAndSecondRun();
    void nothingTicked();
    void linksUnderCodeAreNotFollowed();
    void unwritableOutputIsReported();
    void unreadableCatalogueIsReported();

private:
    QStringList m_order;
};

void TestGenerate::initTestCase()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");
    m_order = serverOrder();
    QCOMPARE(m_order.size(), 3);
}

void TestGenerate::init()
{
    QFileInfo code(codeDirectory());
    if (code.isSymLink() || code.isFile())
        QFile::remove(codeDirectory());
    QVERIFY(removeDirectoryTree(codeDirectory()));
}

void TestGenerate::cleanup()
{
    init();
}

void TestGenerate::tickedOneByOne()
{
    Tablesmith window;
    connectTo(window);
    tick(window, QStringLiteral("c"));
    tick(window, QStringLiteral("a"));

    // A file the user left there goes, whatever its name.
    QVERIFY(QDir().mkpath(codeDirectory() + QStringLiteral("/C++/object")));
    QFile left(codeDirectory() + QStringLiteral("/C++/object/.my notes.txt"));
    QVERIFY(left.open(QIODevice::WriteOnly));
    left.close();

    generate(window);

    QStringList expected;
    for (const QString &table : m_order)
        expected << QStringLiteral("Getting information from table: ") + table;
    for (const QString &table : m_order)
        expected << QStringLiteral("Creating Primary key for table: ") + table;
    for (const QString &table : m_order)
        expected << QStringLiteral("Creating Foreign key for table: ") + table;
    // Schema order, not the order of ticking; DAO, Object, Model, Editor.
    for (const QString &table : m_order) {
        if (table == QLatin1String("b"))
            continue;
        for (const char *kind : {"DAO", "Object", "Model", "Editor"})
            expected << QStringLiteral("Generating %1 class for table: %2").arg(QLatin1String(kind), table);
    }
    QCOMPARE(logLines(window), expected);
    QCOMPARE(readTree(codeDirectory()).keys(), filesOf({"a", "c"}));
}

void TestGenerate::selectAllAndSecondRun()
{
    Tablesmith window;
    connectTo(window);
    QTest::mouseClick(child<QPushButton>(window, "btSelectAll"), Qt::LeftButton);
    generate(window);
    const QMap<QString, QByteArray> first = readTree(codeDirectory());
    QCOMPARE(first.keys(), filesOf({"a", "b", "c"}));
    QCOMPARE(logLines(window).filter(QStringLiteral("Generating ")).size(), 12);

    // The relations reach the entity of b: it points to a.
    QVERIFY(first.value(QStringLiteral("C++/object/b.h")).contains("\tA * a();\n"));
    QVERIFY(first.value(QStringLiteral("C++/object/a.h")).contains("\tQList<B *> & bList();\n"));

    QTest::qWait(1100); // a new second in the banner
    generate(window);
    QCOMPARE(readTree(codeDirectory()), first);
}

void TestGenerate::nothingTicked()
{
    Tablesmith window;
    connectTo(window);
    QVERIFY(QDir().mkpath(codeDirectory() + QStringLiteral("/old")));
    generate(window);
    const QStringList lines = logLines(window);
    QCOMPARE(lines.filter(QStringLiteral("Generating ")), QStringList());
    QCOMPARE(lines.filter(QStringLiteral("Getting information from table: ")).size(), 3);
    QVERIFY(readTree(codeDirectory()).isEmpty());
    QCOMPARE(QDir(codeDirectory()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"C++"});
    QCOMPARE(QDir(codeDirectory() + "/C++").entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{"dao", "editors", "model", "object"}));
}

void TestGenerate::linksUnderCodeAreNotFollowed()
{
    QTemporaryDir outside;
    QVERIFY(QDir().mkpath(outside.filePath("deep")));
    QFile precious(outside.filePath("deep/precious.txt"));
    QVERIFY(precious.open(QIODevice::WriteOnly));
    precious.write("the user's own file");
    precious.close();

    QVERIFY(QDir().mkpath(codeDirectory() + QStringLiteral("/C++/object")));
    QVERIFY(QFile::link(outside.path(), codeDirectory() + QStringLiteral("/C++/object/to-outside")));
    QVERIFY(QFile::link(precious.fileName(), codeDirectory() + QStringLiteral("/C++/precious-link")));

    Tablesmith window;
    connectTo(window);
    tick(window, QStringLiteral("a"));
    generate(window);

    QVERIFY(QFile::exists(precious.fileName()));
    QCOMPARE(readTree(codeDirectory()).keys(), filesOf({"a"}));
    QVERIFY(logLines(window).filter(QStringLiteral("Cannot")).isEmpty());
}

void TestGenerate::unwritableOutputIsReported()
{
    // A file stands where the output tree must go: no directory can be made
    // and no file written, even for root.
    QFile blocker(codeDirectory());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.write("not a directory");
    blocker.close();

    Tablesmith window;
    connectTo(window);
    tick(window, QStringLiteral("a"));
    generate(window);

    const QStringList lines = logLines(window);
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^Cannot create directory: .*/code/C\\+\\+/"))).size(),
             4);
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^Cannot write file: .*/code/C\\+\\+/.* \\(.+\\)$")))
                     .size(),
             8);
    // The run went on: every class still has its line.
    QCOMPARE(lines.filter(QStringLiteral("Generating ")).size(), 4);
    QVERIFY(QFileInfo(codeDirectory()).isFile());
}

void TestGenerate::unreadableCatalogueIsReported()
{
    Tablesmith window;
    connectTo(window);
    tick(window, QStringLiteral("a"));
    // The catalogue connection can no longer be opened: every query fails.
    QSqlDatabase catalogue = QSqlDatabase::database(QStringLiteral("InformationSchema"), false);
    catalogue.close();
    catalogue.setPassword(QStringLiteral("not the password"));
    generate(window);

    const QStringList lines = logLines(window);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith(QStringLiteral("Reading the schema failed: 1 catalogue queries failed, "
                                                     "the last with \"")),
             qPrintable(lines.first()));
    QVERIFY(lines.first().contains(QStringLiteral("Access denied")));
    QVERIFY(!lines.first().contains(QStringLiteral("not the password")));
}

QTEST_MAIN(TestGenerate)
#include "tst_generate.moc"
