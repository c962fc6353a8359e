#pragma once

#include <QString>

namespace mysql {

class Database;

// Fills a Database from a handful of schema-wide catalogue queries instead
// of several queries per table. It builds the same tables, columns, keys and
// key columns, in the same orders, and writes the same progress lines as
// Database::loadTables() and Database::createKeys(); createRelationships()
// follows as usual. Every query filters on the schema by a constant, so the
// server reads one database rather than all of them.
class SchemaCatalog
{
public:
    explicit SchemaCatalog(Database *database);

    // Tables with their columns: two queries.
    void loadTables();
    // Primary and foreign keys with their columns: two queries.
    void createKeys();

private:
    Database *m_database;
};

} // namespace mysql
