#pragma once

#include <QString>
#include <QStringList>

// Which tables to generate: names and patterns ("inv_*", "?_log"), less the
// tables the exclusions match. A pattern picks up tables added to the schema
// later; a name must exist.
//
// An entry in double quotes is a name, never a pattern: "x,y", "a*", " lead".
// Inside, "" is a quote, \\ a backslash, \n \r \t and \xHH the control
// characters a line of a project file cannot hold. Lists of entries are
// separated by commas outside quotes (splitTableList()); a name holding a
// comma, * or ?, a quote, a control character or blanks at either end is
// written quoted (entryFor()).
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
    static bool isQuoted(const QString &entry);
    // The name a quoted entry stands for; any other entry as it is.
    static QString literal(const QString &entry);
    // The entry that picks exactly the table `name`.
    static QString entryFor(const QString &name);
};

// The entries of a comma-separated list, blanks around them dropped, empty
// ones left out, quoted names as entryFor() writes them; returns an empty
// string or what is wrong with the list (then `entries` is unchanged).
QString splitTableList(const QString &value, QStringList *entries);

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
