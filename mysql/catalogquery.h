#pragma once

#include <QSqlQuery>

namespace mysql {

class Table;

// A query on the catalogue connection "InformationSchema", opened on demand.
QSqlQuery catalogQuery();

// The schema name of the table's Database, bound into its catalogue queries.
QString schemaOf(const Table *table);

} // namespace mysql
