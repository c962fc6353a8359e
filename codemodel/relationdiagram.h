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
// themselves are drawn faded; tables with a convention note are marked.
struct RelationDiagram
{
    QString dot;
    // The notes of each marked table, by its node's id in the drawing
    // ("t" and the table's place in the code model).
    QHash<QString, QString> notes;
    int tableCount = 0;
    int fadedCount = 0;
    int relationCount = 0;
};

// `shown` names tables of the generator's schema; the others are ignored.
// `withEntities` says whether the entity classes (and so the getters of the
// links) are generated, as for the convention notes.
// Without `withLinked`, tables that are not shown are left out, with the
// relations that lead to them.
RelationDiagram relationDiagram(const Generator &generator, const QStringList &shown, bool withEntities,
                                bool withLinked = true);

// "one-to-one", "one-to-many" or "many-to-one".
QString relationKindName(int type);
// The columns a relation goes through, as "table.column" (several joined
// with ", "); empty when the schema names none.
QString relationColumns(const Relation &relation);
