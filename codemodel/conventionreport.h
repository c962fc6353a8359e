#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class TableObject;

// The places where the code generated for the chosen tables cannot work as
// written because the schema does not follow the naming the generated code
// relies on: one line each, in the words of a user. Nothing for a schema
// that follows it.
QStringList conventionNotes(const QList<TableObject *> &chosen, bool withEntities);
