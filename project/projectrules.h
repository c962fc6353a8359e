#pragma once

#include "codemodel/schemarules.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// The sections of a project file that say what the catalogue does not:
//
//   [relations]        keys the schema does not declare, one a line:
//                        posts.author_id -> users.id
//                        lines.(order_no, shop) -> orders.(no, shop)
//                      and getter-per-key = yes: each further key into a
//                      table gets a getter of its own, named from its column
//   [names]            strip-prefix = wp_, llx_   (the longest that fits)
//                      wp_posts = Post            (a table's class)
//                      wp_posts.post_title = title   (a column's member)
//   [types]            tinyint(1) = bool          (an SQL type, full or bare)
//                      wp_posts.meta = QJsonDocument (a column)
//   [exclude-columns]  wp_posts = guid, pinged
//
// A name that holds anything but letters, digits, "_", "$" and "-" goes
// between backticks, a backtick in it doubled. What can be checked without
// the schema is checked as the file is read; the rest once the schema is.
struct ProjectRules
{
    SchemaRules schema;
    // The rule lines as read, by section in the order of the file, to write
    // the project back.
    QList<std::pair<QString, QStringList>> sections;

    bool isEmpty() const { return sections.isEmpty(); }
};

// Whether the section is one of the rules'.
bool isRuleSection(const QString &section);
// The rule sections' names, for the list of known sections.
QStringList ruleSections();

// Takes one line of a rule section, trimmed and not a comment; `where` is
// the line's "FILE:LINE: ". Returns what is wrong with it, empty when
// nothing is.
QString readRuleLine(const QString &section, const QString &line, const QString &where, ProjectRules *rules);

// The rule sections as a project file writes them; empty without rules.
QString rulesText(const ProjectRules &rules);

// The section of the declared keys, and of the names.
QString relationsSectionName();
QString namesSectionName();
// A name as a rule line writes it: between backticks unless it is plain.
QString ruleName(const QString &name);
// The [names] line that names the class of `table`.
QString classNameLine(const QString &table, const QString &className);
