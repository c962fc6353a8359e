#pragma once

#include <QHash>
#include <QSqlRecord>
#include <QString>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QSqlDatabase;
QT_END_NAMESPACE

// The driver's field lists of many tables, read with a few multi-statement
// queries ("select * from `t` limit 0" for each table) instead of one round
// trip per table. The driver types every field as it does for a table's own
// field list, so the code model gets the same types on any server, whatever
// types that server has.
class FieldLists
{
public:
    // Reads the field lists of `tables`. A table whose query fails (no
    // SELECT privilege, dropped meanwhile) is left out; the statements after
    // it go on in the next query.
    void read(const QSqlDatabase &connection, const QStringList &tables);

    bool contains(const QString &table) const { return m_records.contains(table); }
    QSqlRecord record(const QString &table) const { return m_records.value(table); }
    // Queries sent to the server by read().
    int queryCount() const { return m_queries; }

    // The longest query text: well below the smallest max_allowed_packet a
    // server has by default (1 MiB).
    static constexpr qsizetype maxQueryBytes = 512 * 1024;

private:
    QHash<QString, QSqlRecord> m_records;
    int m_queries = 0;
};
