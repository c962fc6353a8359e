#pragma once

#include <core/sql/sqlquery.h>

#include <QSqlDatabase>
#include <QString>

namespace Functions {

// The next value of the named sequence.
inline qlonglong getSecuencia(const QString &sequence, QSqlDatabase *db)
{
    SqlQuery query(db);
    query.prepare(QStringLiteral("select nextval(%1)").arg(sequence));
    query.exec();
    return query.next() ? query.value(0).toLongLong() : 0;
}

} // namespace Functions
