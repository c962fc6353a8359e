#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace mysql {
class Column;
class Database;
class Table;
}

// What a project says about a schema beyond what its catalogue holds: keys
// it does not declare, the names and types the generated code is to use,
// and columns to leave out. Every rule keeps where it was written
// ("FILE:LINE: "), which begins every message about it.
struct SchemaRules
{
    struct Key
    {
        QString origin;
        QString table;
        QStringList columns;
        QString referencedTable;
        QStringList referencedColumns;
    };

    // A rule about a table (column empty) or one of its columns, or, for
    // the types, about an SQL type (table empty, the type in `column`).
    struct Rule
    {
        QString origin;
        QString table;
        QString column;
        QString value;
    };

    QList<Key> keys;
    // Each further key into the same table gets a getter of its own.
    bool getterPerKey = false;
    QStringList stripPrefixes;
    QString stripOrigin;
    QList<Rule> classNames;
    QList<Rule> memberNames;
    QList<Rule> sqlTypes;
    QList<Rule> columnTypes;
    QList<Rule> excludedColumns; // one a column

    bool isEmpty() const;

    // The rule for this table's class, or null.
    const Rule *classNameRule(const QString &table) const;
    // The table's name without the longest prefix to strip, or the name.
    QString stripped(const QString &table) const;
    const Rule *memberNameRule(const QString &table, const QString &column) const;
    // The column's rule, else the rule for its full type ("tinyint(1)"),
    // else for its data type ("decimal"); null when none applies.
    const Rule *typeRule(const mysql::Column *column) const;
    bool isExcluded(const QString &table, const QString &column) const;
};

namespace schemarules {

// The C++ types a column may be given, as the project spells them: bool,
// QDate, QTime, QDateTime, QString, QByteArray, QJsonDocument.
const QStringList &typeNames();
// The QMetaType id of one of those names, 0 for any other.
int typeId(const QString &name);
// Whether a column of this SQL data type ("tinyint", "date") can hold the
// values of the type named so that they come back unchanged; when not,
// `kinds` names the SQL types that can.
bool typeFits(const QString &typeName, const QString &dataType, QString *kinds = nullptr);
// An SQL type as the catalogue writes it: "Decimal(10, 2)" gives
// "decimal(10,2)".
QString normalSqlType(const QString &type);
// The data type of an SQL type as the catalogue names it ("tinyint(1)",
// "int unsigned" give "tinyint", "int"); empty when it names no type the
// catalogue knows.
QString sqlDataType(const QString &type);

// The line number of a rule's "FILE:LINE: ".
QString lineOf(const QString &origin);
// Problems of the rules in the order of their lines.
QStringList inFileOrder(QStringList problems);

// Checks the rules against the schema read into `database` and adds the
// declared keys to it, before its links are derived; returns one
// "FILE:LINE: ..." line per rule that does not fit, and then adds nothing.
// Asks the catalogue about the columns left out.
QStringList apply(const SchemaRules &rules, mysql::Database *database);

} // namespace schemarules
