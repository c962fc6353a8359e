// The runtime library generated code links (runtime/): the mysql client's
// options read into SessionOptions; the session opened against the test
// server as the command line opens it, TLS refusals included; a connection
// per thread; queries that throw with the server's error and never the bound
// values; sequences, real and emulated, and the message of a missing one;
// the record picker; and the library as installed.

#include "support.h"

#include <core/connectionpool.h>
#include <core/functions.h>
#include <core/sql/sqlquery.h>
#include <gui/extras/customeditor.h>

#include <QHBoxLayout>
#include <QProcess>
#include <QSqlQueryModel>
#include <QThread>
#include <QtTest>

class TestRuntime : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void arguments_data();
    void arguments();
    void open_data();
    void open();
    void connectionPerThread();
    void sqlErrors_data();
    void sqlErrors();
    void sequences_data();
    void sequences();
    void recordPicker();
    void installed();
};

namespace {

using TestServer::tlsFile;

QString describe(const SessionOptions &o)
{
    return QStringLiteral("h=%1 P=%2 S=%3 u=%4 p=%5 D=%6 ssl=%7 ca=%8 capath=%9 cert=%10 key=%11 cipher=%12 verify=%13")
            .arg(o.host)
            .arg(o.port)
            .arg(o.socket, o.user, o.password, o.schema)
            .arg(int(o.ssl))
            .arg(o.sslCa, o.sslCaPath, o.sslCert, o.sslKey, o.sslCipher)
            .arg(int(o.sslVerifyServerCert));
}

const QString defaults = describe(SessionOptions());

SessionOptions testServer(const QString &schema, const QString &user = TestServer::settings().user)
{
    SessionOptions options;
    options.host = QStringLiteral("127.0.0.1");
    options.port = TestServer::settings().port;
    options.user = user;
    options.password = TestServer::settings().password;
    options.schema = schema;
    return options;
}

QString cipherOf(QSqlDatabase *db)
{
    SqlQuery query(db);
    query.exec(QStringLiteral("SHOW SESSION STATUS LIKE 'Ssl_cipher'"));
    return query.next() ? query.value(1).toString() : QStringLiteral("?");
}

// A thread with an event loop, to run calls in.
class Worker
{
public:
    Worker()
    {
        m_context.moveToThread(&m_thread);
        m_thread.start();
    }
    ~Worker() { stop(); }
    void stop()
    {
        m_thread.quit();
        m_thread.wait();
    }
    template<typename F>
    auto run(F function)
    {
        decltype(function()) result{};
        QMetaObject::invokeMethod(&m_context, function, Qt::BlockingQueuedConnection, &result);
        return result;
    }

private:
    QThread m_thread;
    QObject m_context;
};

} // namespace

void TestRuntime::initTestCase()
{
    qunsetenv("MYSQL_PWD");
    qunsetenv("TABLESMITH_RUNTIME_SEQUENCES");
}

void TestRuntime::cleanup()
{
    Session::instance()->close();
    qunsetenv("MYSQL_PWD");
    qunsetenv("TABLESMITH_RUNTIME_SEQUENCES");
}

void TestRuntime::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("password"); // MYSQL_PWD, unset when null
    QTest::addColumn<QString>("result"); // describe(), or "error: ..."
    QTest::addColumn<QStringList>("rest");

    const auto with = [](const QStringList &fields) {
        QString text = defaults;
        for (const QString &field : fields) {
            const QString name = field.section(QLatin1Char('='), 0, 0) + QLatin1Char('=');
            const qsizetype at = text.indexOf(QLatin1Char(' ') + name) + 1;
            const qsizetype end = text.indexOf(QLatin1Char(' '), at);
            text.replace(at, (end < 0 ? text.size() : end) - at, field);
        }
        return text;
    };
    const QString all = with({"h=db.example", "P=3307", "S=/run/db.sock", "u=ana", "D=shop"});
    QTest::newRow("none") << QStringList{"app"} << QString() << defaults << QStringList{"app"};
    // Each option apart in one row, attached (= for the long ones) in the other.
    QTest::newRow("short") << QStringList{"app", "-h", "db.example", "-P3307", "-S", "/run/db.sock", "-uana", "-D", "shop"}
                           << QString() << all << QStringList{"app"};
    QTest::newRow("long") << QStringList{"--host=db.example", "--port", "3307", "--socket=/run/db.sock", "--user", "ana",
                                         "--database=shop"}
                          << QString() << all << QStringList();
    QTest::newRow("TLS") << QStringList{"--ssl", "--ssl-ca=/ca.pem", "--ssl-capath=/capath", "--ssl-cert=/c.pem", "--ssl-key=/k.pem",
                                        "--ssl-cipher=TLS_AES_128_GCM_SHA256", "--ssl-verify-server-cert"}
                         << QString()
                         << with({"ssl=1", "ca=/ca.pem", "capath=/capath", "cert=/c.pem", "key=/k.pem", "cipher=TLS_AES_128_GCM_SHA256", "verify=1"})
                         << QStringList();
    QTest::newRow("the password from MYSQL_PWD") << QStringList{"-u", "ana"} << "s3cret; x" << with({"u=ana", "p=s3cret; x"}) << QStringList();
    QTest::newRow("the last one counts") << QStringList{"-h", "a", "--host=b", "-P1", "-P", "2"} << QString() << with({"h=b", "P=2"})
                                         << QStringList();
    QTest::newRow("the application's own arguments stay, in order")
            << QStringList{"app", "--verbose", "-h", "db.example", "report.txt", "-p", "--password=x", "--ssl=1", "-x"} << QString()
            << with({"h=db.example"}) << QStringList{"app", "--verbose", "report.txt", "-p", "--password=x", "--ssl=1", "-x"};
    QTest::newRow("-- ends the options") << QStringList{"-u", "ana", "--", "-h", "other"} << QString() << with({"u=ana"})
                                         << QStringList{"--", "-h", "other"};

    const auto error = [](const char *tag, const QStringList &arguments, const char *text) {
        QTest::newRow(tag) << arguments << QString() << QStringLiteral("error: ") + QLatin1String(text) << QStringList();
    };
    error("no value at the end", {"app", "-h"}, "option --host needs a value");
    error("an empty CA is no plain text", {"--ssl-ca="}, "option --ssl-ca needs a value");
    error("an empty key", {"--ssl-key", ""}, "option --ssl-key needs a value");
    error("an empty schema", {"-D", ""}, "option --database needs a value");
    error("port 0", {"--port=0"}, "invalid port \"0\": give a number from 1 to 65535");
    error("port too large", {"-P65536"}, "invalid port \"65536\": give a number from 1 to 65535");
    error("port not a number", {"-P", "mysql"}, "invalid port \"mysql\": give a number from 1 to 65535");
    error("';' in a path", {"--ssl-ca=/a;SSL_KEY=/b"}, "invalid value \"/a;SSL_KEY=/b\" of --ssl-ca: it may not hold ';'");
    error("';' in the socket", {"-S", "/a;b"}, "invalid value \"/a;b\" of --socket: it may not hold ';'");
}

void TestRuntime::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, password);
    QFETCH(QString, result);
    QFETCH(QStringList, rest);
    if (!password.isNull())
        qputenv("MYSQL_PWD", password.toUtf8());
    SessionOptions options;
    QString error;
    QStringList left{"stale"};
    const bool ok = SessionOptions::fromArguments(arguments, &options, &error, &left);
    if (result.startsWith(QLatin1String("error: "))) {
        QVERIFY(!ok);
        QCOMPARE(error, result.mid(7));
        // A malformed option changes nothing.
        QCOMPARE(describe(options), defaults);
    } else {
        QVERIFY2(ok, qPrintable(error));
        QCOMPARE(describe(options), result);
        QCOMPARE(left, rest);
    }
    // Without a list for the rest, the same.
    SessionOptions again;
    QCOMPARE(SessionOptions::fromArguments(arguments, &again, &error), ok);
    QCOMPARE(describe(again), describe(options));
}

void TestRuntime::open_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password"); // the test password when null
    QTest::addColumn<QStringList>("arguments"); // beyond host, port, user and schema
    QTest::addColumn<bool>("plainServer"); // the server that offers no TLS, with its schema shop_a
    QTest::addColumn<QString>("says"); // the cipher when it opens, else a part of the error

    const QString ca = QStringLiteral("--ssl-ca=") + tlsFile("ca.pem");
    const QString cert = QStringLiteral("--ssl-cert=") + tlsFile("client-cert.pem");
    const QString cipher = QStringLiteral("TLS_AES_256_GCM_SHA384");
    const auto row = [](const char *tag, const char *user, const QStringList &arguments, const QString &says,
                        const QString &password = {}, bool plainServer = false) {
        QTest::newRow(tag) << user << password << arguments << plainServer << says;
    };
    row("plain", "tablesmith", {}, "");
    row("unix socket", "tablesmith", {"-h", "localhost", "-S", TestServer::settings().socket}, "");
    row("wrong password", "tablesmith", {}, "Access denied for user 'tablesmith'@'127.0.0.1' (using password: YES)", "wrong");
    row("account needs TLS", "tls_ssl", {}, "Access denied for user 'tls_ssl'");
    row("TLS with a CA", "tls_ssl", {ca}, cipher);
    row("TLS with a CA directory", "tls_ssl", {"--ssl-capath=" + tlsFile("capath"), "--ssl-verify-server-cert"}, cipher);
    row("TLS without a CA", "tls_ssl", {"--ssl"}, cipher);
    row("client certificate", "tls_x509", {ca, cert, "--ssl-key=" + tlsFile("client-key.pem")}, cipher);
    row("cipher", "tls_ssl", {ca, "--ssl-cipher=TLS_AES_128_GCM_SHA256"}, "TLS_AES_128_GCM_SHA256");
    row("untrusted server", "tls_ssl", {"--ssl-ca=" + tlsFile("other-ca.pem"), "--ssl-verify-server-cert"}, "TLS/SSL error");
    row("verify without a CA", "tls_ssl", {"--ssl", "--ssl-verify-server-cert"},
        "TLS: verifying the server's certificate needs a CA file or directory");
    row("no such CA file", "tls_ssl", {"--ssl-ca=/nonexistent/ca.pem"}, "TLS: the CA file \"/nonexistent/ca.pem\" does not exist");
    row("certificate without key", "tls_x509", {ca, cert}, "TLS: a client certificate needs its key");
    row("TLS asked, not offered", "tablesmith", {"--ssl"}, "TLS: the server 127.0.0.1 did not encrypt the connection; it was closed",
        {}, true);
    row("plain, on the server without TLS", "tablesmith", {}, "", {}, true);
}

void TestRuntime::open()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QStringList, arguments);
    QFETCH(bool, plainServer);
    QFETCH(QString, says);

    const QString schema = plainServer ? QStringLiteral("shop_a") : QStringLiteral("rt_sequences");
    SessionOptions options = testServer(schema, user);
    if (!password.isNull())
        options.password = password;
    if (plainServer)
        options.port = TestServer::plainPort();
    QString error;
    QVERIFY2(SessionOptions::fromArguments(arguments, &options, &error), qPrintable(error));
    Session *session = Session::instance();
    const bool opens = session->open(options, &error);
    const bool plain = says.isEmpty();
    if (plain || says.startsWith(QLatin1String("TLS_"))) {
        QVERIFY2(opens && session->isOpen() && session->systemDatabase()->isOpen(), qPrintable(error));
        QCOMPARE(session->systemDatabase()->databaseName(), schema);
        QCOMPARE(cipherOf(session->systemDatabase()), says);
        QCOMPARE(describe(session->options()), describe(options));
    } else {
        QVERIFY2(!opens && error.contains(says), qPrintable(error));
        // Nothing is left open, and the password is not told.
        QVERIFY(!session->isOpen() && !session->systemDatabase()->isOpen());
        QVERIFY(!error.contains(TestServer::settings().password));
        QVERIFY_THROWS_EXCEPTION(SqlException, SqlQuery(session->systemDatabase()).exec(QStringLiteral("select 1")));
    }
}

void TestRuntime::connectionPerThread()
{
    Session *session = Session::instance();
    const auto connectionId = [session] {
        SqlQuery query(session->systemDatabase());
        query.exec(QStringLiteral("select connection_id()"));
        return query.next() ? query.value(0).toLongLong() : -1;
    };
    const auto name = [session] { return session->systemDatabase()->connectionName(); };

    // No database at all: never the application's default connection.
    for (const auto &call : std::initializer_list<std::function<void()>>{[] { SqlQuery query(nullptr); },
                                                                         [] { Functions::getSecuencia("seq_x", nullptr); }}) {
        try {
            call();
            QFAIL("no exception without a database");
        } catch (const SqlException &e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("SQL error: no database connection (null)"));
        }
    }

    // Before the session opens, a connection that is not open.
    QVERIFY(!session->isOpen());
    QVERIFY(session->systemDatabase() && !session->systemDatabase()->isOpen());
    try {
        connectionId();
        QFAIL("a query ran without a session");
    } catch (const SqlException &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("SQL error: the database connection is not open, in: select connection_id()"));
    }

    QString error;
    QVERIFY2(session->open(testServer(QStringLiteral("rt_sequences")), &error), qPrintable(error));
    const qlonglong mainId = connectionId();
    const QString mainName = name();
    QCOMPARE(session->systemDatabase(), session->systemDatabase());
    QCOMPARE(connectionId(), mainId);

    // A thread gets its own, opened from the options, and keeps it.
    Worker worker;
    const qlonglong workerId = worker.run(connectionId);
    const QString workerName = worker.run(name);
    QVERIFY(workerId > 0 && workerId != mainId);
    QVERIFY(workerName != mainName);
    QCOMPARE(worker.run(connectionId), workerId);
    QVERIFY(QSqlDatabase::connectionNames().contains(workerName));

    // Opened again, each thread's connection is made anew.
    QVERIFY2(session->open(testServer(QStringLiteral("rw_rental")), &error), qPrintable(error));
    QVERIFY(connectionId() != mainId);
    QVERIFY(!QSqlDatabase::connectionNames().contains(mainName));
    const qlonglong newWorkerId = worker.run(connectionId);
    QVERIFY(newWorkerId > 0 && newWorkerId != workerId);
    QCOMPARE(worker.run([session] { return session->systemDatabase()->databaseName(); }), QStringLiteral("rw_rental"));
    QVERIFY(!QSqlDatabase::connectionNames().contains(workerName));

    // A thread's connection goes with the thread.
    const QString lastWorkerName = worker.run(name);
    worker.stop();
    QVERIFY(!QSqlDatabase::connectionNames().contains(lastWorkerName));

    // Closed: the calling thread's connection at once.
    const QString lastName = name();
    session->close();
    QVERIFY(!session->isOpen());
    QVERIFY(!QSqlDatabase::connectionNames().contains(lastName));
    QVERIFY(!session->systemDatabase()->isOpen());
}

void TestRuntime::sqlErrors_data()
{
    QTest::addColumn<QString>("statement"); // prepared, then run with :value bound to a secret
    QTest::addColumn<int>("errorNumber");
    QTest::addColumn<QString>("what");

    QTest::newRow("unknown table") << "select a from no_such_table where a = :value" << 1146
                                   << "SQL error 1146: Table 'rt_sequences.no_such_table' doesn't exist, in: select a from no_such_table "
                                      "where a = :value";
    QTest::newRow("syntax") << "selec :value" << 1064
                            << "SQL error 1064: You have an error in your SQL syntax; check the manual that corresponds to your "
                               "MariaDB server version for the right syntax to use near 'selec ?' at line 1, in: selec :value";
    // Only at exec: the bound value does not fit.
    QTest::newRow("too long") << "insert into secrets (k) values (:value)" << 1406
                              << "SQL error 1406: Data too long for column 'k' at row 1, in: insert into secrets (k) values (:value)";
    QTest::newRow("null") << "insert into secrets (n) values (null)" << 1048
                          << "SQL error 1048: Column 'n' cannot be null, in: insert into secrets (n) values (null)";
}

void TestRuntime::sqlErrors()
{
    QFETCH(QString, statement);
    QFETCH(int, errorNumber);
    QFETCH(QString, what);
    const QString secret = QStringLiteral("hunter2-hunter2-hunter2");
    QString error;
    QVERIFY2(Session::instance()->open(testServer(QStringLiteral("rt_sequences")), &error), qPrintable(error));
    QSqlDatabase *db = Session::instance()->systemDatabase();
    SqlQuery(db).exec(QStringLiteral("create temporary table secrets (k varchar(4), n int not null default 0)"));
    try {
        SqlQuery query(db);
        query.prepare(statement);
        query.bindValue(QStringLiteral(":value"), secret);
        query.exec();
        QFAIL("no exception");
    } catch (const SqlException &e) {
        QCOMPARE(QString::fromUtf8(e.what()), what);
        QCOMPARE(e.errorNumber(), errorNumber);
        QCOMPARE(e.statement(), statement);
        QVERIFY(what.contains(e.message()));
        QVERIFY(!QString::fromUtf8(e.what()).contains(QLatin1String("hunter2")));
    }
}

void TestRuntime::sequences_data()
{
    QTest::addColumn<QString>("setUp"); // statements on the session's connection, ';'-separated
    QTest::addColumn<QString>("way"); // TABLESMITH_RUNTIME_SEQUENCES, unset when empty
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("gives"); // the values of three calls, or the exception's what()

    const QString emulated = QStringLiteral("create temporary table seq_e (next_id bigint not null);"
                                            "insert into seq_e values (41)");
    QTest::newRow("MariaDB's sequence") << "create temporary sequence seq_s start with 7" << "" << "seq_s" << "7 8 9";
    QTest::newRow("MariaDB's, chosen") << "create temporary sequence seq_s start with 7 increment by 5" << "native" << "seq_s"
                                       << "7 12 17";
    QTest::newRow("emulated") << emulated << "emulated" << "seq_e" << "42 43 44";
    QTest::newRow("emulated, a rolled back step is given again")
            << emulated + ";begin;select 1 from seq_e for update" << "emulated" << "seq_e" << "42 42 42";
    QTest::newRow("a name that needs quoting") << "create temporary sequence `seq_a``b c.d` start with 3" << "" << "seq_a`b c.d"
                                               << "3 4 5";
    QTest::newRow("emulated, a name that needs quoting")
            << "create temporary table `seq_a``b` (next_id bigint not null);insert into `seq_a``b` values (0)" << "emulated"
            << "seq_a`b" << "1 2 3";
    QTest::newRow("missing")
            << "" << "" << "seq_none"
            << "SQL error 4091: the sequence `seq_none` does not exist (Unknown SEQUENCE: 'seq_none'); create it with "
               "\"create sequence `seq_none` start with N\", N above the largest id in use, in: select nextval(`seq_none`)";
    QTest::newRow("missing, emulated")
            << "" << "emulated" << "seq_none"
            << "SQL error 1146: the sequence table `seq_none` does not exist (Table 'rt_sequences.seq_none' doesn't exist); create "
               "it with \"create table `seq_none` (next_id bigint not null) engine=InnoDB; insert into `seq_none` (next_id) values "
               "(N - 1)\", N being the first id to give, above the largest id in use, in: update `seq_none` set next_id = "
               "last_insert_id(next_id + 1)";
    QTest::newRow("emulated, empty")
            << "create temporary table seq_e (next_id bigint not null)" << "emulated" << "seq_e"
            << "SQL error: the sequence table `seq_e` is empty; give it its row with \"insert into `seq_e` (next_id) values (N - 1)\", "
               "N being the first id to give, in: update `seq_e` set next_id = last_insert_id(next_id + 1)";
    QTest::newRow("emulated, two rows")
            << "create temporary table seq_e (next_id bigint not null);insert into seq_e values (1), (2)" << "emulated" << "seq_e"
            << "SQL error: the sequence table `seq_e` holds 2 rows; it must hold exactly one, in: update `seq_e` set next_id = "
               "last_insert_id(next_id + 1)";
    QTest::newRow("emulated, no next_id")
            << "create temporary table seq_e (id bigint not null);insert into seq_e values (1)" << "emulated" << "seq_e"
            << "SQL error 1054: the sequence table `seq_e` has no column next_id (Unknown column 'next_id' in 'SET'); it is made "
               "with \"create table `seq_e` (next_id bigint not null) engine=InnoDB; insert into `seq_e` (next_id) values (N - 1)\", "
               "in: update `seq_e` set next_id = last_insert_id(next_id + 1)";
    QTest::newRow("a table taken for a sequence")
            << emulated << "" << "seq_e" << "SQL error 4089: 'rt_sequences.seq_e' is not a SEQUENCE, in: select nextval(`seq_e`)";
    QTest::newRow("no name") << "" << "" << "" << "SQL error: a sequence needs a name";
}

void TestRuntime::sequences()
{
    QFETCH(QString, setUp);
    QFETCH(QString, way);
    QFETCH(QString, name);
    QFETCH(QString, gives);
    if (!way.isEmpty())
        qputenv("TABLESMITH_RUNTIME_SEQUENCES", way.toUtf8());
    QString error;
    QVERIFY2(Session::instance()->open(testServer(QStringLiteral("rt_sequences")), &error), qPrintable(error));
    QSqlDatabase *db = Session::instance()->systemDatabase();
    for (const QString &statement : setUp.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        SqlQuery(db).exec(statement);
    // A row that ends in a transaction rolls each step back.
    const bool rollBack = setUp.contains(QLatin1String("begin"));
    QStringList values;
    try {
        for (int i = 0; i < 3; ++i) {
            values.append(QString::number(Functions::getSecuencia(name, db)));
            if (rollBack) {
                SqlQuery(db).exec(QStringLiteral("rollback"));
                SqlQuery(db).exec(QStringLiteral("begin"));
            }
        }
    } catch (const SqlException &e) {
        values = QStringList{QString::fromUtf8(e.what())};
    }
    QCOMPARE(values.join(QLatin1Char(' ')), gives);
}

void TestRuntime::recordPicker()
{
    QString error;
    QVERIFY2(Session::instance()->open(testServer(QStringLiteral("rt_sequences")), &error), qPrintable(error));
    QWidget form;
    auto *layout = new QHBoxLayout(&form);
    auto *picker = new crud::CustomEditor;
    layout->addWidget(picker);
    QComboBox *combo = picker->descripcionComboBox();
    QVERIFY(combo && combo->parent() == picker);
    QCOMPARE(picker->focusProxy(), combo);

    // As a generated editor fills it; more rows than the model fetches at once.
    auto *model = new QSqlQueryModel(picker);
    model->setQuery(QStringLiteral("select seq as id, concat('row ', seq) as name from seq_1_to_600"),
                    *Session::instance()->systemDatabase());
    combo->setModel(model);
    combo->setModelColumn(1);
    form.resize(400, 60);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(picker->height(), combo->height());
    QCOMPARE(picker->currentRecord().value(QStringLiteral("name")).toString(), QStringLiteral("row 1"));
    QVERIFY(picker->selectRecord(QStringLiteral("id"), 550));
    QCOMPARE(combo->currentText(), QStringLiteral("row 550"));
    QCOMPARE(picker->currentRecord().value(QStringLiteral("id")).toInt(), 550);
    QVERIFY(!picker->selectRecord(QStringLiteral("id"), 601));
    QCOMPARE(combo->currentIndex(), -1);
    QVERIFY(picker->currentRecord().isEmpty());
}

void TestRuntime::installed()
{
    // The runtime's and the development files' install, into a prefix of
    // its own, as the packages split them.
    QTemporaryDir prefix;
    const QString build = qEnvironmentVariable("TABLESMITH_BINARY_DIR");
    for (const char *component : {"runtime", "development"})
        QCOMPARE(QProcess::execute(QStringLiteral(TABLESMITH_CMAKE), {"--install", build, "--prefix", prefix.path(), "--component",
                                                                     QLatin1String(component)}),
                 0);
    QStringList files;
    for (QDirIterator it(prefix.path(), QDir::Files | QDir::System, QDirIterator::Subdirectories); it.hasNext();) {
        const QFileInfo file(it.next());
        files.append(file.filePath().mid(prefix.path().size() + 1) + (file.isSymLink() ? " -> " + file.symLinkTarget().section('/', -1) : QString()));
    }
    // The targets of the build type, whichever it is.
    files.replaceInStrings(QRegularExpression(QStringLiteral("TablesmithRuntimeTargets-\\w+\\.cmake")),
                           QStringLiteral("TablesmithRuntimeTargets-TYPE.cmake"));
    files.sort();
    const QString lib = QStringLiteral(TABLESMITH_INSTALL_LIBDIR);
    const QStringList expected{
            "include/tablesmith-runtime/core/connectionpool.h",
            "include/tablesmith-runtime/core/functions.h",
            "include/tablesmith-runtime/core/session.h",
            "include/tablesmith-runtime/core/sql/sqlexception.h",
            "include/tablesmith-runtime/core/sql/sqlquery.h",
            "include/tablesmith-runtime/data/genericdao.h",
            "include/tablesmith-runtime/data/objectbase.h",
            "include/tablesmith-runtime/global/tablesmith_runtime_global.h",
            "include/tablesmith-runtime/global/vellum_global.h",
            "include/tablesmith-runtime/gui/extras/customeditor.h",
            lib + "/cmake/TablesmithRuntime/TablesmithRuntimeConfig.cmake",
            lib + "/cmake/TablesmithRuntime/TablesmithRuntimeConfigVersion.cmake",
            lib + "/cmake/TablesmithRuntime/TablesmithRuntimeTargets-TYPE.cmake",
            lib + "/cmake/TablesmithRuntime/TablesmithRuntimeTargets.cmake",
            lib + "/libtablesmith-runtime.so -> libtablesmith-runtime.so.1",
            lib + "/libtablesmith-runtime.so.1 -> libtablesmith-runtime.so.1.0.0",
            lib + "/libtablesmith-runtime.so.1.0.0",
            lib + "/pkgconfig/tablesmith-runtime.pc",
            "share/doc/libtablesmith-runtime-dev/changelog.gz",
            "share/doc/libtablesmith-runtime-dev/copyright",
            "share/doc/libtablesmith-runtime1/changelog.gz",
            "share/doc/libtablesmith-runtime1/copyright",
            "share/lintian/overrides/libtablesmith-runtime1",
    };
    QCOMPARE(files, expected);

    // pkg-config finds it where it was installed.
    QProcess pkgConfig;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PKG_CONFIG_PATH"), prefix.filePath(lib + "/pkgconfig"));
    pkgConfig.setProcessEnvironment(environment);
    pkgConfig.start(QStringLiteral("pkg-config"), {"--cflags", "--libs", "tablesmith-runtime"});
    QVERIFY(pkgConfig.waitForFinished());
    QStringList flags = QString::fromUtf8(pkgConfig.readAllStandardOutput()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString &flag : flags) {
        if (flag.startsWith(QLatin1String("-I")) || flag.startsWith(QLatin1String("-L")))
            flag = flag.left(2) + QDir::cleanPath(flag.mid(2));
    }
    QVERIFY2(pkgConfig.exitCode() == 0 && flags.value(0) == "-I" + prefix.filePath("include/tablesmith-runtime")
                     && flags.contains("-L" + prefix.filePath(lib)) && flags.contains("-ltablesmith-runtime")
                     && flags.contains("-lQt6Sql") && flags.contains("-lQt6Widgets"),
             qPrintable(flags.join(' ') + pkgConfig.readAllStandardError()));
    // CMake's package is used from the build tree by the scaffold's test and from
    // the installed packages by scripts/installed-e2e.
}

QTEST_MAIN(TestRuntime)
#include "tst_runtime.moc"
