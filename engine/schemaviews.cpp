#include "engine/schemaviews.h"

#include "engine/graphvizlayout.h"
#include "codemodel/generator.h"
#include "codemodel/relationdiagram.h"
#include "codemodel/tableobject.h"
#include "generators/outputtree.h"
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

DiagramResult diagramOf(const Generator &generator, const QStringList &shown, bool withEntities,
                        const QString &loadError)
{
    DiagramResult result;
    const RelationDiagram diagram = drawableDiagram(generator, shown, withEntities, &result.withoutLinked);
    result.dot = diagram.dot;
    result.notes = diagram.notes;
    result.tableCount = diagram.tableCount;
    result.relationCount = diagram.relationCount;
    result.error = tooLargeToLayOut(diagram.tableCount + diagram.fadedCount);
    if (result.error.isEmpty() && diagram.tableCount > 0)
        result.svg = layoutAsSvg(diagram.dot, &result.error);
    else if (!result.error.isEmpty())
        result.error += QStringLiteral(" with the ticks or the filter.");
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
                                   const QStringList &chosen, const GenerationRun::Switches &switches, bool application)
{
    ComparisonResult result;
    result.root = root;
    GenerationRun run(root, [](const QString &) {}, [&result](const QString &line) { result.errors.append(line); });
    run.setMode(GenerationRun::Mode::Check);
    run.setSwitches(switches);
    run.setApplication(application);
    run.setCatalogReader(reader);
    run.run(schema, chosen);
    result.differences = run.differences();
    result.generated = run.generatedTexts();
    result.closingLine = run.closingLine();
    result.completed = true;
    return result;
}
