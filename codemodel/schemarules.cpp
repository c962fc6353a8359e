#include "codemodel/schemarules.h"

#include "mysql/catalogquery.h"
#include "mysql/column.h"
#include "mysql/database.h"
#include "mysql/diagnostics.h"
#include "mysql/foreignkey.h"
#include "mysql/foreignkeycolumn.h"
#include "mysql/primarykey.h"
#include "mysql/table.h"

#include <QHash>
#include <QMetaType>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QVariant>

bool SchemaRules::isEmpty() const
{
    return keys.isEmpty() && !getterPerKey && stripPrefixes.isEmpty() && classNames.isEmpty()
            && memberNames.isEmpty() && sqlTypes.isEmpty() && columnTypes.isEmpty() && excludedColumns.isEmpty();
}

namespace {

const SchemaRules::Rule *find(const QList<SchemaRules::Rule> &rules, const QString &table, const QString &column)
{
    for (const SchemaRules::Rule &rule : rules) {
        if (rule.table == table && rule.column == column)
            return &rule;
    }
    return nullptr;
}

const QSet<QString> integerTypes = {"tinyint", "smallint", "mediumint", "int", "bigint"};
const QSet<QString> numberTypes = {"decimal", "float", "double"};
const QSet<QString> textTypes = {"char", "varchar", "tinytext", "text", "mediumtext", "longtext", "enum", "set"};
const QSet<QString> binaryTypes = {"binary", "varbinary", "tinyblob", "blob", "mediumblob", "longblob"};
const QSet<QString> timeTypes = {"date", "time", "datetime", "timestamp", "year"};
const QSet<QString> spatialTypes = {"geometry", "point", "linestring", "polygon", "multipoint", "multilinestring",
                                    "multipolygon", "geometrycollection", "geomcollection"};
const QSet<QString> otherTypes = {"bit", "json", "uuid", "inet4", "inet6"};

// Columns of one kind hold values a key can join.
QString kindOf(const QString &dataType)
{
    const QString type = dataType.toLower();
    if (integerTypes.contains(type))
        return QStringLiteral("integer");
    if (numberTypes.contains(type))
        return QStringLiteral("number");
    if (textTypes.contains(type))
        return QStringLiteral("text");
    if (binaryTypes.contains(type))
        return QStringLiteral("binary");
    if (timeTypes.contains(type))
        return QStringLiteral("time");
    return type;
}

QString columnText(const QString &table, const QStringList &columns)
{
    return columns.size() == 1 ? table + QLatin1Char('.') + columns.first()
                               : QStringLiteral("%1.(%2)").arg(table, columns.join(QStringLiteral(", ")));
}

class Checker
{
public:
    Checker(const SchemaRules &rules, mysql::Database *database)
        : m_rules(rules)
        , m_database(database)
    {
    }

    QStringList run();

private:
    mysql::Table *table(const QString &origin, const QString &name);
    mysql::Column *column(const QString &origin, const QString &table, const QString &name);
    void checkColumnRules();
    void checkExcluded();
    void checkKeys();
    // The key of the table that joins the same columns to the same table.
    const mysql::ForeignKey *sameKey(const mysql::Table *table, const mysql::Table *referenced,
                                     const QList<std::pair<mysql::Column *, mysql::Column *>> &pairs) const;

    const SchemaRules &m_rules;
    mysql::Database *m_database;
    QStringList m_problems;
    struct Declared
    {
        mysql::Table *table;
        mysql::Table *referenced;
        QList<std::pair<mysql::Column *, mysql::Column *>> columns;
    };
    QList<Declared> m_keys;
};

mysql::Table *Checker::table(const QString &origin, const QString &name)
{
    mysql::Table *found = m_database->table(name);
    if (!found)
        m_problems.append(origin + QStringLiteral("schema \"%1\" has no table \"%2\"").arg(m_database->name(), name));
    return found;
}

mysql::Column *Checker::column(const QString &origin, const QString &tableName, const QString &name)
{
    mysql::Table *found = table(origin, tableName);
    if (!found)
        return nullptr;
    mysql::Column *column = found->column(name);
    if (!column)
        m_problems.append(origin + QStringLiteral("table %1 has no column \"%2\"").arg(tableName, name));
    return column;
}

void Checker::checkColumnRules()
{
    for (const SchemaRules::Rule &rule : m_rules.classNames)
        table(rule.origin, rule.table);
    const auto notExcluded = [this](const SchemaRules::Rule &rule) {
        const SchemaRules::Rule *excluded = find(m_rules.excludedColumns, rule.table, rule.column);
        if (excluded)
            m_problems.append(rule.origin + QStringLiteral("%1.%2 is left out (line %3)")
                                                    .arg(rule.table, rule.column, schemarules::lineOf(excluded->origin)));
        return !excluded;
    };
    for (const SchemaRules::Rule &rule : m_rules.memberNames) {
        if (column(rule.origin, rule.table, rule.column))
            notExcluded(rule);
    }
    for (const SchemaRules::Rule &rule : m_rules.columnTypes) {
        const mysql::Column *found = column(rule.origin, rule.table, rule.column);
        QString kinds;
        if (!found || !notExcluded(rule))
            continue;
        if (!schemarules::typeFits(rule.value, found->dataType(), &kinds))
            m_problems.append(rule.origin + QStringLiteral("%1.%2 is %3: %4 takes %5")
                                                    .arg(rule.table, rule.column, found->columnType(), rule.value, kinds));
    }
}

void Checker::checkExcluded()
{
    // What the schema model does not hold: whether an insert without the
    // column works.
    QHash<QString, QHash<QString, bool>> needed; // table, column: NOT NULL without a default
    for (const SchemaRules::Rule &rule : m_rules.excludedColumns) {
        mysql::Table *found = table(rule.origin, rule.table);
        const mysql::Column *excluded = column(rule.origin, rule.table, rule.column);
        if (!found || !excluded)
            continue;
        bool inKey = found->primaryKey() && std::any_of(found->primaryKey()->columns().cbegin(),
                                                        found->primaryKey()->columns().cend(),
                                                        [excluded](const mysql::KeyColumn *c) { return c->column() == excluded; });
        for (const mysql::ForeignKey *key : found->foreignKeys()) {
            for (const mysql::KeyColumn *c : key->columns())
                inKey = inKey || c->column() == excluded;
        }
        for (const SchemaRules::Key &key : m_rules.keys)
            inKey = inKey || (key.table == rule.table && key.columns.contains(rule.column));
        if (inKey || rule.column == QLatin1String("id")) {
            m_problems.append(rule.origin + QStringLiteral("%1.%2 is a key column, which the generated code needs")
                                                    .arg(rule.table, rule.column));
            continue;
        }
        if (!needed.contains(rule.table)) {
            QSqlQuery query = mysql::catalogQuery();
            query.prepare(QStringLiteral("select COLUMN_NAME, IS_NULLABLE, COLUMN_DEFAULT, EXTRA from columns"
                                         " where TABLE_SCHEMA = :schema and TABLE_NAME = :table"));
            query.bindValue(QStringLiteral(":schema"), m_database->name());
            query.bindValue(QStringLiteral(":table"), rule.table);
            reportQueryError(mysql::execCatalogQuery(query), QStringLiteral("columns left out"));
            QHash<QString, bool> &columns = needed[rule.table];
            while (query.next()) {
                // Filled by the server: numbered, or generated from others.
                const QString extra = query.value(3).toString().toLower();
                const bool filled = extra.contains(QLatin1String("auto_increment")) || extra.contains(QLatin1String("generated"));
                columns.insert(query.value(0).toString(),
                               query.value(1).toString() == QLatin1String("NO") && query.value(2).isNull() && !filled);
            }
        }
        if (needed.value(rule.table).value(rule.column)) {
            m_problems.append(rule.origin + QStringLiteral("%1.%2 is NOT NULL without a default: an insert that leaves "
                                                           "it out fails")
                                                    .arg(rule.table, rule.column));
        }
    }
}

const mysql::ForeignKey *Checker::sameKey(const mysql::Table *table, const mysql::Table *referenced,
                                          const QList<std::pair<mysql::Column *, mysql::Column *>> &pairs) const
{
    for (const mysql::ForeignKey *key : table->foreignKeys()) {
        if (key->referencedTable() != referenced || key->columns().size() != pairs.size())
            continue;
        bool same = true;
        for (const mysql::KeyColumn *c : key->columns()) {
            const auto *keyColumn = static_cast<const mysql::ForeignKeyColumn *>(c);
            same = same && pairs.contains(std::pair{keyColumn->column(), keyColumn->referencedColumn()});
        }
        if (same)
            return key;
    }
    return nullptr;
}

void Checker::checkKeys()
{
    for (const SchemaRules::Key &key : m_rules.keys) {
        const int before = int(m_problems.size());
        mysql::Table *source = table(key.origin, key.table);
        mysql::Table *target = table(key.origin, key.referencedTable);
        if (!source || !target)
            continue;
        QList<std::pair<mysql::Column *, mysql::Column *>> pairs;
        for (qsizetype i = 0; i < key.columns.size(); ++i) {
            mysql::Column *from = column(key.origin, key.table, key.columns.at(i));
            mysql::Column *to = column(key.origin, key.referencedTable, key.referencedColumns.value(i));
            if (from && to && kindOf(from->dataType()) != kindOf(to->dataType())) {
                m_problems.append(key.origin + QStringLiteral("%1.%2 is %3 and %4.%5 is %6: a key joins columns of "
                                                              "one kind")
                                                       .arg(key.table, from->name(), from->columnType(),
                                                            key.referencedTable, to->name(), to->columnType()));
            }
            pairs.append(std::pair{from, to});
        }
        if (m_problems.size() > before)
            continue;
        if (const mysql::ForeignKey *own = sameKey(source, target, pairs)) {
            m_problems.append(key.origin + QStringLiteral("%1 -> %2 is the schema's own foreign key %3")
                                                   .arg(columnText(key.table, key.columns),
                                                        columnText(key.referencedTable, key.referencedColumns), own->name()));
            continue;
        }
        m_keys.append(Declared{source, target, pairs});
    }
}

QStringList Checker::run()
{
    checkKeys();
    checkColumnRules();
    checkExcluded();
    if (m_problems.isEmpty()) {
        for (const Declared &key : std::as_const(m_keys))
            mysql::ForeignKey::declare(key.table, key.referenced, key.columns);
    }
    return m_problems;
}

} // namespace

const SchemaRules::Rule *SchemaRules::classNameRule(const QString &table) const
{
    return find(classNames, table, QString());
}

QString SchemaRules::stripped(const QString &table) const
{
    QString longest;
    for (const QString &prefix : stripPrefixes) {
        if (table.startsWith(prefix) && table.size() > prefix.size() && prefix.size() > longest.size())
            longest = prefix;
    }
    return table.mid(longest.size());
}

const SchemaRules::Rule *SchemaRules::memberNameRule(const QString &table, const QString &column) const
{
    return find(memberNames, table, column);
}

const SchemaRules::Rule *SchemaRules::typeRule(const mysql::Column *column) const
{
    if (const Rule *rule = find(columnTypes, column->tableName(), column->name()))
        return rule;
    // The id column stays the number the base class and the sequence give.
    if (column->name() == QLatin1String("id"))
        return nullptr;
    if (const Rule *rule = find(sqlTypes, QString(), schemarules::normalSqlType(column->columnType())))
        return rule;
    return find(sqlTypes, QString(), column->dataType().toLower());
}

bool SchemaRules::isExcluded(const QString &table, const QString &column) const
{
    return find(excludedColumns, table, column) != nullptr;
}

namespace schemarules {

const QStringList &typeNames()
{
    static const QStringList names = {"bool", "QDate", "QTime", "QDateTime", "QString", "QByteArray", "QJsonDocument"};
    return names;
}

int typeId(const QString &name)
{
    static const QHash<QString, int> ids = {
        {"bool", QMetaType::Bool}, {"QDate", QMetaType::QDate}, {"QTime", QMetaType::QTime},
        {"QDateTime", QMetaType::QDateTime}, {"QString", QMetaType::QString},
        {"QByteArray", QMetaType::QByteArray}, {"QJsonDocument", QMetaType::QJsonDocument},
    };
    return ids.value(name, 0);
}

bool typeFits(const QString &typeName, const QString &dataType, QString *kinds)
{
    const QString type = dataType.toLower();
    const auto fits = [&](bool fit, const QString &which) {
        if (!fit && kinds)
            *kinds = which;
        return fit;
    };
    switch (typeId(typeName)) {
    case QMetaType::Bool:
        return fits(integerTypes.contains(type) || type == QLatin1String("bit"), QStringLiteral("integer and bit columns"));
    case QMetaType::QDate:
        return fits(type == QLatin1String("date"), QStringLiteral("date columns"));
    case QMetaType::QTime:
        return fits(type == QLatin1String("time"), QStringLiteral("time columns"));
    case QMetaType::QDateTime:
        return fits(type == QLatin1String("datetime") || type == QLatin1String("timestamp"),
                    QStringLiteral("datetime and timestamp columns"));
    case QMetaType::QString:
        // Text would change the bytes of binary data.
        return fits(!binaryTypes.contains(type) && !spatialTypes.contains(type) && type != QLatin1String("bit"),
                    QStringLiteral("any column but binary, bit and spatial ones"));
    case QMetaType::QByteArray:
        return fits(textTypes.contains(type) || binaryTypes.contains(type) || type == QLatin1String("json"),
                    QStringLiteral("text, binary and json columns"));
    case QMetaType::QJsonDocument:
        // MariaDB's json columns are longtext.
        return fits(type == QLatin1String("json") || (textTypes.contains(type) && type != QLatin1String("enum")
                                                      && type != QLatin1String("set")),
                    QStringLiteral("json and text columns"));
    }
    return fits(false, typeNames().join(QStringLiteral(", ")));
}

QString normalSqlType(const QString &type)
{
    QString text = type.toLower().simplified();
    text.replace(QStringLiteral(", "), QStringLiteral(",")).replace(QStringLiteral(" ("), QStringLiteral("("));
    return text;
}

QString sqlDataType(const QString &type)
{
    static const QRegularExpression spelling(QStringLiteral("^([a-z0-9]+)(\\([^()]*\\))?( unsigned)?( zerofill)?$"));
    const QString base = spelling.match(normalSqlType(type)).captured(1);
    const bool known = integerTypes.contains(base) || numberTypes.contains(base) || textTypes.contains(base)
            || binaryTypes.contains(base) || timeTypes.contains(base) || spatialTypes.contains(base)
            || otherTypes.contains(base);
    return known ? base : QString();
}

QString lineOf(const QString &origin)
{
    static const QRegularExpression line(QStringLiteral(":(\\d+): $"));
    return line.match(origin).captured(1);
}

QStringList inFileOrder(QStringList problems)
{
    static const QRegularExpression line(QStringLiteral("^.*?:(\\d+): "));
    std::stable_sort(problems.begin(), problems.end(), [](const QString &a, const QString &b) {
        return line.match(a).captured(1).toInt() < line.match(b).captured(1).toInt();
    });
    return problems;
}

QStringList apply(const SchemaRules &rules, mysql::Database *database)
{
    if (rules.isEmpty())
        return {};
    return Checker(rules, database).run();
}

} // namespace schemarules
