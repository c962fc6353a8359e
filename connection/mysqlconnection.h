#pragma once

#include "connection/tlsoptions.h"
#include "mysql/threadconnections.h"

#include <QSqlDatabase>
#include <QString>

// Where and as whom to connect, as the connection form or the command line
// gives it.
struct ConnectionSettings
{
    QString host = QStringLiteral("localhost");
    QString schema;
    QString user;
    QString password;
    int port = 3306;
    // The server's unix socket, for host "localhost"; empty: the client's
    // default (or MYSQL_UNIX_PORT).
    QString socket;
    // Seconds that one read from or write to the server may wait before the
    // query fails; 0 waits for ever. A server that stops answering (frozen,
    // cut off by the network) would otherwise hang the run.
    int readTimeout = 60;
    // Seconds that opening a connection may take, the server's greeting
    // included.
    int connectTimeout = 10;
    // Any TLS option asks for an encrypted connection, and a connection
    // that is not encrypted all the same is closed.
    TlsOptions tls;
};

// Registers a QMYSQL connection under `connectionName` on `databaseName`
// with the given settings, replacing an earlier registration of that name,
// and tries to open it. Callers drop their own handles of an earlier
// registration first, so Qt finds none still in use.
QSqlDatabase openMysqlConnection(const QString &connectionName, const QString &databaseName,
                                 const ConnectionSettings &settings);

// The connection to the schema and the one to its catalogue.
struct SchemaConnections
{
    QSqlDatabase schema;
    QSqlDatabase catalog;
    // Why the pair is not open, one line: why the schema's connection is
    // not (the driver's error, or the cause a TLS setting ran into where it
    // can be told), else why the catalogue's is not.
    QString problem;
    // Why the catalogue's connection is not open, one line, when the
    // schema's is.
    QString catalogProblem;
    // What the server says of the schema's connection, once open.
    ConnectionEncryption encryption;
};

// Opens the schema's connection and, once that is open, the catalogue's,
// both within one connect timeout: a server that does not answer costs that
// timeout once, not once per connection. When the schema's connection does
// not open, the catalogue's is registered but not opened. Either connection
// that asked for TLS and is not encrypted is closed again. Only when both are
// open is `problem` empty.
SchemaConnections openSchemaConnections(const ConnectionSettings &settings);

// The log line after "Connected to: HOST": where on the server, "Server port
// 3306, schema shop" ("Server socket PATH, ..." for host localhost).
QString serverLine(const ConnectionSettings &settings);

// The line for a connection that did not open: a short plain sentence for
// the usual causes (nothing listening, unknown host, no answer in time,
// access denied, unknown schema), then the driver's own words in
// parentheses; the driver's text alone for any other.
QString connectionFailureLine(const QSqlError &error, const ConnectionSettings &settings);

// The names under which the schema and its catalogue are registered; the
// schema reader and the code model find them by these names, which a thread
// of its own may change.
inline QString schemaConnectionName() { return mysql::schemaConnection(); }
inline QString catalogConnectionName() { return mysql::catalogConnection(); }
