// The server goes away while the command line works: stopped, killed or
// frozen at fixed points of a run. Each row starts a
// MariaDB server of its own (scripts/test-server), never the shared one.
// Nothing may crash or hang; a run that lost part of the schema must say so
// and exit non-zero, and may exit 0 only with the complete output.

#include "support.h"

#include <QtTest>

#include <csignal>

namespace {

class PrivateServer
{
public:
    bool start()
    {
        // Twenty tables in a chain of foreign keys: more than the rows below need.
        QString sql = QStringLiteral("CREATE DATABASE rob_chain;\nUSE rob_chain;\nCREATE TABLE t0 (id INT PRIMARY KEY);\n");
        for (int i = 1; i < 20; ++i)
            sql += QStringLiteral("CREATE TABLE t%1 (id INT PRIMARY KEY, name VARCHAR(40), price DOUBLE, parent_id INT, "
                                  "FOREIGN KEY (parent_id) REFERENCES t%2 (id));\n").arg(i).arg(i - 1);
        writeText(m_base.filePath(QStringLiteral("chain.sql")), sql.toUtf8());
        if (script({QStringLiteral("start"), directory(), m_base.filePath(QStringLiteral("chain.sql"))}) != 0)
            return false;
        m_port = QSettings(directory() + QStringLiteral("/env"), QSettings::IniFormat).value("TEST_PORT").toInt();
        m_pid = readText(directory() + QStringLiteral("/mariadbd.pid")).trimmed().toInt();
        return m_port > 0 && m_pid > 0;
    }
    ~PrivateServer()
    {
        ::kill(m_pid, SIGCONT);
        script({QStringLiteral("stop"), directory()});
    }
    // Sends `signal` and waits until the server is gone, or frozen for SIGSTOP.
    bool kill(int signal)
    {
        return ::kill(m_pid, signal) == 0 && QTest::qWaitFor([&] {
            // The state after the command's name: T stopped, Z killed but not reaped.
            const QString stat = readText(QStringLiteral("/proc/%1/stat").arg(m_pid));
            const QString state = stat.section(QLatin1Char(')'), -1).trimmed().left(1);
            return signal == SIGSTOP ? state == QLatin1String("T") : (state.isEmpty() || state == QLatin1String("Z"));
        }, 60000);
    }
    QStringList arguments() const
    {
        return serverArguments(QStringLiteral("rob_chain"), TestServer::settings().user, TestServer::settings().password, m_port);
    }

private:
    QString directory() const { return m_base.filePath(QStringLiteral("server")); }
    // A temporary directory of its own: a starting server deletes the
    // temporary-table files in its tmpdir, under the shared server's queries.
    int script(const QStringList &arguments)
    {
        return QProcess::execute(QStringLiteral("env"), QStringList{QStringLiteral("TMPDIR=") + m_base.path(),
                                                                    qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/scripts/test-server")}
                                         + arguments);
    }

    QTemporaryDir m_base;
    int m_port = 0;
    pid_t m_pid = 0;
};

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void commandLineRun_data();
    void commandLineRun();
};

void TestFaults::commandLineRun_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("trigger"); // the fault lands when this line appears...
    QTest::addColumn<int>("occurrence"); // ...for this time
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("mustFail");
    // The schema-wide reader needs a handful of statements after connecting,
    // which a fast run may have sent before the test sees the line: then it
    // must have everything, else say what it lost.
    QTest::newRow("stopped right after connecting") << "schema" << "Connected to: " << 1 << int(SIGTERM) << false;
    QTest::newRow("killed while loading tables, per-table reader")
            << "per-table" << "Getting information from table: " << 10 << int(SIGKILL) << true;
    QTest::newRow("killed while loading keys, per-table reader")
            << "per-table" << "Creating Foreign key for table: " << 10 << int(SIGKILL) << true;
    // The schema-wide reader has the catalogue by then; the tables' field
    // types are still to come, but in one batched query, which a fast run
    // may have sent before the fault lands: then it must have everything.
    QTest::newRow("killed after the catalogue, schema-wide reader")
            << "schema" << "Creating Foreign key for table: " << 1 << int(SIGKILL) << false;
    // A server that stops answering without closing its connections: the
    // read timeout ends the wait.
    QTest::newRow("frozen after the catalogue, schema-wide reader")
            << "schema" << "Creating Foreign key for table: " << 1 << int(SIGSTOP) << false;
    // From the first file on the server is not needed any more.
    QTest::newRow("killed while writing files") << "schema" << "Generating DAO class for table: " << 1 << int(SIGKILL)
                                                << false;
}

void TestFaults::commandLineRun()
{
    QFETCH(QString, reader);
    QFETCH(QString, trigger);
    QFETCH(int, occurrence);
    QFETCH(int, signal);
    QFETCH(bool, mustFail);
    PrivateServer server;
    QVERIFY(server.start());
    const QStringList arguments = server.arguments()
            + QStringList{QStringLiteral("--catalog=") + reader, QStringLiteral("--read-timeout=2"), QStringLiteral("-o")};
    QTemporaryDir reference, output;
    CliResult undisturbed;
    if (!mustFail) {
        undisturbed = runCli(arguments + QStringList{reference.path()});
        QCOMPARE(undisturbed.exitCode, 0);
    }
    bool applied = false;
    const CliResult result = runCliUntil(arguments + QStringList{output.path()}, trigger, occurrence,
                                         [&](qint64) { applied = server.kill(signal); });
    QVERIFY2(applied && result.exitCode >= 0 && result.exitCode < 128, qPrintable(result.describe()));
    if (result.exitCode == 0) {
        // Only a run that got everything may say so.
        QVERIFY2(!mustFail && result.err == undisturbed.err, qPrintable(result.describe()));
        QCOMPARE(describeTree(output.path()), describeTree(reference.path()));
    } else {
        QVERIFY2(result.exitCode == 1 && result.err.contains(QRegularExpression(
                         QStringLiteral("(catalogue queries failed|the field types of \\d+ tables? could not be read), "
                                        "the last with \"[^\"]+"))),
                 qPrintable(result.describe()));
    }
    // Only the output tree's four directories and files in them, nothing else.
    static const QRegularExpression stray(QStringLiteral(
            "^== (?!(dir code/C\\+\\+(/(object|dao|model|editors))?|file code/C\\+\\+/(object|dao|model|editors)/[^/]+)$)"));
    QCOMPARE(describeTree(output.path()).split(QLatin1Char('\n')).filter(stray), QStringList());
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
