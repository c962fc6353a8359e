#include "codemodel/tableobject.h"

#include "codemodel/columnobject.h"
#include "codemodel/fieldlists.h"
#include "codemodel/generator.h"
#include "codemodel/identifiers.h"
#include "codemodel/schemarules.h"
#include "mysql/column.h"
#include "mysql/diagnostics.h"
#include "mysql/keycolumn.h"
#include "mysql/primarykey.h"
#include "mysql/table.h"
#include "mysql/threadconnections.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSet>

namespace {

// The live table's fields as the driver types them. The driver's own field
// list misreads some names: one that starts and ends with a backtick is taken
// as already quoted (and so names another table), and a long non-ASCII one
// is refused; a query of our own with the name quoted reads any table.
QSqlRecord fieldList(const QSqlDatabase &connection, const QString &table, QString *error)
{
    if (!connection.driver()->isIdentifierEscaped(table, QSqlDriver::TableName)) {
        const QSqlRecord record = connection.record(table);
        if (!record.isEmpty())
            return record;
    }
    QString quoted = table;
    quoted.replace(QLatin1Char('`'), QLatin1String("``"));
    QSqlQuery query(connection);
    if (query.exec(QStringLiteral("select * from `%1` limit 0").arg(quoted)))
        return query.record();
    *error = query.lastError().text();
    return QSqlRecord();
}

void reportIncomplete(const QString &message)
{
    reportQueryError(QSqlError(message, QString(), QSqlError::StatementError),
                     QStringLiteral("TableObject::TableObject(mysql::Table*, QObject*)"));
}

} // namespace

TableObject::TableObject(mysql::Table *table, QObject *parent)
    : TableObject(table, identifiers::cppName(table->name(), QStringLiteral("T")), parent)
{
}

TableObject::TableObject(mysql::Table *table, const QString &cppName, QObject *parent, const QString &className)
    : QObject(parent)
    , m_table(table)
    , m_cppName(cppName)
{
    m_className = className.isEmpty() ? identifiers::upperFirst(m_cppName) : className;
    m_daoClassName = m_className + QStringLiteral("DAO");
    m_fileName = identifiers::fileName(table->name(), m_cppName);

    // Field types come from the driver, through the connection on the schema:
    // read beforehand with those of other tables, or now.
    QString fieldListError;
    const Generator *root = qobject_cast<Generator *>(parent);
    const FieldLists *lists = root ? root->fieldLists() : nullptr;
    const QSqlRecord record = lists && lists->contains(table->name())
            ? lists->record(table->name())
            : fieldList(QSqlDatabase::database(mysql::schemaConnection(), true), table->name(), &fieldListError);
    // Both cases below leave the classes incomplete without any catalogue
    // query failing, so they are counted with the failed queries: a front end
    // must not report such a run as complete.
    if (table->columns().isEmpty()) {
        // Every table has a column: the catalogue hides them from this
        // account, or the server went away; the field list tells which.
        QString message = QStringLiteral("The catalogue lists no columns for table %1").arg(table->name());
        if (record.isEmpty() && !fieldListError.isEmpty())
            message += QStringLiteral(" (%1)").arg(fieldListError);
        reportIncomplete(message);
    } else if (record.isEmpty()) {
        // No field list (no SELECT privilege on the table, the server gone):
        // every type falls back to text.
        reportIncomplete(QStringLiteral("Cannot read the field types of table %1: %2")
                                 .arg(table->name(), fieldListError));
    }

    for (mysql::Column *column : table->columns()) {
        const int type = column->name().startsWith(QLatin1String("id"))
                ? int(QMetaType::LongLong)
                : record.field(column->name()).metaType().id();
        m_columns.append(new ColumnObject(column, m_className, type, this));
    }
    makeColumnNamesUnique();
}

void TableObject::makeColumnNamesUnique()
{
    // Names that differ only in characters C++ cannot spell ("first name",
    // "first_name") meet; the later ones are numbered.
    QSet<QString> taken;
    for (ColumnObject *column : std::as_const(m_columns)) {
        QString name = column->cppName();
        for (int n = 2; taken.contains(name); ++n)
            name = column->cppName() + QStringLiteral("_%1").arg(n);
        taken.insert(name);
        column->setCppName(name);
    }
}

void TableObject::applyRules(const SchemaRules &rules, QStringList *problems)
{
    const QString &table = m_table->name();
    for (qsizetype i = m_columns.size() - 1; i >= 0; --i) {
        if (rules.isExcluded(table, m_columns.at(i)->name()))
            delete m_columns.takeAt(i);
    }
    for (ColumnObject *column : std::as_const(m_columns)) {
        if (const SchemaRules::Rule *rule = rules.typeRule(column->column()))
            column->setChosenType(schemarules::typeId(rule->value));
    }
    // A chosen name is taken as it is, or refused: the setters and the
    // model's enumerators upper-case the first letter, so names that
    // differ only there meet as well.
    const auto nameOf = [&](const ColumnObject *column) {
        const SchemaRules::Rule *rule = rules.memberNameRule(table, column->name());
        return rule ? rule->value : column->cppName();
    };
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        const SchemaRules::Rule *rule = rules.memberNameRule(table, m_columns.at(i)->name());
        if (!rule)
            continue;
        for (qsizetype j = 0; j < m_columns.size(); ++j) {
            // Two chosen names that meet are reported once, at the later
            // column.
            if (j == i || (j > i && rules.memberNameRule(table, m_columns.at(j)->name())))
                continue;
            if (identifiers::upperFirst(nameOf(m_columns.at(j))) == identifiers::upperFirst(rule->value)) {
                problems->append(rule->origin + QStringLiteral("member name %1 for %2.%3 meets that of column %4")
                                                        .arg(rule->value, table, m_columns.at(i)->name(),
                                                             m_columns.at(j)->name()));
                break;
            }
        }
        if (generator() && generator()->isClassName(rule->value))
            problems->append(rule->origin + QStringLiteral("member name %1 for %2.%3 names a generated class")
                                                    .arg(rule->value, table, m_columns.at(i)->name()));
        m_columns.at(i)->setCppName(rule->value);
    }
}

void TableObject::avoidClassNames(const QSet<QString> &classNames)
{
    for (ColumnObject *column : std::as_const(m_columns)) {
        if (classNames.contains(column->cppName()))
            column->setCppName(identifiers::notClassName(column->cppName()));
    }
    makeColumnNamesUnique();
}

QString TableObject::variableName() const
{
    // Beside the DAO methods' own variables, and no keyword.
    static const QSet<QString> taken = {QStringLiteral("db"), QStringLiteral("id"), QStringLiteral("query")};
    QString name = m_className.toLower();
    if (identifiers::isCppKeyword(name) || taken.contains(name) || name == m_className)
        name += QLatin1Char('_');
    return name;
}

QString TableObject::sequenceName() const
{
    return QStringLiteral("seq_") + identifiers::upperFirst(m_table->name()).toLower();
}

QString TableObject::sqlName() const
{
    return identifiers::sqlName(m_table->name());
}

bool TableObject::hasIdColumn() const
{
    return column(QStringLiteral("id")) != nullptr;
}

QList<ColumnObject *> TableObject::primaryKeyColumns() const
{
    QList<ColumnObject *> key;
    if (!m_table->primaryKey())
        return key;
    for (const mysql::KeyColumn *keyColumn : m_table->primaryKey()->columns()) {
        ColumnObject *object = keyColumn->column() ? column(keyColumn->column()->name()) : nullptr;
        if (!object)
            return {};
        key.append(object);
    }
    return key;
}

ColumnObject *TableObject::column(const QString &name) const
{
    for (ColumnObject *column : m_columns) {
        if (column->name() == name)
            return column;
    }
    return nullptr;
}

Generator *TableObject::generator() const
{
    return qobject_cast<Generator *>(parent());
}
