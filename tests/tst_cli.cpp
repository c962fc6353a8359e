#include "testserver.h"

#include "app/cli/commandline.h"
#include "app/tablesmith.h"

#include <QCheckBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

struct CliResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs tablesmith-cli without a controlling terminal, so that a password
// prompt reads standard input.
CliResult runCli(const QStringList &arguments, const QByteArray &input = QByteArray(),
                 const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                 const QString &workingDirectory = QString())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setChildProcessModifier([] { ::setsid(); });
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(qEnvironmentVariable("TABLESMITH_CLI"), arguments);
    process.write(input);
    process.closeWriteChannel();
    CliResult result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        result.err = QStringLiteral("timed out");
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

QStringList serverArguments(const QString &schema)
{
    const TestServer::Settings &s = TestServer::settings();
    return {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-P"), QString::number(s.port),
            QStringLiteral("-u"), s.user, QStringLiteral("--password=") + s.password,
            QStringLiteral("-D"), schema};
}

// Relative path -> content, with the banner's date and time masked.
QMap<QString, QByteArray> readTree(const QString &root)
{
    static const QRegularExpression date(QStringLiteral("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d"));
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QString text = QString::fromUtf8(file.readAll());
        text.replace(date, QStringLiteral("<date>"));
        files.insert(QDir(root).relativeFilePath(path), text.toUtf8());
    }
    return files;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void parse_data();
    void parse();
    void exitCodes_data();
    void exitCodes();
    void passwordSources_data();
    void passwordSources();
    void generatesTheChosenFiles();
    void sameFilesAsTheWindow();
    void keepsLinkTargetsOutsideTheTree();
};

void TestCli::initTestCase()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");
    QVERIFY(QFileInfo(qEnvironmentVariable("TABLESMITH_CLI")).isExecutable());
}

void TestCli::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected"); // host|port|user|password|schema|tables|kinds|output, or the error
    using L = QStringList;
    const QString all = QStringLiteral("dao,object,model,editor");

    QTest::newRow("defaults") << L{"-D", "s"} << "localhost|3306|||s||" + all + "|.";
    QTest::newRow("short, separate") << L{"-h", "db", "-P", "3307", "-u", "me", "-D", "s", "-o", "out"}
                                     << "db|3307|me||s||" + all + "|out";
    QTest::newRow("short, attached") << L{"-hdb", "-P3307", "-ume", "-psecret", "-Ds", "-oout"}
                                     << "db|3307|me|secret|s||" + all + "|out";
    QTest::newRow("long with =") << L{"--host=db", "--port=1", "--user=me", "--password=pw", "--schema=s",
                                      "--tables=a,b", "--only=model", "--output=o"}
                                 << "db|1|me|pw|s|a,b|model|o";
    QTest::newRow("long, separate") << L{"--host", "db", "--schema", "s", "--tables", "a, b,,c"}
                                    << "db|3306|||s|a,b,c|" + all + "|.";
    QTest::newRow("--database") << L{"--database=s"} << "localhost|3306|||s||" + all + "|.";
    QTest::newRow("only two kinds") << L{"-D", "s", "--only", "editor,dao"}
                                    << "localhost|3306|||s||dao,editor|.";
    QTest::newRow("no schema") << L{"-u", "me"} << "error: no schema given: use -D SCHEMA";
    QTest::newRow("unknown option") << L{"-D", "s", "--frobnicate"} << "error: unknown argument \"--frobnicate\"";
    QTest::newRow("stray word") << L{"-D", "s", "extra"} << "error: unknown argument \"extra\"";
    QTest::newRow("port of letters") << L{"-D", "s", "-P", "abc"}
                                     << "error: invalid port \"abc\": give a number from 1 to 65535";
    QTest::newRow("port out of range") << L{"-D", "s", "--port=70000"}
                                       << "error: invalid port \"70000\": give a number from 1 to 65535";
    QTest::newRow("missing value") << L{"-D", "s", "-h"} << "error: option --host needs a value";
    QTest::newRow("unknown kind") << L{"-D", "s", "--only=dao,view"}
                                  << "error: unknown kind of class in --only: \"view\" (use dao, object, model, editor)";
    QTest::newRow("empty tables") << L{"-D", "s", "--tables=,"} << "error: --tables needs at least one table name";
    QTest::newRow("help needs no schema") << L{"--help"} << "help";
    QTest::newRow("version needs no schema") << L{"--version"} << "version";
}

void TestCli::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);

    const ParsedCommandLine parsed = parseCommandLine(arguments);
    const CommandLineOptions &o = parsed.options;
    QString actual;
    if (!parsed.error.isEmpty()) {
        actual = QStringLiteral("error: ") + parsed.error;
    } else if (o.showHelp) {
        actual = QStringLiteral("help");
    } else if (o.showVersion) {
        actual = QStringLiteral("version");
    } else {
        QStringList kinds;
        if (o.switches.dao)
            kinds << QStringLiteral("dao");
        if (o.switches.object)
            kinds << QStringLiteral("object");
        if (o.switches.model)
            kinds << QStringLiteral("model");
        if (o.switches.editor)
            kinds << QStringLiteral("editor");
        actual = QStringList{o.connection.host, QString::number(o.connection.port), o.connection.user,
                             o.connection.password, o.connection.schema, o.tables.join(QLatin1Char(',')),
                             kinds.join(QLatin1Char(',')), o.outputDirectory}
                         .join(QLatin1Char('|'));
    }
    QCOMPARE(actual, expected);
}

void TestCli::exitCodes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrHolds");

    const TestServer::Settings &s = TestServer::settings();
    QTest::newRow("help") << QStringList{"--help"} << 0 << "";
    QTest::newRow("bad argument") << QStringList{"--nonsense"} << 2 << "unknown argument \"--nonsense\"";
    QTest::newRow("unknown table") << serverArguments("shop_a") + QStringList{"--tables=customer,nosuch"} << 2
                                   << "schema \"shop_a\" has no table \"nosuch\"";
    QTest::newRow("a view is not a table") << serverArguments("shop_a") + QStringList{"--tables=customer_names"}
                                           << 2 << "has no table \"customer_names\"";
    QTest::newRow("wrong password") << QStringList{"-h", "127.0.0.1", "-P", QString::number(s.port), "-u", s.user,
                                                   "-pwrong-password", "-D", "shop_a"}
                                    << 1 << "cannot connect to schema \"shop_a\" on 127.0.0.1";
    QTest::newRow("unknown schema") << serverArguments("no_such_schema") << 1 << "cannot connect to schema";
    QTest::newRow("nobody listens") << QStringList{"-h", "127.0.0.1", "-P", "1", "-u", "x", "-D", "shop_a"} << 1
                                    << "cannot connect";
}

void TestCli::exitCodes()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, stderrHolds);

    QTemporaryDir dir;
    const CliResult result = runCli(arguments + QStringList{"-o", dir.path()});
    QVERIFY2(result.err.contains(stderrHolds), qPrintable(result.err));
    QCOMPARE(result.exitCode, exitCode);
    if (exitCode != 0)
        QVERIFY(!QDir(dir.filePath("code")).exists());
}

void TestCli::passwordSources_data()
{
    QTest::addColumn<QStringList>("passwordArguments");
    QTest::addColumn<QString>("environmentPassword");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");

    const QString right = TestServer::settings().password;
    QTest::newRow("MYSQL_PWD") << QStringList{} << right << QByteArray() << 0;
    QTest::newRow("prompted") << QStringList{"-p"} << QString() << (right + "\n").toUtf8() << 0;
    QTest::newRow("prompt wins over MYSQL_PWD") << QStringList{"--password"} << "wrong-pass"
                                                << (right + "\n").toUtf8() << 0;
    QTest::newRow("wrong, given") << QStringList{"-pSecretWrong1"} << QString() << QByteArray() << 1;
    QTest::newRow("wrong, prompted") << QStringList{"-p"} << QString() << QByteArray("SecretWrong2\n") << 1;
    QTest::newRow("nothing to read") << QStringList{"-p"} << QString() << QByteArray() << 2;
}

void TestCli::passwordSources()
{
    QFETCH(QStringList, passwordArguments);
    QFETCH(QString, environmentPassword);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);

    const TestServer::Settings &s = TestServer::settings();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("MYSQL_PWD"));
    if (!environmentPassword.isEmpty())
        environment.insert(QStringLiteral("MYSQL_PWD"), environmentPassword);
    QTemporaryDir dir;
    const CliResult result = runCli(QStringList{"-h", "127.0.0.1", "-P", QString::number(s.port), "-u", s.user,
                                                "-D", "shop_b", "-o", dir.path(), "--verbose"}
                                            + passwordArguments,
                                    input, environment);
    QCOMPARE(result.exitCode, exitCode);
    // No password, right or wrong, is ever printed, not even in verbose mode.
    for (const QString &secret : {s.password, QStringLiteral("SecretWrong1"), QStringLiteral("SecretWrong2"),
                                  QStringLiteral("wrong-pass")}) {
        QVERIFY2(!result.out.contains(secret), qPrintable(result.out));
        QVERIFY2(!result.err.contains(secret), qPrintable(result.err));
    }
}

void TestCli::generatesTheChosenFiles()
{
    QTemporaryDir dir;
    // A file left from an earlier run goes; only the chosen kinds and tables come.
    QVERIFY(QDir().mkpath(dir.filePath("code/C++/dao")));
    QFile stale(dir.filePath("code/C++/dao/stale.h"));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();

    const CliResult result = runCli(serverArguments("shop_a")
                                    + QStringList{"--tables", "invoice,customer", "--only", "model,dao", "-o",
                                                  dir.path()});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.isEmpty(), qPrintable(result.err));

    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), QStringLiteral("Establishing connection to: 127.0.0.1"));
    QCOMPARE(lines.at(1), QStringLiteral("Connected to: 127.0.0.1"));
    const QStringList generating = lines.filter(QRegularExpression(QStringLiteral("^Generating ")));
    // Schema order, not the order of --tables; DAO before Model.
    const int customer = lines.indexOf(QStringLiteral("Getting information from table: customer"));
    const int invoice = lines.indexOf(QStringLiteral("Getting information from table: invoice"));
    QVERIFY(customer > 0 && invoice > 0);
    const QString first = customer < invoice ? QStringLiteral("customer") : QStringLiteral("invoice");
    const QString second = customer < invoice ? QStringLiteral("invoice") : QStringLiteral("customer");
    QCOMPARE(generating, (QStringList{"Generating DAO class for table: " + first,
                                      "Generating Model class for table: " + first,
                                      "Generating DAO class for table: " + second,
                                      "Generating Model class for table: " + second}));

    QStringList files = readTree(dir.path()).keys();
    files.sort();
    QCOMPARE(files, (QStringList{"code/C++/dao/customerdao.cpp", "code/C++/dao/customerdao.h",
                                 "code/C++/dao/invoicedao.cpp", "code/C++/dao/invoicedao.h",
                                 "code/C++/model/customermodel.cpp", "code/C++/model/customermodel.h",
                                 "code/C++/model/invoicemodel.cpp", "code/C++/model/invoicemodel.h"}));
    for (const char *empty : {"code/C++/object", "code/C++/editors"})
        QVERIFY(QDir(dir.filePath(QLatin1String(empty))).exists());
}

void TestCli::sameFilesAsTheWindow()
{
    const TestServer::Settings &s = TestServer::settings();
    Tablesmith window(nullptr);
    window.findChild<QLineEdit *>(QStringLiteral("serverAddress"))->setText(QStringLiteral("127.0.0.1"));
    window.findChild<QLineEdit *>(QStringLiteral("schema"))->setText(QStringLiteral("shop_a"));
    window.findChild<QLineEdit *>(QStringLiteral("userName"))->setText(s.user);
    window.findChild<QLineEdit *>(QStringLiteral("password"))->setText(s.password);
    window.findChild<QLineEdit *>(QStringLiteral("port"))->setText(QString::number(s.port));
    window.findChild<QPushButton *>(QStringLiteral("btConnect"))->click();
    window.findChild<QPushButton *>(QStringLiteral("btSelectAll"))->click();
    window.findChild<QPushButton *>(QStringLiteral("btGenerate"))->click();
    const QMap<QString, QByteArray> fromWindow = readTree(QCoreApplication::applicationDirPath() + "/code");
    QCOMPARE(fromWindow.size(), 3 * 8);

    QTemporaryDir dir;
    const CliResult result = runCli(serverArguments("shop_a") + QStringList{"-o", dir.path()});
    QCOMPARE(result.exitCode, 0);
    const QMap<QString, QByteArray> fromCli = readTree(dir.filePath("code"));
    QCOMPARE(fromCli.keys(), fromWindow.keys());
    for (auto it = fromWindow.cbegin(); it != fromWindow.cend(); ++it)
        QCOMPARE(fromCli.value(it.key()), it.value());
}

void TestCli::keepsLinkTargetsOutsideTheTree()
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    QFile precious(outside.filePath("precious.txt"));
    QVERIFY(precious.open(QIODevice::WriteOnly));
    precious.write("keep me");
    precious.close();
    QVERIFY(QDir().mkpath(dir.filePath("code/C++")));
    QVERIFY(QFile::link(outside.path(), dir.filePath("code/C++/linked-dir")));
    QVERIFY(QFile::link(precious.fileName(), dir.filePath("code/linked-file")));

    const CliResult result = runCli(serverArguments("shop_b") + QStringList{"-o", dir.path()});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(QFile::exists(precious.fileName()));
    QVERIFY(!QFileInfo(dir.filePath("code/C++/linked-dir")).isSymLink());
    QVERIFY(!QFileInfo(dir.filePath("code/linked-file")).isSymLink());

    // The output tree itself being a link: the link goes, a real tree comes.
    QVERIFY(QDir(dir.filePath("code")).removeRecursively());
    QVERIFY(QFile::link(outside.path(), dir.filePath("code")));
    QCOMPARE(runCli(serverArguments("shop_b") + QStringList{"-o", dir.path()}).exitCode, 0);
    QVERIFY(!QFileInfo(dir.filePath("code")).isSymLink());
    QVERIFY(QFileInfo(dir.filePath("code/C++/dao/stockdao.h")).isFile());
    QCOMPARE(QDir(outside.path()).entryList(QDir::Files), QStringList{"precious.txt"});
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
