#pragma once

#include <QLoggingCategory>
#include <QString>

QT_BEGIN_NAMESPACE
class QSqlError;
QT_END_NAMESPACE

// Writes a failed catalogue query's error to the debug output; does nothing
// when there was no error. The load goes on either way.
void reportQueryError(const QSqlError &error, const QString &where);

namespace mysql {

// The schema reader's developer lines (one or more per table and key) and its
// failed queries. Off unless asked for: tablesmith-cli --verbose, or
// QT_LOGGING_RULES="tablesmith.schemareader.debug=true" for the window.
Q_DECLARE_LOGGING_CATEGORY(schemaReaderLog)
// Turns the developer lines on, for the whole process.
void enableDeveloperLines();

// Writes one debug message whose items are the given strings, each quoted
// and followed by one blank. The text is kept verbatim: unlike the default
// debug stream, inner quotes and non-ASCII letters are not escaped, so the
// lines stay readable and stable for tools that grep them.
void debugQuoted(const QString &item);

// How many failed queries reportQueryError() has seen in this process, so
// that a front end can tell a complete schema from a partial one.
int queryErrorCount();
// The text of the last failed query's error, empty when none failed.
QString lastQueryError();

} // namespace mysql
