#include <core/sql/sqlquery.h>

#include <QSqlDriver>

namespace {

// QSqlQuery takes a database without a driver for the application's
// default connection; a query here never runs elsewhere than asked.
const QSqlDatabase &checked(const QSqlDatabase *db)
{
    if (!db)
        throw SqlException(QStringLiteral("no database connection (null)"));
    if (!db->isValid())
        throw SqlException(QStringLiteral("the database connection has no driver (is Qt's MySQL driver installed?)"));
    return *db;
}

} // namespace

SqlQuery::SqlQuery(QSqlDatabase *db)
    : QSqlQuery(checked(db))
{
}

static void requireOpen(const QSqlQuery &query, const QString &sql)
{
    // QSqlQuery only warns on the console when the connection is not open.
    if (!query.driver() || !query.driver()->isOpen()) {
        const QString why = query.driver() ? query.driver()->lastError().text().trimmed() : QString();
        throw SqlException(why.isEmpty() ? QStringLiteral("the database connection is not open")
                                         : QStringLiteral("the database connection is not open: ") + why,
                           sql);
    }
}

bool SqlQuery::prepare(const QString &sql)
{
    requireOpen(*this, sql);
    if (!QSqlQuery::prepare(sql))
        throw SqlException(lastError(), sql);
    return true;
}

bool SqlQuery::exec()
{
    requireOpen(*this, lastQuery());
    if (!QSqlQuery::exec())
        throw SqlException(lastError(), lastQuery());
    return true;
}

bool SqlQuery::exec(const QString &sql)
{
    requireOpen(*this, sql);
    if (!QSqlQuery::exec(sql))
        throw SqlException(lastError(), sql);
    return true;
}
