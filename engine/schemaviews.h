#pragma once

#include "engine/generationrun.h"
#include "codemodel/relationdiagram.h"
#include "engine/relationsuggester.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class Generator;

// What the window shows of a schema before anything is written: the
// relation diagram, the files of one table and the comparison with the
// output folder. The first two come from a code model SchemaLoader built;
// the comparison is the command line's --check.

// One file that Generate would write, generated in memory.
struct PreviewFile
{
    QString path; // below the output folder: "code/C++/dao/hubdao.h"
    QString text;
};

// What the Relations tab asks to draw.
struct DiagramRequest
{
    // The ticked tables the filter shows.
    QStringList shown;
    bool withEntities = true;
    // When any are named: these and the tables within `distance` links of
    // them instead, ticked or not.
    QStringList centre;
    int distance = 1;
};

// A table as the window's dialogs offer it.
struct TableOutline
{
    QString name;
    QString className;
    QStringList columns;
    QStringList keyColumns; // its primary key's
};

struct DiagramResult
{
    QByteArray svg;
    QString dot;
    // Tooltips of the marked tables, by node id.
    QHash<QString, QString> notes;
    // What is where in the drawing (see RelationDiagram).
    QHash<QString, QString> tables;
    QHash<QString, QStringList> rows;
    // The suggestions drawn, by their edges' ids.
    QHash<QString, SuggestedRelation> suggestions;
    // Every table of the schema.
    QList<TableOutline> outline;
    int tableCount = 0;
    int relationCount = 0;
    // The Graphviz layout that placed the boxes ("dot", "sfdp").
    QString layout;
    QString error;
};

struct PreviewResult
{
    QString table;
    QList<PreviewFile> files;
    QString error;
};

// What the command line's --check finds for the same tree.
struct ComparisonResult
{
    QString root;
    QStringList differences; // "new: code/...", "changed: ...", "not Tablesmith's: ...", "stale: ..."
    QMap<QString, QString> generated; // by path below the root
    QString closingLine;
    QStringList errors;
    bool completed = false;
};

// The diagram asked for, laid out, with the suggestions between its
// tables; `loadError` (a partly read schema, rules that do not fit) is said
// when nothing else is.
DiagramResult diagramOf(const Generator &generator, const DiagramRequest &request,
                        const QList<SuggestedRelation> &suggestions, const QString &loadError);
// The files Generate would write for `table`, in the order of the kinds.
PreviewResult previewOf(Generator *generator, const QString &table, const GenerationRun::Switches &switches,
                        const QString &loadError);
// The chosen tables' files (and with `application` the scaffold's) against
// what `root` holds, as --check compares them; reads the schema afresh
// through the calling thread's connections.
ComparisonResult compareWithFolder(const QString &schema, CatalogReader reader, const QString &root,
                                   const QStringList &chosen, const GenerationRun::Switches &switches,
                                   const SchemaRules &rules, bool application = false);
