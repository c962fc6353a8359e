#include "engine/schemaloader.h"

#include "connection/mysqlconnection.h"
#include "codemodel/fieldlists.h"
#include "codemodel/generator.h"
#include "mysql/diagnostics.h"
#include "mysql/schemacatalog.h"
#include "mysql/table.h"

#include <QElapsedTimer>
#include <QSqlDatabase>

SchemaLoader::SchemaLoader(const QString &schema, mysql::LogSink log)
    : m_database(std::make_unique<mysql::Database>(schema, std::move(log), nullptr))
{
}

SchemaLoader::~SchemaLoader() = default;

void SchemaLoader::setStopCheck(std::function<bool()> check)
{
    m_database->setStopCheck(std::move(check));
}

void SchemaLoader::setTableProgress(std::function<void(int read, int total)> progress)
{
    m_database->setLoadProgress(std::move(progress));
}

void SchemaLoader::readSchema()
{
    // The reader reports failed queries only to the debug output and counts
    // them; the difference is this read's.
    const int errorsBefore = mysql::queryErrorCount();
    QElapsedTimer clock;
    clock.start();
    const bool schemaWide = m_reader == CatalogReader::SchemaWide;
    mysql::SchemaCatalog catalog(m_database.get());
    if (schemaWide)
        catalog.loadTables();
    else
        m_database->loadTables();
    m_timings.tables = clock.restart();
    if (schemaWide)
        catalog.createKeys();
    else
        m_database->createKeys();
    m_timings.keys = clock.restart();
    // Declared keys join the catalogue's before the links are derived.
    m_ruleProblems = schemarules::apply(m_rules, m_database.get());
    m_database->createRelationships();
    // The generated DAOs number new rows from them; the report names those
    // missing.
    m_database->loadSequences();
    m_timings.relationships = clock.restart();
    m_catalogErrors = mysql::queryErrorCount() - errorsBefore;
    m_lastCatalogError = mysql::lastQueryError();
}

Generator *SchemaLoader::buildCodeModel()
{
    const int errorsBefore = mysql::queryErrorCount();
    QElapsedTimer clock;
    clock.start();
    m_generator = std::make_unique<Generator>(m_database.get(), nullptr);
    // With the schema-wide reader the field types, too, come in a few
    // queries rather than one per table.
    FieldLists fieldLists;
    if (m_reader == CatalogReader::SchemaWide) {
        QStringList names;
        for (const mysql::Table *table : m_database->tables())
            names.append(table->name());
        fieldLists.read(QSqlDatabase::database(schemaConnectionName(), true), names);
        m_generator->setFieldLists(&fieldLists);
    }
    m_generator->setRules(&m_rules);
    m_generator->createTableObjects();
    m_generator->createRelations();
    m_ruleProblems = schemarules::inFileOrder(m_ruleProblems + m_generator->ruleProblems());
    // The table objects have their types; the lists go now.
    m_generator->setFieldLists(nullptr);
    m_timings.codeModel = clock.elapsed();
    m_fieldTypeErrors = mysql::queryErrorCount() - errorsBefore;
    m_lastFieldTypeError = mysql::lastQueryError();
    return m_generator.get();
}
