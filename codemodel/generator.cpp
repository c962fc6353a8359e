#include "codemodel/generator.h"

#include "codemodel/columnobject.h"
#include "codemodel/identifiers.h"
#include "codemodel/schemarules.h"
#include "codemodel/relation.h"
#include "codemodel/tableobject.h"
#include "mysql/database.h"
#include "mysql/foreignkey.h"
#include "mysql/table.h"

Generator::Generator(mysql::Database *database, QObject *parent)
    : QObject(parent)
    , m_database(database)
{
}

TableObject *Generator::tableObject(const QString &tableName) const
{
    // The list only grows, so the index catches up with it; it keeps the
    // first object of each table name, as a walk from the front finds it.
    if (m_indexedObjects > m_tableObjects.size()) {
        m_objectIndex.clear();
        m_indexedObjects = 0;
    }
    for (; m_indexedObjects < m_tableObjects.size(); ++m_indexedObjects) {
        TableObject *object = m_tableObjects.at(m_indexedObjects);
        const QString &name = object->table()->name();
        if (!m_objectIndex.contains(name))
            m_objectIndex.insert(name, object);
    }
    return m_objectIndex.value(tableName, nullptr);
}

bool Generator::isFrameworkClassName(const QString &name)
{
    // What the generated code names without qualification inside namespace
    // crud, where a table's class of the same name would hide it.
    static const QSet<QString> names = {
        QStringLiteral("Session"), QStringLiteral("SqlQuery"), QStringLiteral("SqlException"),
        QStringLiteral("Functions"), QStringLiteral("GenericDAO"), QStringLiteral("ObjectBase"),
        QStringLiteral("CustomEditor"),
    };
    return names.contains(name);
}

bool Generator::isClassName(const QString &name) const
{
    return m_classNames.contains(name);
}

namespace {

// The names of the four classes generated for a table, in upper case: the
// include guards are made from them, and file systems that ignore case meet
// where they do.
QStringList classNamesFolded(const QString &className)
{
    const QString name = className.toUpper();
    return {name, name + QStringLiteral("DAO"), name + QStringLiteral("MODEL"), name + QStringLiteral("EDITOR")};
}

QStringList classNames(const QString &className)
{
    return {className, className + QStringLiteral("DAO"), className + QStringLiteral("Model"),
            className + QStringLiteral("Editor")};
}

// A class the project names: the name of the class rule, or the table's
// name without its prefix.
struct ChosenName
{
    QString cppName;
    QString className;
    QString fileName;
    QString origin; // empty: the automatic name
};

ChosenName chosenName(const SchemaRules *rules, const mysql::Table *table)
{
    if (!rules)
        return {};
    if (const SchemaRules::Rule *rule = rules->classNameRule(table->name()))
        // Getters and variables of the class take it with a small letter.
        return {identifiers::notClassName(rule->value), rule->value, rule->value.toLower(), rule->origin};
    const QString stripped = rules->stripped(table->name());
    if (stripped == table->name())
        return {};
    QString name = identifiers::cppName(stripped, QStringLiteral("T"));
    if (Generator::isFrameworkClassName(identifiers::upperFirst(name)))
        name += QLatin1Char('_');
    return {name, identifiers::upperFirst(name), identifiers::fileName(stripped, name), rules->stripOrigin};
}

// Which of a table's classes meets the folded name.
QString classMeeting(const QString &className, const QString &folded)
{
    for (const QString &name : classNames(className)) {
        if (name.toUpper() == folded)
            return name;
    }
    return className;
}

} // namespace

void Generator::reserveChosenNames(QHash<QString, const mysql::Table *> *reserved)
{
    for (const mysql::Table *table : m_database->tables()) {
        const ChosenName chosen = chosenName(m_rules, table);
        if (chosen.origin.isEmpty())
            continue;
        const QString &className = chosen.className;
        for (const QString &folded : classNamesFolded(className)) {
            const mysql::Table *other = reserved->value(folded);
            if (other && other != table) {
                // The later line is at fault, whatever the tables' order.
                const ChosenName otherName = chosenName(m_rules, other);
                const bool later = schemarules::lineOf(chosen.origin).toInt() >= schemarules::lineOf(otherName.origin).toInt();
                const auto &[faulty, faultyTable] = later ? std::pair{chosen, table} : std::pair{otherName, other};
                const auto &[met, metTable] = later ? std::pair{otherName, other} : std::pair{chosen, table};
                m_ruleProblems.append(faulty.origin + QStringLiteral("class %1 for table %2 meets class %3 of table %4 "
                                                                     "(file names and include guards ignore case)")
                                                              .arg(classMeeting(faulty.className, folded),
                                                                   faultyTable->name(),
                                                                   classMeeting(met.className, folded),
                                                                   metTable->name()));
                break;
            }
        }
        for (const QString &folded : classNamesFolded(className))
            reserved->insert(folded, table);
    }
}

void Generator::createTableObjects()
{
    // Guards and file names are compared without case: "Cliente" and
    // "cliente" would otherwise share one guard and, on many file systems,
    // one file.
    QSet<QString> guards;
    QSet<QString> fileNames;
    const auto guardTaken = [&](const QString &cppName) {
        for (const QString &name : classNamesFolded(identifiers::upperFirst(cppName))) {
            if (guards.contains(name))
                return true;
        }
        return false;
    };
    // The names the project chooses are taken before any table is named: an
    // automatic name that meets one is refused rather than numbered.
    QHash<QString, const mysql::Table *> chosenGuards;
    reserveChosenNames(&chosenGuards);
    for (mysql::Table *table : m_database->tables()) {
        const ChosenName chosen = chosenName(m_rules, table);
        QString cppName = chosen.cppName;
        if (chosen.origin.isEmpty()) {
            // Names that differ only in characters C++ cannot spell, or only
            // in case, meet; the later tables are numbered.
            QString base = identifiers::cppName(table->name(), QStringLiteral("T"));
            if (isFrameworkClassName(identifiers::upperFirst(base)))
                base += QLatin1Char('_');
            for (const QString &folded : classNamesFolded(identifiers::upperFirst(base))) {
                const mysql::Table *owner = chosenGuards.value(folded);
                if (!owner)
                    continue;
                const ChosenName ownerName = chosenName(m_rules, owner);
                m_ruleProblems.append(ownerName.origin + QStringLiteral("class %1 for table %2 meets class %3 of table %4 "
                                                                        "(file names and include guards ignore case)")
                                                                 .arg(classMeeting(ownerName.className, folded),
                                                                      owner->name(),
                                                                      classMeeting(identifiers::upperFirst(base), folded),
                                                                      table->name()));
                break;
            }
            cppName = base;
            for (int n = 2; guardTaken(cppName); ++n)
                cppName = base + QStringLiteral("_%1").arg(n);
        }
        auto *object = new TableObject(table, cppName, this, chosen.className);
        const QString fileBase = chosen.origin.isEmpty() ? object->fileName() : chosen.fileName;
        QString fileName = fileBase;
        const auto stemTaken = [&](const QString &stem) {
            return fileNames.contains(stem.toCaseFolded()) || identifiers::isWindowsDeviceName(stem);
        };
        // Windows looks at a name up to its first dot, so a device name's
        // number goes there ("nul_2.txt"); other stems are numbered at the end.
        const qsizetype numberAt = identifiers::isWindowsDeviceName(fileBase) && fileBase.contains(QLatin1Char('.'))
                ? fileBase.indexOf(QLatin1Char('.'))
                : fileBase.size();
        for (int n = 2; stemTaken(fileName); ++n)
            fileName = QString(fileBase).insert(numberAt, QStringLiteral("_%1").arg(n));
        object->setFileName(fileName);
        fileNames.insert(fileName.toCaseFolded());
        m_tableObjects.append(object);
        for (const QString &name : classNames(object->className()))
            m_classNames.insert(name);
        for (const QString &name : classNamesFolded(object->className()))
            guards.insert(name);
    }
    if (m_rules) {
        for (TableObject *object : std::as_const(m_tableObjects))
            object->applyRules(*m_rules, &m_ruleProblems);
    }
    for (TableObject *object : std::as_const(m_tableObjects))
        object->avoidClassNames(m_classNames);
}

void Generator::createRelations()
{
    for (TableObject *source : std::as_const(m_tableObjects)) {
        const mysql::Table *table = source->table();
        const auto addRelations = [&](const QList<mysql::Table *> &targets, int type) {
            for (const mysql::Table *target : targets) {
                TableObject *targetObject = tableObject(target->name());
                if (!targetObject)
                    continue;
                source->appendRelation(new Relation(source, targetObject, type, this));
            }
        };
        addRelations(table->oneToOneTables(), Relation::OneToOne);
        addRelations(table->referencingTables(), Relation::OneToMany);
        addRelations(table->referencedTables(), Relation::ManyToOne);
        if (m_rules && m_rules->getterPerKey)
            addKeyRelations(source);
    }
}

void Generator::addKeyRelations(TableObject *source)
{
    // The first key into a table has the table's getter; each further one
    // gets its own, named from its column.
    QSet<const mysql::Table *> linked;
    QSet<QString> taken;
    for (const ColumnObject *column : source->columns())
        taken.insert(identifiers::upperFirst(column->cppName()));
    // The setters too: set plus the target's class for the table getters.
    for (const Relation *relation : source->relations()) {
        taken.insert(identifiers::upperFirst(relation->getterName()));
        taken.insert(relation->targetClassName());
        taken.insert(relation->targetClassName() + QStringLiteral("List"));
    }
    for (const mysql::ForeignKey *key : source->table()->foreignKeys()) {
        const mysql::Table *target = key->referencedTable();
        if (!target || !linked.contains(target)) {
            linked.insert(target);
            continue;
        }
        TableObject *targetObject = tableObject(target->name());
        if (!targetObject)
            continue;
        const QString base = Relation::keyGetterName(key);
        QString name = base;
        for (int n = 2; taken.contains(identifiers::upperFirst(name)) || isClassName(identifiers::upperFirst(name))
                        || isClassName(name);
             ++n)
            name = base + QStringLiteral("_%1").arg(n);
        taken.insert(identifiers::upperFirst(name));
        source->appendRelation(new Relation(source, targetObject, key, name, this));
    }
}
