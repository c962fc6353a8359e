#pragma once

#include "engine/generationrun.h"

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

struct DiagramResult
{
    QByteArray svg;
    QString dot;
    // Tooltips of the marked tables, by node id.
    QHash<QString, QString> notes;
    int tableCount = 0;
    int relationCount = 0;
    // The linked tables that are not ticked were left out: with them the
    // diagram would be too large.
    bool withoutLinked = false;
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

// The diagram of the `shown` tables, laid out; `loadError` (a partly read
// schema) is said when nothing else is.
DiagramResult diagramOf(const Generator &generator, const QStringList &shown, bool withEntities,
                        const QString &loadError);
// The files Generate would write for `table`, in the order of the kinds.
PreviewResult previewOf(Generator *generator, const QString &table, const GenerationRun::Switches &switches,
                        const QString &loadError);
// The chosen tables' files (and with `application` the scaffold's) against
// what `root` holds, as --check compares them; reads the schema afresh
// through the calling thread's connections.
ComparisonResult compareWithFolder(const QString &schema, CatalogReader reader, const QString &root,
                                   const QStringList &chosen, const GenerationRun::Switches &switches,
                                   bool application = false);
