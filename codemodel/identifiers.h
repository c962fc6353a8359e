#pragma once

#include <QString>
#include <QStringList>

// How schema names become names in generated text. A name that is already a
// plain identifier comes through unchanged, so that code generated from a
// conventional schema does not change; any other name is turned into one the
// C++ compiler or the SQL server accepts.
namespace identifiers {

// The C++ identifier for a table or column name: the name itself when it is
// an ASCII identifier and no keyword, otherwise every other character as
// "_", `digitPrefix` in front of a leading digit and "_" after a keyword.
QString cppName(const QString &name, const QString &digitPrefix);
// Keywords, alternative tokens and the words Qt defines as macros.
bool isCppKeyword(const QString &word);
// `name` with its first character upper-cased.
QString upperFirst(const QString &name);
// A member name for `name`, which is also a class name: its first letter
// lower-cased, or the whole name when it is all capitals; "_" appended when
// that changes nothing.
QString notClassName(const QString &name);

// The stem of a table's file names: the table name in lower case, or the
// table's C++ name in lower case when the table name holds a character that
// a file name or an include line cannot (a path separator, a quote, a
// control character, or one that Windows refuses).
QString fileName(const QString &tableName, const QString &cppName);
// Whether Windows reserves a file name for a device: "aux", "con", "nul",
// "prn", "com1" to "com9", "lpt1" to "lpt9" (and the console's "conin$" and
// "conout$"), in any case and whatever follows the first dot. Generated
// trees are checked out on every system, so such stems are numbered.
bool isWindowsDeviceName(const QString &stem);

// The name as generated SQL writes it: bare, or between backticks when it is
// a reserved word of MariaDB or MySQL or holds anything but letters, digits,
// "_" and "$". A quoted name is valid on both servers, so the generated code
// runs on either.
QString sqlName(const QString &name);
// The words MariaDB refuses as bare names, lower-cased.
const QStringList &sqlReservedWords();
// The words MySQL 8.0 and 8.4 reserve beyond MariaDB's, lower-cased.
const QStringList &mysqlReservedWords();

// `text` for the inside of a C++ string literal: quotes and backslashes
// escaped.
QString literalText(const QString &text);

} // namespace identifiers
