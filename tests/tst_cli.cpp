// tablesmith-cli: how its arguments are read, where its password may come
// from, and its exit status and messages when a run cannot start. What a run
// writes is in tst_golden.

#include "support.h"

#include "cli/commandline.h"

#include <QtTest>

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void runs_data();
    void runs();
    void links();
    void sequences_data();
    void sequences();
    void developerLines_data();
    void developerLines();
};

void TestCli::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    // host|port|user|password|schema|tables|kinds|output|reader|read timeout|socket|flags (verbose,
    // force, check, keep unchanged, prompt for the password), or the error
    QTest::addColumn<QString>("expected");
    const QString all = QStringLiteral("dao,object,model,editor");
    const auto row = [](const char *tag, const QStringList &arguments, const QString &expected) {
        QTest::newRow(tag) << arguments << expected;
    };
    row("defaults", {"-D", "s"}, "localhost|3306|||s||" + all + "|.|schema|60||");
    row("short, separate", {"-h", "db", "-P", "3307", "-u", "me", "-D", "s", "-o", "out", "-v"},
        "db|3307|me||s||" + all + "|out|schema|60||v");
    row("short, attached", {"-hdb", "-P3307", "-ume", "-psecret", "-Ds", "-oout", "-S/s"},
        "db|3307|me|secret|s||" + all + "|out|schema|60|/s|");
    row("long with =",
        {"--host=db", "--port=1", "--user=me", "--password=pw", "--schema=s", "--tables=a,b", "--only=model", "--output=o",
         "--catalog=per-table", "--read-timeout=5", "--verbose", "--socket=/t", "--force", "--check", "--keep-unchanged"},
        "db|1|me|pw|s|a,b|model|o|per-table|5|/t|vfck");
    row("long, separate", {"--host", "db", "--database", "s", "--tables", "a, b,,c", "--catalog", "schema", "--only", "editor,dao",
                           "--socket", "/u"},
        "db|3306|||s|a,b,c|dao,editor|.|schema|60|/u|");
    row("no schema", {"-u", "me"}, "no schema given: use -D SCHEMA");
    row("unknown option", {"-D", "s", "--frobnicate"}, "unknown argument \"--frobnicate\"");
    row("stray word", {"-D", "s", "extra"}, "unknown argument \"extra\"");
    row("port of letters", {"-D", "s", "-P", "abc"}, "invalid port \"abc\": give a number from 1 to 65535");
    row("port out of range", {"-D", "s", "--port=70000"}, "invalid port \"70000\": give a number from 1 to 65535");
    row("missing value", {"-D", "s", "-h"}, "option --host needs a value");
    row("unknown kind", {"-D", "s", "--only=dao,view"},
        "unknown kind of class in --only: \"view\" (use dao, object, model, editor)");
    row("empty tables", {"-D", "s", "--tables=,"}, "--tables needs at least one table name");
    row("TLS file missing", {"-D", "s", "--ssl-ca"}, "option --ssl-ca needs a value");
    row("project file missing", {"-D", "s", "--save-project"}, "option --save-project needs a value");
    row("-p alone asks", {"-D", "s", "-pold", "-p"}, "localhost|3306||old|s||" + all + "|.|schema|60||p");
    row("--password= gives an empty one", {"-D", "s", "--password", "--password="},
        "localhost|3306|||s||" + all + "|.|schema|60||");
    row("a switch takes no value", {"-D", "s", "--force=yes"}, "unknown argument \"--force=yes\"");
    row("the next argument is the value", {"-h", "-D", "-D", "s"}, "-D|3306|||s||" + all + "|.|schema|60||");
    row("--database is --schema", {"--database"}, "option --schema needs a value");
    row("socket with ;", {"-D", "s", "-S", "/s;x=1"}, "invalid socket path \"/s;x=1\": it may not hold ';'");
    row("--verify alone", {"-D", "s", "--verify"}, "--verify checks the keys --suggest-relations prints: give both");
    row("suggesting writes nothing", {"-D", "s", "--suggest-relations", "--diagram=r.svg"},
        "--suggest-relations prints keys and generates nothing: it does not go with --diagram");
    // An option that names a file, folder or name refuses an empty value:
    // "--ssl-ca=$CA" with CA unset must not connect in plain text.
    row("empty CA file", {"-D", "s", "--ssl-ca="}, "--ssl-ca needs a file");
    row("empty CA directory", {"-D", "s", "--ssl-capath", ""}, "--ssl-capath needs a directory");
    row("empty certificate", {"-D", "s", "--ssl-cert="}, "--ssl-cert needs a file");
    row("empty key", {"-D", "s", "--ssl-key="}, "--ssl-key needs a file");
    row("empty cipher list", {"-D", "s", "--ssl-cipher="}, "--ssl-cipher needs a cipher list");
    row("empty project", {"-D", "s", "--project="}, "--project needs a file");
    row("empty project to save", {"-D", "s", "--save-project="}, "--save-project needs a file");
    row("empty output", {"-D", "s", "-o", ""}, "--output needs a directory");
    row("empty diagram", {"-D", "s", "--diagram="}, "--diagram needs a file");
    row("empty sequences file", {"-D", "s", "--sequences-sql="}, "--sequences-sql needs a file");
    row("empty socket", {"-D", "s", "-S", ""}, "--socket needs a path");
    row("empty schema", {"-D", ""}, "--schema needs a schema name");
    row("empty schema, long alias", {"--database="}, "--schema needs a schema name");
    // A name in double quotes is a name, never a pattern, and may hold a comma.
    row("quoted table names", {"-D", "s", "--tables=\"x,y\", \"a*\",plain, \" lead\", \"say \"\"hi\"\"\", \"new\\nline\""},
        "localhost|3306|||s|\"x,y\",\"a*\",plain,\" lead\",\"say \"\"hi\"\"\",\"new\\nline\"|" + all + "|.|schema|60||");
    row("quote not closed", {"-D", "s", "--tables=a,\"x,y"}, "--tables: a quoted table name is not closed: \"x,y");
    row("help needs no schema", {"--help"}, "help");
    row("version needs no schema", {"--version"}, "version");
}

void TestCli::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    const CommandLineOptions &o = parsed.options;
    const Project &p = o.project;
    const ConnectionSettings &c = p.connection;
    QStringList kinds{p.switches.dao ? "dao" : "", p.switches.object ? "object" : "", p.switches.model ? "model" : "",
                      p.switches.editor ? "editor" : ""};
    kinds.removeAll(QString());
    const QString reader = p.catalogReader == CatalogReader::PerTable ? "per-table" : "schema";
    const QString flags =
            QString(o.verbose ? "v" : "") + (o.force ? "f" : "") + (o.check ? "c" : "") + (p.keepUnchanged ? "k" : "")
            + (o.promptForPassword ? "p" : "");
    const QString options = QStringList{c.host, QString::number(c.port), c.user, c.password, c.schema,
                                        p.tables.include.join(','), kinds.join(','), p.outputDirectory, reader,
                                        QString::number(c.readTimeout), c.socket, flags}
                                    .join('|');
    QCOMPARE(!parsed.error.isEmpty() ? parsed.error : o.showHelp ? "help" : o.showVersion ? "version" : options, expected);
}

void TestCli::runs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment"); // NAME=VALUE
    QTest::addColumn<QByteArray>("input"); // what a password prompt reads
    QTest::addColumn<int>("exitCode");
    // On standard error, each of the parts between "|".
    QTest::addColumn<QString>("says");
    const auto row = [](const char *name, const QStringList &arguments, int exitCode, const QString &says,
                        const QStringList &environment = {}, const QByteArray &input = {}) {
        QTest::newRow(name) << arguments << environment << input << exitCode << says;
    };
    const TestServer::Settings &s = TestServer::settings();
    const QStringList noPassword{"-h", "127.0.0.1", "-P", QString::number(s.port), "-u", s.user, "-D", "shop_b"};
    const QStringList shopA = serverArguments("shop_a");
    const QByteArray right = (s.password + "\n").toUtf8();
    row("help", {"--help"}, 0, ""); // tests/golden/cli_help.golden
    row("bad argument", {"--nonsense"}, 2, "tablesmith-cli: unknown argument \"--nonsense\"\nTry 'tablesmith-cli --help'");
    row("unknown table", shopA + QStringList{"--tables=customer,nosuch"}, 2, "schema \"shop_a\" has no table \"nosuch\"");
    row("a view is not a table", shopA + QStringList{"--tables=customer_names"}, 2, "has no table \"customer_names\"");
    // The usual failures in plain words first, the driver's after them (more
    // of them: tst_window's connectTo).
    row("unknown host", {"-h", "no-such-host.invalid", "-u", "x", "-D", "shop_a"}, 1,
        "on no-such-host.invalid: The host no-such-host.invalid was not found (Unknown server host 'no-such-host.invalid'");
    row("wrong password", serverArguments("shop_a", s.user, "SecretWrong3"), 1,
        "on 127.0.0.1: Access denied: wrong user name or password (Access denied for user '" + s.user + "'@");
    // Nothing to generate: said in one line, nothing written.
    row("schema without tables", serverArguments("empty_schema"), 1,
        "Nothing to generate: no table of schema \"empty_schema\" is chosen; ");
    row("every table excluded", shopA + QStringList{"--exclude=*"}, 1,
        "Nothing to generate: no table of schema \"shop_a\" is chosen; ");
    row("only USAGE", serverArguments("rob_secret", "rob_usage", "rob-pw"), 1, "Access denied for user 'rob_usage'");
    row("grants on another schema", serverArguments("rob_secret", "rob_other", "rob-pw"), 1,
        "Access denied for user 'rob_other'");
    row("MYSQL_PWD", noPassword, 0, "", {"MYSQL_PWD=" + s.password});
    QStringList local = serverArguments("shop_b");
    local[1] = QStringLiteral("localhost");
    // The server's socket under a path of the test's own, where no default
    // points; and a missing socket where the default one works.
    static const QTemporaryDir links;
    const QString socketLink = links.filePath(QStringLiteral("server.sock"));
    QFile::link(s.socket, socketLink);
    row("socket", QStringList{"-S", socketLink} + local, 0, "");
    row("no such socket", QStringList{"--socket=/nonexistent"} + local, 1, "cannot connect", {"MYSQL_UNIX_PORT=" + s.socket});
    row("prompted", noPassword + QStringList{"-p"}, 0, "", {}, right);
    row("prompt wins over MYSQL_PWD", noPassword + QStringList{"--password"}, 0, "", {"MYSQL_PWD=wrong-pass"}, right);
    row("wrong, given", noPassword + QStringList{"-pSecretWrong1"}, 1,
        "cannot connect to schema \"shop_b\" on 127.0.0.1: Access denied");
    row("wrong, prompted", noPassword + QStringList{"-p"}, 1, "Access denied", {}, "SecretWrong2\n");
    row("output folder cannot be made", shopA + QStringList{"-o", "/proc/version/out"}, 1,
        "Cannot create the output folder /proc/version/out (Not a directory): nothing was written.");
    row("diagram of another kind", shopA + QStringList{"--diagram", "r.png"}, 2,
        "--diagram writes a file ending in .svg or .dot, not \"r.png\"");
    row("diagram cannot be written", shopA + QStringList{"--diagram=/proc/version/r.svg"}, 1,
        "cannot write the diagram /proc/version/r.svg: Not a directory");
    row("nothing to read", noPassword + QStringList{"-p"}, 2, "no password could be read");
}

void TestCli::runs()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    CliOptions options{{}, input};
    options.environment.remove(QStringLiteral("MYSQL_PWD"));
    options.environment.remove(QStringLiteral("MYSQL_UNIX_PORT"));
    for (const QString &variable : std::as_const(environment))
        options.environment.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    QTemporaryDir dir;
    const CliResult result = runCli(QStringList{"-o", dir.path(), "--verbose"} + arguments, options);
    QVERIFY2(result.exitCode == exitCode, qPrintable(result.describe()));
    if (arguments == QStringList{"--help"}) {
        const QString difference = goldenDifference(QStringLiteral("cli_help"), result.out);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }
    for (const QString &part : says.split(QLatin1Char('|')))
        QVERIFY2(result.err.contains(part), qPrintable(part + QLatin1Char('\n') + result.describe()));
    // Nothing is written before the run can start.
    QCOMPARE(QFileInfo::exists(dir.filePath("code")), exitCode == 0 && !arguments.contains("--help"));
    // No password, right or wrong, is ever printed, not even in verbose mode.
    for (const QString &secret : {TestServer::settings().password, QStringLiteral("SecretWrong"), QStringLiteral("wrong-pass")})
        QVERIFY2(!(result.out + result.err).contains(secret), qPrintable(result.describe()));
}

// tablesmith-cli runs where no display libraries are installed: a build
// server, a container.
void TestCli::links()
{
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {qEnvironmentVariable("TABLESMITH_CLI")});
    QVERIFY(ldd.waitForFinished());
    const QString libraries = QString::fromLocal8Bit(ldd.readAllStandardOutput() + ldd.readAllStandardError());
    QVERIFY2(ldd.exitCode() == 0 && libraries.contains("libQt6Core.so") && !libraries.contains("libQt6Gui.so")
                     && !libraries.contains("libQt6Widgets.so"),
             qPrintable(libraries));
}

void TestCli::sequences_data()
{
    QTest::addColumn<QString>("form"); // TABLESMITH_RUNTIME_SEQUENCES, as the runtime library reads it
    QTest::addColumn<QString>("statements");
    QTest::newRow("MariaDB") << "" << "create sequence seq_a start with 8;\ncreate sequence seq_b start with 1;\n";
    QTest::newRow("one-row tables") << "emulated"
                                   << "create table seq_a (next_id bigint not null) engine=InnoDB;\n"
                                      "insert into seq_a (next_id) values (7);\n"
                                      "create table seq_b (next_id bigint not null) engine=InnoDB;\n"
                                      "insert into seq_b (next_id) values (0);\n";
}

// --sequences-sql names what the DAOs' inserts need, in the server's form,
// each sequence after its table's largest id; once run, nothing is missing.
void TestCli::sequences()
{
    QFETCH(QString, form);
    QFETCH(QString, statements);
    QCOMPARE(serverQuery({"DROP DATABASE IF EXISTS scratch_seq", "CREATE DATABASE scratch_seq", "USE scratch_seq",
                          "CREATE TABLE a (id INT PRIMARY KEY)", "INSERT INTO a VALUES (3), (7)",
                          "CREATE TABLE b (id BIGINT PRIMARY KEY)", "CREATE TABLE c (code INT PRIMARY KEY)"}),
             QStringList());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sequences.sql"));
    CliOptions options;
    options.environment.insert(QStringLiteral("TABLESMITH_RUNTIME_SEQUENCES"), form);
    const QStringList arguments = serverArguments(QStringLiteral("scratch_seq"))
            + QStringList{QStringLiteral("--sequences-sql=") + file, QStringLiteral("--check"), QStringLiteral("-o"), dir.path()};
    const CliResult first = runCli(arguments, options);
    QVERIFY2(first.out.contains("The statements that create seq_a, seq_b written to: " + file)
                     && first.err.contains("Note: a has an id column, but the schema has no sequence seq_a"),
             qPrintable(first.describe()));
    const QString script = readText(file);
    QVERIFY2(script.endsWith(statements), qPrintable(script));
    QCOMPARE(serverQuery(QStringList{"USE scratch_seq"}
                         + script.split(QLatin1Char('\n'), Qt::SkipEmptyParts).filter(QRegularExpression(QStringLiteral("^(?!--)")))),
             QStringList());
    const CliResult second = runCli(arguments, options);
    QVERIFY2(second.out.contains("No sequence is missing") && !second.err.contains("no sequence"),
             qPrintable(second.describe()));
    QCOMPARE(serverQuery({"DROP DATABASE scratch_seq"}), QStringList());
}

void TestCli::developerLines_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("shown");
    QTest::newRow("quiet by default") << QString() << false;
    QTest::newRow("-v") << "-v" << true;
    QTest::newRow("--verbose") << "--verbose" << true;
}

// The schema reader's line per table and key is for developers: a terminal
// shows it only when asked.
void TestCli::developerLines()
{
    QFETCH(QString, option);
    QFETCH(bool, shown);
    QTemporaryDir dir;
    QStringList arguments = serverArguments("shop_a") + QStringList{"-o", dir.path()};
    if (!option.isEmpty())
        arguments.append(option);
    const CliResult result = runCli(arguments);
    QVERIFY2(result.exitCode == 0, qPrintable(result.describe()));
    // Standard error holds the convention report's notes besides.
    const QStringList developer = result.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                          .filter(QRegularExpression(QStringLiteral("^(?!Note: )")));
    QVERIFY2(developer.isEmpty() != shown, qPrintable(result.err));
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
