// The code tablesmith-cli writes works: every file compiles, with its moc
// output, against Tablesmith's runtime library as the build tree exports it
// (tests/compile builds it with CMake, one project for the trees of all
// rows); every SQL statement in it prepares on the server except those the
// convention report names; and a program built on the generated classes of
// the real-world and the sequences' schemas reads and writes rows, the ids of
// new rows taken from sequences; on the schemas of a project's rules the
// chosen types keep every value, and each key's getter loads its own row.

#include "support.h"

#include "connection/mysqlconnection.h"
#include "codemodel/identifiers.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <sys/resource.h>

class TestGeneratedCompile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void generatedCodeWorks_data();
    void generatedCodeWorks();
    void roundtrip_data();
    void roundtrip();
    void reservedWordsAreTheServers();

private:
    // Each row's tree in trees/SCHEMA, the project's build folder in build.
    // Inside the build tree, so that one compiler cache base folder covers
    // it and the sources.
    QTemporaryDir m_dir{qEnvironmentVariable("TABLESMITH_BINARY_DIR") + QStringLiteral("/tests/generated-XXXXXX")};
};

namespace {

// Compiled file by file without a precompiled header, which proves that each
// file compiles with its own includes alone; the other trees compile a
// folder at a time (tests/compile).
const QString perFileTree = QStringLiteral("gen_compile");

int cmake(const QStringList &arguments)
{
    // CMake's output goes to the test's log.
    return QProcess::execute(QStringLiteral(TABLESMITH_CMAKE), arguments);
}

// The statements of the DAO and editor sources that the server refuses, as
// "file verb": the DAO's prepared, the editor's model query run as the
// model runs it; getByMatch's column is filled with a number.
QStringList unpreparedStatements(const QString &code)
{
    // The address space capped at its size now and 1 GiB more: a statement
    // for which the driver would reserve gigabytes fails the test instead of
    // exhausting the machine.
    rlimit old{};
    getrlimit(RLIMIT_AS, &old);
    rlimit capped = old;
    const QString status = readText(QStringLiteral("/proc/self/status"));
    const rlim_t used = QRegularExpression(QStringLiteral("VmSize:\\s*(\\d+) kB")).match(status).captured(1).toULongLong() * 1024;
    capped.rlim_cur = std::min<rlim_t>(old.rlim_cur, used + (rlim_t(1) << 30));
    setrlimit(RLIMIT_AS, &capped);
    const auto restore = qScopeGuard([old] { setrlimit(RLIMIT_AS, &old); });
    static const QRegularExpression statement(QStringLiteral(R"(query\.prepare\("|QString sqlQuery = |setQuery\(")"));
    static const QRegularExpression literal(QStringLiteral(R"re("((?:[^"\\]|\\.)*)")re"));
    static const QRegularExpression escape(QStringLiteral(R"(\\(.))"));
    static const QRegularExpression byMatch(QStringLiteral(" where %1 = :value $"));
    QStringList refused;
    QDirIterator files(code, {QStringLiteral("*dao.cpp"), QStringLiteral("*editor.cpp")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QStringList lines = readText(path).split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (!statement.match(lines.at(i)).hasMatch())
                continue;
            // The insert statement goes on over two lines.
            const QString text = lines.at(i).endsWith(QLatin1String("\" ")) ? lines.at(i) + lines.value(i + 1) : lines.at(i);
            QString sql;
            for (const QRegularExpressionMatch &match : literal.globalMatch(text))
                sql += match.captured(1).replace(escape, QStringLiteral("\\1"));
            sql.replace(byMatch, QStringLiteral(" where 1 = :value "));
            QSqlQuery query(QSqlDatabase::database(schemaConnectionName()));
            if (!(text.contains(QLatin1String("setQuery(\"")) ? query.exec(sql) : query.prepare(sql)))
                refused.append(QFileInfo(path).fileName() + QLatin1Char(' ') + sql.section(QLatin1Char(' '), 0, 0));
        }
    }
    refused.sort();
    return refused;
}

// The longest folder holding both paths.
QString commonFolder(const QString &a, const QString &b)
{
    QString folder = QDir::cleanPath(a);
    while (folder.size() > 1 && !(QDir::cleanPath(b) + QLatin1Char('/')).startsWith(folder + QLatin1Char('/')))
        folder = QFileInfo(folder).path();
    return folder;
}

// Writes the schema's tree into `tree`, its banner dates made the same in
// every run: the compiler cache then knows a file by its text alone, without
// preprocessing it.
bool generate(const QString &schema, const QString &tree)
{
    // With the project's rules of tests/fixtures/SCHEMA.tablesmith.ini, where
    // there is one.
    const QString project = qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + "/tests/fixtures/" + schema + ".tablesmith.ini";
    const QStringList rules = QFileInfo::exists(project) ? QStringList{"--project", project} : QStringList();
    const CliResult result = runCli(serverArguments(schema) + rules + QStringList{"-o", tree});
    if (result.exitCode != 0) {
        qWarning("%s", qPrintable(result.describe()));
        return false;
    }
    for (QDirIterator it(tree + QStringLiteral("/code/C++"), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        writeText(path, readText(path).replace(QRegularExpression(QStringLiteral("(Generated by Tablesmith on )[^\n]*")),
                                               QStringLiteral("\\1DD/MM/YYYY")).toUtf8());
    }
    return true;
}

} // namespace

void TestGeneratedCompile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("trees"))));
    QStringList configure{QStringLiteral("-S"), qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/tests/compile"),
                          QStringLiteral("-B"), m_dir.filePath(QStringLiteral("build")),
                          QStringLiteral("-DCMAKE_CXX_COMPILER=" TABLESMITH_CXX_COMPILER),
                          QStringLiteral("-DGENERATED_ROOT=") + m_dir.filePath(QStringLiteral("trees")),
                          QStringLiteral("-DCMAKE_PREFIX_PATH=") + qEnvironmentVariable("TABLESMITH_BINARY_DIR"),
                          QStringLiteral("-DPER_FILE_TREES=") + perFileTree};
    // Each run compiles in a new folder: with paths taken relative to a base
    // folder above both the sources and this folder, a compiler cache finds
    // what an earlier run compiled.
    const QString ccache = QStandardPaths::findExecutable(QStringLiteral("ccache"));
    if (!ccache.isEmpty()) {
        configure.append(QStringLiteral("-DCMAKE_CXX_COMPILER_LAUNCHER=") + ccache);
        qputenv("CCACHE_BASEDIR", commonFolder(qEnvironmentVariable("TABLESMITH_SOURCE_DIR"), m_dir.path()).toLocal8Bit());
        qputenv("CCACHE_SLOPPINESS", "pch_defines,time_macros,include_file_mtime,include_file_ctime");
    }
    QCOMPARE(cmake(configure), 0);
    QVERIFY2(cmake({QStringLiteral("--build"), m_dir.filePath(QStringLiteral("build")), QStringLiteral("--target"),
                    QStringLiteral("broken")}) != 0,
             "a file that calls what the runtime does not have compiled");
}

void TestGeneratedCompile::generatedCodeWorks_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<int>("tables");
    QTest::addColumn<QStringList>("refused");
    QTest::newRow("conventional") << "gen_compile" << 5 << QStringList();
    // Every column type the server has, as members, setters and bindings.
    QTest::newRow("every column type") << "ty_types" << 8 << QStringList();
    // The by-id selects of the tables without a single-column key and the
    // update of the table without any, as the report says.
    QTest::newRow("real-world") << "rw_rental" << 23
                                << QStringList{"audit_logdao.cpp select", "audit_logdao.cpp update",
                                               "film_actordao.cpp select", "salariesdao.cpp select"};
    // Reserved words of both servers, names that meet in case or cannot be
    // file names, a key into another schema.
    QTest::newRow("names") << "nm_names" << 15 << QStringList();
    // With the project's rules of tests/fixtures/SCHEMA.tablesmith.ini:
    // chosen class and member names and left-out columns, a getter per key,
    // chosen types.
    QTest::newRow("chosen names") << "rl_prefixed" << 5 << QStringList();
    QTest::newRow("a getter per key") << "rl_keys" << 5 << QStringList();
    QTest::newRow("chosen types") << "rl_types" << 1 << QStringList();
    // Ids from a sequence, from the emulation's table, and from a missing
    // sequence; the emulation's table itself has no key, as the report says.
    QTest::newRow("sequences") << "rt_sequences" << 4 << QStringList{"seq_memodao.cpp select", "seq_memodao.cpp update"};
}

void TestGeneratedCompile::generatedCodeWorks()
{
    QFETCH(QString, schema);
    QFETCH(int, tables);
    QFETCH(QStringList, refused);
    const QString tree = m_dir.filePath(QStringLiteral("trees/") + schema);
    const QString code = tree + QStringLiteral("/code/C++");
    QVERIFY(generate(schema, tree));

    // The new tree joins the project configured at the start.
    const QString build = m_dir.filePath(QStringLiteral("build"));
    const QString target = QStringLiteral("generated_") + schema;
    QCOMPARE(cmake({build}), 0);
    QCOMPARE(cmake({QStringLiteral("--build"), build, QStringLiteral("--target"), target, QStringLiteral("-j2")}), 0);
    // Every generated source went in: 4 sources a table, and the moc output;
    // or, a folder at a time, the 4 folders' sources, and the moc outputs.
    const QString objectDir = build + QStringLiteral("/CMakeFiles/") + target + QStringLiteral(".dir");
    QStringList objects;
    for (QDirIterator it(objectDir, {QStringLiteral("*.o")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        objects.append(it.next());
    if (schema == perFileTree) {
        QCOMPARE(objects.size(), 4 * tables + 1);
    } else {
        QCOMPARE(objects.size(), 4 + 1);
        QStringList included;
        static const QRegularExpression include(QStringLiteral("^#include \"([^\"]+)\"$"), QRegularExpression::MultilineOption);
        const QDir unity(build + QStringLiteral("/unity/") + schema);
        for (const QString &file : unity.entryList({QStringLiteral("*.cpp")}, QDir::Files)) {
            for (const QRegularExpressionMatch &match : include.globalMatch(readText(unity.filePath(file))))
                included.append(QDir::cleanPath(unity.filePath(match.captured(1))));
        }
        QStringList sources;
        for (QDirIterator it(code, {QStringLiteral("*.cpp")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            sources.append(QDir::cleanPath(it.next()));
        included.sort();
        sources.sort();
        QCOMPARE(sources.size(), 4 * tables);
        QCOMPARE(included, sources);
        // And every header went through moc.
        QCOMPARE(QDir(build + QStringLiteral("/moc/") + schema).entryList({QStringLiteral("moc_*.cpp")}, QDir::Files).size(),
                 4 * tables);
    }

    QVERIFY(TestServer::openConnections(schema));
    QCOMPARE(unpreparedStatements(code), refused);
    TestServer::closeConnections();
}

void TestGeneratedCompile::roundtrip_data()
{
    // The schema the program starts on; it says what it does there.
    QTest::addColumn<QString>("schema");
    QTest::newRow("real-world and sequences") << "rw_rental";
    QTest::newRow("chosen types") << "rl_types";
    QTest::newRow("a getter per key") << "rl_keys";
}

void TestGeneratedCompile::roundtrip()
{
    QFETCH(QString, schema);
    // The trees of the rows above, or made now for a run of this one alone.
    for (const QString schema : {"rw_rental", "rt_sequences", "rl_types", "rl_keys"}) {
        if (!QFileInfo::exists(m_dir.filePath(QStringLiteral("trees/") + schema)))
            QVERIFY(generate(schema, m_dir.filePath(QStringLiteral("trees/") + schema)));
    }
    const QString build = m_dir.filePath(QStringLiteral("build"));
    QCOMPARE(cmake({build}), 0);
    QCOMPARE(cmake({QStringLiteral("--build"), build, QStringLiteral("--target"), QStringLiteral("roundtrip"), QStringLiteral("-j2")}), 0);
    // As an application is started: the mysql client's options, the
    // password from MYSQL_PWD. It says what failed in the test's log.
    const TestServer::Settings &server = TestServer::settings();
    QProcess roundtrip;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MYSQL_PWD"), server.password);
    environment.remove(QStringLiteral("TABLESMITH_RUNTIME_SEQUENCES"));
    roundtrip.setProcessEnvironment(environment);
    roundtrip.setProcessChannelMode(QProcess::ForwardedChannels);
    roundtrip.start(build + QStringLiteral("/roundtrip"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-P"),
                                                          QString::number(server.port), QStringLiteral("-u"), server.user,
                                                          QStringLiteral("-D"), schema});
    QVERIFY(roundtrip.waitForFinished(120000));
    QCOMPARE(roundtrip.exitStatus(), QProcess::NormalExit);
    QCOMPARE(roundtrip.exitCode(), 0);
}

void TestGeneratedCompile::reservedWordsAreTheServers()
{
    // The listed words are exactly the keywords of the server it refuses as
    // bare column names.
    QVERIFY(TestServer::openConnections(QStringLiteral("rw_rental")));
    QSqlQuery keywords(QSqlDatabase::database(schemaConnectionName()));
    QVERIFY(keywords.exec(QStringLiteral("select lower(word) from information_schema.keywords where word regexp "
                                         "'^[A-Za-z_][A-Za-z0-9_]*$'")));
    QStringList refused;
    while (keywords.next()) {
        QSqlQuery create(QSqlDatabase::database(schemaConnectionName()));
        if (create.exec(QStringLiteral("create temporary table bare (%1 int)").arg(keywords.value(0).toString())))
            create.exec(QStringLiteral("drop temporary table bare"));
        else
            refused.append(keywords.value(0).toString());
    }
    refused.sort();
    QCOMPARE(refused, identifiers::sqlReservedWords());

    // MySQL's further words are a set of their own, and every word of both
    // lists, quoted as the generated SQL quotes it, names a table and a
    // column here.
    QStringList words = identifiers::sqlReservedWords();
    for (const QString &word : identifiers::mysqlReservedWords()) {
        QVERIFY2(!words.contains(word), qPrintable(word));
        words.append(word);
    }
    QSqlQuery sql(QSqlDatabase::database(schemaConnectionName()));
    for (const QString &word : std::as_const(words)) {
        const QString name = identifiers::sqlName(word);
        QVERIFY2(name == QLatin1Char('`') + word + QLatin1Char('`'), qPrintable(name));
        QVERIFY2(sql.exec(QStringLiteral("create temporary table %1 (%1 int)").arg(name)), qPrintable(sql.lastError().text()));
        QVERIFY2(sql.prepare(QStringLiteral("select %1 from %1 where %1 = :value").arg(name)), qPrintable(word));
        QVERIFY(sql.exec(QStringLiteral("drop temporary table %1").arg(name)));
    }
    TestServer::closeConnections();
}

QTEST_GUILESS_MAIN(TestGeneratedCompile)
#include "tst_generatedcompile.moc"
