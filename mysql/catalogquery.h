#pragma once

#include <QSqlError>
#include <QSqlQuery>

namespace mysql {

class Table;

// A query on the catalogue connection "InformationSchema", opened on demand.
QSqlQuery catalogQuery();

// Executes a prepared catalogue query and returns its error, invalid when it
// succeeded. A query on a catalogue connection that cannot be opened fails
// without an error of its own; the connection's error stands in for it, so
// that the failure is reported rather than read as an empty result.
QSqlError execCatalogQuery(QSqlQuery &query);

// The schema name of the table's Database, bound into its catalogue queries.
QString schemaOf(const Table *table);

} // namespace mysql
