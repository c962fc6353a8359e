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
        if (TableSelection::isPattern(entry) ? wildcardMatch(entry, table) : TableSelection::literal(entry) == table)
            return true;
    }
    return false;
}

} // namespace

bool TableSelection::isPattern(const QString &entry)
{
    return !isQuoted(entry) && (entry.contains(QLatin1Char('*')) || entry.contains(QLatin1Char('?')));
}

bool TableSelection::isQuoted(const QString &entry)
{
    return entry.startsWith(QLatin1Char('"'));
}

namespace {

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

// Reads the quoted name that begins at `*at` (on its opening quote) into
// `name`, leaving `*at` after the closing quote; false when it has none.
bool readQuoted(const QString &text, qsizetype *at, QString *name)
{
    name->clear();
    qsizetype i = *at + 1;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                name->append(c);
                i += 2;
                continue;
            }
            *at = i + 1;
            return true;
        }
        if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar e = text.at(i + 1);
            bool ok = false;
            const ushort hex = text.mid(i + 2, 2).toUShort(&ok, 16);
            if (e == QLatin1Char('n') || e == QLatin1Char('r') || e == QLatin1Char('t') || e == QLatin1Char('\\')) {
                name->append(e == QLatin1Char('n') ? QChar(u'\n') : e == QLatin1Char('r') ? QChar(u'\r')
                                     : e == QLatin1Char('t') ? QChar(u'\t') : e);
                i += 2;
                continue;
            }
            if (e == QLatin1Char('x') && ok && text.mid(i + 2, 2).size() == 2) {
                name->append(QChar(hex));
                i += 4;
                continue;
            }
        }
        name->append(c);
        ++i;
    }
    return false;
}

} // namespace

QString TableSelection::literal(const QString &entry)
{
    if (!isQuoted(entry))
        return entry;
    qsizetype at = 0;
    QString name;
    readQuoted(entry, &at, &name);
    return name;
}

QString TableSelection::entryFor(const QString &name)
{
    const bool plain = !name.isEmpty() && name == name.trimmed()
            && std::none_of(name.begin(), name.end(), [](QChar c) {
                   return c == QLatin1Char(',') || c == QLatin1Char('*') || c == QLatin1Char('?')
                           || c == QLatin1Char('"') || isControl(c);
               });
    if (plain)
        return name;
    QString entry = QStringLiteral("\"");
    for (const QChar c : name) {
        if (c == QLatin1Char('"'))
            entry += QLatin1String("\"\"");
        else if (c == QLatin1Char('\\'))
            entry += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            entry += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            entry += QLatin1String("\\r");
        else if (c == QLatin1Char('\t'))
            entry += QLatin1String("\\t");
        else if (isControl(c))
            entry += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            entry += c;
    }
    return entry + QLatin1Char('"');
}

QString splitTableList(const QString &value, QStringList *entries)
{
    QStringList items;
    qsizetype at = 0;
    while (at < value.size()) {
        while (at < value.size() && value.at(at).isSpace())
            ++at;
        if (at < value.size() && value.at(at) == QLatin1Char('"')) {
            QString name;
            if (!readQuoted(value, &at, &name))
                return QStringLiteral("a quoted table name is not closed: %1").arg(value.mid(at));
            if (name.isEmpty())
                return QStringLiteral("an empty quoted table name");
            while (at < value.size() && value.at(at).isSpace())
                ++at;
            if (at < value.size() && value.at(at) != QLatin1Char(','))
                return QStringLiteral("text after the quoted table name \"%1\": put a comma between names").arg(name);
            items.append(TableSelection::entryFor(name));
        } else {
            qsizetype end = value.indexOf(QLatin1Char(','), at);
            if (end < 0)
                end = value.size();
            const QString item = value.mid(at, end - at).trimmed();
            if (!item.isEmpty())
                items.append(item);
            at = end;
        }
        ++at; // the comma
    }
    *entries = items;
    return QString();
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
                                          : QStringLiteral("schema \"%1\" has no table %2")
                                                    .arg(schema, TableSelection::isQuoted(entry) ? entry : QLatin1Char('"') + entry + QLatin1Char('"'))));
    }
    for (const QString &table : schemaTables) {
        if ((selection.include.isEmpty() || matchesAny(table, selection.include))
            && !matchesAny(table, selection.exclude))
            choice.tables.append(table);
    }
    return choice;
}
