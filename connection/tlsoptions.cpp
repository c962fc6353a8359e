#include "connection/tlsoptions.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlQuery>

namespace {

QString fileProblem(const QString &path, const QString &what, bool directory)
{
    if (path.isEmpty())
        return QString();
    // The driver takes its options as one ';'-separated list.
    if (path.contains(QLatin1Char(';')))
        return QStringLiteral("the %1 \"%2\" may not hold ';'").arg(what, path);
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("the %1 \"%2\" does not exist").arg(what, path);
    if (directory ? !info.isDir() : !info.isFile())
        return QStringLiteral("the %1 \"%2\" is not a %3").arg(what, path,
                                                               directory ? QStringLiteral("directory") : QStringLiteral("file"));
    if (!info.isReadable())
        return QStringLiteral("the %1 \"%2\" cannot be read").arg(what, path);
    return QString();
}

} // namespace

bool TlsOptions::isRequested() const
{
    return required || verifyServerCert || !ca.isEmpty() || !caPath.isEmpty() || !cert.isEmpty() || !key.isEmpty()
            || !cipher.isEmpty();
}

QString TlsOptions::problem() const
{
    const QString problems[] = {
        fileProblem(ca, QStringLiteral("CA file"), false),
        fileProblem(caPath, QStringLiteral("CA directory"), true),
        fileProblem(cert, QStringLiteral("client certificate"), false),
        fileProblem(key, QStringLiteral("client key"), false),
        cipher.contains(QLatin1Char(';')) ? QStringLiteral("the cipher list may not hold ';'") : QString(),
        !cert.isEmpty() && key.isEmpty() ? QStringLiteral("a client certificate needs its key") : QString(),
        cert.isEmpty() && !key.isEmpty() ? QStringLiteral("a client key needs its certificate") : QString(),
        verifyServerCert && !verifiesServer()
                ? QStringLiteral("verifying the server's certificate needs a CA file or directory")
                : QString(),
    };
    for (const QString &problem : problems) {
        if (!problem.isEmpty())
            return problem;
    }
    return QString();
}

QString TlsOptions::driverOptions() const
{
    if (!isRequested())
        return QString();
    QStringList options;
    const std::pair<const char *, const QString *> files[] = {
        {"SSL_CA", &ca}, {"SSL_CAPATH", &caPath}, {"SSL_CERT", &cert}, {"SSL_KEY", &key}};
    for (const auto &[name, value] : files) {
        if (!value->isEmpty())
            options.append(QLatin1String(name) + QLatin1Char('=') + *value);
    }
    // The driver turns TLS on when it is given any SSL_ option (CLIENT_SSL
    // alone it refuses); an empty cipher list leaves the library's default.
    if (!cipher.isEmpty() || options.isEmpty())
        options.append(QStringLiteral("SSL_CIPHER=") + cipher);
    return options.join(QLatin1Char(';'));
}

ConnectionEncryption connectionEncryption(const QSqlDatabase &db)
{
    ConnectionEncryption encryption;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SHOW SESSION STATUS WHERE Variable_name IN ('Ssl_version', 'Ssl_cipher')")))
        return encryption;
    encryption.known = true;
    while (query.next()) {
        if (query.value(0).toString() == QLatin1String("Ssl_version"))
            encryption.version = query.value(1).toString();
        else
            encryption.cipher = query.value(1).toString();
    }
    return encryption;
}

QString encryptionLine(const ConnectionEncryption &encryption, const TlsOptions &tls)
{
    if (!encryption.known)
        return QCoreApplication::translate("Tablesmith", "Encryption unknown: the server did not say");
    if (!encryption.isEncrypted())
        return QCoreApplication::translate("Tablesmith", "Unencrypted connection");
    const QString verified = !tls.verifiesServer()
            ? QCoreApplication::translate("Tablesmith", "the server's certificate is not verified: no CA given")
            : tls.verifyServerCert
            ? QCoreApplication::translate("Tablesmith", "the server's certificate is signed by the given CA and "
                                                        "issued to the host connected to")
            : QCoreApplication::translate("Tablesmith", "the server's certificate is signed by the given CA; "
                                                        "its host name is not checked");
    return QCoreApplication::translate("Tablesmith", "Encrypted connection: %1, cipher %2 (%3)")
            .arg(encryption.version, encryption.cipher, verified);
}

QString tlsFailureLine(const QSqlError &error, const TlsOptions &tls)
{
    const QString text = error.text();
    if (!tls.isRequested() || !text.contains(QLatin1String("TLS/SSL error")))
        return text;
    const auto says = [&text](const char *words) { return text.contains(QLatin1String(words), Qt::CaseInsensitive); };
    QString cause;
    if (says("key values mismatch"))
        cause = QStringLiteral("the client key does not belong to the client certificate");
    else if (says("no cipher match"))
        cause = QStringLiteral("the server and the client have no cipher of the list in common");
    else if (says("no start line") || says("unsupported") || says("bad base64") || says("ASN1"))
        cause = QStringLiteral("a certificate or key file is not in PEM form");
    else if (says("expired") || says("not yet valid"))
        cause = QStringLiteral("a certificate is out of its validity period");
    else if (tls.verifiesServer()
             && (says("self-signed certificate") || says("local issuer") || says("verify the first certificate")
                 || says("certificate verify failed")))
        cause = QStringLiteral("the server's certificate is not trusted: the given CA did not sign it");
    else if (tls.verifyServerCert && says("Validation of SSL server certificate failed"))
        cause = QStringLiteral("the server's certificate was issued to another host name");
    return cause.isEmpty() ? text : cause + QStringLiteral(" (") + text + QLatin1Char(')');
}
