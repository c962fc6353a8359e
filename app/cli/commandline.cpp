#include "app/cli/commandline.h"

#include "app/cli/diagramfile.h"
#include "app/projectfile.h"

#include <QDir>

namespace {

// One option with a value: "-x value", "-xvalue", "--long=value", "--long value".
class ArgumentReader
{
public:
    explicit ArgumentReader(const QStringList &arguments)
        : m_arguments(arguments)
    {
    }

    bool atEnd() const { return m_index >= m_arguments.size(); }
    QString next() { return m_arguments.at(m_index++); }
    bool hasNext() const { return m_index < m_arguments.size(); }

    // The value that belongs to `argument` (already taken), or a null string
    // when there is none.
    QString valueFor(const QString &argument, const QString &shortName, const QString &longName)
    {
        if (!shortName.isEmpty() && argument.startsWith(shortName) && argument.size() > shortName.size())
            return argument.mid(shortName.size());
        if (argument.startsWith(longName + QLatin1Char('=')))
            return argument.mid(longName.size() + 1);
        if (hasNext())
            return next();
        return QString();
    }

private:
    QStringList m_arguments;
    int m_index = 0;
};

bool matches(const QString &argument, const QString &shortName, const QString &longName)
{
    if (!shortName.isEmpty() && argument.startsWith(shortName)
        && !argument.startsWith(QLatin1String("--")))
        return true;
    return argument == longName || argument.startsWith(longName + QLatin1Char('='));
}

QString parseSwitches(const QString &value, GenerationRun::Switches *switches)
{
    QString unknown;
    if (parseKinds(value, switches, &unknown))
        return QString();
    if (unknown.isEmpty())
        return QStringLiteral("--only needs at least one of dao, object, model, editor");
    return QStringLiteral("unknown kind of class in --only: \"%1\" (use dao, object, model, editor)").arg(unknown);
}

// The field of the TLS option that takes a value, or null.
QString *tlsOption(const QString &argument, TlsOptions *tls)
{
    const std::pair<const char *, QString *> options[] = {{"--ssl-ca", &tls->ca},
                                                          {"--ssl-capath", &tls->caPath},
                                                          {"--ssl-cert", &tls->cert},
                                                          {"--ssl-key", &tls->key},
                                                          {"--ssl-cipher", &tls->cipher}};
    for (const auto &[name, field] : options) {
        if (matches(argument, QString(), QLatin1String(name)))
            return field;
    }
    return nullptr;
}

} // namespace

ParsedCommandLine parseCommandLine(const QStringList &arguments, const QString &environmentPassword)
{
    ParsedCommandLine parsed;
    CommandLineOptions &options = parsed.options;
    options.connection.password = environmentPassword;
    bool schemaGiven = false;

    // A project gives the starting values, which the other options override
    // wherever they stand.
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i).startsWith(QLatin1String("--project=")))
            options.project = arguments.at(i).mid(int(qstrlen("--project=")));
        else if (arguments.at(i) == QLatin1String("--project") && i + 1 < arguments.size())
            options.project = arguments.at(i + 1);
    }
    if (!options.project.isEmpty()) {
        const ProjectReading reading = readProject(options.project);
        if (!reading.problems.isEmpty()) {
            parsed.error = reading.problems.join(QLatin1Char('\n'));
            return parsed;
        }
        applyProject(reading.project, &options);
        options.connection.password = environmentPassword;
        schemaGiven = true;
    }

    ArgumentReader reader(arguments);
    auto missingValue = [&](const QString &option) {
        parsed.error = QStringLiteral("option %1 needs a value").arg(option);
        return parsed;
    };

    while (!reader.atEnd()) {
        const QString argument = reader.next();
        if (argument == QLatin1String("--help")) {
            options.showHelp = true;
        } else if (argument == QLatin1String("--version")) {
            options.showVersion = true;
        } else if (argument == QLatin1String("-v") || argument == QLatin1String("--verbose")) {
            options.verbose = true;
        } else if (argument == QLatin1String("--timings")) {
            options.timings = true;
        } else if (argument == QLatin1String("--force")) {
            options.force = true;
        } else if (argument == QLatin1String("--check")) {
            options.check = true;
        } else if (argument == QLatin1String("--keep-unchanged")) {
            options.keepUnchanged = true;
        } else if (argument == QLatin1String("--app")) {
            options.application = true;
        } else if (argument == QLatin1String("--ssl")) {
            options.connection.tls.required = true;
        } else if (argument == QLatin1String("--ssl-verify-server-cert")) {
            options.connection.tls.verifyServerCert = true;
        } else if (QString *tlsValue = tlsOption(argument, &options.connection.tls)) {
            const QString name = argument.section(QLatin1Char('='), 0, 0);
            const QString value = reader.valueFor(argument, QString(), name);
            if (value.isNull())
                return missingValue(name);
            *tlsValue = value;
        } else if (argument == QLatin1String("-p") || argument == QLatin1String("--password")) {
            // Without a value the password is asked for, never taken from
            // the next argument, as the mysql client does.
            options.promptForPassword = true;
        } else if (matches(argument, QStringLiteral("-p"), QStringLiteral("--password"))) {
            options.connection.password = argument.startsWith(QLatin1String("--"))
                    ? argument.mid(int(qstrlen("--password=")))
                    : argument.mid(2);
            options.promptForPassword = false;
        } else if (matches(argument, QStringLiteral("-h"), QStringLiteral("--host"))) {
            const QString value = reader.valueFor(argument, QStringLiteral("-h"), QStringLiteral("--host"));
            if (value.isNull())
                return missingValue(QStringLiteral("--host"));
            options.connection.host = value;
        } else if (matches(argument, QStringLiteral("-P"), QStringLiteral("--port"))) {
            const QString value = reader.valueFor(argument, QStringLiteral("-P"), QStringLiteral("--port"));
            if (value.isNull())
                return missingValue(QStringLiteral("--port"));
            bool ok = false;
            const int port = value.toInt(&ok, 10);
            if (!ok || port <= 0 || port > 65535) {
                parsed.error = QStringLiteral("invalid port \"%1\": give a number from 1 to 65535").arg(value);
                return parsed;
            }
            options.connection.port = port;
        } else if (matches(argument, QString(), QStringLiteral("--read-timeout"))) {
            const QString value = reader.valueFor(argument, QString(), QStringLiteral("--read-timeout"));
            if (value.isNull())
                return missingValue(QStringLiteral("--read-timeout"));
            bool ok = false;
            const int seconds = value.toInt(&ok, 10);
            if (!ok || seconds < 0) {
                parsed.error = QStringLiteral("invalid read timeout \"%1\": give a number of seconds, 0 for none")
                                       .arg(value);
                return parsed;
            }
            options.connection.readTimeout = seconds;
        } else if (matches(argument, QStringLiteral("-S"), QStringLiteral("--socket"))) {
            const QString value = reader.valueFor(argument, QStringLiteral("-S"), QStringLiteral("--socket"));
            if (value.isNull())
                return missingValue(QStringLiteral("--socket"));
            // The driver takes it inside a list of options separated by ';'.
            if (value.contains(QLatin1Char(';'))) {
                parsed.error = QStringLiteral("invalid socket path \"%1\": it may not hold ';'").arg(value);
                return parsed;
            }
            options.connection.socket = value;
        } else if (matches(argument, QStringLiteral("-u"), QStringLiteral("--user"))) {
            const QString value = reader.valueFor(argument, QStringLiteral("-u"), QStringLiteral("--user"));
            if (value.isNull())
                return missingValue(QStringLiteral("--user"));
            options.connection.user = value;
        } else if (matches(argument, QStringLiteral("-D"), QStringLiteral("--schema"))
                   || matches(argument, QString(), QStringLiteral("--database"))) {
            const bool database = argument.startsWith(QLatin1String("--database"));
            const QString value = reader.valueFor(argument, QStringLiteral("-D"),
                                                  database ? QStringLiteral("--database")
                                                           : QStringLiteral("--schema"));
            if (value.isNull())
                return missingValue(QStringLiteral("--schema"));
            options.connection.schema = value;
            schemaGiven = true;
        } else if (matches(argument, QStringLiteral("-o"), QStringLiteral("--output"))) {
            const QString value = reader.valueFor(argument, QStringLiteral("-o"), QStringLiteral("--output"));
            if (value.isNull())
                return missingValue(QStringLiteral("--output"));
            if (value.isEmpty()) {
                parsed.error = QStringLiteral("--output needs a directory");
                return parsed;
            }
            options.outputDirectory = value;
        } else if (matches(argument, QString(), QStringLiteral("--tables"))) {
            const QString value = reader.valueFor(argument, QString(), QStringLiteral("--tables"));
            if (value.isNull())
                return missingValue(QStringLiteral("--tables"));
            options.tables = splitList(value);
            options.tablesOrigin.clear();
            if (options.tables.isEmpty()) {
                parsed.error = QStringLiteral("--tables needs at least one table name");
                return parsed;
            }
        } else if (matches(argument, QString(), QStringLiteral("--diagram"))) {
            const QString value = reader.valueFor(argument, QString(), QStringLiteral("--diagram"));
            if (value.isNull())
                return missingValue(QStringLiteral("--diagram"));
            if (!isDiagramFileName(value)) {
                parsed.error = QStringLiteral("--diagram writes a file ending in .svg or .dot, not \"%1\"").arg(value);
                return parsed;
            }
            options.diagramFile = value;
        } else if (matches(argument, QString(), QStringLiteral("--exclude"))) {
            const QString value = reader.valueFor(argument, QString(), QStringLiteral("--exclude"));
            if (value.isNull())
                return missingValue(QStringLiteral("--exclude"));
            options.exclude = splitList(value);
            options.excludeOrigin.clear();
        } else if (matches(argument, QString(), QStringLiteral("--project"))) {
            // Read before the other options.
            if (reader.valueFor(argument, QString(), QStringLiteral("--project")).isEmpty())
                return missingValue(QStringLiteral("--project"));
        } else if (matches(argument, QString(), QStringLiteral("--save-project"))) {
            options.saveProject = reader.valueFor(argument, QString(), QStringLiteral("--save-project"));
            if (options.saveProject.isEmpty())
                return missingValue(QStringLiteral("--save-project"));
        } else if (matches(argument, QString(), QStringLiteral("--catalog"))) {
            const QString value = reader.valueFor(argument, QString(), QStringLiteral("--catalog"));
            if (value.isNull())
                return missingValue(QStringLiteral("--catalog"));
            if (value == QLatin1String("per-table")) {
                options.catalogReader = GenerationRun::CatalogReader::PerTable;
            } else if (value == QLatin1String("schema")) {
                options.catalogReader = GenerationRun::CatalogReader::SchemaWide;
            } else {
                parsed.error = QStringLiteral("unknown catalogue reader \"%1\" (use schema or per-table)").arg(value);
                return parsed;
            }
        } else if (matches(argument, QString(), QStringLiteral("--only"))) {
            const QString value = reader.valueFor(argument, QString(), QStringLiteral("--only"));
            if (value.isNull())
                return missingValue(QStringLiteral("--only"));
            parsed.error = parseSwitches(value, &options.switches);
            if (!parsed.error.isEmpty())
                return parsed;
        } else {
            parsed.error = QStringLiteral("unknown argument \"%1\"").arg(argument);
            return parsed;
        }
    }

    if (!options.showHelp && !options.showVersion && !schemaGiven)
        parsed.error = QStringLiteral("no schema given: use -D SCHEMA");
    return parsed;
}

QString usageText()
{
    return QStringLiteral(
            "Usage: tablesmith-cli -D SCHEMA [options]\n"
            "\n"
            "Reads the tables, columns and keys of a MySQL/MariaDB schema and writes the\n"
            "entity, DAO, model and editor classes of the chosen tables to DIR/code/C++.\n"
            "The new tree is written beside DIR/code and replaces it only when complete;\n"
            "a DIR/code holding anything Tablesmith did not write is left alone.\n"
            "\n"
            "Options:\n"
            "  -h, --host=HOST        server host (default localhost: the unix socket)\n"
            "  -P, --port=PORT        server port (default 3306)\n"
            "  -S, --socket=PATH      the server's unix socket, for host localhost\n"
            "  -u, --user=USER        account name\n"
            "  -p, --password[=PASS]  password; without a value it is asked for on the\n"
            "                         terminal. MYSQL_PWD is used when neither is given\n"
            "  -D, --schema=SCHEMA    the schema to read (required, or from --project)\n"
            "      --ssl              require an encrypted connection (TLS); without a CA\n"
            "                         the server's certificate is NOT verified\n"
            "      --ssl-ca=FILE      CA certificates (PEM) that must have signed the\n"
            "                         server's certificate chain\n"
            "      --ssl-capath=DIR   the same from a directory prepared by openssl rehash\n"
            "      --ssl-cert=FILE    client certificate (PEM), for REQUIRE X509 accounts\n"
            "      --ssl-key=FILE     the client certificate's private key (PEM)\n"
            "      --ssl-cipher=LIST  ciphers to offer: TLS 1.3 names (TLS_AES_128_GCM_SHA256)\n"
            "                         for TLS 1.3, OpenSSL names for TLS 1.2\n"
            "      --ssl-verify-server-cert  needs --ssl-ca or --ssl-capath, which verify\n"
            "                         the chain; the server's host name is NOT compared\n"
            "                         with its certificate (the MySQL driver cannot)\n"
            "                         Each --ssl option requires TLS: a connection the\n"
            "                         server does not encrypt is refused. The log names\n"
            "                         the cipher used.\n"
            "      --read-timeout=S   seconds a silent server may take to answer before\n"
            "                         the query fails (default 60, 0: wait for ever)\n"
            "      --tables=A,B,...   tables to generate, names or patterns with * and ?\n"
            "                         (default: every base table)\n"
            "      --exclude=A,B,...  leave out the tables these names or patterns match\n"
            "      --only=KINDS       any of dao,object,model,editor (default: all four)\n"
            "  -o, --output=DIR       directory that receives code/C++ (default: .)\n"
            "      --force            also remove what DIR/code holds besides generated files\n"
            "      --keep-unchanged   keep files (and their times) whose text changes only\n"
            "                         in the banner's date\n"
            "      --app              also write a CRUD application over the classes:\n"
            "                         code/C++/CMakeLists.txt and code/C++/app (its README)\n"
            "      --check            write nothing: list the files of DIR/code that are\n"
            "                         new, changed or stale against the schema; exit 1 if any\n"
            "      --diagram=FILE     also write the chosen tables' relation diagram, as\n"
            "                         SVG or Graphviz DOT by FILE's extension (.svg, .dot);\n"
            "                         with --check nothing else is written\n"
            "      --catalog=READER   schema: a few schema-wide catalogue queries (default)\n"
            "                         per-table: the catalogue queries table by table\n"
            "      --project=FILE     take the settings of a project file (INI); the other\n"
            "                         options given override them\n"
            "      --save-project=FILE  write the settings of this command line as a\n"
            "                         project (never the password) and exit\n"
            "  -v, --verbose          also print the developer lines of the schema reader\n"
            "      --timings          print the time of each phase on standard error\n"
            "      --version          print the version and exit\n"
            "      --help             print this help and exit\n"
            "\n"
            "Exit status: 0 success (with --check: up to date), 1 connection, catalogue\n"
            "or write failure, an old tree with foreign files, or (--check) differences,\n"
            "2 bad arguments, a faulty project, or a table name or pattern the schema\n"
            "does not have, 130/143 interrupted (DIR/code unchanged).\n");
}

Project projectOf(const CommandLineOptions &options)
{
    Project project;
    project.connection = options.connection;
    project.connection.password.clear();
    project.tables.include = options.tables;
    project.tables.exclude = options.exclude;
    project.switches = options.switches;
    project.catalogReader = options.catalogReader;
    project.outputDirectory = QDir(options.outputDirectory).absolutePath();
    project.keepUnchanged = options.keepUnchanged;
    project.application = options.application;
    return project;
}

void applyProject(const Project &project, CommandLineOptions *options)
{
    options->connection = project.connection;
    options->tables = project.tables.include;
    options->tablesOrigin = project.tables.includeOrigin;
    options->exclude = project.tables.exclude;
    options->excludeOrigin = project.tables.excludeOrigin;
    options->switches = project.switches;
    options->catalogReader = project.catalogReader;
    options->outputDirectory = project.outputDirectory;
    options->keepUnchanged = project.keepUnchanged;
    options->application = project.application;
}
