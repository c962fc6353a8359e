#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class Generator;
class Relation;

// The tables and links of the code model as a Graphviz graph in DOT: one box
// per shown table with its columns (key and foreign-key columns marked), one
// edge per relation of a shown table, labelled with its kind and the columns
// it goes through. Tables that a shown table links to but that are not shown
// themselves are drawn faded; tables with a convention note are marked. A
// table whose class is not named as its table shows the class's name under
// the table's.
struct RelationDiagram
{
    QString dot;
    // The notes of each marked table, by its node's id in the drawing
    // ("t" and the table's place in the code model).
    QHash<QString, QString> notes;
    // The table of each node drawn, shown or faded, by its id.
    QHash<QString, QString> tables;
    // The rows of each shown table's box from the top: empty for the rows
    // of its names, then its columns.
    QHash<QString, QStringList> rows;
    // The place in the list given of each suggestion drawn, by its edge's
    // id ("s" and that place).
    QHash<QString, int> suggestions;
    int tableCount = 0;
    int fadedCount = 0;
    int relationCount = 0;
    int suggestionCount = 0;
};

// A relation the schema does not declare but its names and types point to,
// drawn faded until the project declares it.
struct DiagramSuggestion
{
    QString table;
    QStringList columns;
    QString referencedTable;
    QStringList referencedColumns;
    // Why it is suggested: the tooltip.
    QString evidence;
};

// `shown` names tables of the generator's schema; the others are ignored.
// `withEntities` says whether the entity classes (and so the getters of the
// links) are generated, as for the convention notes.
// Without `withLinked`, tables that are not shown are left out, with the
// relations that lead to them.
// Suggestions between tables that are not both drawn are left out.
RelationDiagram relationDiagram(const Generator &generator, const QStringList &shown, bool withEntities,
                                bool withLinked = true, const QList<DiagramSuggestion> &suggestions = {});

// The tables within `distance` links of the `centre` tables (these
// included), whichever way the links go, in the code model's order.
QStringList neighbourhood(const Generator &generator, const QStringList &centre, int distance);

// "one-to-one", "one-to-many" or "many-to-one".
QString relationKindName(int type);
// The columns a relation goes through, as "table.column" (several joined
// with ", "); empty when the schema names none.
QString relationColumns(const Relation &relation);
