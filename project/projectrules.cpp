#include "project/projectrules.h"

#include "codemodel/generator.h"
#include "codemodel/identifiers.h"

#include <QRegularExpression>

namespace {

const QString relationsSection = QStringLiteral("relations");
const QString namesSection = QStringLiteral("names");
const QString typesSection = QStringLiteral("types");
const QString excludeSection = QStringLiteral("exclude-columns");

const QString relationForm = QStringLiteral("TABLE.COLUMN -> TABLE.COLUMN, or TABLE.(C1, C2) -> TABLE.(P1, P2)");

// A cursor over one rule line.
class Reader
{
public:
    explicit Reader(const QString &text)
        : m_text(text)
    {
    }

    void skipBlanks()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }
    bool atEnd()
    {
        skipBlanks();
        return m_pos >= m_text.size();
    }
    bool take(const QString &token)
    {
        skipBlanks();
        if (!QStringView(m_text).mid(m_pos).startsWith(token))
            return false;
        m_pos += token.size();
        return true;
    }
    // A bare name, or one between backticks.
    bool name(QString *name)
    {
        skipBlanks();
        name->clear();
        if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('`')) {
            for (qsizetype i = m_pos + 1; i < m_text.size(); ++i) {
                if (m_text.at(i) != QLatin1Char('`')) {
                    name->append(m_text.at(i));
                } else if (i + 1 < m_text.size() && m_text.at(i + 1) == QLatin1Char('`')) {
                    name->append(QLatin1Char('`'));
                    ++i;
                } else {
                    m_pos = i + 1;
                    return !name->isEmpty();
                }
            }
            return false;
        }
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos);
            const bool arrow = c == QLatin1Char('-') && m_pos + 1 < m_text.size() && m_text.at(m_pos + 1) == QLatin1Char('>');
            if (c.isSpace() || arrow || QStringView(u".,=()`#").contains(c))
                break;
            name->append(c);
            ++m_pos;
        }
        return !name->isEmpty();
    }
    // TABLE.COLUMN or TABLE.(C1, C2).
    bool columns(QString *table, QStringList *columns)
    {
        columns->clear();
        if (!name(table) || !take(QStringLiteral(".")))
            return false;
        QString column;
        if (!take(QStringLiteral("("))) {
            columns->append(column);
            return name(&columns->last());
        }
        do {
            if (!name(&column))
                return false;
            columns->append(column);
        } while (take(QStringLiteral(",")));
        return take(QStringLiteral(")"));
    }
    QString rest()
    {
        skipBlanks();
        return m_text.mid(m_pos).trimmed();
    }

private:
    const QString &m_text;
    qsizetype m_pos = 0;
};

// TABLE or TABLE.COLUMN, then "=": the target of a name, type or exclusion.
bool readTarget(Reader &reader, QString *table, QString *column)
{
    column->clear();
    if (!reader.name(table))
        return false;
    if (reader.take(QStringLiteral(".")) && !reader.name(column))
        return false;
    return reader.take(QStringLiteral("="));
}

QString dottedName(const QString &table, const QString &column = QString())
{
    return column.isEmpty() ? table : table + QLatin1Char('.') + column;
}

bool isIdentifier(const QString &name)
{
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return identifier.match(name).hasMatch();
}

// Why `name` cannot name a class or member in C++, or empty.
QString identifierProblem(const QString &name, const QString &what)
{
    if (!isIdentifier(name))
        return QStringLiteral("%1 \"%2\" is no C++ identifier (letters, digits and _, not first a digit)").arg(what, name);
    if (identifiers::isCppKeyword(name))
        return QStringLiteral("%1 \"%2\" is a C++ keyword").arg(what, name);
    return QString();
}

const SchemaRules::Rule *findRule(const QList<SchemaRules::Rule> &rules, const QString &table, const QString &column)
{
    for (const SchemaRules::Rule &rule : rules) {
        if (rule.table == table && rule.column == column)
            return &rule;
    }
    return nullptr;
}

QString givenTwice(const SchemaRules::Rule *earlier, const QString &what)
{
    return QStringLiteral("%1 is given twice (first at line %2)").arg(what, schemarules::lineOf(earlier->origin));
}

QString readRelation(const QString &line, const QString &where, SchemaRules *rules)
{
    Reader reader(line);
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    // A setting; a line that names a column is a key, written wrongly.
    if (equals > 0 && !line.contains(QLatin1String("->")) && !line.left(equals).contains(QLatin1Char('.'))) {
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed().toLower();
        if (key != QLatin1String("getter-per-key"))
            return QStringLiteral("unknown key \"%1\" in [relations] (only getter-per-key; a key is %2)").arg(key, relationForm);
        if (value == QLatin1String("yes") || value == QLatin1String("true") || value == QLatin1String("1"))
            rules->getterPerKey = true;
        else if (value == QLatin1String("no") || value == QLatin1String("false") || value == QLatin1String("0"))
            rules->getterPerKey = false;
        else
            return QStringLiteral("\"%1\" is not yes or no").arg(line.mid(equals + 1).trimmed());
        return QString();
    }
    SchemaRules::Key key;
    key.origin = where;
    if (!reader.columns(&key.table, &key.columns) || !reader.take(QStringLiteral("->"))
        || !reader.columns(&key.referencedTable, &key.referencedColumns) || !reader.atEnd())
        return QStringLiteral("malformed relation \"%1\": expected %2").arg(line, relationForm);
    if (key.columns.size() != key.referencedColumns.size())
        return QStringLiteral("the relation \"%1\" joins %2 columns to %3").arg(line).arg(key.columns.size()).arg(key.referencedColumns.size());
    for (const QStringList *side : {&key.columns, &key.referencedColumns}) {
        for (const QString &column : *side) {
            if (side->count(column) > 1)
                return QStringLiteral("the relation \"%1\" names column %2 twice on one side").arg(line, column);
        }
    }
    for (const SchemaRules::Key &earlier : std::as_const(rules->keys)) {
        if (earlier.table == key.table && earlier.columns == key.columns && earlier.referencedTable == key.referencedTable
            && earlier.referencedColumns == key.referencedColumns)
            return QStringLiteral("the relation \"%1\" is given twice (first at line %2)").arg(line, schemarules::lineOf(earlier.origin));
    }
    rules->keys.append(key);
    return QString();
}

QString readName(const QString &line, const QString &where, SchemaRules *rules)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals > 0 && line.left(equals).trimmed() == QLatin1String("strip-prefix")) {
        if (!rules->stripOrigin.isEmpty())
            return QStringLiteral("strip-prefix is given twice (first at line %1)").arg(schemarules::lineOf(rules->stripOrigin));
        rules->stripOrigin = where;
        for (const QString &item : line.mid(equals + 1).split(QLatin1Char(','))) {
            if (!item.trimmed().isEmpty())
                rules->stripPrefixes.append(item.trimmed());
        }
        if (rules->stripPrefixes.isEmpty())
            return QStringLiteral("strip-prefix names no prefix");
        return QString();
    }
    Reader reader(line);
    SchemaRules::Rule rule{where, {}, {}, {}};
    if (!readTarget(reader, &rule.table, &rule.column) || reader.rest().isEmpty())
        return QStringLiteral("malformed line \"%1\": expected strip-prefix = PREFIXES, TABLE = Class or "
                              "TABLE.COLUMN = member")
                .arg(line);
    rule.value = reader.rest();
    if (rule.column.isEmpty()) {
        if (const SchemaRules::Rule *earlier = findRule(rules->classNames, rule.table, QString()))
            return givenTwice(earlier, QStringLiteral("the class of table %1").arg(rule.table));
        QString problem = identifierProblem(rule.value, QStringLiteral("class name"));
        if (problem.isEmpty() && identifiers::upperFirst(rule.value) != rule.value)
            problem = QStringLiteral("class name \"%1\" does not begin with a capital letter").arg(rule.value);
        if (problem.isEmpty() && Generator::isFrameworkClassName(rule.value))
            problem = QStringLiteral("class name \"%1\" is that of a class of the framework").arg(rule.value);
        if (problem.isEmpty())
            rules->classNames.append(rule);
        return problem;
    }
    if (const SchemaRules::Rule *earlier = findRule(rules->memberNames, rule.table, rule.column))
        return givenTwice(earlier, QStringLiteral("the member of %1").arg(dottedName(rule.table, rule.column)));
    QString problem = identifierProblem(rule.value, QStringLiteral("member name"));
    // The base class gives the id column's getter, and getById binds ":id".
    if (problem.isEmpty() && rule.column == QLatin1String("id"))
        problem = QStringLiteral("the id column keeps its name");
    if (problem.isEmpty() && rule.value == QLatin1String("id"))
        problem = QStringLiteral("member name \"id\" is kept for the id column");
    if (problem.isEmpty())
        rules->memberNames.append(rule);
    return problem;
}

QString readType(const QString &line, const QString &where, SchemaRules *rules)
{
    const qsizetype equals = line.lastIndexOf(QLatin1Char('='));
    if (equals <= 0)
        return QStringLiteral("malformed line \"%1\": expected SQLTYPE = TYPE or TABLE.COLUMN = TYPE").arg(line);
    SchemaRules::Rule rule{where, {}, {}, line.mid(equals + 1).trimmed()};
    if (schemarules::typeId(rule.value) == 0)
        return QStringLiteral("unknown type \"%1\" (use %2)").arg(rule.value, schemarules::typeNames().join(QStringLiteral(", ")));
    // TABLE.COLUMN, else an SQL type.
    Reader reader(line);
    if (readTarget(reader, &rule.table, &rule.column) && !rule.column.isEmpty()) {
        if (const SchemaRules::Rule *earlier = findRule(rules->columnTypes, rule.table, rule.column))
            return givenTwice(earlier, QStringLiteral("the type of %1").arg(dottedName(rule.table, rule.column)));
        if (rule.column == QLatin1String("id"))
            return QStringLiteral("the id column stays a number");
        rules->columnTypes.append(rule);
        return QString();
    }
    rule.table.clear();
    rule.column = schemarules::normalSqlType(line.left(equals));
    const QString dataType = schemarules::sqlDataType(rule.column);
    if (dataType.isEmpty())
        return QStringLiteral("\"%1\" is no SQL type as the catalogue names them (tinyint(1), decimal, date, ...)")
                .arg(line.left(equals).trimmed());
    QString kinds;
    if (!schemarules::typeFits(rule.value, dataType, &kinds))
        return QStringLiteral("%1 cannot hold %2 columns: it takes %3").arg(rule.value, rule.column, kinds);
    if (const SchemaRules::Rule *earlier = findRule(rules->sqlTypes, QString(), rule.column))
        return givenTwice(earlier, QStringLiteral("the type of %1 columns").arg(rule.column));
    rules->sqlTypes.append(rule);
    return QString();
}

QString readExclusion(const QString &line, const QString &where, SchemaRules *rules)
{
    Reader reader(line);
    QString table;
    QString column;
    const auto malformed = [&line] {
        return QStringLiteral("malformed line \"%1\": expected TABLE = COLUMN, COLUMN").arg(line);
    };
    if (!readTarget(reader, &table, &column) || !column.isEmpty())
        return malformed();
    for (const SchemaRules::Rule &rule : std::as_const(rules->excludedColumns)) {
        if (rule.table == table && rule.origin != where)
            return givenTwice(&rule, QStringLiteral("table %1").arg(table));
    }
    QList<SchemaRules::Rule> excluded;
    do {
        if (!reader.name(&column))
            return malformed();
        if (findRule(excluded, table, column))
            return QStringLiteral("column %1 is named twice").arg(column);
        excluded.append({where, table, column, {}});
    } while (reader.take(QStringLiteral(",")));
    if (!reader.atEnd())
        return malformed();
    rules->excludedColumns += excluded;
    return QString();
}

} // namespace

QStringList ruleSections()
{
    return {relationsSection, namesSection, typesSection, excludeSection};
}

bool isRuleSection(const QString &section)
{
    return ruleSections().contains(section);
}

QString readRuleLine(const QString &section, const QString &line, const QString &where, ProjectRules *rules)
{
    QString problem;
    if (section == relationsSection)
        problem = readRelation(line, where, &rules->schema);
    else if (section == namesSection)
        problem = readName(line, where, &rules->schema);
    else if (section == typesSection)
        problem = readType(line, where, &rules->schema);
    else
        problem = readExclusion(line, where, &rules->schema);
    // A section given twice is written back as one.
    auto entry = std::find_if(rules->sections.begin(), rules->sections.end(),
                              [&section](const auto &named) { return named.first == section; });
    if (entry == rules->sections.end())
        entry = rules->sections.insert(rules->sections.end(), {section, {}});
    entry->second.append(line);
    return problem;
}

QString rulesText(const ProjectRules &rules)
{
    QString text;
    for (const auto &[section, lines] : rules.sections)
        text += QStringLiteral("\n[%1]\n").arg(section) + lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return text;
}

QString relationsSectionName()
{
    return relationsSection;
}

QString namesSectionName()
{
    return namesSection;
}

QString ruleName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_$]+(-[A-Za-z0-9_$]+)*$"));
    if (plain.match(name).hasMatch())
        return name;
    QString quoted = name;
    quoted.replace(QLatin1Char('`'), QLatin1String("``"));
    return QLatin1Char('`') + quoted + QLatin1Char('`');
}

QString classNameLine(const QString &table, const QString &className)
{
    return ruleName(table) + QStringLiteral(" = ") + className;
}
