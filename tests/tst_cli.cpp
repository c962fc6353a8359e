// tablesmith-cli: how its arguments are read, where its password may come
// from, and its exit status and messages when a run cannot start. What a run
// writes is in tst_golden.

#include "support.h"

#include "app/cli/commandline.h"

#include <QTemporaryDir>
#include <QtTest>

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void runs_data();
    void runs();
};

void TestCli::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    // host|port|user|password|schema|tables|kinds|output|reader|read timeout|socket|flags (verbose,
    // force, check, keep unchanged), or the error
    QTest::addColumn<QString>("expected");
    const QString all = QStringLiteral("dao,object,model,editor");
    QTest::newRow("defaults") << QStringList{"-D", "s"} << "localhost|3306|||s||" + all + "|.|schema|60||";
    QTest::newRow("short, separate") << QStringList{"-h", "db", "-P", "3307", "-u", "me", "-D", "s", "-o", "out", "-v"}
                                     << "db|3307|me||s||" + all + "|out|schema|60||v";
    QTest::newRow("short, attached") << QStringList{"-hdb", "-P3307", "-ume", "-psecret", "-Ds", "-oout", "-S/s"}
                                     << "db|3307|me|secret|s||" + all + "|out|schema|60|/s|";
    QTest::newRow("long with =") << QStringList{"--host=db", "--port=1", "--user=me", "--password=pw", "--schema=s",
                                                "--tables=a,b", "--only=model", "--output=o", "--catalog=per-table",
                                                "--read-timeout=5", "--verbose", "--socket=/t", "--force", "--check",
                                                "--keep-unchanged"}
                                 << "db|1|me|pw|s|a,b|model|o|per-table|5|/t|vfck";
    QTest::newRow("long, separate") << QStringList{"--host", "db", "--database", "s", "--tables", "a, b,,c",
                                                   "--catalog", "schema", "--only", "editor,dao", "--socket", "/u"}
                                    << "db|3306|||s|a,b,c|dao,editor|.|schema|60|/u|";
    QTest::newRow("no schema") << QStringList{"-u", "me"} << "no schema given: use -D SCHEMA";
    QTest::newRow("unknown option") << QStringList{"-D", "s", "--frobnicate"} << "unknown argument \"--frobnicate\"";
    QTest::newRow("stray word") << QStringList{"-D", "s", "extra"} << "unknown argument \"extra\"";
    QTest::newRow("port of letters") << QStringList{"-D", "s", "-P", "abc"}
                                     << "invalid port \"abc\": give a number from 1 to 65535";
    QTest::newRow("port out of range") << QStringList{"-D", "s", "--port=70000"}
                                       << "invalid port \"70000\": give a number from 1 to 65535";
    QTest::newRow("missing value") << QStringList{"-D", "s", "-h"} << "option --host needs a value";
    QTest::newRow("unknown kind") << QStringList{"-D", "s", "--only=dao,view"}
                                  << "unknown kind of class in --only: \"view\" (use dao, object, model, editor)";
    QTest::newRow("empty tables") << QStringList{"-D", "s", "--tables=,"} << "--tables needs at least one table name";
    QTest::newRow("TLS file missing") << QStringList{"-D", "s", "--ssl-ca"} << "option --ssl-ca needs a value";
    QTest::newRow("project file missing") << QStringList{"-D", "s", "--save-project"}
                                          << "option --save-project needs a value";
    QTest::newRow("help needs no schema") << QStringList{"--help"} << "help";
    QTest::newRow("version needs no schema") << QStringList{"--version"} << "version";
}

void TestCli::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    const CommandLineOptions &o = parsed.options;
    QStringList kinds;
    for (const auto &[on, kind] : {std::pair{o.switches.dao, "dao"}, {o.switches.object, "object"},
                                   {o.switches.model, "model"}, {o.switches.editor, "editor"}}) {
        if (on)
            kinds.append(QLatin1String(kind));
    }
    const QString options = QStringList{o.connection.host, QString::number(o.connection.port), o.connection.user,
                                        o.connection.password, o.connection.schema, o.tables.join(QLatin1Char(',')),
                                        kinds.join(QLatin1Char(',')), o.outputDirectory,
                                        o.catalogReader == GenerationRun::CatalogReader::PerTable ? "per-table" : "schema",
                                        QString::number(o.connection.readTimeout), o.connection.socket,
                                        QString(o.verbose ? "v" : "") + (o.force ? "f" : "") + (o.check ? "c" : "")
                                                + (o.keepUnchanged ? "k" : "")}
                                    .join(QLatin1Char('|'));
    QCOMPARE(!parsed.error.isEmpty() ? parsed.error
                     : o.showHelp    ? QStringLiteral("help")
                     : o.showVersion ? QStringLiteral("version")
                                     : options,
             expected);
}

void TestCli::runs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment"); // NAME=VALUE
    QTest::addColumn<QByteArray>("input"); // what a password prompt reads
    QTest::addColumn<int>("exitCode");
    // On standard error (standard output for --help); each of the parts
    // between "|" must appear.
    QTest::addColumn<QString>("says");
    const TestServer::Settings &s = TestServer::settings();
    const QStringList noPassword{"-h", "127.0.0.1", "-P", QString::number(s.port), "-u", s.user, "-D", "shop_b"};
    const QByteArray right = (s.password + "\n").toUtf8();
    QTest::newRow("help") << QStringList{"--help"} << QStringList() << QByteArray() << 0
                          << "-h, --host=HOST|-P, --port=PORT|-S, --socket=PATH|-u, --user=USER|-p, --password[=PASS]|"
                             "-D, --schema=SCHEMA|--ssl |--ssl-ca=FILE|--ssl-capath=DIR|--ssl-cert=FILE|--ssl-key=FILE|"
                             "--ssl-cipher=LIST|--ssl-verify-server-cert|--read-timeout=S|--tables=A,B,...|--exclude=A,B,...|"
                             "--only=KINDS|-o, --output=DIR|--force|--keep-unchanged|--check|--diagram=FILE|"
                             "--catalog=READER|--project=FILE|--save-project=FILE|-v, --verbose|--timings|--version|--help";
    QTest::newRow("bad argument") << QStringList{"--nonsense"} << QStringList() << QByteArray() << 2
                                  << "tablesmith-cli: unknown argument \"--nonsense\"\nTry 'tablesmith-cli --help'";
    QTest::newRow("unknown table") << serverArguments("shop_a") + QStringList{"--tables=customer,nosuch"} << QStringList()
                                   << QByteArray() << 2 << "schema \"shop_a\" has no table \"nosuch\"";
    QTest::newRow("a view is not a table") << serverArguments("shop_a") + QStringList{"--tables=customer_names"} << QStringList()
                                           << QByteArray() << 2 << "has no table \"customer_names\"";
    QTest::newRow("unknown schema") << serverArguments("no_such_schema") << QStringList() << QByteArray() << 1
                                    << "cannot connect to schema";
    QTest::newRow("nobody listens") << serverArguments("shop_a", "x", "y", 1) << QStringList() << QByteArray() << 1
                                    << "cannot connect";
    QTest::newRow("only USAGE") << serverArguments("rob_secret", "rob_usage", "rob-pw") << QStringList() << QByteArray() << 1
                                << "Access denied for user 'rob_usage'";
    QTest::newRow("grants on another schema") << serverArguments("rob_secret", "rob_other", "rob-pw") << QStringList()
                                              << QByteArray() << 1 << "Access denied for user 'rob_other'";
    QTest::newRow("MYSQL_PWD") << noPassword << QStringList{"MYSQL_PWD=" + s.password} << QByteArray() << 0 << "";
    QStringList local = serverArguments("shop_b");
    local[1] = QStringLiteral("localhost");
    // The server's socket under a path of the test's own, where no default
    // points; and a missing socket where the default one works.
    static const QTemporaryDir links;
    const QString socketLink = links.filePath(QStringLiteral("server.sock"));
    QFile::link(s.socket, socketLink);
    QTest::newRow("socket") << QStringList{"-S", socketLink} + local << QStringList() << QByteArray() << 0 << "";
    QTest::newRow("no such socket") << QStringList{"--socket=/nonexistent"} + local
                                    << QStringList{"MYSQL_UNIX_PORT=" + s.socket} << QByteArray() << 1 << "cannot connect";
    QTest::newRow("prompted") << noPassword + QStringList{"-p"} << QStringList() << right << 0 << "";
    QTest::newRow("prompt wins over MYSQL_PWD") << noPassword + QStringList{"--password"} << QStringList{"MYSQL_PWD=wrong-pass"} << right << 0
                                                << "";
    QTest::newRow("wrong, given") << noPassword + QStringList{"-pSecretWrong1"} << QStringList() << QByteArray() << 1
                                  << "cannot connect to schema \"shop_b\" on 127.0.0.1: Access denied";
    QTest::newRow("wrong, prompted") << noPassword + QStringList{"-p"} << QStringList() << QByteArray("SecretWrong2\n") << 1
                                     << "Access denied";
    QTest::newRow("output folder cannot be made") << serverArguments("shop_a") + QStringList{"-o", "/proc/version/out"} << QStringList()
            << QByteArray() << 1 << "Cannot create the output folder /proc/version/out (Not a directory): nothing was written.";
    QTest::newRow("diagram of another kind") << serverArguments("shop_a") + QStringList{"--diagram", "r.png"} << QStringList()
            << QByteArray() << 2 << "--diagram writes a file ending in .svg or .dot, not \"r.png\"";
    QTest::newRow("diagram cannot be written") << serverArguments("shop_a") + QStringList{"--diagram=/proc/version/r.svg"}
            << QStringList() << QByteArray() << 1 << "cannot write the diagram /proc/version/r.svg: Not a directory";
    QTest::newRow("nothing to read") << noPassword + QStringList{"-p"} << QStringList() << QByteArray() << 2
                                     << "no password could be read";
}

void TestCli::runs()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    CliOptions options;
    options.input = input;
    options.environment.remove(QStringLiteral("MYSQL_PWD"));
    options.environment.remove(QStringLiteral("MYSQL_UNIX_PORT"));
    for (const QString &variable : std::as_const(environment))
        options.environment.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    QTemporaryDir dir;
    const CliResult result = runCli(QStringList{"-o", dir.path(), "--verbose"} + arguments, options);
    QVERIFY2(result.exitCode == exitCode, qPrintable(result.describe()));
    for (const QString &part : says.split(QLatin1Char('|')))
        QVERIFY2((arguments.contains(QStringLiteral("--help")) ? result.out : result.err).contains(part),
                 qPrintable(part + QLatin1Char('\n') + result.describe()));
    // Nothing is written before the run can start.
    QCOMPARE(QFileInfo::exists(dir.filePath("code")), exitCode == 0 && !arguments.contains("--help"));
    // No password, right or wrong, is ever printed, not even in verbose mode.
    for (const QString &secret : {TestServer::settings().password, QStringLiteral("SecretWrong"), QStringLiteral("wrong-pass")})
        QVERIFY2(!(result.out + result.err).contains(secret), qPrintable(result.describe()));
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
