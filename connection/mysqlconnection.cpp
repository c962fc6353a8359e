#include "connection/mysqlconnection.h"

#include "connection/hostnameverification.h"

#include <QElapsedTimer>
#include <QSqlError>

namespace {

QSqlDatabase registerMysqlConnection(const QString &connectionName, const QString &databaseName,
                                     const ConnectionSettings &settings)
{
    if (QSqlDatabase::contains(connectionName))
        QSqlDatabase::removeDatabase(connectionName);

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), connectionName);
    db.setHostName(settings.host);
    db.setDatabaseName(databaseName);
    db.setUserName(settings.user);
    db.setPassword(settings.password);
    db.setPort(settings.port);
    // A host that does not answer must not block for minutes, nor a server
    // that stops answering in the middle of a run.
    QString options = QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=%1").arg(qMax(1, settings.connectTimeout));
    if (settings.readTimeout > 0)
        options += QStringLiteral(";MYSQL_OPT_READ_TIMEOUT=%1;MYSQL_OPT_WRITE_TIMEOUT=%1").arg(settings.readTimeout);
    if (!settings.socket.isEmpty())
        options += QStringLiteral(";UNIX_SOCKET=") + settings.socket;
    const QString tls = settings.tls.driverOptions();
    if (!tls.isEmpty())
        options += QLatin1Char(';') + tls;
    db.setConnectOptions(options);
    return db;
}

// The server answers an account that requires TLS, reached without it, as it
// answers a wrong password. Trying once more with TLS tells the two apart.
bool accountNeedsTls(const ConnectionSettings &settings, const QString &databaseName)
{
    const QString probe = QStringLiteral("TablesmithTlsProbe");
    bool opens = false;
    {
        ConnectionSettings encrypted = settings;
        encrypted.tls.required = true;
        QSqlDatabase db = openMysqlConnection(probe, databaseName, encrypted);
        opens = db.isOpen();
        db.close();
    }
    QSqlDatabase::removeDatabase(probe);
    return opens;
}

QString failureLine(const QSqlDatabase &db, const ConnectionSettings &settings)
{
    const QSqlError error = db.lastError();
    QString line = tlsFailureLine(error, settings.tls);
    // A cause the TLS settings ran into says more than the plain line.
    if (line != error.text())
        return line;
    // ER_ACCESS_DENIED_ERROR
    if (error.nativeErrorCode() == QLatin1String("1045")) {
        if (!settings.tls.isRequested() && accountNeedsTls(settings, db.databaseName()))
            return line + QStringLiteral(": the account requires an encrypted connection (TLS)");
        if (settings.tls.isRequested() && settings.tls.cert.isEmpty())
            return line + QStringLiteral(" (or the account requires a client certificate)");
    }
    return connectionFailureLine(error, settings);
}

// Where the connection went, as the user gave it: "db:3306", or the socket.
QString place(const ConnectionSettings &settings)
{
    if (settings.host == QLatin1String("localhost") || settings.host.isEmpty())
        return settings.socket.isEmpty() ? QStringLiteral("the local server's socket")
                                         : QStringLiteral("the socket %1").arg(settings.socket);
    return QStringLiteral("%1:%2").arg(settings.host).arg(settings.port);
}

} // namespace

QString serverLine(const ConnectionSettings &settings)
{
    // "localhost" is the unix socket to the client library, whatever the port.
    const bool local = settings.host == QLatin1String("localhost") || settings.host.isEmpty();
    const QString where = !local ? QStringLiteral("port %1").arg(settings.port)
            : settings.socket.isEmpty() ? QStringLiteral("socket (the default)")
                                        : QStringLiteral("socket %1").arg(settings.socket);
    return QStringLiteral("Server %1, schema %2").arg(where, settings.schema);
}

QString connectionFailureLine(const QSqlError &error, const ConnectionSettings &settings)
{
    const QString text = error.text();
    const int code = error.nativeErrorCode().toInt();
    // The client's own codes (errmsg.h) and the server's (mysqld_error.h);
    // the system's error number stands in the driver's text, "(111)".
    const auto says = [&text](const char *words) { return text.contains(QLatin1String(words)); };
    QString plain;
    if (code == 2005 || says("Unknown server host") || says("Unknown host"))
        plain = QStringLiteral("The host %1 was not found").arg(settings.host);
    else if (says("(110)") || says("system error: 110") || says("timed out")
             || (code == 2013 && says("initial communication packet")))
        plain = QStringLiteral("No answer from %1 within %2 seconds").arg(place(settings)).arg(qMax(1, settings.connectTimeout));
    else if (code == 2002 || code == 2003)
        plain = QStringLiteral("Nothing is listening on %1").arg(place(settings));
    else if (code == 1045)
        plain = QStringLiteral("Access denied: wrong user name or password");
    else if (code == 1044)
        plain = QStringLiteral("Access denied: the account may not use schema \"%1\"").arg(settings.schema);
    else if (code == 1049)
        plain = QStringLiteral("The server has no schema \"%1\"").arg(settings.schema);
    return plain.isEmpty() ? text : plain + QStringLiteral(" (") + text + QLatin1Char(')');
}

QSqlDatabase openMysqlConnection(const QString &connectionName, const QString &databaseName,
                                 const ConnectionSettings &settings)
{
    QSqlDatabase db = registerMysqlConnection(connectionName, databaseName, settings);
    const HostNameVerification verification(settings.tls.verifyServerCert);
    db.open();
    return db;
}

SchemaConnections openSchemaConnections(const ConnectionSettings &settings)
{
    QElapsedTimer clock;
    clock.start();
    SchemaConnections connections;
    const QString tlsProblem = settings.tls.problem();
    if (!tlsProblem.isEmpty()) {
        connections.schema = registerMysqlConnection(schemaConnectionName(), settings.schema, settings);
        connections.problem = QStringLiteral("TLS: ") + tlsProblem;
    } else {
        connections.schema = openMysqlConnection(schemaConnectionName(), settings.schema, settings);
        if (!connections.schema.isOpen())
            connections.problem = failureLine(connections.schema, settings);
    }
    if (connections.schema.isOpen()) {
        connections.encryption = connectionEncryption(connections.schema);
        // The client library quietly falls back to plain text when the
        // server offers no TLS.
        if (settings.tls.isRequested() && !connections.encryption.isEncrypted()) {
            connections.schema.close();
            connections.problem = QStringLiteral("TLS: the server %1 does not offer encrypted connections; the "
                                                 "connection was closed").arg(settings.host);
        }
    }
    if (!connections.schema.isOpen()) {
        connections.catalog = registerMysqlConnection(catalogConnectionName(), QStringLiteral("information_schema"),
                                                      settings);
        return connections;
    }
    // What is left of the budget, in the client's whole seconds (at least one).
    ConnectionSettings rest = settings;
    rest.connectTimeout = int(qMax<qint64>(1, settings.connectTimeout - clock.elapsed() / 1000));
    connections.catalog = openMysqlConnection(catalogConnectionName(), QStringLiteral("information_schema"), rest);
    // The schema opening does not make the catalogue's connection open: an
    // account may have used up its connections (max_user_connections), say.
    if (!connections.catalog.isOpen()) {
        connections.catalogProblem = failureLine(connections.catalog, rest);
        connections.problem = QStringLiteral("Cannot open the catalogue information_schema: %1")
                                      .arg(connections.catalogProblem);
    } else if (settings.tls.isRequested() && !connectionEncryption(connections.catalog).isEncrypted()) {
        // It carries the same password, and falls back to plain text as
        // quietly as the schema's.
        connections.catalog.close();
        connections.catalogProblem = QStringLiteral("TLS: the server %1 did not encrypt the connection to "
                                                    "information_schema; the connection was closed").arg(settings.host);
        connections.problem = connections.catalogProblem;
    }
    return connections;
}
