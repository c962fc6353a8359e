#pragma once

// What the tests share: the private test server, the command line and the
// window driven as a user does, output trees written out as text, and golden
// files.

#include "app/tablemodel.h"
#include "app/tablesmith.h"

#include <QCoreApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

namespace TestServer {

// The server CTest starts for the tests (scripts/test-server); its details
// come from the file named by TABLESMITH_TEST_ENV.
struct Settings
{
    int port = 0;
    QString socket, user, password;
    // The server's throwaway CA and certificates (scripts/test-server).
    QString tlsDir;
};
const Settings &settings();
inline QString tlsFile(const QString &name) { return settings().tlsDir + QLatin1Char('/') + name; }
// The second server, which offers no TLS at all (scripts/test-server start-plain).
int plainPort();

// Registers and opens "Connection" on `schema` and "InformationSchema", as
// Connect does; returns whether both opened.
bool openConnections(const QString &schema, const QString &user = settings().user,
                     const QString &password = settings().password);
void closeConnections();

} // namespace TestServer

// Runs `statements` on a connection of the test's own (the window's live on
// its run's thread): the first column of the last one's rows, or the error.
QStringList serverQuery(const QStringList &statements);

struct CliResult
{
    int exitCode = -1; // -1: timed out; 128 + N: ended by signal N
    QString out;
    QString err;
    QString describe() const { return QStringLiteral("exit %1\n--- stdout:\n%2--- stderr:\n%3").arg(QString::number(exitCode), out, err); }
};

struct CliOptions
{
    QString workingDirectory;
    QByteArray input;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    bool mergeChannels = false; // stderr into out, in the order written
    QString program = qEnvironmentVariable("TABLESMITH_CLI");
    int timeout = 120000;
};

// -h 127.0.0.1 -P <port> -u <user> --password=<password> -D <schema>
QStringList serverArguments(const QString &schema, const QString &user = TestServer::settings().user,
                            const QString &password = TestServer::settings().password,
                            int port = TestServer::settings().port);
// Runs tablesmith-cli (or `options.program`) without a controlling terminal.
CliResult runCli(const QStringList &arguments, const CliOptions &options = {});
// Runs tablesmith-cli; when the `occurrence`-th line starting with `trigger`
// appears on its output, calls `act` with its process id, the command line
// frozen meanwhile so that whatever `act` does lands at that very point.
CliResult runCliUntil(const QStringList &arguments, const QString &trigger, int occurrence,
                      const std::function<void(qint64 pid)> &act);

// Starts bench/delayproxy.py in front of the test server with `options`; it
// ends with the test. Returns the port it listens on, empty when it did not start.
QString startDelayProxy(QProcess *proxy, const QStringList &options);

// Preloads tests/faultfs into the command line, with its setting `name`.
void preloadFaultfs(QProcessEnvironment *environment, const QString &name, const QString &value);

// The window.
template<typename T = QWidget>
T *child(const QWidget &window, const char *name)
{
    T *widget = window.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}
void fillForm(Tablesmith &window, const QString &schema, const QString &user = TestServer::settings().user,
              const QString &password = TestServer::settings().password, const QString &host = QStringLiteral("127.0.0.1"),
              const QString &port = QString::number(TestServer::settings().port));
// Waits (at most two minutes) until the window's Connect or Generate ended.
void waitForRun(const Tablesmith &window);
// Clicks the button and waits for the run it started, if any.
inline void click(Tablesmith &window, const char *button)
{
    QTest::mouseClick(child(window, button), Qt::LeftButton);
    waitForRun(window);
}
// The window's table list; none before the first Connect.
TableModel *tableModel(const Tablesmith &window);
// Fills the form for `schema`, connects, and ticks `tables` ("*": Select All).
TableModel *connectWindow(Tablesmith &window, const QString &schema, const QStringList &tables = {QStringLiteral("*")});
QStringList logLines(const Tablesmith &window);
// The next dialog the window opens is answered with the button of that text.
void answerNextDialog(const QString &button);
// The next file dialog takes `path`.
void answerNextFileDialog(const QString &path);
inline QString windowRoot() { return QCoreApplication::applicationDirPath(); } // the window writes its tree here
// The window's output folder while it lives, a new one; then the default.
struct TemporaryOutputFolder : QTemporaryDir
{
    TemporaryOutputFolder();
    ~TemporaryOutputFolder();
};

// Collects the debug and warning messages while it lives; with a log pane,
// debug messages go into the pane instead, in order with its own lines.
class MessageCapture
{
public:
    explicit MessageCapture(QPlainTextEdit *pane = nullptr);
    ~MessageCapture();
    QStringList messages;
};

// Every entry below `root`/code as text: directories, links, and files with
// their contents, in path order; `root` itself reads "<out>" and banner
// dates "DD/MM/YYYY hh:mm:ss".
QString describeTree(const QString &root);
QString masked(QString text, const QString &root);
QString readText(const QString &path);
void writeText(const QString &path, const QByteArray &bytes);

// Compares `actual` with tests/golden/<name>.golden and returns the first
// difference, empty when none. With TABLESMITH_UPDATE_GOLDEN=1 the golden
// file is rewritten instead, and named (review the change with git diff);
// refused where CI is set.
QString goldenDifference(const QString &name, const QString &actual);
QString firstDifference(const QString &actual, const QString &expected);
