#include "codemodel/relationdiagram.h"

#include "codemodel/columnobject.h"
#include "codemodel/conventionreport.h"
#include "codemodel/generator.h"
#include "codemodel/relation.h"
#include "codemodel/tableobject.h"
#include "mysql/column.h"
#include "mysql/foreignkey.h"
#include "mysql/foreignkeycolumn.h"
#include "mysql/primarykey.h"
#include "mysql/table.h"

#include <QSet>

namespace {

// A DOT string: table and column names may hold anything.
QString quoted(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    escaped.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// Text inside a Graphviz HTML label.
QString html(const QString &text)
{
    QString escaped = text.toHtmlEscaped();
    // Graphviz reads the label's text as HTML, where a bracket ends it.
    escaped.replace(QLatin1Char(']'), QLatin1String("&#93;")).replace(QLatin1Char('['), QLatin1String("&#91;"));
    return escaped;
}

const mysql::ForeignKey *firstKeyTo(const mysql::Table *table, const mysql::Table *target)
{
    for (const mysql::ForeignKey *key : table->foreignKeys()) {
        if (key->referencedTable() == target)
            return key;
    }
    return nullptr;
}

QSet<const mysql::Column *> keyColumns(const mysql::Table *table)
{
    QSet<const mysql::Column *> columns;
    if (table->primaryKey()) {
        for (const mysql::KeyColumn *column : table->primaryKey()->columns())
            columns.insert(column->column());
    }
    return columns;
}

QSet<const mysql::Column *> foreignKeyColumns(const mysql::Table *table)
{
    QSet<const mysql::Column *> columns;
    for (const mysql::ForeignKey *key : table->foreignKeys()) {
        for (const mysql::KeyColumn *column : key->columns())
            columns.insert(column->column());
    }
    return columns;
}

QString tableLabel(const TableObject *table, bool marked)
{
    const mysql::Table *schemaTable = table->table();
    const QSet<const mysql::Column *> primary = keyColumns(schemaTable);
    const QSet<const mysql::Column *> foreign = foreignKeyColumns(schemaTable);
    QString label = QStringLiteral("<<table border=\"1\" cellborder=\"0\" cellspacing=\"0\" cellpadding=\"3\" "
                                   "color=\"#5b6b7b\" bgcolor=\"white\">");
    label += QStringLiteral("<tr><td colspan=\"2\" bgcolor=\"%1\"><b>%2%3</b></td></tr>")
                     .arg(marked ? QStringLiteral("#f6d58e") : QStringLiteral("#d8e3ee"),
                          marked ? QStringLiteral("\u26a0 ") : QString(), html(schemaTable->name()));
    for (const mysql::Column *column : schemaTable->columns()) {
        QStringList marks;
        if (primary.contains(column))
            marks.append(QStringLiteral("PK"));
        if (foreign.contains(column))
            marks.append(QStringLiteral("FK"));
        // Graphviz refuses an empty font element, and then the whole label.
        const QString mark = marks.isEmpty() ? QString()
                                             : QStringLiteral("<font color=\"#8a5a00\">%1</font>")
                                                       .arg(marks.join(QLatin1Char(' ')));
        label += QStringLiteral("<tr><td align=\"left\">%1</td><td align=\"left\">%2</td></tr>")
                         .arg(mark, html(column->name()));
    }
    label += QStringLiteral("</table>>");
    return label;
}

QString columnList(const mysql::Table *table, const mysql::ForeignKey *key, bool referenced)
{
    QStringList names;
    for (const mysql::KeyColumn *keyColumn : key->columns()) {
        const mysql::Column *column = referenced
                ? static_cast<const mysql::ForeignKeyColumn *>(keyColumn)->referencedColumn()
                : keyColumn->column();
        if (column)
            names.append(column->name());
    }
    if (names.isEmpty())
        return QString();
    return table->name() + QLatin1Char('.') + names.join(QStringLiteral(", "));
}

} // namespace

QString relationKindName(int type)
{
    switch (type) {
    case Relation::OneToOne:
        return QStringLiteral("one-to-one");
    case Relation::OneToMany:
        return QStringLiteral("one-to-many");
    case Relation::ManyToOne:
        return QStringLiteral("many-to-one");
    }
    return QStringLiteral("link");
}

namespace {

// The foreign key a relation goes through, with the table that holds it: a
// further key's own, the key of the many side, or for one-to-one the
// source's key to the target, else the target's to the source.
const mysql::ForeignKey *linkKey(const Relation &relation, const mysql::Table **owner)
{
    const mysql::Table *source = relation.source()->table();
    const mysql::Table *target = relation.target()->table();
    *owner = source;
    if (relation.key())
        return relation.key();
    const mysql::ForeignKey *key = relation.type() == Relation::OneToMany ? nullptr : firstKeyTo(source, target);
    if (!key) {
        *owner = target;
        key = firstKeyTo(target, source);
    }
    return key;
}

} // namespace

QString relationColumns(const Relation &relation)
{
    const mysql::Table *owner = nullptr;
    const mysql::ForeignKey *key = linkKey(relation, &owner);
    return key ? columnList(owner, key, false) : QString();
}

RelationDiagram relationDiagram(const Generator &generator, const QStringList &shown, bool withEntities,
                                bool withLinked)
{
    const QSet<QString> shownNames(shown.cbegin(), shown.cend());
    QList<TableObject *> shownTables;
    QHash<const TableObject *, int> index;
    for (TableObject *table : generator.tableObjects()) {
        index.insert(table, int(index.size()));
        if (shownNames.contains(table->table()->name()))
            shownTables.append(table);
    }
    const QSet<const TableObject *> shownSet(shownTables.cbegin(), shownTables.cend());
    const auto nodeId = [&index](const TableObject *table) { return QStringLiteral("t%1").arg(index.value(table)); };

    RelationDiagram diagram;
    QHash<const TableObject *, QString> notes;
    for (const auto &[table, tableNotes] : conventionNotesByTable(shownTables, withEntities, false))
        notes.insert(table, tableNotes.join(QLatin1Char('\n')));

    QStringList lines;
    lines << QStringLiteral("digraph relations {")
          << QStringLiteral("  graph [rankdir=LR, fontname=\"DejaVu Sans\", bgcolor=\"white\", nodesep=0.35, "
                            "ranksep=0.8, pad=0.2];")
          << QStringLiteral("  node [shape=plain, fontname=\"DejaVu Sans\", fontsize=10];")
          << QStringLiteral("  edge [fontname=\"DejaVu Sans\", fontsize=8, color=\"#4a6785\", fontcolor=\"#2f4256\", "
                            "arrowsize=0.7];");
    // Node names are the tables' names; ids stay plain for the view's look-ups.
    QList<const TableObject *> faded;
    QSet<const TableObject *> fadedSet;
    for (const TableObject *table : std::as_const(shownTables)) {
        const bool marked = notes.contains(table);
        QString line = QStringLiteral("  %1 [id=%2, class=\"table\", label=%3")
                               .arg(quoted(table->table()->name()), quoted(nodeId(table)), tableLabel(table, marked));
        if (marked) {
            line += QStringLiteral(", tooltip=%1").arg(quoted(notes.value(table)));
            diagram.notes.insert(nodeId(table), notes.value(table));
        }
        lines << line + QStringLiteral("];");
        ++diagram.tableCount;
        for (const Relation *relation : table->relations()) {
            if (withLinked && !shownSet.contains(relation->target()) && !fadedSet.contains(relation->target())) {
                fadedSet.insert(relation->target());
                faded.append(relation->target());
            }
        }
    }
    diagram.fadedCount = int(faded.size());
    for (const TableObject *table : std::as_const(faded)) {
        lines << QStringLiteral("  %1 [id=%2, class=\"linked\", shape=box, style=\"dashed,rounded\", color=\"#a8b0b8\", "
                                "fontcolor=\"#8a949e\", label=%1, tooltip=\"not ticked: no files are generated\"];")
                         .arg(quoted(table->table()->name()), quoted(nodeId(table)));
    }
    for (const TableObject *table : std::as_const(shownTables)) {
        for (const Relation *relation : table->relations()) {
            if (!withLinked && !shownSet.contains(relation->target()))
                continue;
            const QString columns = relationColumns(*relation);
            const QString kind = relationKindName(relation->type());
            // A key the project declares is drawn dashed.
            const mysql::Table *owner = nullptr;
            const mysql::ForeignKey *key = linkKey(*relation, &owner);
            lines << QStringLiteral("  %1 -> %2 [class=%3, label=%4%5%6];")
                             .arg(quoted(table->table()->name()), quoted(relation->target()->table()->name()),
                                  quoted(kind), quoted(columns.isEmpty() ? kind : kind + QLatin1Char('\n') + columns),
                                  relation->type() == Relation::OneToMany ? QStringLiteral(", arrowhead=crow")
                                                                          : QString(),
                                  key && key->isDeclared() ? QStringLiteral(", style=dashed") : QString());
            ++diagram.relationCount;
        }
    }
    lines << QStringLiteral("}");
    diagram.dot = lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return diagram;
}
