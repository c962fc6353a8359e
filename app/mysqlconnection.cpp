#include "app/mysqlconnection.h"

QSqlDatabase openMysqlConnection(const QString &connectionName, const QString &databaseName,
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
    QString options = QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=10");
    if (settings.readTimeout > 0)
        options += QStringLiteral(";MYSQL_OPT_READ_TIMEOUT=%1;MYSQL_OPT_WRITE_TIMEOUT=%1").arg(settings.readTimeout);
    if (!settings.socket.isEmpty())
        options += QStringLiteral(";UNIX_SOCKET=") + settings.socket;
    db.setConnectOptions(options);
    db.open();
    return db;
}
