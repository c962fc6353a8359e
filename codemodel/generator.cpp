#include "codemodel/generator.h"

#include "codemodel/identifiers.h"
#include "codemodel/relation.h"
#include "codemodel/tableobject.h"
#include "mysql/database.h"
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

} // namespace

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
    for (mysql::Table *table : m_database->tables()) {
        // Names that differ only in characters C++ cannot spell, or only in
        // case, meet; the later tables are numbered.
        QString base = identifiers::cppName(table->name(), QStringLiteral("T"));
        if (isFrameworkClassName(identifiers::upperFirst(base)))
            base += QLatin1Char('_');
        QString cppName = base;
        for (int n = 2; guardTaken(cppName); ++n)
            cppName = base + QStringLiteral("_%1").arg(n);
        auto *object = new TableObject(table, cppName, this);
        const QString fileBase = object->fileName();
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
        m_classNames.insert(object->className());
        m_classNames.insert(object->daoClassName());
        m_classNames.insert(object->className() + QStringLiteral("Model"));
        m_classNames.insert(object->className() + QStringLiteral("Editor"));
        for (const QString &name : classNamesFolded(object->className()))
            guards.insert(name);
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
    }
}
