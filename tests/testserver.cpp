#include "testserver.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace TestServer {

namespace {

Settings readSettings()
{
    Settings settings;
    QFile file(qEnvironmentVariable("TABLESMITH_TEST_ENV"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return settings;
    QTextStream stream(&file);
    while (!stream.atEnd()) {
        const QString line = stream.readLine();
        const QString key = line.section(QLatin1Char('='), 0, 0);
        const QString value = line.section(QLatin1Char('='), 1);
        if (key == QLatin1String("TEST_PORT"))
            settings.port = value.toInt();
        else if (key == QLatin1String("TEST_SOCKET"))
            settings.socket = value;
        else if (key == QLatin1String("TEST_USER"))
            settings.user = value;
        else if (key == QLatin1String("TEST_PASSWORD"))
            settings.password = value;
        else if (key == QLatin1String("TEST_DATADIR"))
            settings.dataDirectory = value;
    }
    settings.valid = settings.port > 0;
    return settings;
}

QSqlDatabase addConnection(const QString &name, const QString &database)
{
    const Settings &s = settings();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
    db.setHostName(QStringLiteral("127.0.0.1"));
    db.setPort(s.port);
    db.setUserName(s.user);
    db.setPassword(s.password);
    db.setDatabaseName(database);
    return db;
}

} // namespace

const Settings &settings()
{
    static const Settings settings = readSettings();
    return settings;
}

bool openConnections(const QString &schema)
{
    closeConnections();
    bool opened = addConnection(QStringLiteral("Connection"), schema).open();
    opened = addConnection(QStringLiteral("InformationSchema"), QStringLiteral("information_schema")).open()
            && opened;
    return opened;
}

void closeConnections()
{
    QSqlDatabase::removeDatabase(QStringLiteral("Connection"));
    QSqlDatabase::removeDatabase(QStringLiteral("InformationSchema"));
}

QString exec(const QString &sql)
{
    const QString name = QStringLiteral("TestServerAdmin");
    QString error;
    {
        QSqlDatabase db = addConnection(name, QString());
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            QSqlQuery query(db);
            if (!query.exec(sql))
                error = query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}

} // namespace TestServer
