// Table and column names that a schema may hold but a file system or a C++
// source may not like: the run completes, every file is written under its
// name or its failure is logged, and nothing is written outside the output
// tree. Schemas: tests/fixtures/40_hostile.sql.

#include "robustnesssupport.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Robustness;

namespace {

const QStringList kinds = {QStringLiteral("DAO"), QStringLiteral("Object"), QStringLiteral("Model"),
                           QStringLiteral("Editor")};

bool holdsSeparator(const QString &fileName)
{
    return fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\'));
}

QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// Checks one finished run over `tables` whose tree lies below `root`:
// progress lines in `progress`, failure lines in `failures`. Returns the
// problems found, empty when the run did what it should.
QStringList checkRun(const QStringList &tables, const QString &root, const QStringList &progress,
                     const QStringList &failures)
{
    QStringList problems;
    const QString codeDirectory = root + QStringLiteral("/code/C++/");
    QSet<QString> expectedFailures;
    int expectedFileCount = 0;

    for (const QString &table : tables) {
        for (const QString &kind : kinds) {
            const QString line = QStringLiteral("Generating %1 class for table: %2").arg(kind, table);
            if (progress.count(line) != 1)
                problems.append(QStringLiteral("%1 times: %2").arg(progress.count(line)).arg(line));
        }
        for (const QString &relative : expectedFiles(table)) {
            const QString fileName = relative.section(QLatin1Char('/'), 1);
            const QString path = codeDirectory + relative;
            if (holdsSeparator(fileName)) {
                const QString prefix = QStringLiteral("Cannot write file: %1 (").arg(path);
                expectedFailures.insert(prefix);
                const bool logged = std::any_of(failures.cbegin(), failures.cend(),
                                                [&](const QString &l) { return l.startsWith(prefix); });
                if (!logged)
                    problems.append(QStringLiteral("no failure line for ") + path);
                if (QFileInfo::exists(QDir::cleanPath(path)))
                    problems.append(QStringLiteral("written outside its directory: ") + QDir::cleanPath(path));
                continue;
            }
            ++expectedFileCount;
            if (!QFileInfo(path).isFile()) {
                problems.append(QStringLiteral("missing: ") + path);
                continue;
            }
            // The class name goes into the text verbatim: a "%1" in it must
            // not have been filled by a later place marker.
            if (!readText(path).contains(classNameOf(table)))
                problems.append(QStringLiteral("%1 does not name class %2").arg(path, classNameOf(table)));
        }
    }

    for (const QString &line : failures) {
        const bool expected = std::any_of(expectedFailures.cbegin(), expectedFailures.cend(),
                                          [&](const QString &p) { return line.startsWith(p); });
        if (!expected)
            problems.append(QStringLiteral("unexpected failure line: ") + line);
    }

    int fileCount = 0;
    QDirIterator it(root + QStringLiteral("/code"), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++fileCount;
    }
    if (fileCount != expectedFileCount)
        problems.append(QStringLiteral("%1 files in the tree, expected %2").arg(fileCount).arg(expectedFileCount));

    for (const QString &path : strayEntries(root))
        problems.append(QStringLiteral("not part of the output tree: ") + path);
    return problems;
}

QStringList failureLines(const QStringList &lines)
{
    QStringList failures;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("Cannot ")))
            failures.append(line);
    }
    return failures;
}

// A fresh sandbox: root/a/b/c/d/e/f/g/h/out receives the tree, root/a/b/c is
// the working directory; a sentinel file sits on each level, so that a file
// led out of the tree by "../" lands where the snapshot sees it.
struct Sandbox
{
    QTemporaryDir base;
    QString output;
    QString workingDirectory;

    Sandbox()
    {
        output = base.path() + QStringLiteral("/a/b/c/d/e/f/g/h/out");
        workingDirectory = base.path() + QStringLiteral("/a/b/c");
        QDir().mkpath(output);
        QString level = base.path();
        for (const QString &part : QStringLiteral("a/b/c/d/e/f/g/h/out").split(QLatin1Char('/'))) {
            QFile sentinel(level + QStringLiteral("/sentinel"));
            sentinel.open(QIODevice::WriteOnly);
            sentinel.write("keep\n");
            level += QLatin1Char('/') + part;
        }
        QFile sentinel(output + QStringLiteral("/sentinel"));
        sentinel.open(QIODevice::WriteOnly);
    }

    QMap<QString, QString> outsideSnapshot() const
    {
        return snapshot(base.path(), {QStringLiteral("a/b/c/d/e/f/g/h/out/code")});
    }
};

} // namespace

class TestHostileNames : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void commandLine_data();
    void commandLine();
    void window_data();
    void window();
    void fieldTypesOfHostileNames_data();
    void fieldTypesOfHostileNames();
    void controlCharactersAndCommas();
    void namesDifferingInCaseDoNotOverwrite();
    void namesDifferingInCaseInTheWindow();

private:
    QString windowCode() const { return QCoreApplication::applicationDirPath() + QStringLiteral("/code"); }
};

void TestHostileNames::initTestCase()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");
    QVERIFY(QFileInfo(qEnvironmentVariable("TABLESMITH_CLI")).isExecutable());
    QVERIFY2(baseTables(QStringLiteral("rob_hostile")).size() >= 29, "fixture 40_hostile.sql not loaded");
}

void TestHostileNames::cleanup()
{
    QDir(windowCode()).removeRecursively();
    // Never leave the literal target of the escaping table name behind.
    QFile::remove(QStringLiteral("/tmp/rob_escape.h"));
}

void TestHostileNames::commandLine_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("reader");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("hostile names, schema-wide reader") << "rob_hostile" << "schema" << 1;
    QTest::newRow("hostile names, per-table reader") << "rob_hostile" << "per-table" << 1;
    QTest::newRow("no tables, schema-wide reader") << "rob_empty" << "schema" << 0;
    QTest::newRow("no tables, per-table reader") << "rob_empty" << "per-table" << 0;
}

void TestHostileNames::commandLine()
{
    QFETCH(QString, schema);
    QFETCH(QString, reader);
    QFETCH(int, exitCode);

    Sandbox sandbox;
    QVERIFY(sandbox.base.isValid());
    const QSet<QString> tmpBefore = listing(QDir::tempPath());
    const auto before = sandbox.outsideSnapshot();

    const CliResult result = runCli(sharedServerArguments(schema)
                                            + QStringList{QStringLiteral("-o"), sandbox.output,
                                                          QStringLiteral("--catalog=") + reader},
                                    sandbox.workingDirectory);
    QVERIFY2(!result.crashed && !result.timedOut, qPrintable(result.describe()));
    QVERIFY2(result.exitCode == exitCode, qPrintable(result.describe()));

    const QStringList tables = baseTables(schema);
    const QStringList problems = checkRun(tables, sandbox.output, lines(result.out), failureLines(lines(result.err)));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    if (exitCode != 0)
        QVERIFY2(result.err.contains(QLatin1String("could not be written below")), qPrintable(result.err));
    else
        QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
    QVERIFY2(!result.err.contains(QLatin1String("catalogue queries failed")), qPrintable(result.err));

    // The four directories exist even when there is nothing to put in them.
    for (const char *directory : {"object", "dao", "model", "editors"})
        QVERIFY(QFileInfo(sandbox.output + QStringLiteral("/code/C++/") + QLatin1String(directory)).isDir());

    const QStringList changes = differences(before, sandbox.outsideSnapshot());
    QVERIFY2(changes.isEmpty(), qPrintable(changes.join(QLatin1Char('\n'))));
    const QSet<QString> tmpNew = listing(QDir::tempPath()) - tmpBefore;
    for (const QString &name : tmpNew)
        QVERIFY2(!name.contains(QLatin1String("rob_escape")), qPrintable(name));
}

void TestHostileNames::window_data()
{
    QTest::addColumn<QString>("schema");
    QTest::newRow("hostile names") << "rob_hostile";
    QTest::newRow("no tables") << "rob_empty";
}

void TestHostileNames::window()
{
    QFETCH(QString, schema);

    // The window writes beside the executable: watch that directory (minus
    // the tree), its parent and grandparent.
    const QString applicationDir = QCoreApplication::applicationDirPath();
    const QString parent = QFileInfo(applicationDir).absolutePath();
    const QString grandparent = QFileInfo(parent).absolutePath();
    const auto before = snapshot(applicationDir, {QStringLiteral("code")});
    const QSet<QString> parentBefore = listing(parent);
    const QSet<QString> grandparentBefore = listing(grandparent);

    Tablesmith window;
    const TestServer::Settings &s = TestServer::settings();
    fillForm(window, s.port, s.user, s.password, schema);
    click(window, "btConnect");
    QVERIFY2(logLines(window).contains(QStringLiteral("Connected to: 127.0.0.1")),
             qPrintable(logLines(window).join(QLatin1Char('\n'))));
    click(window, "btSelectAll");
    click(window, "btGenerate");

    const QStringList log = logLines(window);
    const QStringList problems = checkRun(baseTables(schema), applicationDir, log, failureLines(log));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));

    QStringList changes = differences(before, snapshot(applicationDir, {QStringLiteral("code")}));
    for (const QString &name : listing(parent) - parentBefore)
        changes.append(QStringLiteral("new beside the application directory: ") + name);
    for (const QString &name : listing(grandparent) - grandparentBefore)
        changes.append(QStringLiteral("new two levels up: ") + name);
    QVERIFY2(changes.isEmpty(), qPrintable(changes.join(QLatin1Char('\n'))));
}

void TestHostileNames::fieldTypesOfHostileNames_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("members");

    // The field types come from the live table: a name the driver cannot
    // look up would leave every column a QString.
    QTest::newRow("dots") << "dot.ted" << QStringList{"qlonglong m_qty;", "double m_price;"};
    QTest::newRow("backtick") << "back`tick" << QStringList{"qlonglong m_col`tick;"};
    QTest::newRow("blank") << "with blank" << QStringList{"qlonglong m_col with blank;"};
    QTest::newRow("place markers") << "a%1b" << QStringList{"qlonglong m_%1;", "QString m_%2x;"};
    QTest::newRow("non-ASCII") << "größe" << QStringList{"double m_maß;", "QString m_straße;"};
    QTest::newRow("reserved words") << "class" << QStringList{"qlonglong m_delete;", "QString m_new;"};
    // The driver takes a name in backticks for a quoted one and would read
    // the fields of table class instead.
    QTest::newRow("backticks around the name") << "`class`" << QStringList{"QString m_delete;", "QDateTime m_this;"};
    QTest::newRow("64 ASCII letters") << QString(64, QLatin1Char('t'))
                                      << QStringList{QStringLiteral("qlonglong m_") + QString(64, QLatin1Char('c')) + QLatin1Char(';')};
    QTest::newRow("64 non-ASCII letters") << QString(64, QChar(0xFC))
                                          << QStringList{QStringLiteral("qlonglong m_") + QString(64, QChar(0xF6)) + QLatin1Char(';')};
    QTest::newRow("200 columns") << "wide"
                                 << QStringList{"QString m_c001;", "double m_c002;", "QDateTime m_c003;",
                                                "QString m_c004;", "double m_c005;", "qlonglong m_c006;",
                                                "qlonglong m_c010;", "QString m_c199;"};
}

void TestHostileNames::fieldTypesOfHostileNames()
{
    QFETCH(QString, table);
    QFETCH(QStringList, members);

    QTemporaryDir output;
    const CliResult result = runCli(sharedServerArguments(QStringLiteral("rob_hostile"))
                                    + QStringList{QStringLiteral("-o"), output.path(), QStringLiteral("--tables"), table});
    QVERIFY2(result.exitCode == 0, qPrintable(result.describe()));
    const QString header = readText(output.path() + QStringLiteral("/code/C++/") + expectedFiles(table).at(2));
    QVERIFY(!header.isEmpty());
    for (const QString &member : members)
        QVERIFY2(header.contains(QLatin1Char('\t') + member), qPrintable(member + QStringLiteral(" in\n") + header));
}

void TestHostileNames::controlCharactersAndCommas()
{
    // A line break splits the log line, but the files are written under the
    // names as they are.
    QTemporaryDir output;
    const CliResult result = runCli(sharedServerArguments(QStringLiteral("rob_odd"))
                                    + QStringList{QStringLiteral("-o"), output.path()});
    QVERIFY2(result.exitCode == 0, qPrintable(result.describe()));
    const QStringList tables = baseTables(QStringLiteral("rob_odd"));
    QCOMPARE(tables.size(), 2);
    for (const QString &table : tables) {
        for (const QString &relative : expectedFiles(table))
            QVERIFY2(readText(output.path() + QStringLiteral("/code/C++/") + relative).contains(classNameOf(table)),
                     qPrintable(relative));
    }
    const QString header = readText(output.path() + QStringLiteral("/code/C++/object/new\nline.h"));
    QVERIFY2(header.contains(QLatin1String("qlonglong m_tab\there;")), qPrintable(header));
    const QStringList stray = strayEntries(output.path());
    QVERIFY2(stray.isEmpty(), qPrintable(stray.join(QLatin1Char('\n'))));
}

void TestHostileNames::namesDifferingInCaseDoNotOverwrite()
{
    // "Order" and "order" make the same class and file names. One table's
    // files are kept whole, the other's are refused with a line each.
    QTemporaryDir output;
    const CliResult result = runCli(sharedServerArguments(QStringLiteral("rob_case"))
                                    + QStringList{QStringLiteral("-o"), output.path()});
    QCOMPARE(result.exitCode, 1);
    const QStringList failures = failureLines(lines(result.err));
    QCOMPARE(failures.size(), 8);
    for (const QString &line : failures)
        QVERIFY2(line.endsWith(QLatin1String("(another table's file of the same name was written in this run)")),
                 qPrintable(line));
    QVERIFY(result.err.contains(QLatin1String("8 files or directories could not be written")));

    // Every kept file comes from one and the same table.
    const bool upper = readText(output.path() + QStringLiteral("/code/C++/object/order.h")).contains(QLatin1String("upper_only"));
    const QString kept = upper ? QStringLiteral("upper_only") : QStringLiteral("lower_only");
    const QString refused = upper ? QStringLiteral("lower_only") : QStringLiteral("upper_only");
    for (const QString &relative : expectedFiles(QStringLiteral("order"))) {
        const QString text = readText(output.path() + QStringLiteral("/code/C++/") + relative);
        QVERIFY2(!text.isEmpty(), qPrintable(relative));
        QVERIFY2(!text.contains(refused), qPrintable(relative));
        if (relative.startsWith(QLatin1String("object/")))
            QVERIFY2(text.contains(kept), qPrintable(relative));
    }
}

void TestHostileNames::namesDifferingInCaseInTheWindow()
{
    Tablesmith window;
    const TestServer::Settings &s = TestServer::settings();
    fillForm(window, s.port, s.user, s.password, QStringLiteral("rob_case"));
    click(window, "btConnect");
    click(window, "btSelectAll");
    click(window, "btGenerate");
    const QStringList failures = failureLines(logLines(window));
    QCOMPARE(failures.size(), 8);
    for (const QString &line : failures)
        QVERIFY2(line.contains(QLatin1String("another table's file of the same name")), qPrintable(line));
}

QTEST_MAIN(TestHostileNames)
#include "tst_hostilenames.moc"
