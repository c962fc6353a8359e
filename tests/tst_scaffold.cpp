// The application scaffold (--app): its files for small schemas against
// golden files, a second run that finds its own tree again, and the whole
// way for the sample shop and the real-world schema: generated, built
// against the runtime, --check-tables against the server's counts, and the
// window driven offscreen (tests/scaffold/drive.cpp) to edit, add and have a
// save refused, each checked on the server.

#include "support.h"

#include <QDirIterator>
#include <QtTest>

class TestScaffold : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void files_data();
    void files();
    void application_data();
    void application();

private:
    // Inside the build tree, so that one compiler cache base folder covers
    // the trees' builds and the sources.
    QTemporaryDir m_dir{qEnvironmentVariable("TABLESMITH_BINARY_DIR") + QStringLiteral("/tests/scaffold-XXXXXX")};
};

namespace {

const TestServer::Settings &server() { return TestServer::settings(); }

CliResult run(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
              int timeout = 900000)
{
    CliOptions options;
    options.program = program;
    options.environment = environment;
    options.timeout = timeout;
    return runCli(arguments, options);
}

// Loads an SQL file with the mysql client, schema names replaced.
bool load(const QString &file, const QString &from, const QString &to)
{
    QString sql = readText(qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QLatin1Char('/') + file);
    sql.replace(QRegularExpression(QStringLiteral("\\b%1\\b").arg(from)), to);
    QProcess client;
    client.start(QStringLiteral("mariadb"), {QStringLiteral("--no-defaults"), QStringLiteral("-h127.0.0.1"),
                                             QStringLiteral("-P%1").arg(server().port), QStringLiteral("-u") + server().user,
                                             QStringLiteral("-p") + server().password});
    client.write(QStringLiteral("DROP DATABASE IF EXISTS %1;\n").arg(to).toUtf8() + sql.toUtf8());
    client.closeWriteChannel();
    return client.waitForFinished(60000) && client.exitCode() == 0;
}

// The scaffold's files of a tree as text: all of them, or (`ownOnly`) those
// that depend on the schema.
QString describeScaffold(const QString &root, bool ownOnly, bool withTableFiles)
{
    static const QStringList fixed{QStringLiteral("application.cpp"), QStringLiteral("application.h"),
                                   QStringLiteral("connectiondialog.cpp"), QStringLiteral("connectiondialog.h"),
                                   QStringLiteral("main.cpp"), QStringLiteral("mainwindow.cpp"), QStringLiteral("mainwindow.h"),
                                   QStringLiteral("tableaccess.cpp"), QStringLiteral("tableaccess.h"),
                                   QStringLiteral("tablepage.cpp"), QStringLiteral("tablepage.h")};
    const QString cpp = root + QStringLiteral("/code/C++");
    QStringList paths{cpp + QStringLiteral("/CMakeLists.txt")};
    QDirIterator it(cpp + QStringLiteral("/app"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file(it.next());
        const bool tableFile = file.path().endsWith(QLatin1String("/tables"));
        if ((ownOnly && !tableFile && fixed.contains(file.fileName())) || (tableFile && !withTableFiles))
            continue;
        paths.append(file.filePath());
    }
    paths.sort();
    QString text;
    for (const QString &path : std::as_const(paths))
        text += QStringLiteral("== file %1\n%2\n").arg(QDir(root).relativeFilePath(path), readText(path));
    return masked(text, root);
}

} // namespace

void TestScaffold::files_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("kinds");
    // Whether the golden file holds the fixed files too, and the tables'.
    QTest::addColumn<bool>("all");
    QTest::addColumn<bool>("tableFiles");
    QTest::addColumn<QStringList>("more"); // arguments
    QTest::newRow("me_factura") << "me_factura" << "dao,object,model,editor" << true << true << QStringList();
    // Keys named ID and Id, bytes, place markers, class names of one case.
    QTest::newRow("gen_edge") << "gen_edge" << "dao,object,model,editor" << false << true << QStringList();
    // Only the chosen tables.
    QTest::newRow("gen_edge-dao-object") << "gen_edge" << "dao,object" << false << false
                                         << QStringList{"--tables=nodo,medida,p%1x"};
    QTest::newRow("gen_invoice-object-model") << "gen_invoice" << "object,model" << false << false << QStringList();
    // Names as strings, file names in CMake.
    QTest::newRow("rob_hostile") << "rob_hostile" << "dao,object,model,editor" << false << false << QStringList();
}

void TestScaffold::files()
{
    QFETCH(QString, schema);
    QFETCH(QString, kinds);
    QFETCH(bool, all);
    QFETCH(bool, tableFiles);
    QFETCH(QStringList, more);
    const QString root = m_dir.path() + QStringLiteral("/files-") + QTest::currentDataTag();
    const QStringList arguments = serverArguments(schema) + more
            + QStringList{QStringLiteral("--app"), QStringLiteral("--only"), kinds, QStringLiteral("-o"), root};
    const CliResult result = runCli(arguments);
    QVERIFY2(result.exitCode == 0, qPrintable(result.describe()));
    // A folder of their own: tst_golden owns the files beside it.
    const QString difference = goldenDifference(QStringLiteral("scaffold/") + QTest::currentDataTag(),
                                                describeScaffold(root, !all, tableFiles));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    // The next run knows the scaffold for its own: --check finds it up to
    // date, banners of every comment style aside, and a run without --app
    // replaces the tree, scaffold and all.
    const CliResult check = runCli(arguments + QStringList{QStringLiteral("--check")});
    QVERIFY2(check.exitCode == 0 && check.out.contains(QLatin1String("no differences")), qPrintable(check.describe()));
    const CliResult without = runCli(serverArguments(schema) + more + QStringList{QStringLiteral("--only"), kinds, QStringLiteral("-o"), root});
    QVERIFY2(without.exitCode == 0, qPrintable(without.describe()));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/code/C++/app")));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/code/C++/CMakeLists.txt")));
}

void TestScaffold::application_data()
{
    // The schema is loaded under a name of its own: other tests change the
    // fixture's rows meanwhile.
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("fixtureName");
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QStringList>("setUp");
    // Steps of the window: edit, add, refused save, as drive takes them.
    QTest::addColumn<QStringList>("edit");
    QTest::addColumn<QString>("editCheck"); // counts 1 after the edit
    QTest::addColumn<QStringList>("add");
    QTest::addColumn<QString>("addCheck"); // counts 1 after the add
    QTest::addColumn<QStringList>("refused");
    QTest::addColumn<QString>("refusedMessage");
    QTest::addColumn<QString>("refusedCheck"); // still counts 1 after the refusal

    QTest::newRow("shop") << "samples/shop.sql" << "shop" << "scratch_sc_shop"
                          << QStringList{"create sequence seq_customer start with 1000", "create sequence seq_product start with 1000",
                                         "create sequence seq_invoice start with 1000", "create sequence seq_invoice_line start with 1000"}
                          << QStringList{"customer", "id=2", "email", "ben@example.org"}
                          << "select count(*) from customer where id = 2 and email = 'ben@example.org'"
                          << QStringList{"customer", "name=Carla Ruiz", "created=2026-12-01 10:00:00"}
                          << "select count(*) from customer where id = 1000 and name = 'Carla Ruiz'"
                          << QStringList{"product", "id=2", "code", "P-100"}
                          << "Duplicate entry 'P-100' for key 'uq_product_code'"
                          << "select count(*) from product where id = 2 and code = 'P-200'";
    QTest::newRow("rw_rental") << "tests/fixtures/70_realworld.sql" << "rw_rental" << "scratch_sc_rental"
                               << QStringList{"insert into language (language_id, name) values (1, 'English'), (2, 'French')",
                                              "insert into account (id, login) values (1, 'ana'), (2, 'ben')",
                                              "insert into ORDERS (ORDER_ID) values (7)",
                                              "create sequence seq_account start with 500"}
                               << QStringList{"language", "language_id=2", "name", "Français"}
                               << "select count(*) from language where language_id = 2 and name = 'Français'"
                               << QStringList{"account", "login=zoe"}
                               << "select count(*) from account where id = 500 and login = 'zoe'"
                               << QStringList{"account", "id=1", "login", ""}
                               << "Column 'login' cannot be null"
                               << "select count(*) from account where id = 1 and login = 'ana'";
    // Every kind of name in strings, file names and CMake: built and read
    // (nobody writes its rows), without the window.
    QTest::newRow("rob_hostile") << QString() << QString() << "rob_hostile" << QStringList() << QStringList() << QString()
                                 << QStringList() << QString() << QStringList() << QString() << QString();
}

void TestScaffold::application()
{
    QFETCH(QString, file);
    QFETCH(QString, fixtureName);
    QFETCH(QString, schema);
    QFETCH(QStringList, setUp);
    QFETCH(QStringList, edit);
    QFETCH(QString, editCheck);
    QFETCH(QStringList, add);
    QFETCH(QString, addCheck);
    QFETCH(QStringList, refused);
    QFETCH(QString, refusedMessage);
    QFETCH(QString, refusedCheck);

    // Without a file the fixture's schema is read as it is.
    QVERIFY2(file.isEmpty() || load(file, fixtureName, schema), qPrintable(file));
    QCOMPARE(serverQuery(QStringList{"use " + schema} + setUp), QStringList());
    const auto count = [&schema](const QString &statement) { return serverQuery({"use " + schema, statement}).value(0, "-1").toInt(); };

    const QString root = m_dir.path() + QLatin1Char('/') + schema;
    const CliResult generated = runCli(serverArguments(schema) + QStringList{QStringLiteral("--app"), QStringLiteral("-o"), root});
    QVERIFY2(generated.exitCode == 0, qPrintable(generated.describe()));

    // Built once, as the README says, with the driver beside it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString build = root + QStringLiteral("/build");
    QStringList configure{QStringLiteral("-S"), qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/tests/scaffold"),
                          QStringLiteral("-B"), build, QStringLiteral("-DSCAFFOLD_TREE=") + root + QStringLiteral("/code/C++"),
                          QStringLiteral("-DCMAKE_PREFIX_PATH=") + qEnvironmentVariable("TABLESMITH_BINARY_DIR"),
                          QStringLiteral("-DCMAKE_BUILD_TYPE=Debug")};
    if (!QStandardPaths::findExecutable(QStringLiteral("ccache")).isEmpty())
        configure.append(QStringLiteral("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"));
    CliResult built = run(QStringLiteral(TABLESMITH_CMAKE), configure, environment);
    QVERIFY2(built.exitCode == 0, qPrintable(built.describe()));
    built = run(QStringLiteral(TABLESMITH_CMAKE), {QStringLiteral("--build"), build, QStringLiteral("-j2")}, environment);
    QVERIFY2(built.exitCode == 0, qPrintable(built.describe().right(20000)));

    // Every table read through its DAO, as many rows as the server counts.
    environment.insert(QStringLiteral("MYSQL_PWD"), server().password);
    const QStringList connection{QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-P"),
                                 QString::number(server().port), QStringLiteral("-u"), server().user,
                                 QStringLiteral("-D"), schema};
    const CliResult checked = run(build + QStringLiteral("/tree/crudapp"), QStringList{QStringLiteral("--check-tables")} + connection,
                                  environment, 120000);
    QVERIFY2(checked.exitCode == 0, qPrintable(checked.describe()));
    QStringList expected;
    for (const QString &table : serverQuery({QStringLiteral("select table_name from information_schema.tables where table_schema = "
                                                            "'%1' and table_type = 'BASE TABLE'").arg(schema)})) {
        const int rows = count(QStringLiteral("select count(*) from `%1`").arg(QString(table).replace(QLatin1Char('`'), QLatin1String("``"))));
        expected.append(rows == 1 ? table + QStringLiteral(": 1 row") : QStringLiteral("%1: %2 rows").arg(table, QString::number(rows)));
    }
    QStringList lines = checked.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.sort(Qt::CaseInsensitive);
    expected.sort(Qt::CaseInsensitive);
    QCOMPARE(lines, expected);

    // A wrong password is the server's refusal, exit 1.
    QProcessEnvironment wrong = environment;
    wrong.insert(QStringLiteral("MYSQL_PWD"), QStringLiteral("wrong"));
    const CliResult refusedLogin = run(build + QStringLiteral("/tree/crudapp"), QStringList{QStringLiteral("--check-tables")} + connection,
                                       wrong, 120000);
    QVERIFY2(refusedLogin.exitCode == 1 && refusedLogin.err.contains(QLatin1String("Access denied")), qPrintable(refusedLogin.describe()));

    if (edit.isEmpty())
        return;
    // The window: each step prints what the page then says.
    QProcessEnvironment offscreen = environment;
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const CliResult driven = run(build + QStringLiteral("/drive"),
                                 connection + QStringList{QStringLiteral("--edit")} + edit + QStringList{QStringLiteral("--add")} + add
                                         + QStringList{QStringLiteral("--edit")} + refused,
                                 offscreen, 120000);
    QVERIFY2(driven.exitCode == 0, qPrintable(driven.describe()));
    const QStringList said = driven.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(said.size(), 3);
    QCOMPARE(said.at(0), QStringLiteral("%1: Saved 1 row of %1.").arg(edit.at(0)));
    QCOMPARE(count(editCheck), 1);
    QVERIFY2(said.at(1).startsWith(QStringLiteral("%1: Added a row to %1, id ").arg(add.at(0))), qPrintable(said.at(1)));
    QCOMPARE(count(addCheck), 1);
    QVERIFY2(said.at(2).contains(refusedMessage) && said.at(2).contains(QLatin1String("refused")), qPrintable(said.at(2)));
    QCOMPARE(count(refusedCheck), 1);

    // A table that cannot be read is named with the server's words, exit 1.
    QCOMPARE(serverQuery({QStringLiteral("rename table %1.`%2` to %1.`%2_gone`").arg(schema, edit.at(0))}), QStringList());
    const CliResult missing = run(build + QStringLiteral("/tree/crudapp"), QStringList{QStringLiteral("--check-tables")} + connection,
                                  environment, 120000);
    QVERIFY2(missing.exitCode == 1
                     && missing.out.contains(QStringLiteral("%1: cannot be read: Table '%2.%1' doesn't exist (error 1146)")
                                                     .arg(edit.at(0), schema)),
             qPrintable(missing.describe()));
    serverQuery({QStringLiteral("drop database ") + schema});
}

int main(int argc, char **argv)
{
    // A row builds an application: minutes on a small, busy machine, past
    // QtTest's five minutes for one function.
    if (qEnvironmentVariableIsEmpty("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "1500000");
    QCoreApplication app(argc, argv);
    TestScaffold test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_scaffold.moc"
