// Project files: what a table list of names and patterns picks, a faulty
// project refused line by line before anything is written, and a project run
// writing the very files of the same options given on the command line.

#include "support.h"

#include "project/projectfile.h"
#include "project/usersettings.h"
#include "app/window/projectmenu.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSettings>
#include <QtTest>

class TestProject : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void tables_data();
    void tables();
    void faulty_data();
    void faulty();
    void sameFiles_data();
    void sameFiles();
    void saveRefused_data();
    void saveRefused();
    void savedText();
    void samples();
    void remembered_data();
    void remembered();
    void rememberedAsProject();
    void declaredRelations();
    void suggestedRelations_data();
    void suggestedRelations();
    void window_data();
    void window();
};

namespace {

// The command line, with the test server's password in MYSQL_PWD.
CliResult runWithPassword(const QStringList &arguments, const QString &workingDirectory = {})
{
    CliOptions options{workingDirectory};
    options.environment.insert(QStringLiteral("MYSQL_PWD"), TestServer::settings().password);
    return runCli(arguments, options);
}

} // namespace

void TestProject::tables_data()
{
    QTest::addColumn<QString>("include"); // comma-separated
    QTest::addColumn<QString>("exclude");
    QTest::addColumn<QString>("expected"); // chosen tables | problems
    QTest::newRow("everything") << "" << "" << "customer,inv_line,invoice,inv_tmp,Invoice2|";
    QTest::newRow("names, schema order") << "invoice,customer" << "" << "customer,invoice|";
    QTest::newRow("pattern") << "inv_*" << "" << "inv_line,inv_tmp|";
    QTest::newRow("? is one character") << "inv_???" << "" << "inv_tmp|";
    QTest::newRow("case-sensitive") << "invoice*" << "" << "invoice|";
    QTest::newRow("exclusion") << "inv*" << "*_tmp,Invoice2" << "inv_line,invoice|";
    QTest::newRow("exclusion alone") << "" << "inv_*" << "customer,invoice,Invoice2|";
    QTest::newRow("a dot is no wildcard") << "inv.*" << "" << "|at 3: no table of schema \"s\" matches \"inv.*\"";
    QTest::newRow("unknown name") << "customer,nosuch" << "" << "customer|at 3: schema \"s\" has no table \"nosuch\"";
    QTest::newRow("pattern without match") << "x*,customer" << "zz*" << "customer|at 3: no table of schema \"s\" matches \"x*\"";
    QTest::newRow("quoted: a name, not a pattern") << "\"inv_*\", \"customer\"" << "\"inv*\""
                                                   << "customer|at 3: schema \"s\" has no table \"inv_*\"";
}

void TestProject::tables()
{
    QFETCH(QString, include);
    QFETCH(QString, exclude);
    QFETCH(QString, expected);
    TableSelection selection{{}, {}, "at 3: "};
    QCOMPARE(splitTableList(include, &selection.include), QString());
    QCOMPARE(splitTableList(exclude, &selection.exclude), QString());
    const TableChoice choice = chooseTables("s", {"customer", "inv_line", "invoice", "inv_tmp", "Invoice2"}, selection);
    QCOMPARE(choice.tables.join(',') + '|' + choice.problems.join(';'), expected);
}

void TestProject::faulty_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("says"); // on standard error, FILE for the project's path
    const QByteArray head = "[connection]\nhost = 127.0.0.1\nport = " + QByteArray::number(TestServer::settings().port)
            + "\nuser = " + TestServer::settings().user.toUtf8() + "\nschema = shop_a\n";
    const auto file = [](const char *tag, const QByteArray &text, const char *says) {
        QTest::newRow(tag) << text << QString::fromUtf8(says);
    };
    file("no such file", {}, "tablesmith-cli: FILE: cannot read the project: No such file or directory\n");
    file("unknown key", head + "colour = blue\n", "tablesmith-cli: FILE:6: unknown key \"colour\" in [connection]\n");
    file("malformed line", head + "[generate]\n\nonly dao\n",
         "tablesmith-cli: FILE:8: malformed line \"only dao\": expected key = value\n");
    file("two faults, two lines", "# comment\n[connection]\nschema = shop_a\n[paths]\nport = many\n",
         "tablesmith-cli: FILE:4: unknown section [paths] (use connection, tls, generate, relations, names, types, "
         "exclude-columns)\n"
         "tablesmith-cli: FILE:5: unknown key \"port\" in [paths]\n");
    file("key before a section", "schema = shop_a\n", "FILE:1: key \"schema\" outside a section\n");
    file("open section", head + "[generate\n", "FILE:6: malformed section line \"[generate\"\n");
    file("bad port", "[connection]\r\nschema = s\r\nport = 3306x\r\n",
         "FILE:3: invalid port \"3306x\": give a number from 1 to 65535\n");
    file("twice", head + "schema = shop_b\n", "FILE:6: \"schema\" is given twice in [connection]\n");
    file("a password", head + "password = secret\n",
         "FILE:6: a project never holds the password; give it with -p, MYSQL_PWD or the window\n");
    file("bad kind", head + "[generate]\nonly = dao, views\n",
         "FILE:7: unknown kind of class \"views\" (use dao, object, model, editor)\n");
    file("bad flag", head + "[tls]\nssl = maybe\n", "FILE:7: \"maybe\" is not yes or no\n");
    file("no schema", "[connection]\nhost = db\n", "FILE: the project names no schema ([connection] schema = ...)\n");
    file("table the schema lacks", head + "[generate]\n\ntables = customer, nosuch\n",
         "tablesmith-cli: FILE:8: schema \"shop_a\" has no table \"nosuch\"\n");
    file("pattern without match", head + "[generate]\ntables = cust*, zz*, qq?\n",
         "tablesmith-cli: FILE:7: no table of schema \"shop_a\" matches \"zz*\"\n"
         "tablesmith-cli: FILE:7: no table of schema \"shop_a\" matches \"qq?\"\n");

    // The project's rules: each line that cannot be read, and each that does
    // not fit the schema, with its line (the section is line 6).
    const auto rules = [&head](const char *schema, const char *section, const char *lines) {
        return QByteArray(head).replace("shop_a", schema) + "[" + section + "]\n" + lines + "\n";
    };
    const auto row = [&rules](const char *tag, const char *schema, const char *section, const char *lines, const char *says) {
        QTest::newRow(tag) << rules(schema, section, lines) << QString::fromUtf8(says);
    };
    row("relation: malformed", "rl_blog", "relations", "posts.author_id => users.id",
        "FILE:7: malformed relation \"posts.author_id => users.id\": expected TABLE.COLUMN -> TABLE.COLUMN, or "
        "TABLE.(C1, C2) -> TABLE.(P1, P2)\n");
    row("relation: column counts", "rl_blog", "relations", "order_lines.(shop, order_no) -> orders.(no)",
        "FILE:7: the relation \"order_lines.(shop, order_no) -> orders.(no)\" joins 2 columns to 1\n");
    row("relation: twice", "rl_blog", "relations", "posts.author_id -> users.id\n`posts`.author_id->users.`id`",
        "FILE:8: the relation \"`posts`.author_id->users.`id`\" is given twice (first at line 7)\n");
    row("relation: no table", "rl_blog", "relations", "posts.author_id -> people.id",
        "FILE:7: schema \"rl_blog\" has no table \"people\"\n");
    row("relation: no column", "rl_blog", "relations", "posts.writer_id -> users.id",
        "FILE:7: table posts has no column \"writer_id\"\n");
    row("relation: kinds differ", "rl_blog", "relations", "orders.(user_id, shop) -> users.(id, email)\nposts.title -> users.id",
        "FILE:8: posts.title is varchar(120) and users.id is int(11): a key joins columns of one kind\n");
    row("relation: the schema's own", "rl_blog_keyed", "relations", "comments.(user_id) -> users.(id)",
        "FILE:7: comments.user_id -> users.id is the schema's own foreign key fk2_comment_user\n");
    row("getter-per-key", "rl_keys", "relations", "getter-per-key = often", "FILE:7: \"often\" is not yes or no\n");
    row("class: no identifier", "rl_prefixed", "names", "wp_posts = Blog Post",
        "FILE:7: class name \"Blog Post\" is no C++ identifier (letters, digits and _, not first a digit)\n");
    row("class: keyword", "rl_prefixed", "names", "wp_posts = NULL", "FILE:7: class name \"NULL\" is a C++ keyword\n");
    row("class: small letter", "rl_prefixed", "names", "wp_posts = post",
        "FILE:7: class name \"post\" does not begin with a capital letter\n");
    row("class: the framework's", "rl_prefixed", "names", "wp_posts = Session",
        "FILE:7: class name \"Session\" is that of a class of the framework\n");
    row("class: no table", "rl_prefixed", "names", "wp_post = Post", "FILE:7: schema \"rl_prefixed\" has no table \"wp_post\"\n");
    row("class: twice", "rl_prefixed", "names", "wp_posts = Post\nwp_posts = Article",
        "FILE:8: the class of table wp_posts is given twice (first at line 7)\n");
    row("classes meet", "rl_prefixed", "names", "strip-prefix = wp_\nwp_posts = CommentsDao",
        "FILE:8: class CommentsDao for table wp_posts meets class CommentsDAO of table wp_comments (file names and include "
        "guards ignore case)\n");
    row("class meets an automatic one", "rl_prefixed", "names", "wp_users = Wp_posts",
        "FILE:7: class Wp_posts for table wp_users meets class Wp_posts of table wp_posts (file names and include guards "
        "ignore case)\n");
    row("strip-prefix twice", "rl_prefixed", "names", "strip-prefix = wp_\nstrip-prefix = llx_",
        "FILE:8: strip-prefix is given twice (first at line 7)\n");
    row("member: keyword", "rl_prefixed", "names", "wp_posts.post_title = class", "FILE:7: member name \"class\" is a C++ keyword\n");
    row("member: id", "rl_prefixed", "names", "wp_posts.id = key", "FILE:7: the id column keeps its name\n");
    row("member: no column", "rl_prefixed", "names", "wp_posts.title = heading", "FILE:7: table wp_posts has no column \"title\"\n");
    row("member meets a column", "rl_prefixed", "names", "wp_posts.post_title = Comment_count",
        "FILE:7: member name Comment_count for wp_posts.post_title meets that of column comment_count\n");
    row("member names a class", "rl_prefixed", "names", "wp_posts.post_title = Wp_users",
        "FILE:7: member name Wp_users for wp_posts.post_title names a generated class\n");
    row("type: unknown", "rl_types", "types", "settings.meta = QJsonObject",
        "FILE:7: unknown type \"QJsonObject\" (use bool, QDate, QTime, QDateTime, QString, QByteArray, QJsonDocument)\n");
    row("type: no SQL type", "rl_types", "types", "numeric(4) = QString",
        "FILE:7: \"numeric(4)\" is no SQL type as the catalogue names them (tinyint(1), decimal, date, ...)\n");
    row("type: SQL type of another kind", "rl_types", "types", "varchar = QDate",
        "FILE:7: QDate cannot hold varchar columns: it takes date columns\n");
    row("type: column of another kind", "rl_types", "types", "settings.born = QTime",
        "FILE:7: settings.born is date: QTime takes time columns\n");
    row("type: id", "rl_types", "types", "settings.id = QString", "FILE:7: the id column stays a number\n");
    row("type of a column left out", "rl_types", "types", "settings.note = QByteArray\n[exclude-columns]\nsettings = note",
        "FILE:7: settings.note is left out (line 9)\n");
    row("left out: NOT NULL without a default", "rl_prefixed", "exclude-columns", "wp_users = user_pass, user_login",
        "FILE:7: wp_users.user_login is NOT NULL without a default: an insert that leaves it out fails\n");
    row("left out: a key column", "rl_prefixed", "exclude-columns", "wp_posts = post_author",
        "FILE:7: wp_posts.post_author is a key column, which the generated code needs\n");
    row("left out: malformed", "rl_prefixed", "exclude-columns", "wp_posts.guid",
        "FILE:7: malformed line \"wp_posts.guid\": expected TABLE = COLUMN, COLUMN\n");
}

// Every fault is refused with exit status 2, one line each, and nothing is
// written.
void TestProject::faulty()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString path = dir.filePath("p.tablesmith.ini");
    if (!text.isEmpty())
        writeText(path, text);
    const CliResult result = runWithPassword({"--project", path, "-o", dir.path()});
    QVERIFY2(result.exitCode == 2 && result.err.contains(QString(says).replace("FILE", path)), qPrintable(result.describe()));
    QVERIFY(!QFileInfo::exists(dir.filePath("code")));
}

void TestProject::sameFiles_data()
{
    QTest::addColumn<QStringList>("options"); // given on the command line, then saved as the project
    QTest::addColumn<QStringList>("overrides"); // given with --project, and to the plain run
    QTest::newRow("defaults") << QStringList() << QStringList();
    QTest::newRow("tables, kinds, reader, scaffold") << QStringList{"--tables=inv*,c?stomer", "--exclude=*voice", "--only=dao,model",
                                                                    "--catalog=per-table", "--keep-unchanged", "--app"}
                                                     << QStringList();
    QTest::newRow("overridden") << QStringList{"--tables=product", "--only=editor"}
                                << QStringList{"--tables=invoice", "--only=object", "--exclude=nothing*"};
    QTest::newRow("TLS") << QStringList{"-u", "tls_ssl", "--ssl-ca=" + TestServer::settings().tlsDir + "/ca.pem", "--tables=customer"}
                         << QStringList();
    // CA_HERE: the CA file relative to the working directory.
    QTest::newRow("TLS, relative path") << QStringList{"-u", "tls_ssl", "--ssl-ca=CA_HERE", "--tables=customer"}
                                        << QStringList();
    // The CA inside the repository: the project names it relative to its
    // own folder, and still finds it once the repository has moved.
    QTest::newRow("TLS, CA in the repository") << QStringList{"-u", "tls_ssl", "--ssl-ca=repo/certs/ca.pem", "--tables=customer"}
                                               << QStringList();
}

// The project written by --save-project runs to the same files as the
// options it was saved from, from another working directory; options given
// beside --project override the file's.
void TestProject::sameFiles()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, overrides);
    QTemporaryDir dir;
    options.replaceInStrings("CA_HERE", QDir(dir.path()).relativeFilePath(TestServer::settings().tlsDir + "/ca.pem"));
    const QStringList server = serverArguments("shop_a"); // the password too: it must not be saved
    QVERIFY(QDir(dir.path()).mkpath("repo/certs"));
    QVERIFY(QFile::copy(TestServer::settings().tlsDir + "/ca.pem", dir.filePath("repo/certs/ca.pem")));
    const CliResult plain = runWithPassword(server + options + overrides + QStringList{"-o", "plain"}, dir.path());
    QVERIFY2(plain.exitCode == 0, qPrintable(plain.describe()));

    QDir(dir.path()).mkpath("repo/generated");
    const CliResult saved = runWithPassword(
            server + options + QStringList{"-o", "repo/generated", "--save-project", "repo/shop.tablesmith.ini"}, dir.path());
    QVERIFY2(saved.exitCode == 0 && saved.out == "Project written: repo/shop.tablesmith.ini\n", qPrintable(saved.describe()));
    const QString project = readText(dir.filePath("repo/shop.tablesmith.ini"));
    QVERIFY2(project.contains("\noutput = generated\n") && !project.contains(TestServer::settings().password),
             qPrintable(project));

    const CliResult run = runWithPassword(QStringList{"--project", dir.filePath("repo/shop.tablesmith.ini")} + overrides,
                                          QDir::tempPath());
    QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
    const QString expected = describeTree(dir.filePath("plain"));
    QVERIFY(expected.contains("== file code/C++/"));
    QCOMPARE(describeTree(dir.filePath("repo/generated")), expected);
    QCOMPARE(masked(run.out, dir.filePath("repo/generated")), masked(plain.out, dir.filePath("plain")));

    // The project moves with its repository.
    QVERIFY(QDir(dir.path()).rename("repo", "moved"));
    const CliResult moved = runWithPassword(QStringList{"--project", dir.filePath("moved/shop.tablesmith.ini")} + overrides,
                                            QDir::tempPath());
    QVERIFY2(moved.exitCode == 0, qPrintable(moved.describe()));
    QCOMPARE(describeTree(dir.filePath("moved/generated")), expected);
}

void TestProject::saveRefused_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("says"); // the run's own refusal, on standard error
    QTest::newRow("verify without a CA") << QStringList{"--ssl-verify-server-cert"}
                                         << "tablesmith-cli: TLS: verifying the server's certificate needs a CA file or directory\n";
    QTest::newRow("no such CA file") << QStringList{"--ssl-ca=nonexistent/ca.pem"}
                                     << "TLS: the CA file \"nonexistent/ca.pem\" does not exist\n";
    QTest::newRow("key without certificate") << QStringList{"--ssl-key=" + TestServer::settings().tlsDir + "/client-key.pem"}
                                             << "TLS: a client key needs its certificate\n";
}

// Settings the run refuses (tst_tls) are not saved either: the same message,
// exit status 2, and no file.
void TestProject::saveRefused()
{
    QFETCH(QStringList, options);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const CliResult result = runWithPassword(serverArguments("shop_a") + options + QStringList{"--save-project", "p.ini"}, dir.path());
    QVERIFY2(result.exitCode == 2 && result.err.contains(says) && result.out.isEmpty(), qPrintable(result.describe()));
    QVERIFY(!QFileInfo::exists(dir.filePath("p.ini")));
}

// The text a saved project has: every key, in a fixed order, paths below the
// file's folder relative to it.
void TestProject::savedText()
{
    QTemporaryDir dir;
    Project project;
    project.connection = {"db.example.org", "shop", "reader", "secret"}; // host, schema, user, password
    // ssl, ssl-ca, ssl-capath, ssl-cert, ssl-key, ssl-cipher, ssl-verify-server-cert
    project.connection.tls = {false, dir.filePath("certs/ca.pem"), {}, "/etc/ssl/client.pem", "/etc/ssl/client.key", {}, true};
    project.tables = {{"customer", "inv_*"}, {"inv_tmp"}};
    project.switches.editor = false;
    project.outputDirectory = dir.filePath("src/generated");
    project.keepUnchanged = true;
    const QString path = dir.filePath("shop.tablesmith.ini");
    QCOMPARE(writeProject(path, project), QString());
    QCOMPARE(readText(path),
             QStringLiteral("# Tablesmith project: tablesmith-cli --project FILE runs it, File > Open Project... in the window.\n"
                            "# Paths are relative to this file's folder. The password is never kept here.\n"
                            "\n[connection]\nhost = db.example.org\nport = 3306\nsocket =\nuser = reader\nschema = shop\n"
                            "\n[tls]\nssl = no\nssl-ca = certs/ca.pem\nssl-capath =\nssl-cert = /etc/ssl/client.pem\n"
                            "ssl-key = /etc/ssl/client.key\nssl-cipher =\nssl-verify-server-cert = yes\n"
                            "\n[generate]\n# Names and patterns (* and ?); empty: every table. A name in double quotes\n"
                            "# is never a pattern (\"x,y\", \"a*\"; \"\" is a quote inside).\n"
                            "tables = customer, inv_*\nexclude = inv_tmp\nonly = dao, object, model\n"
                            "output = src/generated\ncatalog = schema\nkeep-unchanged = yes\n"));
    // And back: every key as written, the password not.
    const ProjectReading reading = readProject(path);
    QCOMPARE(reading.problems, QStringList());
    QCOMPARE(projectText(reading.project, dir.path()), projectText(project, dir.path()));
    QCOMPARE(reading.project.connection.password, QString());

    // Rules are kept line by line, each section once, after the rest.
    writeText(path, readText(path).toUtf8() + "[types]\ndate = QDate\n[relations]\nposts.(a, b) -> `my table`.(c, d)\n"
                                              "[types]\n# kept apart\nt.c = bool\n");
    const ProjectReading withRules = readProject(path);
    QCOMPARE(withRules.problems, QStringList());
    QVERIFY(projectText(withRules.project, dir.path()).endsWith(
            "keep-unchanged = yes\n\n[types]\ndate = QDate\nt.c = bool\n\n[relations]\nposts.(a, b) -> `my table`.(c, d)\n"));
    QCOMPARE(withRules.project.rules.schema.keys.first().referencedTable, QStringLiteral("my table"));
}

// Keys declared in the project give the code of the same keys read from the
// catalogue, byte for byte; the diagram draws them dashed.
void TestProject::declaredRelations()
{
    QTemporaryDir dir;
    const QString project = qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + "/tests/fixtures/rl_blog.tablesmith.ini";
    const CliResult keyed = runWithPassword(serverArguments("rl_blog_keyed") + QStringList{"-o", "keyed", "--diagram", "keyed.dot"},
                                            dir.path());
    QVERIFY2(keyed.exitCode == 0, qPrintable(keyed.describe()));
    const CliResult declared = runWithPassword(
            serverArguments("rl_blog") + QStringList{"--project", project, "-o", "declared", "--diagram", "declared.dot"},
            dir.path());
    QVERIFY2(declared.exitCode == 0, qPrintable(declared.describe()));
    QVERIFY(describeTree(dir.filePath("keyed")).contains("== file code/C++/object/order_lines.cpp"));
    QCOMPARE(describeTree(dir.filePath("declared")), describeTree(dir.filePath("keyed")));
    QCOMPARE(masked(declared.err, dir.filePath("declared")), masked(keyed.err, dir.filePath("keyed")));

    const QString keyedDot = readText(dir.filePath("keyed.dot"));
    QString declaredDot = readText(dir.filePath("declared.dot"));
    // Both ends of each of the 8 keys.
    QCOMPARE(keyedDot.count(" -> "), 16);
    QCOMPARE(declaredDot.count(", style=dashed];"), 16);
    QCOMPARE(declaredDot.remove(", style=dashed"), keyedDot);
}

void TestProject::suggestedRelations_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("rules"); // of a project for the schema, when not empty
    QTest::addColumn<int>("exitCode");
    // "golden:NAME" for standard output, or parts ("|") of standard output
    // and error that must be there, "!" before one that must not.
    QTest::addColumn<QString>("expected");
    const QStringList suggest{QStringLiteral("--suggest-relations")};
    const QString blogProject = qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + "/tests/fixtures/rl_blog.tablesmith.ini";
    QTest::newRow("blog") << serverArguments("rl_blog") + suggest << QString() << 0 << "golden:rl_blog-suggested";
    QTest::newRow("every form, checked") << serverArguments("rl_shop") + suggest + QStringList{"--verify"} << QString() << 0
                                         << "golden:rl_shop-suggested";
    QTest::newRow("the project's keys are not suggested again")
            << serverArguments("rl_blog") + suggest + QStringList{"--project", blogProject} << QString() << 0
            << "# The names and types of schema rl_blog point to no key that is not declared.\n|!Named like keys";
    QTest::newRow("from the chosen tables") << serverArguments("rl_shop") + suggest + QStringList{"--tables=prod*"} << QString()
                                            << 0 << "products.box -> boxes.id|product_tags.tag_id|!orders.|!Suppliers.country ->";
    QTest::newRow("a table without its prefix") << serverArguments("rl_shop") + suggest + QStringList{"--tables=shifts"}
                                                << "[names]\nstrip-prefix = shop_" << 0
                                                << "\nshifts.staff_id -> shop_staff.id\n|!names no table";
    QTest::newRow("a project that does not fit") << serverArguments("rl_blog") + suggest << "posts.author_id -> people.id" << 2
                                                 << ":5: schema \"rl_blog\" has no table \"people\"|!->";
    QTest::newRow("a check the server refuses")
            << serverArguments("rl_shop", "rl_partial", "rl-pw") + suggest + QStringList{"--verify"} << QString() << 1
            << "# NOT CHECKED (SELECT command denied|\nproducts.box -> boxes.id\n|1 of 1 checks failed";
}

// --suggest-relations prints what a project's [relations] section takes:
// with its output as the project, nothing is left to suggest, and on the
// blog every key it suggests is one the blog's project declares.
void TestProject::suggestedRelations()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, rules);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString schema = arguments.at(arguments.indexOf(QStringLiteral("-D")) + 1);
    const auto withProject = [&](const QString &rules) {
        const QString file = dir.filePath(QStringLiteral("p.tablesmith.ini"));
        writeText(file, QStringLiteral("[connection]\nschema = %1\n\n[relations]\n%2\n").arg(schema, rules).toUtf8());
        return arguments + QStringList{QStringLiteral("--project"), file};
    };
    const CliResult result = runWithPassword(rules.isEmpty() ? arguments : withProject(rules));
    QVERIFY2(result.exitCode == exitCode, qPrintable(result.describe()));
    if (expected.startsWith(QLatin1String("golden:"))) {
        const QString difference = goldenDifference(expected.mid(7), result.out);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    } else {
        for (const QString &part : expected.split(QLatin1Char('|'))) {
            const bool absent = part.startsWith(QLatin1Char('!'));
            QVERIFY2((result.out + result.err).contains(absent ? part.mid(1) : part) != absent,
                     qPrintable(part + QLatin1Char('\n') + result.describe()));
        }
    }
    if (exitCode != 0 || !result.out.contains(QLatin1String("\n[relations]\n")))
        return;
    const CliResult again = runWithPassword(withProject(result.out));
    QVERIFY2(again.exitCode == 0 && again.out.startsWith(QStringLiteral("# The names and types of schema %1 point to no key that "
                                                                        "is not declared.\n").arg(schema)),
             qPrintable(again.describe()));
    const QString declared = readText(qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + "/tests/fixtures/" + schema + ".tablesmith.ini");
    if (declared.isEmpty())
        return;
    for (const QString &line : result.out.split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String(" -> ")) && !line.startsWith(QLatin1Char('#')))
            QVERIFY2(declared.contains(QLatin1Char('\n') + line + QLatin1Char('\n')), qPrintable(line));
    }
}

// The projects in samples/ read without a fault and are written back to
// their very text.
void TestProject::samples()
{
    const QDir samples(qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/samples"));
    const QStringList files = samples.entryList({QStringLiteral("*.tablesmith.ini")});
    QVERIFY(!files.isEmpty());
    for (const QString &file : files) {
        const ProjectReading reading = readProject(samples.filePath(file));
        QCOMPARE(reading.problems, QStringList());
        QCOMPARE(QString::fromUtf8(projectText(reading.project, samples.path())), readText(samples.filePath(file)));
    }
}

namespace {

// What the window's settings give, as "host|port|user|schema|output|catalog|keep-unchanged|ssl|ssl-ca".
QString remembered()
{
    const UserSettings settings;
    const UserSettings::Form form = settings.form();
    const TlsOptions tls = settings.tlsOptions();
    return QStringList{form.host, form.port, form.user, form.schema, settings.outputFolder(),
                       catalogReaderName(settings.catalogReader()), settings.keepUnchanged() ? "keep" : "",
                       tls.required ? "ssl" : "", tls.ca}
            .join('|');
}

// The window's settings as they are stored.
struct Stored : QSettings
{
    Stored()
        : QSettings(QStringLiteral("Tablesmith"), QCoreApplication::applicationName())
    {
    }
};

} // namespace

// Each test starts as on a first start, whatever the one before remembered.
void TestProject::init()
{
    Stored().clear();
}

void TestProject::remembered_data()
{
    QTest::addColumn<QStringList>("stored"); // key=value, as QSettings has them
    QTest::addColumn<QString>("expected"); // remembered()
    QTest::newRow("first start") << QStringList() << "localhost|3306|||.|schema|||";
    QTest::newRow("project file's keys")
            << QStringList{"connection/host=db", "connection/port=3307", "connection/user=me", "connection/schema=s",
                           "generate/output=/out", "generate/catalog=per-table", "generate/keep-unchanged=yes",
                           "tls/ssl=yes", "tls/ssl-ca=/ca.pem"}
            << "db|3307|me|s|/out|per-table|keep|ssl|/ca.pem";
    // Stored by the versions before the keys were shared.
    QTest::newRow("former keys") << QStringList{"form/host=db", "form/port=3307", "form/user=me", "form/schema=s",
                                                "output/folder=/out", "catalog/reader=per-table",
                                                "generate/keepUnchanged=true", "tls/ssl=true", "tls/ssl-ca=/ca.pem"}
                                 << "db|3307|me|s|/out|per-table|keep|ssl|/ca.pem";
    QTest::newRow("the new key wins") << QStringList{"form/host=old", "connection/host=new", "catalog/reader=per-table",
                                                     "generate/catalog=schema"}
                                      << "new|3306|||.|schema|||";
    QTest::newRow("as typed") << QStringList{"connection/port=33o6"} << "localhost|33o6|||.|schema|||";
    QTest::newRow("unreadable values, defaults") << QStringList{"generate/catalog=fast", "tls/ssl=maybe"}
                                                 << "localhost|3306|||.|schema|||";
}

// The window reads what it remembered under the project file's keys, and
// under its older keys until it writes the value anew.
void TestProject::remembered()
{
    QFETCH(QStringList, stored);
    QFETCH(QString, expected);
    for (const QString &entry : std::as_const(stored))
        Stored().setValue(entry.section('=', 0, 0), entry.section('=', 1));
    QCOMPARE(::remembered(), expected);

    // Written anew, under the project file's keys only.
    {
        UserSettings settings;
        settings.setForm(settings.form());
        settings.setOutputFolder(settings.outputFolder());
        settings.setCatalogReader(settings.catalogReader());
        settings.setKeepUnchanged(settings.keepUnchanged());
        settings.setTlsOptions(settings.tlsOptions());
    }
    QCOMPARE(::remembered(), expected);
    for (const char *former : {"form", "output", "catalog"})
        QVERIFY2(!Stored().childGroups().contains(former), former);
    QVERIFY(!Stored().contains("generate/keepUnchanged"));
}

// What the window remembers, written to a file, is a project file.
void TestProject::rememberedAsProject()
{
    {
        UserSettings settings;
        settings.setForm({"db.example.org", "shop", "reader", "3307"});
        settings.setOutputFolder("/srv/generated");
        settings.setCatalogReader(CatalogReader::PerTable);
        settings.setKeepUnchanged(true);
        TlsOptions tls;
        tls.ca = "/etc/ssl/ca.pem";
        tls.verifyServerCert = true;
        settings.setTlsOptions(tls);
        settings.setWindowGeometry("geometry");
    }
    QString text;
    Stored settings;
    for (const QString &section : {"connection", "tls", "generate"}) {
        text += '[' + section + "]\n";
        settings.beginGroup(section);
        for (const QString &key : settings.childKeys())
            text += key + " = " + settings.value(key).toString() + '\n';
        settings.endGroup();
    }
    QTemporaryDir dir;
    writeText(dir.filePath("remembered.ini"), text.toUtf8());
    const ProjectReading reading = readProject(dir.filePath("remembered.ini"));
    QCOMPARE(reading.problems, QStringList());
    Project expected;
    expected.connection = {"db.example.org", "shop", "reader", QString(), 3307};
    expected.connection.tls.ca = "/etc/ssl/ca.pem";
    expected.connection.tls.verifyServerCert = true;
    expected.outputDirectory = "/srv/generated";
    expected.catalogReader = CatalogReader::PerTable;
    expected.keepUnchanged = true;
    QCOMPARE(projectText(reading.project, "/"), projectText(expected, "/"));
}

void TestProject::window_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QStringList>("tables"); // ticked, "*" every one
    QTest::newRow("two tables") << "shop_a" << QStringList{"customer", "invoice"};
    // Every table name MySQL allows, commas, blanks at either end, quotes and
    // line breaks too, is saved as a name, never a pattern.
    QTest::newRow("rob_hostile") << "rob_hostile" << QStringList{"*"};
    QTest::newRow("rob_odd") << "rob_odd" << QStringList{"*"};
}

// The window saves its form, switches and ticks as a project; the command line
// runs it to the window's files; a window that opens it fills the form, names
// it in its title and ticks its tables after Connect.
void TestProject::window()
{
    QFETCH(QString, schema);
    QFETCH(QStringList, tables);
    QTemporaryDir dir;
    const QString path = dir.filePath("p.tablesmith.ini");
    QStringList ticked;
    {
        Tablesmith window;
        ticked = connectWindow(window, schema, tables)->checkedTables();
        child<QCheckBox>(window, "chkModel")->setChecked(false);
        child<QCheckBox>(window, "chkApplication")->setChecked(true);
        emit window.findChild<ProjectMenu *>()->saveRequested(path);
        QCOMPARE(logLines(window).constLast(), QStringLiteral("Project saved: ") + path);
        QCOMPARE(window.windowTitle(), QStringLiteral("p.tablesmith.ini - Tablesmith - generated code is overwritten on every run"));
        click(window, "btGenerate");
    }
    QVERIFY(!readText(path).contains(TestServer::settings().password));
    const ProjectReading reading = readProject(path);
    QCOMPARE(reading.problems, QStringList());
    QStringList names;
    for (const QString &entry : reading.project.tables.include) {
        QVERIFY2(!TableSelection::isPattern(entry), qPrintable(entry));
        names.append(TableSelection::literal(entry));
    }
    QCOMPARE(names, ticked);

    const CliResult run = runWithPassword({"--project", path, "-o", dir.path()});
    QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
    QVERIFY(describeTree(windowRoot()).contains("== file code/C++/app/"));
    QCOMPARE(describeTree(dir.path()), describeTree(windowRoot()));

    Tablesmith window;
    emit window.findChild<ProjectMenu *>()->openRequested(path);
    QCOMPARE(child<QLineEdit>(window, "schema")->text(), schema);
    QCOMPARE(child<QLineEdit>(window, "port")->text(), QString::number(TestServer::settings().port));
    QVERIFY(!child<QCheckBox>(window, "chkModel")->isChecked() && child<QCheckBox>(window, "chkApplication")->isChecked());
    QVERIFY(window.windowTitle().startsWith("p.tablesmith.ini - "));
    child<QLineEdit>(window, "password")->setText(TestServer::settings().password);
    click(window, "btConnect");
    QCOMPARE(tableModel(window)->checkedTables(), ticked);

    // A faulty file is not opened: its lines are in the log, the form stays.
    writeText(path, "[connection]\nschema = other\nfrobnicate = 1\n");
    emit window.findChild<ProjectMenu *>()->openRequested(path);
    QCOMPARE(logLines(window).mid(logLines(window).size() - 2),
             (QStringList{path + ":3: unknown key \"frobnicate\" in [connection]", "Project not opened: " + path}));
    QCOMPARE(child<QLineEdit>(window, "schema")->text(), schema);
}

QTEST_MAIN(TestProject)
#include "tst_project.moc"
