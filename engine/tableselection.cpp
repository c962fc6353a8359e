#include "engine/tableselection.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// "*" any run of characters, "?" one character; the rest as it stands.
bool wildcardMatch(const QString &pattern, const QString &table)
{
    QString expression;
    for (const QChar c : pattern) {
        if (c == QLatin1Char('*'))
            expression += QLatin1String(".*");
        else if (c == QLatin1Char('?'))
            expression += QLatin1Char('.');
        else
            expression += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(expression),
                              QRegularExpression::DotMatchesEverythingOption)
            .match(table)
            .hasMatch();
}

bool matchesAny(const QString &table, const QStringList &entries)
{
    for (const QString &entry : entries) {
        if (TableSelection::isPattern(entry) ? wildcardMatch(entry, table) : entry == table)
            return true;
    }
    return false;
}

} // namespace

bool TableSelection::isPattern(const QString &entry)
{
    return entry.contains(QLatin1Char('*')) || entry.contains(QLatin1Char('?'));
}

TableChoice chooseTables(const QString &schema, const QStringList &schemaTables, const TableSelection &selection)
{
    TableChoice choice;
    for (const QString &entry : selection.include) {
        if (std::any_of(schemaTables.begin(), schemaTables.end(),
                        [&entry](const QString &table) { return matchesAny(table, {entry}); }))
            continue;
        choice.problems.append(selection.includeOrigin
                               + (TableSelection::isPattern(entry)
                                          ? QStringLiteral("no table of schema \"%1\" matches \"%2\"").arg(schema, entry)
                                          : QStringLiteral("schema \"%1\" has no table \"%2\"").arg(schema, entry)));
    }
    for (const QString &table : schemaTables) {
        if ((selection.include.isEmpty() || matchesAny(table, selection.include))
            && !matchesAny(table, selection.exclude))
            choice.tables.append(table);
    }
    return choice;
}
