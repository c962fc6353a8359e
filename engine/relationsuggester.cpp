#include "engine/relationsuggester.h"

#include "codemodel/identifiers.h"
#include "codemodel/schemarules.h"
#include "mysql/column.h"
#include "mysql/database.h"
#include "mysql/foreignkey.h"
#include "mysql/keycolumn.h"
#include "mysql/primarykey.h"
#include "mysql/table.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

using mysql::Column;
using mysql::Table;

namespace {

const QSet<QString> integerTypes = {"tinyint", "smallint", "mediumint", "int", "bigint"};

// The columns of a table's primary key; none when it has no key, or one
// whose columns the catalogue did not all give.
QList<const Column *> keyColumns(const Table *table)
{
    QList<const Column *> columns;
    if (!table->primaryKey())
        return columns;
    for (const mysql::KeyColumn *keyColumn : table->primaryKey()->columns()) {
        if (!keyColumn->column())
            return {};
        columns.append(keyColumn->column());
    }
    return columns;
}

bool isInteger(const Column *column)
{
    return integerTypes.contains(column->dataType().toLower());
}

bool isUnsigned(const Column *column)
{
    return column->columnType().contains(QLatin1String("unsigned"), Qt::CaseInsensitive);
}

// The type as the evidence names it: an integer without its display width.
QString typeText(const Column *column)
{
    if (isInteger(column))
        return column->dataType().toLower() + (isUnsigned(column) ? QStringLiteral(" unsigned") : QString());
    return schemarules::normalSqlType(column->columnType());
}

// Whether `column` holds what `key` does: integers of one sign (a key and
// its references often differ in width where nothing enforces them), or
// else the very same type, length and all.
bool typesMatch(const Column *column, const Column *key)
{
    if (isInteger(column) && isInteger(key))
        return isUnsigned(column) == isUnsigned(key);
    return typeText(column) == typeText(key);
}

QString columnsText(const QString &table, const QStringList &columns)
{
    return columns.size() == 1 ? table + QLatin1Char('.') + columns.first()
                               : QStringLiteral("%1.(%2)").arg(table, columns.join(QStringLiteral(", ")));
}

QString typeEvidence(const QList<const Column *> &columns, const QList<const Column *> &keys, const QString &keyText)
{
    QStringList types, keyTypes;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        types.append(typeText(columns.at(i)));
        keyTypes.append(typeText(keys.at(i)));
    }
    const QString own = types.join(QStringLiteral(", "));
    if (types == keyTypes)
        return QStringLiteral("%1 %2 %3").arg(own, columns.size() == 1 ? QStringLiteral("matches") : QStringLiteral("match"),
                                              keyText);
    return QStringLiteral("%1 and %2 (%3) agree in kind and sign").arg(own, keyText, keyTypes.join(QStringLiteral(", ")));
}

// The names a word may give a table by: itself, its regular English plural,
// and the words it may be the plural of. Irregular plurals (people, data)
// are not known.
QStringList wordForms(const QString &word)
{
    QStringList forms{word};
    const bool consonantY = word.size() > 1 && word.endsWith(QLatin1Char('y'))
            && !QStringView(u"aeiou").contains(word.at(word.size() - 2));
    if (consonantY)
        forms.append(word.chopped(1) + QStringLiteral("ies"));
    else if (word.endsWith(QLatin1Char('s')) || word.endsWith(QLatin1Char('x')) || word.endsWith(QLatin1Char('z'))
             || word.endsWith(QLatin1String("ch")) || word.endsWith(QLatin1String("sh")))
        forms.append(word + QStringLiteral("es"));
    else
        forms.append(word + QLatin1Char('s'));
    if (word.size() > 3 && word.endsWith(QLatin1String("ies")))
        forms.append(word.chopped(3) + QLatin1Char('y'));
    if (word.size() > 2 && word.endsWith(QLatin1String("es")))
        forms.append(word.chopped(2));
    if (word.size() > 1 && word.endsWith(QLatin1Char('s')) && !word.endsWith(QLatin1String("ss")))
        forms.append(word.chopped(1));
    return forms;
}

// One way of reading a column's name as pointing to a table.
struct Reading
{
    QString word; // naming the table
    QString keyName; // the key column's name the column ends in; empty: any
    QString ending; // with a word before: the part that names the table
    bool parent = false; // the table's own parent row
};

class Finder
{
public:
    Finder(const mysql::Database *database, const QStringList &prefixes);
    // The suggestions from `table`; the columns named like keys that are
    // not, each with why, go to `passedOver`.
    QList<SuggestedRelation> suggest(const Table *table, QStringList *passedOver) const;

private:
    const Table *named(const QString &word) const;
    QList<Reading> readings(const QString &name) const;
    // A key from `column`, or else, when its name points to one, why it is
    // none in `miss`.
    bool single(const Table *table, const Column *column, SuggestedRelation *found, QString *miss) const;
    bool composite(const Table *table, const Table *referenced, const QSet<const Column *> &taken,
                   SuggestedRelation *found, QList<const Column *> *columns) const;

    // Tables by their names in lower case, with and without the prefixes
    // to strip.
    QHash<QString, QList<const Table *>> m_names;
    // The names of single-column keys other than id, "_" before each,
    // longest first, and those of the columns of multi-column keys, in
    // lower case.
    QStringList m_keyEndings;
    QSet<QString> m_compositeKeyNames;
};

Finder::Finder(const mysql::Database *database, const QStringList &prefixes)
{
    QSet<QString> keyNames;
    for (const Table *table : database->tables()) {
        QSet<QString> names{table->name().toLower()};
        for (const QString &prefix : prefixes) {
            if (table->name().startsWith(prefix, Qt::CaseInsensitive) && table->name().size() > prefix.size())
                names.insert(table->name().mid(prefix.size()).toLower());
        }
        for (const QString &name : std::as_const(names))
            m_names[name].append(table);
        const QList<const Column *> keys = keyColumns(table);
        for (const Column *key : keys) {
            const QString name = key->name().toLower();
            if (keys.size() > 1)
                m_compositeKeyNames.insert(name);
            else if (name != QLatin1String("id"))
                keyNames.insert(QLatin1Char('_') + name);
        }
    }
    m_keyEndings = QStringList(keyNames.cbegin(), keyNames.cend());
    std::sort(m_keyEndings.begin(), m_keyEndings.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() ? a.size() > b.size() : a < b;
    });
}

const Table *Finder::named(const QString &word) const
{
    if (word.isEmpty())
        return nullptr;
    for (const QString &form : wordForms(word)) {
        const auto found = m_names.constFind(form);
        if (found != m_names.cend())
            return found->first();
    }
    return nullptr;
}

// The readings of a name in lower case, the surest first: the table's word
// and the key column's name (country_code), the word and id (user_id,
// userid, id_user, iduser), the word alone (country); then the same with a
// word before (sender_user_id); then parent_id.
QList<Reading> Finder::readings(const QString &name) const
{
    QList<Reading> readings;
    for (const QString &ending : m_keyEndings) {
        if (name.size() > ending.size() && name.endsWith(ending))
            readings.append({name.chopped(ending.size()), ending.mid(1), {}});
    }
    if (name.size() > 3 && name.endsWith(QLatin1String("_id")))
        readings.append({name.chopped(3), {}, {}});
    else if (name.size() > 2 && name.endsWith(QLatin1String("id")))
        readings.append({name.chopped(2), {}, {}});
    if (name.size() > 3 && name.startsWith(QLatin1String("id_")))
        readings.append({name.mid(3), {}, {}});
    else if (name.size() > 2 && name.startsWith(QLatin1String("id")))
        readings.append({name.mid(2), {}, {}});
    const qsizetype plain = readings.size();
    readings.append({name, {}, {}});
    // A word before the table's: the role the key plays. Only where the
    // table's word begins the name (not id_x).
    for (qsizetype i = 0; i < plain; ++i) {
        const Reading reading = readings.at(i);
        if (!name.startsWith(reading.word))
            continue;
        const QString rest = name.mid(reading.word.size()); // "_id", "id", "_code"
        for (qsizetype at = reading.word.indexOf(QLatin1Char('_')); at >= 0;
             at = reading.word.indexOf(QLatin1Char('_'), at + 1)) {
            const QString word = reading.word.mid(at + 1);
            if (!word.isEmpty())
                readings.append({word, reading.keyName, word + rest});
        }
    }
    if (name == QLatin1String("parent_id") || name == QLatin1String("parentid") || name == QLatin1String("parent"))
        readings.append({{}, {}, {}, true});
    return readings;
}

bool Finder::single(const Table *table, const Column *column, SuggestedRelation *found, QString *miss) const
{
    const QString name = column->name().toLower();
    bool namesTable = false;
    for (const Reading &reading : readings(name)) {
        const Table *referenced = reading.parent ? table : named(reading.word);
        if (!referenced)
            continue;
        namesTable = true;
        const QList<const Column *> keys = keyColumns(referenced);
        if (!reading.keyName.isEmpty() && (keys.size() != 1 || keys.first()->name().toLower() != reading.keyName))
            continue;
        if (keys.size() != 1) {
            if (miss->isEmpty() && referenced != table)
                *miss = QStringLiteral("table %1 has no single-column key").arg(referenced->name());
            continue;
        }
        const Column *key = keys.first();
        // A column named after its own table is the table's own number,
        // unless a word before says whose (parent_item_id); and a key is no
        // key to itself.
        if (referenced == table && ((reading.ending.isEmpty() && !reading.parent) || key == column))
            continue;
        const QString keyText = columnsText(referenced->name(), {key->name()});
        if (!typesMatch(column, key)) {
            if (miss->isEmpty())
                *miss = QStringLiteral("%1, but %2 is %3").arg(typeText(column), keyText, typeText(key));
            continue;
        }
        QString why;
        if (reading.parent)
            why = QStringLiteral("column name %1 points to a parent row of the same table").arg(column->name());
        else if (!reading.ending.isEmpty())
            why = QStringLiteral("column name %1 ends in %2, which names table %3")
                          .arg(column->name(), reading.ending, referenced->name());
        else if (!reading.keyName.isEmpty())
            why = QStringLiteral("column name %1 names table %2 and its key column %3")
                          .arg(column->name(), referenced->name(), key->name());
        else
            why = QStringLiteral("column name %1 names table %2").arg(column->name(), referenced->name());
        *found = {table->name(), {column->name()}, referenced->name(), {key->name()},
                  why + QStringLiteral("; ") + typeEvidence({column}, keys, keyText)};
        return true;
    }
    // Named as keys are, after no table.
    if (!namesTable && miss->isEmpty()) {
        if (name.size() > 3 && name.endsWith(QLatin1String("_id")))
            *miss = QStringLiteral("\"%1\" names no table").arg(column->name().chopped(3));
        else if (name.size() > 3 && name.startsWith(QLatin1String("id_")))
            *miss = QStringLiteral("\"%1\" names no table").arg(column->name().mid(3));
    }
    return false;
}

// A multi-column key into `referenced`: for each of its key columns k a
// column named x_k, x naming the table, or else k itself; at least one of
// the first kind.
bool Finder::composite(const Table *table, const Table *referenced, const QSet<const Column *> &taken,
                       SuggestedRelation *found, QList<const Column *> *columns) const
{
    const QList<const Column *> keys = keyColumns(referenced);
    columns->clear();
    bool prefixed = false;
    for (const Column *key : keys) {
        const QString keyName = key->name().toLower();
        const Column *byTable = nullptr;
        const Column *byKey = nullptr;
        for (const Column *column : table->columns()) {
            const QString name = column->name().toLower();
            if (taken.contains(column) || columns->contains(column))
                continue;
            if (!byTable && name.size() > keyName.size() + 1 && name.endsWith(QLatin1Char('_') + keyName)
                && named(name.chopped(keyName.size() + 1)) == referenced)
                byTable = column;
            else if (!byKey && name == keyName)
                byKey = column;
        }
        const Column *column = byTable ? byTable : byKey;
        if (!column || !typesMatch(column, key))
            return false;
        prefixed = prefixed || byTable;
        columns->append(column);
    }
    if (!prefixed)
        return false;
    QStringList names, keyNames;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        names.append(columns->at(i)->name());
        keyNames.append(keys.at(i)->name());
    }
    const QString keyText = columnsText(referenced->name(), keyNames);
    *found = {table->name(), names, referenced->name(), keyNames,
              QStringLiteral("column names %1 name table %2 and its key (%3); %4")
                      .arg(names.join(QStringLiteral(", ")), referenced->name(), keyNames.join(QStringLiteral(", ")),
                           typeEvidence(*columns, keys, keyText))};
    return true;
}

QList<SuggestedRelation> Finder::suggest(const Table *table, QStringList *passedOver) const
{
    // The columns of the keys the table has, read or declared.
    QSet<const Column *> taken;
    for (const mysql::ForeignKey *key : table->foreignKeys()) {
        for (const mysql::KeyColumn *column : key->columns())
            taken.insert(column->column());
    }
    QList<std::pair<qsizetype, SuggestedRelation>> found; // by the first column's place

    // Multi-column keys first: their columns read as single keys too
    // (order_no names orders, whose key is not order_no alone).
    QList<const Table *> targets;
    for (const Column *column : table->columns()) {
        const QString name = column->name().toLower();
        for (const QString &keyName : m_compositeKeyNames) {
            if (name.size() <= keyName.size() + 1 || !name.endsWith(QLatin1Char('_') + keyName))
                continue;
            const Table *referenced = named(name.chopped(keyName.size() + 1));
            if (referenced && referenced != table && keyColumns(referenced).size() > 1 && !targets.contains(referenced))
                targets.append(referenced);
        }
    }
    for (const Table *referenced : std::as_const(targets)) {
        SuggestedRelation relation;
        QList<const Column *> columns;
        if (!composite(table, referenced, taken, &relation, &columns))
            continue;
        for (const Column *column : std::as_const(columns))
            taken.insert(column);
        found.append({table->columns().indexOf(columns.first()), relation});
    }

    const QList<const Column *> ownKey = keyColumns(table);
    for (qsizetype i = 0; i < table->columns().size(); ++i) {
        const Column *column = table->columns().at(i);
        SuggestedRelation relation;
        QString miss;
        if (taken.contains(column))
            continue;
        if (single(table, column, &relation, &miss))
            found.append({i, relation});
        else if (!miss.isEmpty() && !ownKey.contains(column))
            passedOver->append(QStringLiteral("%1.%2: %3").arg(table->name(), column->name(), miss));
    }
    std::stable_sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<SuggestedRelation> suggestions;
    for (const auto &entry : std::as_const(found))
        suggestions.append(entry.second);
    return suggestions;
}

// A name as the project file writes it: bare, or between backticks.
QString projectName(const QString &name)
{
    static const QRegularExpression bare(QStringLiteral("^[A-Za-z0-9_$-]+$"));
    if (bare.match(name).hasMatch())
        return name;
    return QLatin1Char('`') + QString(name).replace(QLatin1Char('`'), QStringLiteral("``")) + QLatin1Char('`');
}

QString projectColumns(const QString &table, const QStringList &columns)
{
    QStringList names;
    for (const QString &column : columns)
        names.append(projectName(column));
    return projectName(table) + QLatin1Char('.')
            + (names.size() == 1 ? names.first() : QStringLiteral("(%1)").arg(names.join(QStringLiteral(", "))));
}

QString values(qint64 count)
{
    return count == 1 ? QStringLiteral("1 value") : QStringLiteral("%1 values").arg(count);
}

} // namespace

QString SuggestedRelation::keyLine() const
{
    return projectColumns(table, columns) + QStringLiteral(" -> ") + projectColumns(referencedTable, referencedColumns);
}

QString SuggestedRelation::commentLine() const
{
    if (!checkError.isEmpty())
        return QStringLiteral("# NOT CHECKED (%1): %2").arg(checkError.simplified(), evidence);
    if (hasUnmatchedValues())
        return QStringLiteral("# CHECK: %1 of %2 %3 no match in %4; %5")
                .arg(QString::number(unmatchedValues), values(checkedValues),
                     unmatchedValues == 1 ? QStringLiteral("has") : QStringLiteral("have"),
                     columnsText(referencedTable, referencedColumns), evidence);
    if (!isChecked())
        return QStringLiteral("# ") + evidence;
    if (checkedValues == 0)
        return QStringLiteral("# %1; no values to check yet").arg(evidence);
    return QStringLiteral("# %1; %2 a match").arg(evidence, checkedValues == 1 ? QStringLiteral("its 1 value has")
                                                                            : QStringLiteral("each of %1 values has").arg(checkedValues));
}

RelationSuggester::RelationSuggester(const mysql::Database *database)
    : m_database(database)
{
}

QList<SuggestedRelation> RelationSuggester::suggestions(QStringList *passedOver) const
{
    const Finder finder(m_database, m_prefixes);
    const QSet<QString> chosen(m_tables.cbegin(), m_tables.cend());
    // By name: the server's order is that of its files.
    QList<const Table *> tables(m_database->tables().cbegin(), m_database->tables().cend());
    std::stable_sort(tables.begin(), tables.end(), [](const Table *a, const Table *b) {
        const int order = a->name().compare(b->name(), Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a->name() < b->name();
    });
    QList<SuggestedRelation> suggestions;
    QStringList missed;
    for (const Table *table : std::as_const(tables)) {
        if (chosen.isEmpty() || chosen.contains(table->name()))
            suggestions += finder.suggest(table, &missed);
    }
    if (passedOver)
        *passedOver = missed;
    return suggestions;
}

int verifyRelations(QList<SuggestedRelation> *suggestions, const QSqlDatabase &schema, const std::function<bool()> &stop)
{
    int failed = 0;
    for (SuggestedRelation &suggestion : *suggestions) {
        if (stop && stop())
            break;
        // The rows whose key columns are all set, and those of them the
        // referenced table has no row for: its key columns are never NULL.
        QStringList set, join;
        for (qsizetype i = 0; i < suggestion.columns.size(); ++i) {
            const QString column = identifiers::sqlName(suggestion.columns.at(i));
            set.append(QStringLiteral("s.%1 is not null").arg(column));
            join.append(QStringLiteral("r.%1 = s.%2").arg(identifiers::sqlName(suggestion.referencedColumns.value(i)), column));
        }
        const QString sql = QStringLiteral("select count(*), count(*) - count(r.%1) from %2 s left join %3 r on %4 where %5")
                                    .arg(identifiers::sqlName(suggestion.referencedColumns.value(0)),
                                         identifiers::sqlName(suggestion.table), identifiers::sqlName(suggestion.referencedTable),
                                         join.join(QStringLiteral(" and ")), set.join(QStringLiteral(" and ")));
        QSqlQuery query(schema);
        if (!query.exec(sql) || !query.next()) {
            suggestion.checkError = query.lastError().text();
            if (suggestion.checkError.trimmed().isEmpty())
                suggestion.checkError = QStringLiteral("no answer");
            ++failed;
            continue;
        }
        suggestion.checkedValues = query.value(0).toLongLong();
        suggestion.unmatchedValues = query.value(1).toLongLong();
    }
    return failed;
}

QString suggestionsText(const QString &schema, const QList<SuggestedRelation> &suggestions, bool checked,
                        const QStringList &passedOver)
{
    QString missed;
    if (!passedOver.isEmpty())
        missed = QStringLiteral("# Named like keys, but not suggested:\n#   ") + passedOver.join(QStringLiteral("\n#   "))
                + QLatin1Char('\n');
    if (suggestions.isEmpty())
        return QStringLiteral("# The names and types of schema %1 point to no key that is not declared.\n").arg(schema) + missed;
    QString text = QStringLiteral("# %1 the names and types of schema %2 point to, for the project file's\n"
                                  "# [relations] section: keep those that are right.\n")
                           .arg(suggestions.size() == 1 ? QStringLiteral("1 key") : QStringLiteral("%1 keys").arg(suggestions.size()),
                                schema);
    if (checked) {
        const qsizetype unmatched = std::count_if(suggestions.cbegin(), suggestions.cend(),
                                                  [](const SuggestedRelation &s) { return s.hasUnmatchedValues(); });
        const qsizetype failed = std::count_if(suggestions.cbegin(), suggestions.cend(),
                                               [](const SuggestedRelation &s) { return !s.checkError.isEmpty(); });
        QStringList findings;
        if (unmatched > 0)
            findings.append(QStringLiteral("%1 with values that have no match (CHECK)").arg(unmatched));
        if (failed > 0)
            findings.append(QStringLiteral("%1 could not be checked (NOT CHECKED)").arg(failed));
        text += QStringLiteral("# Checked against the data: %1.\n")
                        .arg(findings.isEmpty() ? QStringLiteral("no value lacks its match")
                                                : findings.join(QStringLiteral(", ")));
    }
    text += QStringLiteral("[relations]\n");
    for (const SuggestedRelation &suggestion : suggestions)
        text += suggestion.commentLine() + QLatin1Char('\n') + suggestion.keyLine() + QLatin1Char('\n');
    return text + missed;
}
