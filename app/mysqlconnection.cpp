#include "app/mysqlconnection.h"

#include <QElapsedTimer>

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
    db.setConnectOptions(options);
    return db;
}

} // namespace

QSqlDatabase openMysqlConnection(const QString &connectionName, const QString &databaseName,
                                 const ConnectionSettings &settings)
{
    QSqlDatabase db = registerMysqlConnection(connectionName, databaseName, settings);
    db.open();
    return db;
}

SchemaConnections openSchemaConnections(const ConnectionSettings &settings)
{
    QElapsedTimer clock;
    clock.start();
    SchemaConnections connections;
    connections.schema = openMysqlConnection(schemaConnectionName(), settings.schema, settings);
    if (!connections.schema.isOpen()) {
        connections.catalog = registerMysqlConnection(catalogConnectionName(), QStringLiteral("information_schema"),
                                                      settings);
        return connections;
    }
    // What is left of the budget, in the client's whole seconds (at least one).
    ConnectionSettings rest = settings;
    rest.connectTimeout = int(qMax<qint64>(1, settings.connectTimeout - clock.elapsed() / 1000));
    connections.catalog = openMysqlConnection(catalogConnectionName(), QStringLiteral("information_schema"), rest);
    return connections;
}
