#include "support.h"

#include "mysql/diagnostics.h"

#include "connection/mysqlconnection.h"
#include "engine/schemathread.h"
#include "project/usersettings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QListView>
#include <QLineEdit>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <csignal>

#include <unistd.h>

// Every test starts as on a first start and never sees a user's settings.
static void freshSettings()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings(QStringLiteral("Tablesmith"), QCoreApplication::applicationName()).clear();
}
Q_COREAPP_STARTUP_FUNCTION(freshSettings)

namespace TestServer {

const Settings &settings()
{
    static const Settings settings = [] {
        const QSettings env(qEnvironmentVariable("TABLESMITH_TEST_ENV"), QSettings::IniFormat);
        const Settings s{env.value("TEST_PORT").toInt(), env.value("TEST_SOCKET").toString(),
                         env.value("TEST_USER").toString(), env.value("TEST_PASSWORD").toString(),
                         env.value("TEST_TLS_DIR").toString()};
        if (s.port == 0)
            qFatal("the test server is not running (TABLESMITH_TEST_ENV)");
        return s;
    }();
    return settings;
}

int plainPort()
{
    const int port = QSettings(qEnvironmentVariable("TABLESMITH_PLAIN_TEST_ENV"), QSettings::IniFormat).value("TEST_PORT").toInt();
    if (port == 0)
        qFatal("the plain test server is not running (TABLESMITH_PLAIN_TEST_ENV)");
    return port;
}

bool openConnections(const QString &schema, const QString &user, const QString &password)
{
    ConnectionSettings connection;
    connection.host = QStringLiteral("127.0.0.1");
    connection.port = settings().port;
    connection.user = user;
    connection.password = password;
    const bool schemaOpen = openMysqlConnection(schemaConnectionName(), schema, connection).isOpen();
    return openMysqlConnection(catalogConnectionName(), QStringLiteral("information_schema"), connection).isOpen()
            && schemaOpen;
}

void closeConnections()
{
    QSqlDatabase::removeDatabase(schemaConnectionName());
    QSqlDatabase::removeDatabase(catalogConnectionName());
}

} // namespace TestServer

QStringList serverQuery(const QStringList &statements)
{
    const TestServer::Settings &s = TestServer::settings();
    QStringList values;
    {
        QSqlQuery query(openMysqlConnection(QStringLiteral("own"), QString(), {"127.0.0.1", QString(), s.user, s.password, s.port}));
        bool ok = true;
        for (const QString &statement : statements) {
            if (ok && !(ok = query.exec(statement)))
                values.append(statement + QStringLiteral(": ") + query.lastError().text());
        }
        while (ok && query.next())
            values.append(query.value(0).toString());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("own"));
    return values;
}

QStringList serverArguments(const QString &schema, const QString &user, const QString &password, int port)
{
    return {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-P"), QString::number(port),
            QStringLiteral("-u"), user, QStringLiteral("--password=") + password, QStringLiteral("-D"), schema};
}

// Ended by a signal: the status a shell shows, 128 + the signal.
static int shellStatus(const QProcess &process)
{
    return process.exitCode() + (process.exitStatus() == QProcess::CrashExit ? 128 : 0);
}

CliResult runCli(const QStringList &arguments, const CliOptions &options)
{
    QProcess process;
    process.setChildProcessModifier([] { ::setsid(); });
    process.setProcessEnvironment(options.environment);
    process.setWorkingDirectory(options.workingDirectory);
    if (options.mergeChannels)
        process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(options.program, arguments);
    process.write(options.input);
    process.closeWriteChannel();
    CliResult result;
    if (process.waitForFinished(options.timeout)) {
        result.exitCode = shellStatus(process);
    } else {
        process.kill();
        process.waitForFinished(5000);
    }
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    if (!options.mergeChannels)
        result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

QString startDelayProxy(QProcess *proxy, const QStringList &options)
{
    proxy->start(QStringLiteral("python3"),
                 QStringList{qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/bench/delayproxy.py"), "--target",
                             QString::number(TestServer::settings().port), "--parent",
                             QString::number(QCoreApplication::applicationPid())} + options);
    return proxy->waitForReadyRead(10000) ? QString::fromLatin1(proxy->readLine()).section(QLatin1Char(' '), 1).trimmed()
                                          : QString();
}

void preloadFaultfs(QProcessEnvironment *environment, const QString &name, const QString &value)
{
    environment->insert(QStringLiteral("LD_PRELOAD"), qEnvironmentVariable("TABLESMITH_FAULTFS"));
    environment->insert(name, value);
    // A sanitized build's runtime must otherwise come first.
    environment->insert(QStringLiteral("ASAN_OPTIONS"), qEnvironmentVariable("ASAN_OPTIONS") + QStringLiteral(":verify_asan_link_order=0"));
}

CliResult runCliUntil(const QStringList &arguments, const QString &trigger, int occurrence,
                      const std::function<void(qint64 pid)> &act)
{
    QProcess process;
    process.start(qEnvironmentVariable("TABLESMITH_CLI"), arguments);
    QByteArray out;
    bool acted = false;
    const QDeadlineTimer deadline(120000);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        process.waitForReadyRead(10);
        out += process.readAllStandardOutput();
        if (!acted && QString::fromLocal8Bit(out).count(QLatin1Char('\n') + trigger) >= occurrence) {
            acted = true;
            ::kill(pid_t(process.processId()), SIGSTOP);
            act(process.processId());
            ::kill(pid_t(process.processId()), SIGCONT);
        }
    }
    CliResult result;
    if (process.state() == QProcess::NotRunning)
        result.exitCode = shellStatus(process);
    process.kill();
    process.waitForFinished();
    result.out = QString::fromLocal8Bit(out + process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

void fillForm(Tablesmith &window, const QString &schema, const QString &user, const QString &password,
              const QString &host, const QString &port)
{
    child<QLineEdit>(window, "serverAddress")->setText(host);
    child<QLineEdit>(window, "schema")->setText(schema);
    child<QLineEdit>(window, "userName")->setText(user);
    child<QLineEdit>(window, "password")->setText(password);
    child<QLineEdit>(window, "port")->setText(port);
}

QStringList logLines(const Tablesmith &window)
{
    return child<QPlainTextEdit>(window, "textLog")->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void waitForRun(const Tablesmith &window)
{
    (void)QTest::qWaitFor([&window] { return !window.isRunning(); }, 120000);
}

// `answer` gets the next modal dialog once it shows (a minute at most): the
// window asks from its run, a moment after the click.
static void whenDialogShows(const std::function<void(QWidget *dialog)> &answer)
{
    auto *poll = new QTimer;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(poll, &QTimer::timeout, [poll, clock, answer] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog && !clock.hasExpired(60000))
            return;
        poll->stop();
        poll->deleteLater();
        if (dialog)
            answer(dialog);
    });
    poll->start(20);
}

void answerNextDialog(const QString &button)
{
    whenDialogShows([button](QWidget *dialog) {
        for (QAbstractButton *candidate : dialog->findChildren<QAbstractButton *>())
            if (candidate->text().remove(QLatin1Char('&')) == button)
                return candidate->click();
    });
}

void answerNextFileDialog(const QString &path)
{
    whenDialogShows([path](QWidget *dialog) {
        if (auto *files = qobject_cast<QFileDialog *>(dialog)) {
            files->selectFile(path);
            static_cast<QDialog *>(files)->accept();
        }
    });
}

TableModel *tableModel(const Tablesmith &window)
{
    return qobject_cast<TableModel *>(child<QListView>(window, "listViewSource")->model());
}

TableModel *connectWindow(Tablesmith &window, const QString &schema, const QStringList &tables)
{
    fillForm(window, schema);
    click(window, "btConnect");
    TableModel *model = tableModel(window);
    if (tables == QStringList{QStringLiteral("*")})
        click(window, "btSelectAll");
    for (int row = 0; model && row < model->rowCount(); ++row) {
        if (tables.contains(model->index(row, 0).data().toString()))
            model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole);
    }
    return model;
}

TemporaryOutputFolder::TemporaryOutputFolder()
{
    UserSettings().setOutputFolder(path());
}

TemporaryOutputFolder::~TemporaryOutputFolder()
{
    UserSettings().setOutputFolder(QString());
}

namespace {
MessageCapture *g_capture = nullptr;
QPlainTextEdit *g_pane = nullptr;
QtMessageHandler g_previous = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // The window's run thread writes messages too.
    static QRecursiveMutex mutex;
    const QMutexLocker lock(&mutex);
    // The window's runs write their developer lines on their own thread,
    // where they join the run's log in order.
    if (type == QtDebugMsg && g_pane && SchemaWorker::runningOnThisThread())
        SchemaWorker::runningOnThisThread()->appendLine(message);
    else if (type == QtDebugMsg && g_pane && QThread::currentThread() == g_pane->thread())
        g_pane->appendPlainText(message);
    else if (type == QtDebugMsg || type == QtWarningMsg)
        g_capture->messages.append(message);
    else
        g_previous(type, context, message);
}
} // namespace

MessageCapture::MessageCapture(QPlainTextEdit *pane)
{
    // The schema reader's developer lines are what is captured.
    mysql::enableDeveloperLines();
    g_capture = this;
    g_pane = pane;
    g_previous = qInstallMessageHandler(capture);
}

MessageCapture::~MessageCapture()
{
    qInstallMessageHandler(g_previous);
    g_capture = nullptr;
    g_pane = nullptr;
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeText(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QString masked(QString text, const QString &root)
{
    static const QRegularExpression date(QStringLiteral("(Generated by Tablesmith on )\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d"));
    // The folder a run writes its new tree into has a name of its own each time.
    static const QRegularExpression staging(QStringLiteral("/\\.tablesmith-\\d+-\\w+"));
    // The test server's port changes from run to run.
    static const QRegularExpression port(QStringLiteral("^(Server port )\\d+,"), QRegularExpression::MultilineOption);
    static const QRegularExpression took(QStringLiteral("^(Finished in )[\\d.]+ m?s"), QRegularExpression::MultilineOption);
    return text.replace(root, QStringLiteral("<out>"))
            .replace(took, QStringLiteral("\\1<time>"))
            .replace(port, QStringLiteral("\\1<port>,"))
            .replace(date, QStringLiteral("\\1DD/MM/YYYY hh:mm:ss"))
            .replace(staging, QStringLiteral("/.tablesmith-<run>"));
}

QString describeTree(const QString &root)
{
    QStringList paths;
    QDirIterator it(root + QStringLiteral("/code"), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(it.next());
    paths.sort();
    QString text;
    if (QFileInfo(root + QStringLiteral("/code")).isFile())
        text += QStringLiteral("== file code\n%1\n").arg(readText(root + QStringLiteral("/code")));
    for (const QString &path : std::as_const(paths)) {
        const QFileInfo info(path);
        // Names may hold line breaks and tabs; the heading stays one line.
        const QString name = QDir(root).relativeFilePath(path).replace(QLatin1Char('\n'), QLatin1String("\\n"))
                                     .replace(QLatin1Char('\t'), QLatin1String("\\t"));
        const QLatin1String kind(info.isSymLink() ? "link" : info.isDir() ? "dir" : "file");
        text += QStringLiteral("== %1 %2\n").arg(kind, name);
        if (kind == QLatin1String("file"))
            text += readText(path) + QLatin1Char('\n');
    }
    return masked(text, root);
}

QString firstDifference(const QString &actual, const QString &expected)
{
    if (actual == expected)
        return QString();
    const QStringList a = actual.split(QLatin1Char('\n'));
    const QStringList e = expected.split(QLatin1Char('\n'));
    qsizetype line = 0;
    while (line < a.size() && line < e.size() && a.at(line) == e.at(line))
        ++line;
    return QStringLiteral("first difference in line %1:\n  actual:   %2\n  expected: %3").arg(line + 1)
            .arg(line < a.size() ? a.at(line) : QStringLiteral("<end>"), line < e.size() ? e.at(line) : QStringLiteral("<end>"));
}

QString goldenDifference(const QString &name, const QString &actual)
{
    const QString path = QStringLiteral("%1/tests/golden/%2.golden").arg(qEnvironmentVariable("TABLESMITH_SOURCE_DIR"), name);
    if (qEnvironmentVariableIntValue("TABLESMITH_UPDATE_GOLDEN")) {
        // CI checks against the golden files; it must never bless its own output.
        if (qEnvironmentVariableIsSet("CI"))
            return QStringLiteral("TABLESMITH_UPDATE_GOLDEN is refused where CI is set");
        if (readText(path) != actual) {
            writeText(path, actual.toUtf8());
            qInfo("rewrote %s", qPrintable(path));
        }
        return QString();
    }
    if (!QFileInfo::exists(path))
        return QStringLiteral("no golden file %1 (TABLESMITH_UPDATE_GOLDEN=1 writes it)").arg(path);
    const QString difference = firstDifference(actual, readText(path));
    return difference.isEmpty() ? difference : name + QStringLiteral(".golden: ") + difference;
}
