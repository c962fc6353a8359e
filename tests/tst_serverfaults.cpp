// The server goes away while the tool works: stopped between Connect and
// Generate, killed or frozen at fixed points of a run. Every test starts a
// MariaDB server of its own (scripts/test-server), never the shared one.
// Nothing may crash or hang; the command line must exit non-zero and say
// what failed, and may exit 0 only with the complete output.

#include "robustnesssupport.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <functional>
#include <sys/types.h>

using namespace Robustness;

namespace {

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
        if (run(QStringList{QStringLiteral("start"), m_directory} + sqlFiles) != 0)
            return false;
        static const QRegularExpression port(QStringLiteral("TEST_PORT=(\\d+)"));
        m_port = port.match(fileText(m_directory + QStringLiteral("/env"))).captured(1).toInt();
        m_pid = fileText(m_directory + QStringLiteral("/mariadbd.pid")).trimmed().toLongLong();
        return m_port > 0 && m_pid > 0;
    }

    void stop()
    {
        if (m_pid > 0)
            ::kill(pid_t(m_pid), SIGCONT);
        if (!m_directory.isEmpty())
            run({QStringLiteral("stop"), m_directory});
        m_directory.clear();
    }

    // Sends `signal` to the server and waits until it is gone, or frozen
    // for SIGSTOP.
    bool kill(int signal)
    {
        if (m_pid <= 0 || ::kill(pid_t(m_pid), signal) != 0)
            return false;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 60000) {
            const QChar state = this->state();
            if (signal == SIGSTOP ? state == QLatin1Char('T') : (state.isNull() || state == QLatin1Char('Z')))
                return true;
            QThread::msleep(10);
        }
        return false;
    }

    int port() const { return m_port; }
    QString workDirectory() const { return m_base.path(); }

private:
    // The server gets a temporary directory of its own: a starting server
    // deletes the temporary table files it finds in its one, and with /tmp
    // shared it took them from under the shared server's queries, which
    // crashed that server.
    int run(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), m_base.path());
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/scripts/test-server"), arguments);
        return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // The process state from /proc: R, S, T (stopped), Z (a killed server
    // whose parent does not reap it), or null when it is gone.
    QChar state() const
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(m_pid));
        if (!stat.open(QIODevice::ReadOnly))
            return QChar();
        const QByteArray text = stat.readAll();
        const int close = text.lastIndexOf(')');
        return close > 0 && close + 2 < text.size() ? QLatin1Char(text.at(close + 2)) : QChar();
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

// Relative path -> content, with the banner's date masked.
QMap<QString, QString> treeContents(const QString &root)
{
    static const QRegularExpression date(QStringLiteral("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d"));
    QMap<QString, QString> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(root).relativeFilePath(path), fileText(path).replace(date, QStringLiteral("<date>")));
    }
    return files;
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

class TestServerFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void commandLineRun_data();
    void commandLineRun();
    void windowRun_data();
    void windowRun();

private:
    QString windowCode() const { return QCoreApplication::applicationDirPath() + QStringLiteral("/code"); }
};

void TestServerFaults::initTestCase()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");
    QVERIFY(QFileInfo(qEnvironmentVariable("TABLESMITH_CLI")).isExecutable());
    QVERIFY(QFileInfo(qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/scripts/test-server")).isExecutable());
}

void TestServerFaults::cleanup()
{
    QDir(windowCode()).removeRecursively();
}

void TestServerFaults::commandLineRun_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("mustFail");

    QTest::newRow("stopped right after connecting") << "schema" << "Connected to: " << 1 << int(SIGTERM) << true;
    QTest::newRow("killed while loading tables, per-table reader")
            << "per-table" << "Getting information from table: " << 10 << int(SIGKILL) << true;
    QTest::newRow("killed while loading keys, per-table reader")
            << "per-table" << "Creating Foreign key for table: " << 10 << int(SIGKILL) << true;
    // The schema-wide reader has all it needs from the catalogue when it
    // writes these lines; the live tables' field types are still to come.
    QTest::newRow("killed after the catalogue, schema-wide reader")
            << "schema" << "Creating Foreign key for table: " << 1 << int(SIGKILL) << true;
    // A server that stops answering without closing its connections: the
    // read timeout ends the wait.
    QTest::newRow("frozen after the catalogue, schema-wide reader")
            << "schema" << "Creating Foreign key for table: " << 1 << int(SIGSTOP) << true;
    // From the first file on the server is not needed any more.
    QTest::newRow("killed while writing files") << "schema" << "Generating DAO class for table: " << 1
                                                << int(SIGKILL) << false;
}

void TestServerFaults::commandLineRun()
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
            + QStringList{QStringLiteral("--catalog=") + reader, QStringLiteral("--read-timeout=2")};

    // What a run with the server alive writes, for the run that may pass.
    QTemporaryDir reference;
    if (!mustFail) {
        const CliResult good = runCli(arguments + QStringList{QStringLiteral("-o"), reference.path()});
        QVERIFY2(good.exitCode == 0, qPrintable(good.describe()));
    }

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

void TestServerFaults::windowRun_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("atPrimaryKey"); // 0: between Connect and Generate
    QTest::addColumn<int>("editors");

    // Nothing can be read: no class may be claimed to be generated.
    QTest::newRow("stopped between Connect and Generate") << int(SIGTERM) << 0 << 0;
    // The run goes through to the end with what it had read.
    QTest::newRow("killed during the run") << int(SIGKILL) << 10 << bigSchemaTables;
}

void TestServerFaults::windowRun()
{
    QFETCH(int, signal);
    QFETCH(int, atPrimaryKey);
    QFETCH(int, editors);

    PrivateServer server;
    QVERIFY(server.start({writeBigSchema(server.workDirectory())}));
    Tablesmith window;
    fillForm(window, server.port(), TestServer::settings().user, TestServer::settings().password,
             QStringLiteral("rob_big"));
    click(window, "btConnect");
    click(window, "btSelectAll");

    // The log pane is written synchronously during the run: the server goes
    // the moment the wanted primary key is announced.
    auto *log = child<QPlainTextEdit>(window, "textLog");
    bool killed = atPrimaryKey == 0 && server.kill(signal);
    QObject::connect(log, &QPlainTextEdit::textChanged, log, [&] {
        if (!killed && linesStartingWith(lines(log->toPlainText()), QStringLiteral("Creating Primary key for table: ")).size() == atPrimaryKey)
            killed = server.kill(signal);
    });
    QElapsedTimer clock;
    clock.start();
    click(window, "btGenerate");
    QVERIFY(killed);
    QVERIFY2(clock.elapsed() < 60000, "Generate hung on a server gone away");

    const QStringList lines = logLines(window);
    const QString text = lines.join(QLatin1Char('\n'));
    QVERIFY2(namesTheQueryFailure(text), qPrintable(text));
    QCOMPARE(linesStartingWith(lines, QStringLiteral("Generating Editor class for table: ")).size(), editors);
    if (editors == 0) {
        QVERIFY2(linesStartingWith(lines, QStringLiteral("Generating ")).isEmpty(), qPrintable(text));
        QVERIFY(QFileInfo(windowCode() + QStringLiteral("/C++/dao")).isDir());
        QVERIFY(treeContents(windowCode()).isEmpty());
    } else {
        QCOMPARE(linesStartingWith(lines, QStringLiteral("Creating Foreign key for table: ")).size(), bigSchemaTables);
    }
    const QStringList stray = strayEntries(QCoreApplication::applicationDirPath());
    QVERIFY2(stray.isEmpty(), qPrintable(stray.join(QLatin1Char('\n'))));

    // Connecting again tells the user at once.
    clock.restart();
    click(window, "btConnect");
    QVERIFY(clock.elapsed() < 30000);
    QVERIFY(!child<QGroupBox>(window, "groupBox")->isEnabled());
    QVERIFY2(logLines(window).last().contains(QLatin1String("Can't connect")), qPrintable(logLines(window).join('\n')));
}

QTEST_MAIN(TestServerFaults)
#include "tst_serverfaults.moc"
