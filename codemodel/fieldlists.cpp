#include "codemodel/fieldlists.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString fieldListStatement(const QString &table)
{
    QString quoted = table;
    quoted.replace(QLatin1Char('`'), QLatin1String("``"));
    return QStringLiteral("select * from `%1` limit 0;").arg(quoted);
}

} // namespace

void FieldLists::read(const QSqlDatabase &connection, const QStringList &tables)
{
    qsizetype next = 0;
    while (next < tables.size()) {
        // As many statements as fit into one query, at least one.
        QString text;
        qsizetype end = next;
        while (end < tables.size()) {
            const QString statement = fieldListStatement(tables.at(end));
            if (end > next && (text.size() + statement.size()) * 3 > maxQueryBytes)
                break;
            text += statement;
            ++end;
        }
        QSqlQuery query(connection);
        query.setForwardOnly(true);
        ++m_queries;
        // The server stops at the first statement that fails; that table is
        // left out, and the next query starts after it.
        qsizetype done = next;
        if (query.exec(text)) {
            do {
                m_records.insert(tables.at(done), query.record());
                ++done;
            } while (done < end && query.nextResult());
        }
        // Errors of the client library itself (2000 and up: the server
        // gone, a timeout) would only repeat for every query that follows.
        if (done < end && query.lastError().nativeErrorCode().toInt() >= 2000)
            return;
        next = done + (done < end ? 1 : 0);
    }
}
