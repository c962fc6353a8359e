// Encrypted connections against the test server, which runs with a throwaway
// CA (scripts/test-server): what each --ssl option gets from the driver, the
// line that names the cipher, and one clear line for every refusal; and the
// same through the window's Connection Security settings.

#include "support.h"

#include "app/window/connectionsecuritydialog.h"
#include "connection/tlsoptions.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class TestTls : public QObject
{
    Q_OBJECT

private slots:
    void cli_data();
    void cli();
    void window_data();
    void window();
};

using TestServer::plainPort;
using TestServer::tlsFile;

// The rows' users "plain" (the second server, without TLS) and "split" (see
// splitPort()) are the test account.
static QString account(const QString &user)
{
    return user == QLatin1String("plain") || user == QLatin1String("split") ? TestServer::settings().user : user;
}

// Copies what one socket reads to the other until it closes.
static void pump(int from, int to)
{
    char buffer[16384];
    ssize_t n;
    while ((n = ::read(from, buffer, sizeof buffer)) > 0) {
        if (::write(to, buffer, size_t(n)) != n)
            break;
    }
    ::shutdown(to, SHUT_WR);
}

// A port whose connections go on by turns to the TLS server and to the one
// without TLS: of each Connect's pair the schema's connection is encrypted,
// the catalogue's falls back to plain text (the user "split").
static int splitPort()
{
    static const int port = [] {
        const int listening = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listening, reinterpret_cast<sockaddr *>(&address), length) != 0 || ::listen(listening, 8) != 0
            || ::getsockname(listening, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            qFatal("cannot listen for the split connections");
        const int first = TestServer::settings().port, later = plainPort();
        std::thread([listening, first, later] {
            for (int n = 0;; ++n) {
                const int client = ::accept(listening, nullptr, nullptr);
                if (client < 0)
                    return;
                const int server = ::socket(AF_INET, SOCK_STREAM, 0);
                sockaddr_in target{};
                target.sin_family = AF_INET;
                target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                target.sin_port = htons(quint16(n % 2 == 0 ? first : later));
                if (::connect(server, reinterpret_cast<sockaddr *>(&target), sizeof target) != 0) {
                    ::close(client);
                    ::close(server);
                    continue;
                }
                std::thread(pump, client, server).detach();
                std::thread(pump, server, client).detach();
            }
        }).detach();
        return int(ntohs(address.sin_port));
    }();
    return port;
}

static int serverPort(const QString &user)
{
    return user == QLatin1String("split") ? splitPort() : user == QLatin1String("plain") ? plainPort() : TestServer::settings().port;
}

// What the command line and the window alike say.
static const QString verified("(the server's certificate is signed by the given CA; its host name is not checked)");
static const QString connected("Connected to: 127.0.0.1\nServer port %1, schema shop_a\n");
static QString encrypted()
{
    return connected.arg(TestServer::settings().port) + "Encrypted connection: TLSv1.3, cipher TLS_AES_256_GCM_SHA384 " + verified;
}
static const QString requiresTls("Access denied for user 'tls_ssl'@'127.0.0.1' (using password: YES) QMYSQL: Unable to connect: "
                                 "the account requires an encrypted connection (TLS)");
static const QString noTls("TLS: the server 127.0.0.1 does not offer encrypted connections; the connection was closed");
static const QString catalogueNoTls("TLS: the server 127.0.0.1 did not encrypt the connection to information_schema; the "
                                    "connection was closed");
static const QString untrusted("the server's certificate is not trusted: the given CA did not sign it (TLS/SSL error: "
                               "self-signed certificate in certificate chain");

void TestTls::cli_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says"); // on standard output when it connects, else on standard error
    const QString ca = QStringLiteral("--ssl-ca=") + tlsFile("ca.pem");
    const QString cert = QStringLiteral("--ssl-cert=") + tlsFile("client-cert.pem");
    const QString key = QStringLiteral("--ssl-key=") + tlsFile("client-key.pem");

    const auto row = [](const char *tag, const char *user, const QStringList &options, int exitCode, const QString &says) {
        QTest::newRow(tag) << user << options << exitCode << says;
    };
    row("plain", "tablesmith", {}, 0, connected.arg(TestServer::settings().port) + "Unencrypted connection\n");
    row("REQUIRE SSL without TLS", "tls_ssl", {}, 1, "cannot connect to schema \"shop_a\" on 127.0.0.1: " + requiresTls + "\n");
    row("a wrong password is not blamed on TLS", "tls_wrong", {}, 1, "(using password: YES) QMYSQL: Unable to connect)\n");
    row("--ssl-ca", "tls_ssl", {ca}, 0, encrypted() + "\n");
    row("--ssl-capath", "tls_ssl", {"--ssl-capath=" + tlsFile("capath")}, 0, verified);
    row("--ssl without a CA", "tls_ssl", {"--ssl"}, 0,
        "cipher TLS_AES_256_GCM_SHA384 (the server's certificate is not verified: no CA given)\n");
    row("--ssl-cipher", "tls_ssl", {ca, "--ssl-cipher=TLS_AES_128_GCM_SHA256"}, 0, "cipher TLS_AES_128_GCM_SHA256 ");
    row("unknown cipher", "tls_ssl", {ca, "--ssl-cipher=NO-SUCH-CIPHER"}, 1,
        ": the server and the client have no cipher of the list in common (TLS/SSL error: no cipher match");
    row("wrong CA, verify", "tls_ssl", {"--ssl-ca=" + tlsFile("other-ca.pem"), "--ssl-verify-server-cert"}, 1,
        "127.0.0.1: " + untrusted);
    row("verify without a CA", "tls_ssl", {"--ssl", "--ssl-verify-server-cert"}, 2,
        "tablesmith-cli: TLS: verifying the server's certificate needs a CA file or directory\n");
    row("no such CA file", "tls_ssl", {"--ssl-ca=/nonexistent/ca.pem"}, 2,
        "tablesmith-cli: TLS: the CA file \"/nonexistent/ca.pem\" does not exist\n");
    row("key without certificate", "tls_x509", {ca, key}, 2, "TLS: a client key needs its certificate\n");
    row("X509 without certificate", "tls_x509", {ca}, 1,
        "Access denied for user 'tls_x509'@'127.0.0.1' (using password: YES) QMYSQL: Unable to connect (or the account "
        "requires a client certificate)\n");
    row("X509 with certificate", "tls_x509", {ca, cert, key}, 0, verified);
    row("key of another certificate", "tls_x509", {ca, cert, "--ssl-key=" + tlsFile("other-ca-key.pem")}, 1,
        "the client key does not belong to the client certificate");
    row("not PEM", "tls_ssl", {"--ssl-ca=" + tlsFile("../env")}, 1, "TLS/SSL error");
    row("host name checked", "tls_ssl", {ca, "--ssl-verify-server-cert"}, 0,
        "signed by the given CA and issued to the host connected to)\n");
    // 127.1 is 127.0.0.1 to the resolver, but not a name the certificate holds.
    row("another host name", "tls_ssl", {ca, "--ssl-verify-server-cert", "-h", "127.1"}, 1,
        "on 127.1: the server's certificate was issued to another host name (TLS/SSL error: ");
    row("another host name, not checked", "tls_ssl", {ca, "-h", "127.1"}, 0, verified);
    row("server without TLS, --ssl", "plain", {"--ssl"}, 1, noTls);
    row("server without TLS, --ssl-ca", "plain", {ca}, 1, noTls);
    // The catalogue's connection is checked as the schema's is.
    row("catalogue without TLS", "split", {"--ssl"}, 1, "cannot open information_schema on 127.0.0.1: " + catalogueNoTls + "\n");
}

void TestTls::cli()
{
    QFETCH(QString, user);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QTemporaryDir dir;
    // tls_wrong: the account tls_ssl with a wrong password.
    const bool wrong = user == QLatin1String("tls_wrong");
    const QStringList server = serverArguments("shop_a", wrong ? QStringLiteral("tls_ssl") : account(user),
                                               wrong ? "wrong" : TestServer::settings().password, serverPort(user));
    const CliResult result = runCli(server + options + QStringList{"-o", dir.path(), "--only=dao"});
    QVERIFY2(result.exitCode == exitCode && (exitCode == 0 ? result.out : result.err).contains(says)
                     && (user == QLatin1String("tls_ssl") || !result.err.contains("requires an encrypted connection")),
             qPrintable(result.describe()));
    QCOMPARE(QFileInfo::exists(dir.filePath("code")), exitCode == 0);
}

void TestTls::window_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QStringList>("fields"); // sslCa, sslCert, sslKey (files of the CA's folder), sslVerifyServerCert
    QTest::addColumn<QString>("says"); // the log after "Establishing connection to: 127.0.0.1", or the dialog's refusal
    QTest::newRow("needs TLS") << "tls_ssl" << QStringList{"", "", "", ""} << requiresTls;
    QTest::newRow("CA") << "tls_ssl" << QStringList{"ca.pem", "", "", ""} << encrypted();
    QTest::newRow("wrong CA") << "tls_ssl" << QStringList{"other-ca.pem", "", "", "verify"} << untrusted + " QMYSQL: Unable to connect)";
    QTest::newRow("client certificate") << "tls_x509" << QStringList{"ca.pem", "client-cert.pem", "client-key.pem", ""}
                                        << "Connected to: 127.0.0.1\nServer port " + QString::number(TestServer::settings().port)
                                                   + ", schema shop_a\nEncrypted connection: TLSv1.3";
    QTest::newRow("server without TLS") << "plain" << QStringList{"ca.pem", "", "", ""} << noTls;
    QTest::newRow("catalogue without TLS") << "split" << QStringList{"ca.pem", "", "", ""} << catalogueNoTls;
    QTest::newRow("verify without CA") << "tls_ssl" << QStringList{"", "", "", "verify"}
                                       << "Cannot use these settings: verifying the server's certificate needs a CA file or directory.";
}

// Settings > Connection Security... as a user fills it; the settings are
// remembered, so the next start connects the same way.
void TestTls::window()
{
    QFETCH(QString, user);
    QFETCH(QStringList, fields);
    QFETCH(QString, says);
    for (const bool first : {true, false}) {
        Tablesmith window;
        fillForm(window, QStringLiteral("shop_a"), account(user), TestServer::settings().password, QStringLiteral("127.0.0.1"),
                 QString::number(serverPort(user)));
        QString refusal;
        if (first) {
            QTimer::singleShot(0, [&] {
                auto *dialog = qobject_cast<ConnectionSecurityDialog *>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                const char *names[] = {"sslCa", "sslCert", "sslKey"};
                for (int i = 0; i < 3; ++i)
                    child<QLineEdit>(*dialog, names[i])->setText(fields.at(i).isEmpty() ? QString() : tlsFile(fields.at(i)));
                child<QCheckBox>(*dialog, "sslVerifyServerCert")->setChecked(!fields.at(3).isEmpty());
                dialog->accept();
                if (dialog->isVisible()) {
                    refusal = child<QLabel>(*dialog, "sslProblem")->text();
                    dialog->reject();
                }
            });
            window.findChild<QAction *>(QStringLiteral("actionConnectionSecurity"))->trigger();
        }
        if (!refusal.isEmpty()) {
            QCOMPARE(refusal, says);
            return;
        }
        click(window, "btConnect");
        const QString log = logLines(window).join(QLatin1Char('\n'));
        QVERIFY2(log.startsWith("Establishing connection to: 127.0.0.1\n" + says), qPrintable(log));
    }
}

QTEST_MAIN(TestTls)
#include "tst_tls.moc"
