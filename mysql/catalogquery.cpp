#include "mysql/catalogquery.h"

#include "mysql/database.h"
#include "mysql/table.h"
#include "mysql/threadconnections.h"

#include <QSqlDatabase>

namespace mysql {

QSqlQuery catalogQuery()
{
    return QSqlQuery(QSqlDatabase::database(catalogConnection(), true));
}

QSqlError execCatalogQuery(QSqlQuery &query)
{
    if (query.exec() || query.lastError().isValid())
        return query.lastError();
    const QSqlError connectionError = QSqlDatabase::database(catalogConnection(), false).lastError();
    if (connectionError.isValid())
        return connectionError;
    return QSqlError(QStringLiteral("The catalogue connection \"%1\" is not open").arg(catalogConnection()), QString(),
                     QSqlError::ConnectionError);
}

QString schemaOf(const Table *table)
{
    const Database *db = table->database();
    return db ? db->name() : QString();
}

} // namespace mysql
