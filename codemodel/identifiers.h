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

// The name as generated SQL writes it: bare, or between backticks when it is
// a reserved word or holds anything but letters, digits, "_" and "$".
QString sqlName(const QString &name);
// The words the server refuses as bare names, lower-cased.
const QStringList &sqlReservedWords();

// `text` for the inside of a C++ string literal: quotes and backslashes
// escaped.
QString literalText(const QString &text);

} // namespace identifiers
