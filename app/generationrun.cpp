#include "app/generationrun.h"

#include "app/directorytree.h"
#include "codemodel/generator.h"
#include "codemodel/tableobject.h"
#include "generators/daogen.h"
#include "generators/editorgen.h"
#include "generators/modelgen.h"
#include "generators/objectgen.h"
#include "generators/outputtree.h"
#include "mysql/diagnostics.h"
#include "mysql/schemacatalog.h"
#include "mysql/table.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>

namespace {

const char *const outputDirectories[] = {
    "code/C++/object",
    "code/C++/dao",
    "code/C++/model",
    "code/C++/editors",
};

// Creates one generator, writes both of its files and logs its line.
template<typename Gen>
void generate(TableObject *table, Generator *parent, const OutputTree &tree,
              const mysql::LogSink &log, const QString &line)
{
    auto *generator = new Gen(table, parent);
    generator->setOutputTree(&tree);
    generator->generateHeader();
    generator->generateSource();
    log(line.arg(table->table()->name()));
}

} // namespace

GenerationRun::GenerationRun(const QString &root, mysql::LogSink log, mysql::LogSink errors)
    : m_root(root)
    , m_log(std::move(log))
    , m_errors(errors ? std::move(errors) : m_log)
{
}

void GenerationRun::prepareOutputTree()
{
    const QString codePath = m_root + QStringLiteral("/code");
    const QFileInfo code(codePath);
    if (code.exists() || code.isSymLink()) {
        QString failedPath;
        if (!removeDirectoryTree(codePath, &failedPath)) {
            ++m_failures;
            m_errors(QStringLiteral("Cannot remove the old output tree completely: %1").arg(failedPath));
        }
    }

    const QDir root(m_root);
    for (const char *directory : outputDirectories) {
        const QString path = QString::fromLatin1(directory);
        if (!root.mkpath(path)) {
            ++m_failures;
            m_errors(QStringLiteral("Cannot create directory: %1").arg(root.filePath(path)));
        }
    }
}

bool GenerationRun::run(const QString &schema, const QStringList &chosenTables)
{
    m_failures = 0;
    m_timings = Timings();
    const int queryErrorsBefore = mysql::queryErrorCount();
    QElapsedTimer clock;
    clock.start();
    const auto lap = [&clock] { return clock.restart(); };

    prepareOutputTree();
    const QSet<QString> chosen(chosenTables.cbegin(), chosenTables.cend());
    m_timings.outputTree = lap();

    mysql::Database database(schema, m_log, nullptr);
    mysql::SchemaCatalog catalog(&database);
    const bool schemaWide = m_reader == CatalogReader::SchemaWide;
    if (schemaWide)
        catalog.loadTables();
    else
        database.loadTables();
    m_timings.tables = lap();
    if (schemaWide)
        catalog.createKeys();
    else
        database.createKeys();
    m_timings.keys = lap();
    database.createRelationships();
    m_timings.relationships = lap();

    OutputTree tree(m_root);
    tree.setFailureHandler(m_errors);

    {
        Generator generator(&database, nullptr);
        generator.createTableObjects();
        generator.createRelations();
        m_timings.codeModel = lap();

        for (TableObject *table : generator.tableObjects()) {
            if (!chosen.contains(table->table()->name()))
                continue;
            if (m_switches.dao)
                generate<DAOGen>(table, &generator, tree, m_log,
                                 QStringLiteral("Generating DAO class for table: %1"));
            if (m_switches.object)
                generate<ObjectGen>(table, &generator, tree, m_log,
                                    QStringLiteral("Generating Object class for table: %1"));
            if (m_switches.model)
                generate<ModelGen>(table, &generator, tree, m_log,
                                   QStringLiteral("Generating Model class for table: %1"));
            if (m_switches.editor)
                generate<EditorGen>(table, &generator, tree, m_log,
                                    QStringLiteral("Generating Editor class for table: %1"));
        }
        m_timings.files = lap();
    } // the code model goes before the schema it points into

    m_failures += tree.failureCount();
    m_queryErrors = mysql::queryErrorCount() - queryErrorsBefore;
    // The reader reports failed queries only to the debug output; the user
    // must not take a partly read schema for a complete one.
    if (m_queryErrors > 0) {
        m_errors(QStringLiteral("Reading the schema failed: %1 catalogue queries failed, the last with \"%2\"; "
                                "the generated code may be incomplete")
                         .arg(QString::number(m_queryErrors), mysql::lastQueryError()));
    }
    return m_failures == 0;
}
