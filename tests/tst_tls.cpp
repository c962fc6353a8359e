// Encrypted connections against the test server, which runs with a throwaway
// CA (scripts/test-server): what each --ssl option gets from the driver, the
// line that names the cipher, and one clear line for every refusal; and the
// same through the window's Connection Security settings.

#include "support.h"

#include "app/tlsoptions.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

class TestTls : public QObject
{
    Q_OBJECT

private slots:
    void cli_data();
    void cli();
};

namespace {

QString tlsFile(const QString &name)
{
    return TestServer::settings().tlsDir + QLatin1Char('/') + name;
}

} // namespace

void TestTls::cli_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says"); // on standard output when it connects, else on standard error
    const QString ca = QStringLiteral("--ssl-ca=") + tlsFile("ca.pem");
    const QString cert = QStringLiteral("--ssl-cert=") + tlsFile("client-cert.pem");
    const QString key = QStringLiteral("--ssl-key=") + tlsFile("client-key.pem");
    const QString verified = QStringLiteral("(the server's certificate is signed by the given CA; its host name is not "
                                            "checked)");

    QTest::newRow("plain") << "tablesmith" << QStringList() << 0 << "Connected to: 127.0.0.1\nUnencrypted connection\n";
    QTest::newRow("REQUIRE SSL without TLS")
            << "tls_ssl" << QStringList() << 1
            << "cannot connect to schema \"shop_a\" on 127.0.0.1: Access denied for user 'tls_ssl'@'127.0.0.1' (using "
               "password: YES) QMYSQL: Unable to connect: the account requires an encrypted connection (TLS)\n";
    QTest::newRow("a wrong password is not blamed on TLS")
            << "tls_wrong" << QStringList() << 1 << "(using password: YES) QMYSQL: Unable to connect\n";
    QTest::newRow("--ssl-ca") << "tls_ssl" << QStringList{ca} << 0
                              << "Connected to: 127.0.0.1\nEncrypted connection: TLSv1.3, cipher TLS_AES_256_GCM_SHA384 "
                                 + verified + "\n";
    QTest::newRow("--ssl-capath") << "tls_ssl" << QStringList{"--ssl-capath=" + tlsFile("capath")} << 0 << verified;
    QTest::newRow("--ssl without a CA")
            << "tls_ssl" << QStringList{"--ssl"} << 0
            << "cipher TLS_AES_256_GCM_SHA384 (the server's certificate is not verified: no CA given)\n";
    QTest::newRow("--ssl-cipher") << "tls_ssl" << QStringList{ca, "--ssl-cipher=TLS_AES_128_GCM_SHA256"} << 0
                                  << "cipher TLS_AES_128_GCM_SHA256 ";
    QTest::newRow("unknown cipher") << "tls_ssl" << QStringList{ca, "--ssl-cipher=NO-SUCH-CIPHER"} << 1
                                    << ": the server and the client have no cipher of the list in common (TLS/SSL "
                                       "error: no cipher match";
    QTest::newRow("wrong CA, verify")
            << "tls_ssl" << QStringList{"--ssl-ca=" + tlsFile("other-ca.pem"), "--ssl-verify-server-cert"} << 1
            << "127.0.0.1: the server's certificate is not trusted: the given CA did not sign it (TLS/SSL error: "
               "self-signed certificate in certificate chain";
    QTest::newRow("verify without a CA") << "tls_ssl" << QStringList{"--ssl", "--ssl-verify-server-cert"} << 2
                                         << "tablesmith-cli: TLS: verifying the server's certificate needs a CA file "
                                            "or directory\n";
    QTest::newRow("no such CA file") << "tls_ssl" << QStringList{"--ssl-ca=/nonexistent/ca.pem"} << 2
                                     << "tablesmith-cli: TLS: the CA file \"/nonexistent/ca.pem\" does not exist\n";
    QTest::newRow("key without certificate") << "tls_x509" << QStringList{ca, key} << 2
                                             << "TLS: a client key needs its certificate\n";
    QTest::newRow("X509 without certificate")
            << "tls_x509" << QStringList{ca} << 1
            << "Access denied for user 'tls_x509'@'127.0.0.1' (using password: YES) QMYSQL: Unable to connect (or the "
               "account requires a client certificate)\n";
    QTest::newRow("X509 with certificate") << "tls_x509" << QStringList{ca, cert, key} << 0 << verified;
    QTest::newRow("key of another certificate")
            << "tls_x509" << QStringList{ca, cert, "--ssl-key=" + tlsFile("other-ca-key.pem")} << 1
            << "the client key does not belong to the client certificate";
    QTest::newRow("not PEM") << "tls_ssl" << QStringList{"--ssl-ca=" + tlsFile("../env")} << 1
                             << "TLS/SSL error";
}

void TestTls::cli()
{
    QFETCH(QString, user);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    const TestServer::Settings &s = TestServer::settings();
    QTemporaryDir dir;
    QStringList arguments = serverArguments("shop_a", user, user == QLatin1String("tls_wrong") ? "wrong" : s.password);
    if (user == QLatin1String("tls_wrong"))
        arguments[5] = QStringLiteral("tls_ssl");
    const CliResult result = runCli(arguments + options + QStringList{"-o", dir.path(), "--only=dao"});
    QVERIFY2(result.exitCode == exitCode && (exitCode == 0 ? result.out : result.err).contains(says),
             qPrintable(result.describe()));
    if (exitCode != 0)
        QVERIFY2(!result.err.contains("requires an encrypted connection") || user == QLatin1String("tls_ssl"),
                 qPrintable(result.describe()));
    QCOMPARE(QFileInfo::exists(dir.filePath("code")), exitCode == 0);
}

QTEST_MAIN(TestTls)
#include "tst_tls.moc"
