#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

// How a connection is to be encrypted, as plain data: the mysql client's
// --ssl options, which the command line, the window's Connection Security
// dialog and a project file all give.
//
// What the MySQL driver and client library we build against make of them
// (tried against a MariaDB server):
// - any of the options asks the client library for TLS, but it falls back to
//   an unencrypted connection when the server offers no TLS; so every
//   connection that asked for TLS is checked for a cipher after it opened and
//   closed when it has none;
// - with a CA (file or directory) the server's certificate chain is verified;
//   without one the server is not authenticated at all;
// - the server's host name is compared with its certificate only with
//   verifyServerCert; the driver has no switch for that check, so
//   HostNameVerification asks the client library for it directly.
struct TlsOptions
{
    bool required = false; // --ssl
    QString ca; // --ssl-ca: PEM file of trusted CAs
    QString caPath; // --ssl-capath: directory of hashed CA files (openssl rehash)
    QString cert; // --ssl-cert: client certificate (PEM)
    QString key; // --ssl-key: its private key (PEM)
    QString cipher; // --ssl-cipher
    bool verifyServerCert = false; // --ssl-verify-server-cert: the chain and the host name

    // Whether TLS was asked for in any way.
    bool isRequested() const;
    // Whether the server's certificate chain is verified (a CA was given).
    bool verifiesServer() const { return !ca.isEmpty() || !caPath.isEmpty(); }
    // Empty when the settings can be used; otherwise one line saying what is
    // wrong (a missing or unreadable file, a key without certificate, ...).
    QString problem() const;
    // The driver's connect options for these settings, "" when none, to be
    // joined with ';' to the others.
    QString driverOptions() const;
};

// What the server says of an open connection.
struct ConnectionEncryption
{
    bool known = false; // the server answered
    QString version; // Ssl_version, "TLSv1.3"; empty when not encrypted
    QString cipher; // Ssl_cipher
    bool isEncrypted() const { return !cipher.isEmpty(); }
};
ConnectionEncryption connectionEncryption(const QSqlDatabase &db);

// The log line after Connect: whether the connection is encrypted, with
// which cipher, and what of the server was verified.
QString encryptionLine(const ConnectionEncryption &encryption, const TlsOptions &tls);

// One line for a connection the TLS settings made fail, naming the cause
// where it can be told from the driver's error; the driver's text otherwise.
QString tlsFailureLine(const QSqlError &error, const TlsOptions &tls);
