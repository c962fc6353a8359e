// Faults around a run: accounts that may not read the schema, an output tree
// that cannot be written (the server going away: tst_serverfaults). Nothing
// may crash or hang; the command line must exit non-zero and say what failed;
// nothing outside the output tree may change.

#include "robustnesssupport.h"

#include <QGroupBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Robustness;

namespace {

const char secretSchema[] = "rob_secret";
const char accountPassword[] = "rob-pw";

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList linesStartingWith(const QStringList &lines, const QString &prefix)
{
    QStringList found;
    for (const QString &line : lines) {
        if (line.startsWith(prefix))
            found.append(line);
    }
    return found;
}

// The command line's closing line about failed catalogue queries must name
// the error.
bool namesTheQueryFailure(const QString &err)
{
    static const QRegularExpression line(QStringLiteral("catalogue queries failed, the last with \"[^\"]+"));
    return line.match(err).hasMatch();
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void accountsOnTheCommandLine_data();
    void accountsOnTheCommandLine();
    void accountsInTheWindow_data();
    void accountsInTheWindow();

    void unwritableOutputOnTheCommandLine_data();
    void unwritableOutputOnTheCommandLine();
    void unwritableOutputInTheWindow_data();
    void unwritableOutputInTheWindow();

private:
    QString windowCode() const { return QCoreApplication::applicationDirPath() + QStringLiteral("/code"); }
};

void TestFaults::initTestCase()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");
    QVERIFY(QFileInfo(qEnvironmentVariable("TABLESMITH_CLI")).isExecutable());
    QCOMPARE(baseTables(QLatin1String(secretSchema)).size(), 2);
}

void TestFaults::cleanup()
{
    if (QFileInfo::exists(windowCode()))
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-R"), QStringLiteral("-i"), windowCode()});
    QFile::remove(windowCode());
    QDir(windowCode()).removeRecursively();
}

// --- Accounts ---------------------------------------------------------------

void TestFaults::accountsOnTheCommandLine_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("stderrHolds");
    QTest::addColumn<bool>("connects");

    for (const char *reader : {"schema", "per-table"}) {
        const QString suffix = QStringLiteral(", %1 reader").arg(QLatin1String(reader));
        QTest::newRow(qPrintable("only USAGE" + suffix))
                << "rob_usage" << reader << "Access denied for user 'rob_usage'" << false;
        QTest::newRow(qPrintable("grants on another schema" + suffix))
                << "rob_other" << reader << "Access denied for user 'rob_other'" << false;
        QTest::newRow(qPrintable("catalogue hides the columns" + suffix))
                << "rob_noread" << reader << "The catalogue lists no columns for table item" << true;
        QTest::newRow(qPrintable("no SELECT on the tables" + suffix))
                << "rob_noselect" << reader << "Cannot read the field types of table item: SELECT command denied"
                << true;
    }
}

void TestFaults::accountsOnTheCommandLine()
{
    QFETCH(QString, user);
    QFETCH(QString, reader);
    QFETCH(QString, stderrHolds);
    QFETCH(bool, connects);

    QTemporaryDir output;
    const CliResult result = runCli(connectionArguments(TestServer::settings().port, user,
                                                        QLatin1String(accountPassword), QLatin1String(secretSchema))
                                    + QStringList{QStringLiteral("-o"), output.path(),
                                                  QStringLiteral("--catalog=") + reader});
    QVERIFY2(!result.crashed && !result.timedOut, qPrintable(result.describe()));
    QVERIFY2(result.exitCode == 1, qPrintable(result.describe()));
    QVERIFY2(result.err.contains(stderrHolds), qPrintable(result.describe()));
    if (connects) {
        // The run goes through, but does not pass as complete.
        QVERIFY2(namesTheQueryFailure(result.err), qPrintable(result.describe()));
        QVERIFY(result.out.contains(QLatin1String("Generating Editor class for table: item_note")));
    } else {
        // Nothing was touched before the connection failed.
        QVERIFY(!QFileInfo::exists(output.path() + QStringLiteral("/code")));
    }
}

void TestFaults::accountsInTheWindow_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("connects");

    QTest::newRow("only USAGE") << "rob_usage" << false;
    QTest::newRow("grants on another schema") << "rob_other" << false;
    QTest::newRow("catalogue hides the columns") << "rob_noread" << true;
    QTest::newRow("no SELECT on the tables") << "rob_noselect" << true;
}

void TestFaults::accountsInTheWindow()
{
    QFETCH(QString, user);
    QFETCH(bool, connects);

    Tablesmith window;
    fillForm(window, TestServer::settings().port, user, QLatin1String(accountPassword), QLatin1String(secretSchema));
    click(window, "btConnect");
    const QStringList afterConnect = logLines(window);
    QCOMPARE(child<QGroupBox>(window, "groupBox")->isEnabled(), connects);
    if (!connects) {
        QVERIFY2(afterConnect.last().contains(QLatin1String("Access denied")), qPrintable(afterConnect.join(QLatin1Char('\n'))));
        return;
    }
    click(window, "btSelectAll");
    click(window, "btGenerate");
    const QStringList log = logLines(window);
    QVERIFY2(log.contains(QStringLiteral("Generating Editor class for table: item_note")), qPrintable(log.join(QLatin1Char('\n'))));
    QVERIFY(QFileInfo(windowCode() + QStringLiteral("/C++/object/item.h")).isFile());
}

// --- The output tree cannot be written ----------------------------------------

namespace {

enum class Obstacle {
    OutputDirectoryImmutable,
    CodeIsAFile,
    OldFileImmutable,
    OldDirectoryImmutable
};

struct ObstacleSetup
{
    std::unique_ptr<Unwritable> guard;
    QString blockedPath;
    QString skipReason;
};

// Puts the obstacle in place below `output`, the directory that receives
// "code". An immutable entry stops root as well, where a chmod would not.
ObstacleSetup placeObstacle(Obstacle obstacle, const QString &output)
{
    ObstacleSetup setup;
    const QString code = output + QStringLiteral("/code");
    switch (obstacle) {
    case Obstacle::OutputDirectoryImmutable:
        setup.blockedPath = output;
        break;
    case Obstacle::CodeIsAFile: {
        QFile file(code);
        file.open(QIODevice::WriteOnly);
        file.write("not a directory\n");
        return setup;
    }
    case Obstacle::OldFileImmutable: {
        QDir().mkpath(code + QStringLiteral("/C++/dao"));
        setup.blockedPath = code + QStringLiteral("/C++/dao/itemdao.h");
        QFile file(setup.blockedPath);
        file.open(QIODevice::WriteOnly);
        file.write("old text\n");
        break;
    }
    case Obstacle::OldDirectoryImmutable:
        setup.blockedPath = code + QStringLiteral("/C++/model");
        QDir().mkpath(setup.blockedPath);
        break;
    }
    setup.guard = std::make_unique<Unwritable>(setup.blockedPath);
    if (setup.guard->technique().isEmpty())
        setup.skipReason = QStringLiteral("cannot make %1 unwritable here").arg(setup.blockedPath);
    return setup;
}

// The failure lines that the obstacle must cause for rob_secret's two
// tables, and the files that must still be written.
void expectedOutcome(Obstacle obstacle, const QString &output, QStringList *failurePrefixes, QStringList *written)
{
    const QString tree = output + QStringLiteral("/code/C++/");
    QStringList files;
    for (const QString &table : {QStringLiteral("item"), QStringLiteral("item_note")})
        files += expectedFiles(table);
    for (const QString &file : std::as_const(files)) {
        const bool blocked = obstacle == Obstacle::OutputDirectoryImmutable || obstacle == Obstacle::CodeIsAFile
                || (obstacle == Obstacle::OldFileImmutable && file == QLatin1String("dao/itemdao.h"))
                || (obstacle == Obstacle::OldDirectoryImmutable && file.startsWith(QLatin1String("model/")));
        if (blocked)
            failurePrefixes->append(QStringLiteral("Cannot write file: %1 (").arg(tree + file));
        else
            written->append(file);
    }
    if (obstacle == Obstacle::OutputDirectoryImmutable || obstacle == Obstacle::CodeIsAFile) {
        for (const char *directory : {"object", "dao", "model", "editors"})
            failurePrefixes->append(QStringLiteral("Cannot create directory: %1").arg(tree + QLatin1String(directory)));
    }
    if (obstacle == Obstacle::OldFileImmutable)
        failurePrefixes->append(QStringLiteral("Cannot remove the old output tree completely: %1").arg(tree + QStringLiteral("dao/itemdao.h")));
    if (obstacle == Obstacle::OldDirectoryImmutable)
        failurePrefixes->append(QStringLiteral("Cannot remove the old output tree completely: %1").arg(tree + QStringLiteral("model")));
}

// Every expected failure has its line, every failure line was expected, and
// the files that could be written were.
QStringList checkObstacleRun(Obstacle obstacle, const QString &output, const QStringList &outputLines)
{
    QStringList prefixes;
    QStringList written;
    expectedOutcome(obstacle, output, &prefixes, &written);
    QStringList problems;
    const QStringList failures = linesStartingWith(outputLines, QStringLiteral("Cannot "));
    for (const QString &prefix : std::as_const(prefixes)) {
        if (linesStartingWith(failures, prefix).size() != 1)
            problems.append(QStringLiteral("not exactly one line: ") + prefix);
    }
    for (const QString &line : failures) {
        if (std::none_of(prefixes.cbegin(), prefixes.cend(), [&](const QString &p) { return line.startsWith(p); }))
            problems.append(QStringLiteral("unexpected: ") + line);
    }
    for (const QString &file : std::as_const(written)) {
        if (!readText(output + QStringLiteral("/code/C++/") + file).contains(QLatin1String("Generated by Tablesmith")))
            problems.append(QStringLiteral("not written: ") + file);
    }
    // The run went on through every table.
    for (const QString &table : {QStringLiteral("item"), QStringLiteral("item_note")}) {
        if (!outputLines.contains(QStringLiteral("Generating Editor class for table: ") + table))
            problems.append(QStringLiteral("the run stopped before the editor of ") + table);
    }
    return problems;
}

void addObstacleRows()
{
    QTest::addColumn<int>("obstacle");
    QTest::newRow("output directory immutable") << int(Obstacle::OutputDirectoryImmutable);
    QTest::newRow("code is a plain file") << int(Obstacle::CodeIsAFile);
    QTest::newRow("a file of the old tree immutable") << int(Obstacle::OldFileImmutable);
    QTest::newRow("a directory of the old tree immutable") << int(Obstacle::OldDirectoryImmutable);
}

} // namespace

void TestFaults::unwritableOutputOnTheCommandLine_data()
{
    addObstacleRows();
}

void TestFaults::unwritableOutputOnTheCommandLine()
{
    QFETCH(int, obstacle);
    const auto kind = Obstacle(obstacle);

    QTemporaryDir base;
    const QString output = base.path() + QStringLiteral("/out");
    QDir().mkpath(output);
    QFile sentinel(base.path() + QStringLiteral("/sentinel"));
    QVERIFY(sentinel.open(QIODevice::WriteOnly));
    sentinel.close();

    ObstacleSetup setup = placeObstacle(kind, output);
    if (!setup.skipReason.isEmpty())
        QSKIP(qPrintable(setup.skipReason));
    const auto before = snapshot(base.path(), {QStringLiteral("out/code")});
    const QString codeFileBefore = readText(output + QStringLiteral("/code"));

    const CliResult result = runCli(sharedServerArguments(QLatin1String(secretSchema))
                                    + QStringList{QStringLiteral("-o"), output});
    const QString blockedText = kind == Obstacle::OldFileImmutable ? readText(setup.blockedPath) : QString();
    if (setup.guard)
        setup.guard->release();

    QVERIFY2(!result.crashed && !result.timedOut, qPrintable(result.describe()));
    QVERIFY2(result.exitCode == 1, qPrintable(result.describe()));
    QVERIFY2(result.err.contains(QLatin1String("could not be written below ") + output), qPrintable(result.describe()));
    const QStringList problems = checkObstacleRun(kind, output, lines(result.out) + lines(result.err));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n')) + QLatin1Char('\n') + result.describe()));

    if (kind == Obstacle::OldFileImmutable)
        QCOMPARE(blockedText, QStringLiteral("old text\n"));
    if (kind == Obstacle::CodeIsAFile)
        QCOMPARE(readText(output + QStringLiteral("/code")), codeFileBefore);
    const QStringList changes = differences(before, snapshot(base.path(), {QStringLiteral("out/code")}));
    QVERIFY2(changes.isEmpty(), qPrintable(changes.join(QLatin1Char('\n'))));
}

void TestFaults::unwritableOutputInTheWindow_data()
{
    addObstacleRows();
}

void TestFaults::unwritableOutputInTheWindow()
{
    QFETCH(int, obstacle);
    const auto kind = Obstacle(obstacle);
    if (kind == Obstacle::OutputDirectoryImmutable)
        QSKIP("the window's output directory is the directory of the test itself");

    const QString applicationDir = QCoreApplication::applicationDirPath();
    ObstacleSetup setup = placeObstacle(kind, applicationDir);
    if (!setup.skipReason.isEmpty())
        QSKIP(qPrintable(setup.skipReason));
    const auto before = snapshot(applicationDir, {QStringLiteral("code")});

    Tablesmith window;
    const TestServer::Settings &s = TestServer::settings();
    fillForm(window, s.port, s.user, s.password, QLatin1String(secretSchema));
    click(window, "btConnect");
    click(window, "btSelectAll");
    click(window, "btGenerate");
    if (setup.guard)
        setup.guard->release();

    const QStringList problems = checkObstacleRun(kind, applicationDir, logLines(window));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    const QStringList changes = differences(before, snapshot(applicationDir, {QStringLiteral("code")}));
    QVERIFY2(changes.isEmpty(), qPrintable(changes.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
