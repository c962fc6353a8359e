#pragma once

#include <core/sql/sqlexception.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

// A query that throws SqlException instead of returning false.
class SqlQuery : public QSqlQuery
{
public:
    explicit SqlQuery(QSqlDatabase *db) : QSqlQuery(*db) {}

    bool prepare(const QString &sql)
    {
        if (!QSqlQuery::prepare(sql))
            throw SqlException(lastError().text());
        return true;
    }

    bool exec()
    {
        if (!QSqlQuery::exec())
            throw SqlException(lastError().text());
        return true;
    }
};
