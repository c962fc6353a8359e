#include "codemodel/relationdiagram.h"

#include "codemodel/columnobject.h"
#include "codemodel/conventionreport.h"
#include "codemodel/generator.h"
#include "codemodel/identifiers.h"
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

QString tableLabel(const TableObject *table, bool marked, QStringList *rows)
{
    const mysql::Table *schemaTable = table->table();
    const QSet<const mysql::Column *> primary = keyColumns(schemaTable);
    const QSet<const mysql::Column *> foreign = foreignKeyColumns(schemaTable);
    QString label = QStringLiteral("<<table border=\"1\" cellborder=\"0\" cellspacing=\"0\" cellpadding=\"3\" "
                                   "color=\"#5b6b7b\" bgcolor=\"white\">");
    label += QStringLiteral("<tr><td colspan=\"2\" bgcolor=\"%1\"><b>%2%3</b></td></tr>")
                     .arg(marked ? QStringLiteral("#f6d58e") : QStringLiteral("#d8e3ee"),
                          marked ? QStringLiteral("\u26a0 ") : QString(), html(schemaTable->name()));
    rows->append(QString());
    // The class the project chose, or one the table's name does not spell.
    if (table->className() != identifiers::upperFirst(schemaTable->name())) {
        label += QStringLiteral("<tr><td colspan=\"2\" bgcolor=\"%1\"><font color=\"#2f4256\"><i>%2</i></font></td></tr>")
                         .arg(marked ? QStringLiteral("#f6d58e") : QStringLiteral("#d8e3ee"), html(table->className()));
        rows->append(QString());
    }
    for (const mysql::Column *column : schemaTable->columns()) {
        rows->append(column->name());
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
                                bool withLinked, const QList<DiagramSuggestion> &suggestions)
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
        QStringList &rows = diagram.rows[nodeId(table)];
        QString line = QStringLiteral("  %1 [id=%2, class=\"table\", label=%3")
                               .arg(quoted(table->table()->name()), quoted(nodeId(table)), tableLabel(table, marked, &rows));
        diagram.tables.insert(nodeId(table), table->table()->name());
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
        diagram.tables.insert(nodeId(table), table->table()->name());
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
    // Suggestions light and dotted, declared keys dashed, the schema's solid.
    QSet<QString> drawn;
    for (const QString &name : std::as_const(diagram.tables))
        drawn.insert(name);
    for (int i = 0; i < suggestions.size(); ++i) {
        const DiagramSuggestion &suggestion = suggestions.at(i);
        if (!drawn.contains(suggestion.table) || !drawn.contains(suggestion.referencedTable))
            continue;
        const QString id = QStringLiteral("s%1").arg(i);
        const QString columns = suggestion.table + QLatin1Char('.') + suggestion.columns.join(QStringLiteral(", "));
        lines << QStringLiteral("  %1 -> %2 [id=%3, class=\"suggested\", label=%4, tooltip=%5, style=dotted, "
                                "color=\"#9fb3c8\", fontcolor=\"#8a9bb0\", penwidth=1.4];")
                         .arg(quoted(suggestion.table), quoted(suggestion.referencedTable), quoted(id),
                              quoted(QStringLiteral("suggested\n") + columns),
                              quoted(QStringLiteral("Suggested: %1 -> %2.%3\n%4")
                                             .arg(columns, suggestion.referencedTable,
                                                  suggestion.referencedColumns.join(QStringLiteral(", ")),
                                                  suggestion.evidence)));
        diagram.suggestions.insert(id, i);
        ++diagram.suggestionCount;
    }
    lines << QStringLiteral("}");
    diagram.dot = lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return diagram;
}

QStringList neighbourhood(const Generator &generator, const QStringList &centre, int distance)
{
    // The links both ways: a table's relations name the tables it links to
    // and those that link to it, but a link the code model gives no
    // relation (a second key into one table) still joins the two.
    QHash<const mysql::Table *, QSet<const mysql::Table *>> links;
    for (const TableObject *table : generator.tableObjects()) {
        const mysql::Table *source = table->table();
        for (const Relation *relation : table->relations()) {
            links[source].insert(relation->target()->table());
            links[relation->target()->table()].insert(source);
        }
        for (const mysql::ForeignKey *key : source->foreignKeys()) {
            if (key->referencedTable()) {
                links[source].insert(key->referencedTable());
                links[key->referencedTable()].insert(source);
            }
        }
    }
    const QSet<QString> names(centre.cbegin(), centre.cend());
    QSet<const mysql::Table *> reached;
    QList<const mysql::Table *> ring;
    for (const TableObject *table : generator.tableObjects()) {
        if (names.contains(table->table()->name())) {
            reached.insert(table->table());
            ring.append(table->table());
        }
    }
    for (int step = 0; step < distance && !ring.isEmpty(); ++step) {
        QList<const mysql::Table *> next;
        for (const mysql::Table *table : std::as_const(ring)) {
            for (const mysql::Table *linked : links.value(table)) {
                if (!reached.contains(linked)) {
                    reached.insert(linked);
                    next.append(linked);
                }
            }
        }
        ring = next;
    }
    QStringList tables;
    for (const TableObject *table : generator.tableObjects()) {
        if (reached.contains(table->table()))
            tables.append(table->table()->name());
    }
    return tables;
}
