#pragma once

#include <core/sql/sqlquery.h>
#include <global/tablesmith_runtime_global.h>

#include <QSqlDatabase>
#include <QString>

namespace Functions {

// The next value of the sequence `name`, on `db`; throws SqlException on
// failure. The generated DAOs take the id of a new row from the sequence
// seq_<table>. The name is quoted as a single identifier, in the
// connection's schema.
//
// On MariaDB (10.3 and later) this is a real sequence:
//     create sequence seq_x start with 1;
//     -- each call: select nextval(seq_x)
//
// MySQL has no sequences (the server's version string, which says "MariaDB"
// on MariaDB, tells them apart). There a sequence is a table of that name
// holding exactly one row:
//     create table seq_x (next_id bigint not null) engine=InnoDB;
//     insert into seq_x (next_id) values (0);  -- the first value is 0 + 1
// and each call runs
//     update seq_x set next_id = last_insert_id(next_id + 1);
//     select last_insert_id();
// so next_id holds the last value handed out. Unlike a real sequence, the
// step belongs to the caller's transaction: a rolled back insert gives its
// number back, and a second inserter waits for the first one's commit.
//
// The environment variable TABLESMITH_RUNTIME_SEQUENCES chooses the way
// instead of the server's version: "emulated" for the table, "native" for
// nextval (tests use it to run the table's way on MariaDB); unset or any
// other value leaves it to the server's version.
//
// A missing sequence (or table) throws SqlException whose message names it
// and gives the statement that creates it.
TABLESMITH_RUNTIME_EXPORT qlonglong getSecuencia(const QString &name, QSqlDatabase *db);

} // namespace Functions
