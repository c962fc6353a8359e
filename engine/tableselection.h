#pragma once

#include <QString>
#include <QStringList>

// Which tables to generate: names and patterns ("inv_*", "?_log"), less the
// tables the exclusions match. A pattern picks up tables added to the schema
// later; a name must exist.
struct TableSelection
{
    // Empty: every base table.
    QStringList include;
    QStringList exclude;
    // Put before the lines about `include` and `exclude`: "FILE:LINE: " where
    // they were read from a file, empty from the command line.
    QString includeOrigin;
    QString excludeOrigin;

    static bool isPattern(const QString &entry);
};

struct TableChoice
{
    // In the schema's order.
    QStringList tables;
    // One line for each name the schema does not have and each pattern that
    // matches no table; nothing may be generated when there are any.
    QStringList problems;
};

// Matches are exact and case-sensitive, as every lookup of a table name.
TableChoice chooseTables(const QString &schema, const QStringList &schemaTables, const TableSelection &selection);
