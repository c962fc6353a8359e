#pragma once

#include <core/sql/sqlexception.h>
#include <global/tablesmith_runtime_global.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

// A QSqlQuery that throws SqlException where QSqlQuery returns false, so a
// chain of statements needs one try block:
//
//   try {
//       SqlQuery query(Session::instance()->systemDatabase());
//       query.prepare("update t set a = :a where id = :id");
//       query.bindValue(":a", a);
//       query.bindValue(":id", id);
//       query.exec();
//   } catch (const SqlException &e) {
//       qWarning() << e.what();
//   }
//
// Everything else (bindValue, next, value, record, ...) is QSqlQuery's.
class TABLESMITH_RUNTIME_EXPORT SqlQuery : public QSqlQuery
{
public:
    // A query on `db`. Throws when `db` is null or has no driver: QSqlQuery
    // would quietly use the application's default connection instead.
    explicit SqlQuery(QSqlDatabase *db);

    // Prepares `sql`; throws when the connection is not open or the server
    // refuses it (an unknown table or column, a syntax error, ...).
    bool prepare(const QString &sql);
    // Runs the prepared statement with the bound values; throws on failure.
    bool exec();
    // Runs `sql` at once, without placeholders; throws on failure.
    bool exec(const QString &sql);
};
