#include "cli/commandline.h"

#include "cli/diagramfile.h"
#include "project/outputfolder.h"

#include <QDir>

#include <functional>
#include <optional>

namespace {

// What the parse has found so far.
struct Parse
{
    CommandLineOptions &options;
    bool schemaGiven = false;
};

// Takes an option's value (empty for an option that takes none); returns an
// empty string or what is wrong with it.
using Store = std::function<QString(Parse &, const QString &value)>;

enum class Takes {
    Nothing, // "--force", exactly
    Value, // "-x value", "-xvalue", "--long=value", "--long value"
    Attached // "-xvalue", "--long=value" only
};

struct Option
{
    const char *shortName; // "-h", or null
    const char *longName; // "--host"; messages name the option by it
    Takes takes;
    // For the help: the value's name, and what the option does, a line or
    // more. Options without a text are not listed.
    const char *valueName;
    const char *help;
    Store store;
    // Another long name for the same option, not listed.
    const char *alias = nullptr;
    // What an option that names a path or a name needs ("a file"): an empty
    // value, "--ssl-ca=$UNSET", is refused rather than taken as none, so a
    // variable left unset never turns TLS off quietly. Null: empty is a value.
    const char *needs = nullptr;
};

QString needsValue(const char *option)
{
    return QStringLiteral("option %1 needs a value").arg(QLatin1String(option));
}

Store flag(bool CommandLineOptions::*field)
{
    return [field](Parse &p, const QString &) {
        p.options.*field = true;
        return QString();
    };
}

Store tlsFlag(bool TlsOptions::*field)
{
    return [field](Parse &p, const QString &) {
        p.options.project.connection.tls.*field = true;
        return QString();
    };
}

// A value read as a project file reads its key.
Store projectKey(ProjectKey key)
{
    return [key](Parse &p, const QString &value) { return setProjectValue(&p.options.project, key, value); };
}

QString storeReadTimeout(Parse &p, const QString &value)
{
    bool ok = false;
    const int seconds = value.toInt(&ok, 10);
    if (!ok || seconds < 0)
        return QStringLiteral("invalid read timeout \"%1\": give a number of seconds, 0 for none").arg(value);
    p.options.project.connection.readTimeout = seconds;
    return QString();
}

// A list given on the command line replaces the project's, and with it the
// project line it came from.
QString storeTableList(const QString &option, const QString &value, QStringList *list, QString *origin)
{
    const QString problem = splitTableList(value, list);
    if (!problem.isEmpty())
        return option + QStringLiteral(": ") + problem;
    origin->clear();
    return QString();
}

QString storeTables(Parse &p, const QString &value)
{
    TableSelection &tables = p.options.project.tables;
    const QString problem = storeTableList(QStringLiteral("--tables"), value, &tables.include, &tables.includeOrigin);
    if (problem.isEmpty() && tables.include.isEmpty())
        return QStringLiteral("--tables needs at least one table name");
    return problem;
}

QString storeExclude(Parse &p, const QString &value)
{
    TableSelection &tables = p.options.project.tables;
    return storeTableList(QStringLiteral("--exclude"), value, &tables.exclude, &tables.excludeOrigin);
}

QString storeKinds(Parse &p, const QString &value)
{
    QString unknown;
    if (parseKinds(value, &p.options.project.switches, &unknown))
        return QString();
    const QString kinds = classKindNames().join(QStringLiteral(", "));
    if (unknown.isEmpty())
        return QStringLiteral("--only needs at least one of %1").arg(kinds);
    return QStringLiteral("unknown kind of class in --only: \"%1\" (use %2)").arg(unknown, kinds);
}

QString storeOutput(Parse &p, const QString &value)
{
    p.options.project.outputDirectory = value;
    return QString();
}

QString storeDiagram(Parse &p, const QString &value)
{
    if (!isDiagramFileName(value))
        return QStringLiteral("--diagram writes a file ending in .svg or .dot, not \"%1\"").arg(value);
    p.options.diagramFile = value;
    return QString();
}

// Every option, in the order the help lists them.
const std::vector<Option> &options()
{
    using O = CommandLineOptions;
    using T = Takes;
    static const std::vector<Option> options = {
        {"-h", "--host", T::Value, "HOST", "server host (default localhost: the unix socket)",
         projectKey(ProjectKey::Host), nullptr, "a host name"},
        {"-P", "--port", T::Value, "PORT", "server port (default 3306)", projectKey(ProjectKey::Port)},
        {"-S", "--socket", T::Value, "PATH", "the server's unix socket, for host localhost",
         projectKey(ProjectKey::Socket), nullptr, "a path"},
        {"-u", "--user", T::Value, "USER", "account name", projectKey(ProjectKey::User), nullptr, "a user name"},
        // Without a value the password is asked for, never taken from the
        // next argument, as the mysql client does.
        {"-p", "--password", T::Attached, "PASS",
         "password; without a value it is asked for on the\n"
         "terminal. MYSQL_PWD is used when neither is given",
         [](Parse &p, const QString &value) {
             p.options.project.connection.password = value;
             p.options.promptForPassword = false;
             return QString();
         }},
        {"-p", "--password", T::Nothing, nullptr, nullptr,
         [](Parse &p, const QString &) {
             p.options.promptForPassword = true;
             return QString();
         }},
        {"-D", "--schema", T::Value, "SCHEMA", "the schema to read (required, or from --project)",
         [](Parse &p, const QString &value) {
             p.schemaGiven = true;
             return setProjectValue(&p.options.project, ProjectKey::Schema, value);
         },
         "--database", "a schema name"},
        {nullptr, "--ssl", T::Nothing, nullptr,
         "require an encrypted connection (TLS); without a CA\n"
         "the server's certificate is NOT verified",
         tlsFlag(&TlsOptions::required)},
        {nullptr, "--ssl-ca", T::Value, "FILE",
         "CA certificates (PEM) that must have signed the\n"
         "server's certificate chain",
         projectKey(ProjectKey::SslCa), nullptr, "a file"},
        {nullptr, "--ssl-capath", T::Value, "DIR", "the same from a directory prepared by openssl rehash",
         projectKey(ProjectKey::SslCapath), nullptr, "a directory"},
        {nullptr, "--ssl-cert", T::Value, "FILE", "client certificate (PEM), for REQUIRE X509 accounts",
         projectKey(ProjectKey::SslCert), nullptr, "a file"},
        {nullptr, "--ssl-key", T::Value, "FILE", "the client certificate's private key (PEM)",
         projectKey(ProjectKey::SslKey), nullptr, "a file"},
        {nullptr, "--ssl-cipher", T::Value, "LIST",
         "ciphers to offer: TLS 1.3 names (TLS_AES_128_GCM_SHA256)\n"
         "for TLS 1.3, OpenSSL names for TLS 1.2",
         projectKey(ProjectKey::SslCipher), nullptr, "a cipher list"},
        {nullptr, "--ssl-verify-server-cert", T::Nothing, nullptr,
         "needs --ssl-ca or --ssl-capath, which verify\n"
         "the chain; also checks that the certificate was\n"
         "issued to the host connected to\n"
         "Each --ssl option requires TLS: a connection the\n"
         "server does not encrypt is refused. The log names\n"
         "the cipher used.",
         tlsFlag(&TlsOptions::verifyServerCert)},
        {nullptr, "--read-timeout", T::Value, "S",
         "seconds a silent server may take to answer before\n"
         "the query fails (default 60, 0: wait for ever)",
         storeReadTimeout},
        {nullptr, "--tables", T::Value, "A,B,...",
         "tables to generate, names or patterns with * and ?\n"
         "(default: every base table)",
         storeTables},
        {nullptr, "--exclude", T::Value, "A,B,...", "leave out the tables these names or patterns match",
         storeExclude},
        {nullptr, "--only", T::Value, "KINDS", "any of dao,object,model,editor (default: all four)", storeKinds},
        {"-o", "--output", T::Value, "DIR", "directory that receives code/C++ (default: .)", storeOutput,
         nullptr, "a directory"},
        {nullptr, "--force", T::Nothing, nullptr, "also remove what DIR/code holds besides generated files",
         flag(&O::force)},
        {nullptr, "--keep-unchanged", T::Nothing, nullptr,
         "keep files (and their times) whose text changes only\n"
         "in the banner's date",
         [](Parse &p, const QString &) {
             p.options.project.keepUnchanged = true;
             return QString();
         }},
        {nullptr, "--app", T::Nothing, nullptr,
         "also write a CRUD application over the classes:\n"
         "code/C++/CMakeLists.txt and code/C++/app (its README)",
         [](Parse &p, const QString &) {
             p.options.project.application = true;
             return QString();
         }},
        {nullptr, "--check", T::Nothing, nullptr,
         "write nothing: list the files of DIR/code that are\n"
         "new, changed or stale against the schema; exit 1 if any",
         flag(&O::check)},
        {nullptr, "--diagram", T::Value, "FILE",
         "also write the chosen tables' relation diagram, as\n"
         "SVG or Graphviz DOT by FILE's extension (.svg, .dot);\n"
         "with --check nothing else is written",
         storeDiagram, nullptr, "a file"},
        {nullptr, "--sequences-sql", T::Value, "FILE",
         "also write the SQL that creates the sequences the\n"
         "chosen tables' DAOs number new rows from and the\n"
         "schema lacks (for you to run: Tablesmith only reads)",
         [](Parse &p, const QString &value) {
             p.options.sequencesFile = value;
             return QString();
         },
         nullptr, "a file"},
        {nullptr, "--suggest-relations", T::Nothing, nullptr,
         "write nothing: print the keys the schema does not\n"
         "declare but its column names and types point to,\n"
         "as lines for the project's [relations] section",
         flag(&O::suggestRelations)},
        {nullptr, "--verify", T::Nothing, nullptr,
         "with --suggest-relations: count each suggestion's\n"
         "values that have no match (one query each)",
         flag(&O::verify)},
        {nullptr, "--catalog", T::Value, "READER",
         "schema: a few schema-wide catalogue queries (default)\n"
         "per-table: the catalogue queries table by table",
         projectKey(ProjectKey::Catalog)},
        // Read before the other options (projectFileOf()).
        {nullptr, "--project", T::Value, "FILE",
         "take the settings of a project file (INI); the other\n"
         "options given override them",
         [](Parse &, const QString &) { return QString(); }, nullptr, "a file"},
        {nullptr, "--save-project", T::Value, "FILE",
         "write the settings of this command line as a\n"
         "project (never the password) and exit",
         [](Parse &p, const QString &value) {
             p.options.saveProject = value;
             return QString();
         },
         nullptr, "a file"},
        {"-v", "--verbose", T::Nothing, nullptr, "also print the developer lines of the schema reader",
         flag(&O::verbose)},
        {nullptr, "--timings", T::Nothing, nullptr, "print the time of each phase on standard error",
         flag(&O::timings)},
        {nullptr, "--version", T::Nothing, nullptr, "print the version and exit", flag(&O::showVersion)},
        {nullptr, "--help", T::Nothing, nullptr, "print this help and exit", flag(&O::showHelp)},
    };
    return options;
}

// The long name `argument` gives `option` by, or an empty string when it
// does not give that option.
QString givenName(const Option &option, const QString &argument)
{
    const bool exact = option.takes == Takes::Nothing;
    const QLatin1String shortName(option.shortName);
    if (!shortName.isEmpty() && argument.startsWith(shortName) && !argument.startsWith(QLatin1String("--"))
        && (exact ? argument.size() == shortName.size()
                  : option.takes == Takes::Value || argument.size() > shortName.size()))
        return QLatin1String(option.longName);
    for (const char *name : {option.longName, option.alias}) {
        const QLatin1String longName(name);
        if (longName.isEmpty())
            continue;
        if ((argument == longName && option.takes != Takes::Attached)
            || (!exact && argument.startsWith(longName + QLatin1Char('='))))
            return longName;
    }
    return QString();
}

// The value given with `argument` as `name`, or else the next argument for
// an option that may take it; none when there is neither.
std::optional<QString> valueOf(const Option &option, const QString &argument, const QString &name,
                               const QStringList &arguments, qsizetype *next)
{
    const QLatin1String shortName(option.shortName);
    if (!shortName.isEmpty() && argument.startsWith(shortName) && argument.size() > shortName.size())
        return argument.mid(shortName.size());
    if (argument.startsWith(name + QLatin1Char('=')))
        return argument.mid(name.size() + 1);
    if (option.takes == Takes::Value && *next < arguments.size())
        return arguments.at((*next)++);
    return std::nullopt;
}

// The project file --project names, read before the other options.
QString projectFileOf(const QStringList &arguments)
{
    QString file;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i).startsWith(QLatin1String("--project=")))
            file = arguments.at(i).mid(int(qstrlen("--project=")));
        else if (arguments.at(i) == QLatin1String("--project") && i + 1 < arguments.size())
            file = arguments.at(i + 1);
    }
    return file;
}

// Parses the arguments into `parse`; returns an empty string or what is wrong
// with the first faulty one.
QString parseArguments(const QStringList &arguments, Parse &parse)
{
    for (qsizetype next = 0; next < arguments.size();) {
        const QString argument = arguments.at(next++);
        const Option *option = nullptr;
        QString name;
        for (const Option &candidate : options()) {
            name = givenName(candidate, argument);
            if (!name.isEmpty()) {
                option = &candidate;
                break;
            }
        }
        if (!option)
            return QStringLiteral("unknown argument \"%1\"").arg(argument);
        QString value;
        if (option->takes != Takes::Nothing) {
            const std::optional<QString> given = valueOf(*option, argument, name, arguments, &next);
            if (!given)
                return needsValue(option->longName);
            value = *given;
        }
        if (option->needs && value.isEmpty())
            return QStringLiteral("%1 needs %2").arg(QLatin1String(option->longName), QLatin1String(option->needs));
        const QString problem = option->store(parse, value);
        if (!problem.isEmpty())
            return problem;
    }
    return QString();
}

// --suggest-relations writes nothing: the options that write go without it.
QString suggestionProblem(const CommandLineOptions &options)
{
    if (options.verify && !options.suggestRelations)
        return QStringLiteral("--verify checks the keys --suggest-relations prints: give both");
    if (!options.suggestRelations)
        return QString();
    const std::pair<bool, const char *> writers[] = {{options.check, "--check"},
                                                     {!options.diagramFile.isEmpty(), "--diagram"},
                                                     {!options.sequencesFile.isEmpty(), "--sequences-sql"}};
    for (const auto &[given, name] : writers) {
        if (given)
            return QStringLiteral("--suggest-relations prints keys and generates nothing: it does not go with %1")
                    .arg(QLatin1String(name));
    }
    return QString();
}

// "  -h, --host=HOST        server host ...": the option in a column of its
// own, its text beside it.
QString helpLines(const Option &option)
{
    constexpr int textColumn = 25;
    QString left = option.shortName ? QStringLiteral("  %1, ").arg(QLatin1String(option.shortName)) : QString(6, u' ');
    left += QLatin1String(option.longName);
    if (option.takes == Takes::Value)
        left += QLatin1Char('=') + QLatin1String(option.valueName);
    else if (option.takes == Takes::Attached)
        left += QStringLiteral("[=%1]").arg(QLatin1String(option.valueName));
    left = left.leftJustified(textColumn - 2) + QStringLiteral("  ");
    return left + QString::fromLatin1(option.help).replace(QLatin1Char('\n'), QLatin1Char('\n') + QString(textColumn, u' '))
            + QLatin1Char('\n');
}

} // namespace

ParsedCommandLine parseCommandLine(const QStringList &arguments, const QString &environmentPassword)
{
    ParsedCommandLine parsed;
    CommandLineOptions &options = parsed.options;
    Parse parse{options};

    // A project gives the starting values, which the other options override
    // wherever they stand.
    options.projectFile = projectFileOf(arguments);
    if (!options.projectFile.isEmpty()) {
        const ProjectReading reading = readProject(options.projectFile);
        if (!reading.problems.isEmpty()) {
            parsed.error = reading.problems.join(QLatin1Char('\n'));
            return parsed;
        }
        options.project = reading.project;
        parse.schemaGiven = true;
    }
    options.project.connection.password = environmentPassword;

    parsed.error = parseArguments(arguments, parse);
    if (parsed.error.isEmpty() && !options.showHelp && !options.showVersion && !parse.schemaGiven)
        parsed.error = QStringLiteral("no schema given: use -D SCHEMA");
    if (parsed.error.isEmpty())
        parsed.error = suggestionProblem(options);
    return parsed;
}

QString usageText()
{
    QString text = QStringLiteral(
            "Usage: tablesmith-cli -D SCHEMA [options]\n"
            "\n"
            "Reads the tables, columns and keys of a MySQL/MariaDB schema and writes the\n"
            "entity, DAO, model and editor classes of the chosen tables to DIR/code/C++.\n"
            "The new tree is written beside DIR/code and replaces it only when complete;\n"
            "a DIR/code holding anything Tablesmith did not write is left alone.\n"
            "\n"
            "Options:\n");
    for (const Option &option : options()) {
        if (option.help)
            text += helpLines(option);
    }
    return text
            + QStringLiteral(
                   "\n"
                   "Exit status: 0 success (with --check: up to date), 1 connection, catalogue\n"
                   "or write failure, an old tree with foreign files, (--check) differences, or\n"
                   "(--verify) a query that failed, 2 bad arguments, a faulty project, or a\n"
                   "table name or pattern the schema does not have, 130/143 interrupted\n"
                   "(DIR/code unchanged).\n");
}

Project projectOf(const CommandLineOptions &options)
{
    Project project = options.project;
    project.connection.password.clear();
    // Paths given relative to the working directory; the file keeps them
    // relative to its own folder.
    project.outputDirectory = outputFolderIn(QDir::currentPath(), project.outputDirectory);
    TlsOptions &tls = project.connection.tls;
    for (QString *path : {&tls.ca, &tls.caPath, &tls.cert, &tls.key}) {
        if (!path->isEmpty())
            *path = QDir::cleanPath(QDir::current().absoluteFilePath(*path));
    }
    return project;
}
