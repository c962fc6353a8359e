// Faults around a run: accounts that may not read the schema, a server that
// stops or dies while the tool works, an output tree that cannot be written.
// Nothing may crash or hang; the command line must exit non-zero and say what
// failed; nothing outside the output tree may change.

#include "robustnesssupport.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/types.h>

using namespace Robustness;

namespace {

const char secretSchema[] = "rob_secret";
const char accountPassword[] = "rob-pw";
const int bigSchemaTables = 150;

// A MariaDB server of the test's own, so that it can be stopped and killed
// without disturbing the shared one (scripts/test-server).
class PrivateServer
{
public:
    ~PrivateServer() { stop(); }

    bool start(const QStringList &sqlFiles)
    {
        m_directory = m_base.path() + QStringLiteral("/server");
        const int status = QProcess::execute(script(), QStringList{QStringLiteral("start"), m_directory} + sqlFiles);
        if (status != 0)
            return false;
        QFile env(m_directory + QStringLiteral("/env"));
        if (!env.open(QIODevice::ReadOnly | QIODevice::Text))
            return false;
        for (const QString &line : QString::fromUtf8(env.readAll()).split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("TEST_PORT=")))
                m_port = line.mid(10).toInt();
        }
        QFile pidFile(m_directory + QStringLiteral("/mariadbd.pid"));
        if (pidFile.open(QIODevice::ReadOnly))
            m_pid = pidFile.readAll().trimmed().toLongLong();
        return m_port > 0 && m_pid > 0;
    }

    void stop()
    {
        if (!m_directory.isEmpty())
            QProcess::execute(script(), {QStringLiteral("stop"), m_directory});
        m_directory.clear();
    }

    // Sends `signal` to the server and waits until it is gone.
    bool kill(int signal)
    {
        if (m_pid <= 0 || ::kill(pid_t(m_pid), signal) != 0)
            return false;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 60000) {
            if (!isAlive())
                return true;
            QThread::msleep(10);
        }
        return false;
    }

    int port() const { return m_port; }
    QString workDirectory() const { return m_base.path(); }

private:
    static QString script() { return qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/scripts/test-server"); }

    bool isAlive() const
    {
        // A killed server whose parent does not reap it stays a zombie.
        QFile stat(QStringLiteral("/proc/%1/stat").arg(m_pid));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray text = stat.readAll();
        const int close = text.lastIndexOf(')');
        return close > 0 && text.mid(close + 2, 1) != "Z";
    }

    QTemporaryDir m_base;
    QString m_directory;
    int m_port = 0;
    qint64 m_pid = 0;
};

// A schema large enough that the catalogue reading of the per-table reader
// takes seconds: plenty of time to pull the server away halfway through.
QString writeBigSchema(const QString &directory)
{
    const QString path = directory + QStringLiteral("/big.sql");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return QString();
    QTextStream out(&file);
    out << "SET GLOBAL innodb_flush_log_at_trx_commit = 0;\n"
           "CREATE DATABASE rob_big;\nUSE rob_big;\n";
    for (int i = 1; i <= bigSchemaTables; ++i) {
        out << QStringLiteral("CREATE TABLE t%1 (id INT PRIMARY KEY, name VARCHAR(40), qty INT, price DOUBLE, "
                              "created DATETIME, note TEXT")
                        .arg(i, 4, 10, QLatin1Char('0'));
        if (i > 1)
            out << QStringLiteral(", parent_id INT, FOREIGN KEY (parent_id) REFERENCES t%1 (id)")
                            .arg(i - 1, 4, 10, QLatin1Char('0'));
        out << ");\n";
    }
    return path;
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Relative path -> content, with the banner's date masked.
QMap<QString, QString> treeContents(const QString &root)
{
    static const QRegularExpression date(QStringLiteral("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d"));
    QMap<QString, QString> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(root).relativeFilePath(path), readText(path).replace(date, QStringLiteral("<date>")));
    }
    return files;
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

// Runs the command line and, when the `occurrence`-th line starting with
// `trigger` appears on its output, freezes it, applies `fault` and lets it
// go on: the fault lands at that very point of the run.
CliResult runCliWithFault(const QStringList &arguments, const QString &trigger, int occurrence,
                          const std::function<bool()> &fault, bool *faultApplied)
{
    QProcess process;
    startCli(process, arguments, QString());
    *faultApplied = false;
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < 120000) {
        process.waitForReadyRead(10);
        out += process.readAllStandardOutput();
        if (*faultApplied)
            continue;
        const QStringList seen = linesStartingWith(lines(QString::fromLocal8Bit(out)), trigger);
        if (seen.size() >= occurrence) {
            const pid_t cli = pid_t(process.processId());
            ::kill(cli, SIGSTOP);
            *faultApplied = fault();
            ::kill(cli, SIGCONT);
            if (!*faultApplied)
                break;
        }
    }
    CliResult result = finishCli(process, 120000 - int(clock.elapsed()));
    result.out.prepend(QString::fromLocal8Bit(out));
    return result;
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

    void serverGoneDuringCommandLineRun_data();
    void serverGoneDuringCommandLineRun();
    void serverStoppedBetweenConnectAndGenerate();
    void serverKilledDuringWindowRun();

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
    QVERIFY(QFileInfo(qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/scripts/test-server")).isExecutable());
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

// --- The server goes away ----------------------------------------------------

void TestFaults::serverGoneDuringCommandLineRun_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("mustFail");

    QTest::newRow("stopped right after connecting, per-table reader")
            << "per-table" << "Connected to: " << 1 << int(SIGTERM) << true;
    QTest::newRow("stopped right after connecting, schema-wide reader")
            << "schema" << "Connected to: " << 1 << int(SIGTERM) << true;
    QTest::newRow("killed while loading tables") << "per-table" << "Getting information from table: " << 10
                                                 << int(SIGKILL) << true;
    QTest::newRow("killed while loading primary keys") << "per-table" << "Creating Primary key for table: " << 10
                                                       << int(SIGKILL) << true;
    QTest::newRow("killed while loading foreign keys") << "per-table" << "Creating Foreign key for table: " << 10
                                                       << int(SIGKILL) << true;
    // The schema-wide reader has all it needs from the catalogue when it
    // writes these lines; the live tables' field types are still to come.
    QTest::newRow("killed after the catalogue, schema-wide reader")
            << "schema" << "Creating Foreign key for table: " << 1 << int(SIGKILL) << true;
    // From the first file on the server is not needed any more.
    QTest::newRow("killed while writing files") << "schema" << "Generating DAO class for table: " << 1
                                                << int(SIGKILL) << false;
}

void TestFaults::serverGoneDuringCommandLineRun()
{
    QFETCH(QString, reader);
    QFETCH(QString, trigger);
    QFETCH(int, occurrence);
    QFETCH(int, signal);
    QFETCH(bool, mustFail);

    PrivateServer server;
    const QString schemaFile = writeBigSchema(server.workDirectory());
    QVERIFY(server.start({schemaFile}));
    const QStringList arguments = connectionArguments(server.port(), TestServer::settings().user,
                                                      TestServer::settings().password, QStringLiteral("rob_big"))
            + QStringList{QStringLiteral("--catalog=") + reader};

    // What a run with the server alive writes.
    QTemporaryDir reference;
    const CliResult good = runCli(arguments + QStringList{QStringLiteral("-o"), reference.path()});
    QVERIFY2(good.exitCode == 0, qPrintable(good.describe()));

    QTemporaryDir output;
    bool faultApplied = false;
    QElapsedTimer clock;
    clock.start();
    const CliResult result = runCliWithFault(arguments + QStringList{QStringLiteral("-o"), output.path()}, trigger,
                                             occurrence, [&] { return server.kill(signal); }, &faultApplied);
    QVERIFY2(faultApplied, qPrintable(result.describe()));
    QVERIFY2(!result.crashed && !result.timedOut, qPrintable(result.describe()));
    qInfo("run with the fault took %lld ms", clock.elapsed());

    if (result.exitCode == 0) {
        // Only a run that got everything may say so.
        QVERIFY2(!mustFail, qPrintable(result.describe()));
        QCOMPARE(treeContents(output.path()), treeContents(reference.path()));
        QVERIFY2(result.err.isEmpty(), qPrintable(result.describe()));
    } else {
        QVERIFY2(result.exitCode == 1, qPrintable(result.describe()));
        QVERIFY2(namesTheQueryFailure(result.err), qPrintable(result.describe()));
    }
    const QStringList stray = strayEntries(output.path());
    QVERIFY2(stray.isEmpty(), qPrintable(stray.join(QLatin1Char('\n'))));
}

void TestFaults::serverStoppedBetweenConnectAndGenerate()
{
    PrivateServer server;
    QVERIFY(server.start({writeBigSchema(server.workDirectory())}));

    Tablesmith window;
    fillForm(window, server.port(), TestServer::settings().user, TestServer::settings().password,
             QStringLiteral("rob_big"));
    click(window, "btConnect");
    click(window, "btSelectAll");
    QVERIFY(server.kill(SIGTERM));

    QElapsedTimer clock;
    clock.start();
    click(window, "btGenerate");
    QVERIFY2(clock.elapsed() < 60000, "Generate hung on a stopped server");
    // Nothing could be read: the tree is there, empty, and no class was
    // claimed to be generated.
    const QStringList log = logLines(window);
    QVERIFY2(linesStartingWith(log, QStringLiteral("Generating ")).isEmpty(), qPrintable(log.join(QLatin1Char('\n'))));
    QVERIFY(QFileInfo(windowCode() + QStringLiteral("/C++/dao")).isDir());
    QVERIFY(treeContents(windowCode()).isEmpty());

    // Connecting again tells the user at once.
    clock.restart();
    click(window, "btConnect");
    QVERIFY(clock.elapsed() < 30000);
    QVERIFY(!child<QGroupBox>(window, "groupBox")->isEnabled());
    QVERIFY2(logLines(window).last().contains(QLatin1String("Can't connect")),
             qPrintable(logLines(window).join(QLatin1Char('\n'))));
}

void TestFaults::serverKilledDuringWindowRun()
{
    PrivateServer server;
    QVERIFY(server.start({writeBigSchema(server.workDirectory())}));

    Tablesmith window;
    fillForm(window, server.port(), TestServer::settings().user, TestServer::settings().password,
             QStringLiteral("rob_big"));
    click(window, "btConnect");
    click(window, "btSelectAll");

    // The log pane is written synchronously during the run: kill the server
    // the moment the tenth primary key is announced.
    auto *log = child<QPlainTextEdit>(window, "textLog");
    bool killed = false;
    QObject::connect(log, &QPlainTextEdit::textChanged, log, [&] {
        if (killed)
            return;
        if (linesStartingWith(lines(log->toPlainText()), QStringLiteral("Creating Primary key for table: ")).size() == 10)
            killed = server.kill(SIGKILL);
    });

    QElapsedTimer clock;
    clock.start();
    click(window, "btGenerate");
    QVERIFY(killed);
    QVERIFY2(clock.elapsed() < 60000, "Generate hung on a killed server");
    // The run went through to the end with what it had read.
    const QStringList lines = logLines(window);
    QCOMPARE(linesStartingWith(lines, QStringLiteral("Creating Foreign key for table: ")).size(), bigSchemaTables);
    QCOMPARE(linesStartingWith(lines, QStringLiteral("Generating Editor class for table: ")).size(), bigSchemaTables);
    const QStringList stray = strayEntries(QCoreApplication::applicationDirPath());
    QVERIFY2(stray.isEmpty(), qPrintable(stray.join(QLatin1Char('\n'))));
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
