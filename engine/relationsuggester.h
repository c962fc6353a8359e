#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

namespace mysql {
class Database;
}

// A key the schema does not declare but its names and types point to, as a
// project's [relations] section would declare it.
struct SuggestedRelation
{
    QString table;
    QStringList columns;
    QString referencedTable;
    QStringList referencedColumns;
    // Why, in one line: "column name user_id names table users; int
    // matches users.id".
    QString evidence;

    // What verifyRelations() found: the rows whose key columns are all
    // non-NULL, and those of them without a row in the referenced table;
    // -1 until checked.
    qint64 checkedValues = -1;
    qint64 unmatchedValues = -1;
    // Why the check could not run; empty when it ran or was not asked for.
    QString checkError;

    bool isChecked() const { return checkedValues >= 0; }
    bool hasUnmatchedValues() const { return unmatchedValues > 0; }

    // The line the [relations] section takes, "comments.user_id ->
    // users.id" or "lines.(shop, order_no) -> orders.(shop, no)", names
    // between backticks where the project file needs them.
    QString keyLine() const;
    // The evidence, and what the check found, as the comment line written
    // above the key line: "# column name user_id names table users; ...".
    // A suggestion with values that have no match begins "# CHECK: ".
    QString commentLine() const;
};

// Finds the undeclared keys of a schema from its names and types alone, no
// query: a column named x_id, xid, id_x, idx or x, where x names a table (in
// any case, singular or with a regular English plural), whose type is that of
// the table's single-column primary key (integers: of the same sign, of any
// width); also x_k for a key column k other
// than id, a word before those forms (sender_user_id), parent_id into the
// table itself, and columns named after each column of a table's
// multi-column key. Columns of the catalogue's and the project's keys are
// skipped, and a table's own primary key is never a key to itself.
class RelationSuggester
{
public:
    // The schema as SchemaLoader::readSchema() leaves it, with the keys the
    // project declares among those of the catalogue.
    explicit RelationSuggester(const mysql::Database *database);

    // Only keys from these tables (all when empty); they may point to any.
    void setTables(const QStringList &tables) { m_tables = tables; }
    // A project's strip-prefix: a table is also named by its name without
    // the prefix (wp_users by user_id).
    void setStripPrefixes(const QStringList &prefixes) { m_prefixes = prefixes; }

    // By table name, each table's in its column order. The columns named
    // like keys that are none go to `passedOver`, each as "table.column:
    // why" ("posts.author_id: \"author\" names no table", "reviews.
    // customer_id: int, but customers.id is int unsigned").
    QList<SuggestedRelation> suggestions(QStringList *passedOver = nullptr) const;

private:
    const mysql::Database *m_database;
    QStringList m_tables;
    QStringList m_prefixes;
};

// Checks each suggestion against the data, one query each on `schema` (the
// user's schema): how many rows have all key columns non-NULL, and how many
// of those have no match in the referenced table. `stop`, when given, is
// asked before each query. Returns the number of queries that failed.
int verifyRelations(QList<SuggestedRelation> *suggestions, const QSqlDatabase &schema,
                    const std::function<bool()> &stop = {});

// What --suggest-relations prints: a comment that says what follows, then
// "[relations]" and each suggestion's comment and key line; with `checked`,
// how many have values without a match; then the columns passed over, as
// comments.
QString suggestionsText(const QString &schema, const QList<SuggestedRelation> &suggestions, bool checked,
                        const QStringList &passedOver = {});
