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
    // ER_ACCESS_DENIED_ERROR
    if (error.nativeErrorCode() == QLatin1String("1045")) {
        if (!settings.tls.isRequested() && accountNeedsTls(settings, db.databaseName()))
            line += QStringLiteral(": the account requires an encrypted connection (TLS)");
        else if (settings.tls.isRequested() && settings.tls.cert.isEmpty())
            line += QStringLiteral(" (or the account requires a client certificate)");
    }
    return line;
}

} // namespace

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
        connections.problem = QStringLiteral("Cannot open the catalogue information_schema: %1")
                                      .arg(failureLine(connections.catalog, rest));
    } else if (settings.tls.isRequested() && !connectionEncryption(connections.catalog).isEncrypted()) {
        connections.catalog.close();
        connections.problem = QStringLiteral("TLS: the server %1 did not encrypt the connection to information_schema; "
                                             "the connection was closed").arg(settings.host);
    }
    return connections;
}
