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
    // A host that does not answer must not block for minutes.
    db.setConnectOptions(QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=10"));
    db.open();
    return db;
}
