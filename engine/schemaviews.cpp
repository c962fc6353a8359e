#include "engine/schemaviews.h"

#include "engine/graphvizlayout.h"
#include "codemodel/generator.h"
#include "codemodel/relationdiagram.h"
#include "codemodel/tableobject.h"
#include "generators/outputtree.h"
#include "mysql/column.h"
#include "mysql/keycolumn.h"
#include "mysql/primarykey.h"
#include "mysql/table.h"
#include "generators/sourcegenerator.h"

#include <algorithm>

namespace {

// Entity, DAO, model, editor; header before source.
int fileRank(const QString &path)
{
    static const QStringList folders = {QStringLiteral("/object/"), QStringLiteral("/dao/"),
                                        QStringLiteral("/model/"), QStringLiteral("/editors/")};
    for (int i = 0; i < folders.size(); ++i) {
        if (path.contains(folders.at(i)))
            return i * 2 + (path.endsWith(QLatin1String(".h")) ? 0 : 1);
    }
    return int(folders.size()) * 2;
}

} // namespace

DiagramResult diagramOf(const Generator &generator, const DiagramRequest &request,
                        const QList<SuggestedRelation> &suggestions, const QString &loadError)
{
    DiagramResult result;
    QList<DiagramSuggestion> drawn;
    for (const SuggestedRelation &s : suggestions)
        drawn.append({s.table, s.columns, s.referencedTable, s.referencedColumns, s.evidence});
    const QStringList shown = request.centre.isEmpty()
            ? request.shown
            : neighbourhood(generator, request.centre, request.distance);
    // Around chosen tables only they are drawn: the linked ones beyond the
    // distance are what the distance leaves out.
    const RelationDiagram diagram = relationDiagram(generator, shown, request.withEntities,
                                                    request.centre.isEmpty(), drawn);
    result.dot = diagram.dot;
    result.notes = diagram.notes;
    result.tables = diagram.tables;
    result.rows = diagram.rows;
    for (auto id = diagram.suggestions.cbegin(); id != diagram.suggestions.cend(); ++id)
        result.suggestions.insert(id.key(), suggestions.at(id.value()));
    result.tableCount = diagram.tableCount;
    result.relationCount = diagram.relationCount;
    for (const TableObject *table : generator.tableObjects()) {
        TableOutline outline{table->table()->name(), table->className(), {}, {}};
        for (const mysql::Column *column : table->table()->columns())
            outline.columns.append(column->name());
        if (const mysql::PrimaryKey *key = table->table()->primaryKey()) {
            for (const mysql::KeyColumn *column : key->columns())
                outline.keyColumns.append(column->column()->name());
        }
        result.outline.append(outline);
    }
    if (diagram.tableCount > 0) {
        result.layout = layoutFor(diagram.tableCount + diagram.fadedCount);
        result.svg = layoutAsSvg(diagram.dot, &result.error, result.layout);
    }
    if (result.error.isEmpty())
        result.error = loadError;
    return result;
}

PreviewResult previewOf(Generator *generator, const QString &table, const GenerationRun::Switches &switches,
                        const QString &loadError)
{
    PreviewResult result;
    result.table = table;
    TableObject *object = generator->tableObject(table);
    if (!object) {
        result.error = QStringLiteral("The schema has no table %1 (any more): press Connect to read it again.")
                               .arg(table);
        return result;
    }
    OutputTree tree(QString{});
    tree.setInMemory(true);
    QStringList failures;
    tree.setFailureHandler([&failures](const QString &line) { failures.append(line); });
    GenerationRun::generateTable(object, generator, tree, switches, [](const QString &) {});
    // The generators are the code model's children; a preview keeps none.
    qDeleteAll(generator->findChildren<SourceGenerator *>(Qt::FindDirectChildrenOnly));
    for (auto text = tree.texts().cbegin(); text != tree.texts().cend(); ++text)
        result.files.append({text.key(), text.value()});
    std::stable_sort(result.files.begin(), result.files.end(), [](const PreviewFile &a, const PreviewFile &b) {
        return fileRank(a.path) < fileRank(b.path);
    });
    failures.prepend(loadError);
    failures.removeAll(QString());
    result.error = failures.join(QLatin1Char('\n'));
    return result;
}

ComparisonResult compareWithFolder(const QString &schema, CatalogReader reader, const QString &root,
                                   const QStringList &chosen, const GenerationRun::Switches &switches,
                                   const SchemaRules &rules, bool application)
{
    ComparisonResult result;
    result.root = root;
    GenerationRun run(root, [](const QString &) {}, [&result](const QString &line) { result.errors.append(line); });
    run.setMode(GenerationRun::Mode::Check);
    run.setSwitches(switches);
    run.setApplication(application);
    run.setCatalogReader(reader);
    run.setSchemaRules(rules);
    run.run(schema, chosen);
    result.differences = run.differences();
    result.generated = run.generatedTexts();
    result.closingLine = run.closingLine();
    result.completed = true;
    return result;
}
