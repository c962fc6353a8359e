#include "codemodel/identifiers.h"

#include <QRegularExpression>
#include <QSet>

namespace identifiers {

namespace {

const QSet<QString> &cppKeywords()
{
    static const QSet<QString> words = {
        "alignas", "alignof", "and", "and_eq", "asm", "auto", "bitand", "bitor", "bool", "break",
        "case", "catch", "char", "char8_t", "char16_t", "char32_t", "class", "compl", "concept",
        "const", "consteval", "constexpr", "constinit", "const_cast", "continue", "co_await",
        "co_return", "co_yield", "decltype", "default", "delete", "do", "double", "dynamic_cast",
        "else", "enum", "explicit", "export", "extern", "false", "float", "for", "friend", "goto",
        "if", "inline", "int", "long", "mutable", "namespace", "new", "noexcept", "not", "not_eq",
        "nullptr", "operator", "or", "or_eq", "private", "protected", "public", "register",
        "reinterpret_cast", "requires", "return", "short", "signed", "sizeof", "static",
        "static_assert", "static_cast", "struct", "switch", "template", "this", "thread_local",
        "throw", "true", "try", "typedef", "typeid", "typename", "union", "unsigned", "using",
        "virtual", "void", "volatile", "wchar_t", "while", "xor", "xor_eq",
        // Macros of Qt and of the C library that a name cannot survive.
        "signals", "slots", "emit", "foreach", "forever", "Q_SIGNALS", "Q_SLOTS", "Q_EMIT",
        "NULL", "EOF", "errno", "assert",
    };
    return words;
}

} // namespace

bool isCppKeyword(const QString &word)
{
    return cppKeywords().contains(word);
}

QString cppName(const QString &name, const QString &digitPrefix)
{
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (identifier.match(name).hasMatch() && !isCppKeyword(name))
        return name;
    QString result = name;
    for (QChar &c : result) {
        if (!(c.isDigit() && c.unicode() < 128) && !(c.isLetter() && c.unicode() < 128) && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    }
    if (result.isEmpty() || result.at(0).isDigit())
        result.prepend(digitPrefix);
    if (isCppKeyword(result))
        result += QLatin1Char('_');
    return result;
}

QString upperFirst(const QString &name)
{
    QString result = name;
    if (!result.isEmpty())
        result[0] = result.at(0).toUpper();
    return result;
}

QString notClassName(const QString &name)
{
    QString result = name;
    if (result == result.toUpper())
        result = result.toLower();
    else if (!result.isEmpty())
        result[0] = result.at(0).toLower();
    result = cppName(result, QStringLiteral("_"));
    // No letter to lower-case ("__", "_9"): a suffix tells them apart.
    if (result == name)
        result += QLatin1Char('_');
    return result;
}

QString fileName(const QString &tableName, const QString &cppName)
{
    for (const QChar c : tableName) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || QStringView(u"/\\\":*?<>|").contains(c))
            return cppName.toLower();
    }
    return upperFirst(tableName).toLower();
}

bool isWindowsDeviceName(const QString &stem)
{
    static const QRegularExpression device(QStringLiteral("^(aux|con|nul|prn|com[1-9]|lpt[1-9]|conin\\$|conout\\$) *(\\..*)?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    return device.match(stem).hasMatch();
}

const QStringList &sqlReservedWords()
{
    // MariaDB's reserved words; the tests try each as a bare column name.
    static const QStringList words = {
    "accessible", "add", "all", "alter", "analyze", "and", "as", "asc", "asensitive", "before",
    "between", "bigint", "binary", "blob", "both", "by", "call", "cascade", "case", "change",
    "char", "character", "check", "collate", "column", "condition", "constraint", "continue",
    "convert", "create", "cross", "current_date", "current_role", "current_time",
    "current_timestamp", "current_user", "cursor", "databases", "day_hour", "day_microsecond",
    "day_minute", "day_second", "dec", "decimal", "declare", "default", "delayed", "delete",
    "delete_domain_id", "desc", "describe", "deterministic", "distinct", "distinctrow", "div",
    "do_domain_ids", "double", "drop", "dual", "each", "else", "elseif", "enclosed", "escaped",
    "except", "exists", "exit", "explain", "false", "fetch", "float", "float4", "float8", "for",
    "force", "foreign", "from", "fulltext", "grant", "group", "having", "high_priority",
    "hour_microsecond", "hour_minute", "hour_second", "if", "ignore", "ignore_domain_ids", "in",
    "index", "infile", "inner", "inout", "insensitive", "insert", "int", "int1", "int2", "int3",
    "int4", "int8", "integer", "intersect", "interval", "into", "is", "iterate", "join", "key",
    "keys", "kill", "leading", "leave", "left", "like", "limit", "linear", "lines", "load",
    "localtime", "localtimestamp", "lock", "long", "longblob", "longtext", "loop", "low_priority",
    "master_demote_to_replica", "master_demote_to_slave", "master_ssl_verify_server_cert", "match",
    "maxvalue", "mediumblob", "mediumint", "mediumtext", "middleint", "minute_microsecond",
    "minute_second", "mod", "modifies", "natural", "no_write_to_binlog", "not", "null", "numeric",
    "offset", "on", "optimize", "optionally", "or", "order", "out", "outer", "outfile", "over",
    "page_checksum", "parse_vcol_expr", "partition", "portion", "precision", "primary", "procedure",
    "purge", "range", "read", "read_write", "reads", "real", "recursive", "ref_system_id",
    "references", "regexp", "release", "rename", "repeat", "replace", "require", "resignal",
    "restrict", "return", "returning", "revoke", "right", "rlike", "row_number", "rows", "schemas",
    "second_microsecond", "select", "sensitive", "separator", "set", "show", "signal", "smallint",
    "spatial", "specific", "sql", "sql_big_result", "sql_calc_found_rows", "sql_small_result",
    "sqlexception", "sqlstate", "sqlwarning", "ssl", "starting", "stats_auto_recalc",
    "stats_persistent", "stats_sample_pages", "straight_join", "table", "terminated", "then",
    "tinyblob", "tinyint", "tinytext", "to", "trailing", "trigger", "true", "undo", "union",
    "unique", "unlock", "unsigned", "update", "usage", "use", "using", "utc_date", "utc_time",
    "utc_timestamp", "values", "varbinary", "varchar", "varcharacter", "varying", "when", "where",
    "while", "with", "write", "xor", "year_month", "zerofill",
    };
    return words;
}

const QStringList &mysqlReservedWords()
{
    // Everyday names among them ("groups", "rank", "system", "row") are
    // refused bare by MySQL 8 though MariaDB takes them.
    static const QStringList words = {
    "cube", "cume_dist", "database", "dense_rank", "empty", "first_value", "function",
    "generated", "get", "grouping", "groups", "io_after_gtids", "io_before_gtids", "json_table",
    "lag", "last_value", "lateral", "lead", "manual", "master_bind", "nth_value", "ntile", "of",
    "optimizer_costs", "option", "parallel", "percent_rank", "qualify", "rank", "row", "schema",
    "stored", "system", "tablesample", "virtual", "window",
    };
    return words;
}

QString sqlName(const QString &name)
{
    static const QRegularExpression bare(QStringLiteral("^[A-Za-z_$][A-Za-z0-9_$]*$"));
    static const QSet<QString> reserved = [] {
        QSet<QString> words(sqlReservedWords().cbegin(), sqlReservedWords().cend());
        for (const QString &word : mysqlReservedWords())
            words.insert(word);
        return words;
    }();
    if (bare.match(name).hasMatch() && !reserved.contains(name.toLower()))
        return name;
    QString quoted = name;
    quoted.replace(QLatin1Char('`'), QLatin1String("``"));
    return QLatin1Char('`') + quoted + QLatin1Char('`');
}

QString literalText(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return escaped;
}

} // namespace identifiers
