#include "engine/inspectionworker.h"

#include "engine/graphvizlayout.h"
#include "codemodel/generator.h"
#include "codemodel/relationdiagram.h"
#include "codemodel/tableobject.h"
#include "generators/outputtree.h"
#include "generators/sourcegenerator.h"
#include "mysql/table.h"
#include "mysql/threadconnections.h"

#include <QSqlDatabase>
#include <QSqlError>

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

InspectionWorker::InspectionWorker(const QString &id)
    : m_schemaName(QStringLiteral("Connection-") + id)
    , m_catalogName(QStringLiteral("InformationSchema-") + id)
{
}

InspectionWorker::~InspectionWorker()
{
    // The code model and its schema before the connections.
    reload();
    dropConnections();
}

void InspectionWorker::setConnection(const ConnectionSettings &settings, GenerationRun::CatalogReader reader)
{
    reload();
    dropConnections();
    m_settings = settings;
    m_hasSettings = true;
    m_reader = reader;
}

void InspectionWorker::reload()
{
    m_generator = nullptr;
    m_loader.reset();
    m_loadError.clear();
}

void InspectionWorker::dropConnections()
{
    for (const QString &name : {m_schemaName, m_catalogName}) {
        if (QSqlDatabase::contains(name))
            QSqlDatabase::removeDatabase(name);
    }
}

QString InspectionWorker::connect()
{
    if (!m_hasSettings)
        return QStringLiteral("Not connected: press Connect first.");
    if (QSqlDatabase::contains(m_schemaName) && QSqlDatabase::database(m_schemaName, false).isOpen()
        && QSqlDatabase::contains(m_catalogName) && QSqlDatabase::database(m_catalogName, false).isOpen())
        return QString();
    dropConnections();
    // As Connect opens them: also refused when TLS was asked for and the
    // server fell back to plain text.
    const mysql::ThreadConnectionNames names(m_schemaName, m_catalogName);
    const SchemaConnections connections = openSchemaConnections(m_settings);
    if (!connections.schema.isOpen())
        return connections.problem;
    if (!connections.catalog.isOpen())
        return connections.catalogProblem;
    return QString();
}

QString InspectionWorker::loadModel()
{
    if (m_generator)
        return QString();
    const QString error = connect();
    if (!error.isEmpty())
        return error;
    const mysql::ThreadConnectionNames names(m_schemaName, m_catalogName);
    m_loader = std::make_unique<SchemaLoader>(m_settings.schema, mysql::LogSink([](const QString &) {}));
    m_loader->setCatalogReader(m_reader);
    m_loader->readSchema();
    m_generator = m_loader->buildCodeModel();
    // A partly read schema would show as a complete one.
    m_loadError = m_loader->readErrorCount() > 0
            ? QStringLiteral("Reading the schema failed: %1").arg(m_loader->lastReadError())
            : QString();
    return QString();
}

DiagramResult InspectionWorker::diagram(const QStringList &shown, bool withEntities)
{
    DiagramResult result;
    result.error = loadModel();
    if (!result.error.isEmpty())
        return result;
    const RelationDiagram diagram = drawableDiagram(*m_generator, shown, withEntities, &result.withoutLinked);
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
        result.error = m_loadError;
    return result;
}

PreviewResult InspectionWorker::preview(const QString &table, const GenerationRun::Switches &switches)
{
    PreviewResult result;
    result.table = table;
    result.error = loadModel();
    if (!result.error.isEmpty())
        return result;
    TableObject *object = m_generator->tableObject(table);
    if (!object) {
        result.error = QStringLiteral("The schema has no table %1 (any more): press Connect to read it again.")
                               .arg(table);
        return result;
    }
    OutputTree tree(QString{});
    tree.setInMemory(true);
    QStringList failures;
    tree.setFailureHandler([&failures](const QString &line) { failures.append(line); });
    GenerationRun::generateTable(object, m_generator, tree, switches, [](const QString &) {});
    // The generators are the code model's children; a preview keeps none.
    qDeleteAll(m_generator->findChildren<SourceGenerator *>(Qt::FindDirectChildrenOnly));
    for (auto text = tree.texts().cbegin(); text != tree.texts().cend(); ++text)
        result.files.append({text.key(), text.value()});
    std::stable_sort(result.files.begin(), result.files.end(), [](const PreviewFile &a, const PreviewFile &b) {
        return fileRank(a.path) < fileRank(b.path);
    });
    failures.prepend(m_loadError);
    failures.removeAll(QString());
    result.error = failures.join(QLatin1Char('\n'));
    return result;
}

ComparisonResult InspectionWorker::compare(const QString &root, const QStringList &chosen,
                                           const GenerationRun::Switches &switches)
{
    ComparisonResult result;
    result.root = root;
    const QString error = connect();
    if (!error.isEmpty()) {
        result.errors.append(error);
        return result;
    }
    // The same run as the command line's --check, on this thread's
    // connections; it reads the schema afresh.
    const mysql::ThreadConnectionNames names(m_schemaName, m_catalogName);
    GenerationRun run(root, [](const QString &) {}, [&result](const QString &line) { result.errors.append(line); });
    run.setMode(GenerationRun::Mode::Check);
    run.setSwitches(switches);
    run.setCatalogReader(m_reader);
    run.run(m_settings.schema, chosen);
    result.differences = run.differences();
    result.generated = run.generatedTexts();
    result.closingLine = run.closingLine();
    result.completed = true;
    // What Generate would write may have changed with the schema.
    reload();
    return result;
}
