#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <utility>

class TableObject;

// The places where the code generated for the chosen tables cannot work as
// written because the schema does not follow the naming the generated code
// relies on: one line each, in the words of a user. Nothing for a schema
// that follows it.
QStringList conventionNotes(const QList<TableObject *> &chosen, bool withEntities);

// Whether insertObject numbers the table's new rows from a sequence
// (seq_<table>, for an integer id column) that the schema does not have.
bool lacksSequence(const TableObject *table);
// The same notes, with the table each one is about, in the order of `chosen`;
// tables without a note are left out. Without `withSequences`, the notes of
// missing sequences (a matter of the database, not of its design) are too.
QList<std::pair<const TableObject *, QStringList>> conventionNotesByTable(const QList<TableObject *> &chosen,
                                                                         bool withEntities, bool withSequences = true);
