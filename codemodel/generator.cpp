#include "codemodel/generator.h"

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
    for (TableObject *object : m_tableObjects) {
        if (object->table()->name() == tableName)
            return object;
    }
    return nullptr;
}

void Generator::createTableObjects()
{
    for (mysql::Table *table : m_database->tables())
        m_tableObjects.append(new TableObject(table, this));
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
