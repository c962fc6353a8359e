#include "mysql/catalogquery.h"

#include "mysql/database.h"
#include "mysql/table.h"

#include <QSqlDatabase>

namespace mysql {

QSqlQuery catalogQuery()
{
    return QSqlQuery(QSqlDatabase::database(QStringLiteral("InformationSchema"), true));
}

QString schemaOf(const Table *table)
{
    const Database *db = table->database();
    return db ? db->name() : QString();
}

} // namespace mysql
