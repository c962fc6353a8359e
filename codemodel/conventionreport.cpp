#include "codemodel/conventionreport.h"

#include "codemodel/columnobject.h"
#include "codemodel/relation.h"
#include "codemodel/tableobject.h"
#include "mysql/column.h"
#include "mysql/database.h"
#include "mysql/foreignkey.h"
#include "mysql/keycolumn.h"
#include "mysql/table.h"

namespace {

QString columnNames(const mysql::ForeignKey *key)
{
    QStringList names;
    for (const mysql::KeyColumn *column : key->columns())
        names.append(column->column() ? column->column()->name() : QString());
    return names.join(QStringLiteral(", "));
}

// The id comes from a number sequence and getById takes a number.
bool hasIntegerId(const TableObject *table)
{
    static const QSet<QString> integers = {QStringLiteral("tinyint"), QStringLiteral("smallint"),
                                           QStringLiteral("mediumint"), QStringLiteral("int"),
                                           QStringLiteral("bigint")};
    return table->hasIdColumn()
            && integers.contains(table->column(QStringLiteral("id"))->column()->dataType().toLower());
}

// getById finds a row by the id column, else by a single key column.
void noteKey(const TableObject *table, QStringList *notes)
{
    const QString &name = table->table()->name();
    if (table->hasIdColumn()) {
        const QString &type = table->column(QStringLiteral("id"))->column()->dataType();
        if (!hasIntegerId(table)) {
            notes->append(QStringLiteral("Note: %1 has an id column of type %2: insertObject and getById "
                                         "take its value as a number")
                                  .arg(name, type));
        }
        return;
    }
    const QList<ColumnObject *> key = table->primaryKeyColumns();
    if (key.isEmpty()) {
        notes->append(QStringLiteral("Note: %1 has no primary key: getById and updateObject cannot find a row")
                              .arg(name));
    } else if (key.size() > 1) {
        QStringList names;
        for (const ColumnObject *column : key)
            names.append(column->name());
        notes->append(QStringLiteral("Note: %1 has no single-column primary key (%2): getById cannot find a row")
                              .arg(name, names.join(QStringLiteral(", "))));
    } else if (key.first()->type() != QMetaType::LongLong) {
        notes->append(QStringLiteral("Note: %1 has a primary key %2 that is not an integer: getById, which takes "
                                     "a number, cannot find a row")
                              .arg(name, key.first()->name()));
    }
}

void noteGetters(const TableObject *table, QStringList *notes)
{
    for (const Relation *relation : table->relations()) {
        if (relation->type() == Relation::OneToMany)
            continue;
        QString problem;
        if (relation->keyExpression(&problem).isEmpty()) {
            notes->append(QStringLiteral("Note: %1 cannot load its %2 through %3(): %4")
                                  .arg(table->table()->name(), relation->target()->table()->name(),
                                       relation->getterName(), problem));
        }
    }
}

// One getter per linked table: it loads by the first foreign key, unless
// the project gives each key a getter.
void noteSecondKeys(const TableObject *table, QStringList *notes)
{
    QSet<const mysql::Table *> linked;
    QSet<const mysql::ForeignKey *> loaded;
    for (const Relation *relation : table->relations())
        loaded.insert(relation->key());
    for (const mysql::ForeignKey *key : table->table()->foreignKeys()) {
        const mysql::Table *target = key->referencedTable();
        if (!target || !linked.contains(target)) {
            linked.insert(target);
            continue;
        }
        if (loaded.contains(key))
            continue;
        notes->append(QStringLiteral("Note: %1 has a second foreign key to %2 (%3): no getter loads it "
                                     "(getter-per-key = yes in the project's [relations] gives it one)")
                              .arg(table->table()->name(), target->name(), columnNames(key)));
    }
}

// A key into another schema links to no class of this run.
void noteOutsideKeys(const TableObject *table, QStringList *notes)
{
    for (const mysql::ForeignKey *key : table->table()->foreignKeys()) {
        if (!key->referencesOtherSchema())
            continue;
        const QString columns = columnNames(key);
        notes->append(QStringLiteral("Note: %1.%2 references %3.%4, outside this schema: no getter")
                              .arg(table->table()->name(),
                                   key->columns().size() == 1 ? columns : QStringLiteral("(%1)").arg(columns),
                                   key->referencedSchema(), key->referencedTableName()));
    }
}

void noteSequence(const TableObject *table, QStringList *notes)
{
    if (lacksSequence(table)) {
        notes->append(QStringLiteral("Note: %1 has an id column, but the schema has no sequence %2: "
                                     "insertObject fails until it exists (--sequences-sql writes it)")
                              .arg(table->table()->name(), table->sequenceName()));
    }
}

void noteSubset(const TableObject *table, const QSet<const TableObject *> &chosen, QStringList *notes)
{
    QStringList missing;
    for (const Relation *relation : table->relations()) {
        const QString &target = relation->target()->table()->name();
        if (!chosen.contains(relation->target()) && !missing.contains(target))
            missing.append(target);
    }
    if (!missing.isEmpty()) {
        notes->append(QStringLiteral("Note: the code of %1 includes the headers of %2, which this run does not "
                                     "generate")
                              .arg(table->table()->name(), missing.join(QStringLiteral(", "))));
    }
}

} // namespace

bool lacksSequence(const TableObject *table)
{
    return hasIntegerId(table) && !table->table()->database()->hasSequence(table->sequenceName());
}

QStringList conventionNotes(const QList<TableObject *> &chosen, bool withEntities)
{
    QStringList notes;
    for (const auto &[table, tableNotes] : conventionNotesByTable(chosen, withEntities))
        notes += tableNotes;
    return notes;
}

QList<std::pair<const TableObject *, QStringList>> conventionNotesByTable(const QList<TableObject *> &chosen,
                                                                         bool withEntities, bool withSequences)
{
    const QSet<const TableObject *> chosenSet(chosen.cbegin(), chosen.cend());
    QList<std::pair<const TableObject *, QStringList>> byTable;
    for (const TableObject *table : chosen) {
        QStringList notes;
        noteKey(table, &notes);
        if (withSequences)
            noteSequence(table, &notes);
        if (withEntities) {
            noteGetters(table, &notes);
            noteSecondKeys(table, &notes);
            noteOutsideKeys(table, &notes);
            noteSubset(table, chosenSet, &notes);
        }
        if (!notes.isEmpty())
            byTable.append({table, notes});
    }
    return byTable;
}
