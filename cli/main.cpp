#include "cli/commandline.h"
#include "cli/diagramfile.h"
#include "cli/interruption.h"
#include "cli/passwordprompt.h"
#include "engine/graphvizlayout.h"
#include "engine/generationrun.h"
#include "engine/relationsuggester.h"
#include "engine/schemaloader.h"
#include "engine/sequencescript.h"
#include "connection/mysqlconnection.h"
#include "project/outputfolder.h"
#include "project/projectfile.h"
#include "codemodel/relationdiagram.h"
#include "codemodel/tableobject.h"
#include "mysql/diagnostics.h"
#include "mysql/table.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <cstdio>
#include <optional>

namespace {

enum ExitCode {
    Success = 0,
    Failure = 1,
    BadArguments = 2
};

// The status to end with, when a step cannot go on.
using Stop = std::optional<int>;

bool g_verbose = false;

// Developer lines of the schema reader only with --verbose; the reader's
// query errors are counted and summed up at the end either way.
void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg && !g_verbose)
        return;
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

void printLine(FILE *stream, const QString &line)
{
    std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stream);
}

int fail(ExitCode code, const QString &message)
{
    printLine(stderr, QStringLiteral("tablesmith-cli: ") + message);
    return code;
}

int badArguments(const QString &error)
{
    for (const QString &line : error.split(QLatin1Char('\n')))
        fail(BadArguments, line);
    printLine(stderr, QStringLiteral("Try 'tablesmith-cli --help' for more information."));
    return BadArguments;
}

// --help, --version and --save-project, which need no server.
Stop answerAlone(const CommandLineOptions &options)
{
    if (options.showHelp) {
        std::fputs(usageText().toLocal8Bit().constData(), stdout);
        return Success;
    }
    if (options.showVersion) {
        printLine(stdout, QStringLiteral("tablesmith-cli %1").arg(QCoreApplication::applicationVersion()));
        return Success;
    }
    if (!options.saveProject.isEmpty()) {
        // A project the run would refuse is not written either.
        const QString tlsProblem = options.project.connection.tls.problem();
        if (!tlsProblem.isEmpty())
            return fail(BadArguments, QStringLiteral("TLS: ") + tlsProblem);
        const QString problem = writeProject(options.saveProject, projectOf(options));
        if (!problem.isEmpty())
            return fail(Failure, problem);
        printLine(stdout, QStringLiteral("Project written: %1").arg(options.saveProject));
        return Success;
    }
    return std::nullopt;
}

// What can be found wrong before connecting: the TLS files (before the
// password is asked for), the password, and an unwritable diagram file,
// which stops the run before anything is written.
Stop prepare(CommandLineOptions *options)
{
    ConnectionSettings &settings = options->project.connection;
    const QString tlsProblem = settings.tls.problem();
    if (!tlsProblem.isEmpty())
        return fail(BadArguments, QStringLiteral("TLS: ") + tlsProblem);
    if (options->promptForPassword) {
        bool ok = false;
        settings.password = promptForPassword(QStringLiteral("Enter password: "), &ok);
        if (!ok)
            return fail(BadArguments, QStringLiteral("no password could be read"));
    }
    QString error;
    if (!options->diagramFile.isEmpty() && !canWriteDiagramFile(options->diagramFile, &error))
        return fail(Failure, QStringLiteral("cannot write the diagram %1: %2").arg(options->diagramFile, error));
    if (!options->sequencesFile.isEmpty() && !canWriteDiagramFile(options->sequencesFile, &error))
        return fail(Failure, QStringLiteral("cannot write %1: %2").arg(options->sequencesFile, error));
    return std::nullopt;
}

// The connection's lines go to `out`: standard error where standard output
// carries what is to be kept.
Stop connectToServer(const ConnectionSettings &settings, FILE *out)
{
    printLine(out, QStringLiteral("Establishing connection to: %1").arg(settings.host));
    const SchemaConnections connections = openSchemaConnections(settings);
    if (!connections.schema.isOpen())
        return fail(Failure, QStringLiteral("cannot connect to schema \"%1\" on %2: %3")
                                     .arg(settings.schema, settings.host, connections.problem));
    if (!connections.catalog.isOpen())
        return fail(Failure, QStringLiteral("cannot open information_schema on %1: %2")
                                     .arg(settings.host, connections.catalogProblem));
    printLine(out, QStringLiteral("Connected to: %1").arg(settings.host));
    printLine(out, serverLine(settings));
    printLine(out, encryptionLine(connections.encryption, settings.tls));
    return std::nullopt;
}

// The tables the options pick from the schema's, into `chosen`.
Stop pickTables(const Project &project, QStringList *chosen)
{
    const QSqlDatabase db = QSqlDatabase::database(schemaConnectionName());
    const QStringList schemaTables = db.tables(QSql::Tables);
    // The driver lists no tables when its query fails (a server gone since
    // Connect): that is no empty schema, and must not read as one.
    if (schemaTables.isEmpty()) {
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT 1")))
            return fail(Failure, QStringLiteral("Reading the schema failed: 1 catalogue queries failed, the last with "
                                                "\"%1\"; nothing was written").arg(probe.lastError().text()));
    }
    const TableChoice choice = chooseTables(project.connection.schema, schemaTables, project.tables);
    for (const QString &problem : choice.problems)
        fail(BadArguments, problem);
    if (!choice.problems.isEmpty())
        return BadArguments;
    *chosen = choice.tables;
    return std::nullopt;
}

// --diagram, once the code model is built: false (and why in `error`) when
// the file could not be written.
bool writeDiagram(const CommandLineOptions &options, const Generator &generator,
                  const QList<TableObject *> &chosenObjects, QString *error)
{
    QStringList names;
    for (const TableObject *table : chosenObjects)
        names.append(table->table()->name());
    const bool object = options.project.switches.object;
    const RelationDiagram diagram = relationDiagram(generator, names, object);
    if (!writeDiagramFile(options.diagramFile, diagram, error)) {
        fail(Failure, QStringLiteral("cannot write the diagram %1: %2").arg(options.diagramFile, *error));
        return false;
    }
    printLine(stdout, QStringLiteral("Relation diagram of %1 tables and %2 relations written to: %3")
                              .arg(diagram.tableCount)
                              .arg(diagram.relationCount)
                              .arg(options.diagramFile));
    return true;
}

// --sequences-sql, once the code model is built: false (and why in `error`)
// when the statements could not be made or written.
bool writeSequences(const CommandLineOptions &options, const QList<TableObject *> &chosenObjects, QString *error)
{
    const SequenceScript script = sequenceScript(chosenObjects, QSqlDatabase::database(schemaConnectionName(), false));
    if (!writeSequenceScript(script, options.sequencesFile, error)) {
        fail(Failure, QStringLiteral("cannot write %1: %2").arg(options.sequencesFile, *error));
        return false;
    }
    printLine(stdout, sequenceScriptWrittenLine(script, options.sequencesFile));
    return true;
}

void setUpRun(GenerationRun *run, const CommandLineOptions &options, QString *hookError)
{
    const Project &project = options.project;
    run->setSwitches(project.switches);
    run->setCatalogReader(project.catalogReader);
    run->setMode(options.check ? GenerationRun::Mode::Check : GenerationRun::Mode::Write);
    run->setKeepUnchanged(project.keepUnchanged);
    run->setApplication(project.application);
    run->setSchemaRules(project.rules.schema);
    run->setForeignEntriesHandler([force = options.force](const QStringList &, int) { return force; });
    run->setStagingObserver([](const QString &) { Interruption::deferFromNowOn(); });
    run->setInterruptCheck(&Interruption::requested);
    if (!options.diagramFile.isEmpty() || !options.sequencesFile.isEmpty()) {
        run->setCodeModelHook([&options, hookError](const Generator &generator, const QList<TableObject *> &chosen) {
            return (options.diagramFile.isEmpty() || writeDiagram(options, generator, chosen, hookError))
                    && (options.sequencesFile.isEmpty() || writeSequences(options, chosen, hookError));
        });
    }
}

void printTimings(const GenerationRun::Timings &t)
{
    printLine(stderr, QStringLiteral("timings (ms): output-tree %1 tables %2 keys %3 relationships %4 "
                                     "code-model %5 files %6")
                              .arg(t.outputTree)
                              .arg(t.tables)
                              .arg(t.keys)
                              .arg(t.relationships)
                              .arg(t.codeModel)
                              .arg(t.files));
}

// What a completed run tells scripts; the run has said what failed.
int runStatus(const GenerationRun &run, const CommandLineOptions &options, const QString &root)
{
    const QString code = codeFolder(root);
    int status = run.queryErrorCount() > 0 || run.fieldTypeErrorCount() > 0 ? Failure : Success;
    if (run.failureCount() > 0) {
        status = fail(Failure, QStringLiteral("%1 files or directories could not be written below %2")
                                       .arg(run.failureCount())
                                       .arg(root));
    }
    if (options.check) {
        for (const QString &difference : run.differences())
            printLine(stdout, difference);
        if (!run.differences().isEmpty())
            status = fail(Failure, QStringLiteral("%1 differs from the schema in %2 files")
                                           .arg(code, QString::number(run.differences().size())));
        else
            printLine(stderr, QStringLiteral("tablesmith-cli: %1 is up to date").arg(code));
    }
    return status;
}

// Generates (or checks) the chosen tables' files; the run creates the
// output folder, or says why it cannot.
int generate(const CommandLineOptions &options, const QStringList &chosen)
{
    const QString root = outputFolderIn(QDir::currentPath(), options.project.outputDirectory);
    const QString code = codeFolder(root);
    const QString interrupted = QStringLiteral("Interrupted: %1 is unchanged").arg(code);
    Interruption::install(interrupted);

    GenerationRun run(root, [](const QString &line) { printLine(stdout, line); },
                      [](const QString &line) { printLine(stderr, line); });
    QString hookError;
    setUpRun(&run, options, &hookError);
    run.run(options.project.connection.schema, chosen);

    if (run.outcome() == GenerationRun::Outcome::Interrupted) {
        printLine(stderr, interrupted);
        Interruption::endBySignal();
    }
    int status = Failure;
    // A signal after the run's last look (while the new tree was put in
    // place) still ends the process as interrupted, saying where things stand.
    if (run.outcome() != GenerationRun::Outcome::Interrupted && Interruption::requested()) {
        printLine(run.problemCount() > 0 ? stderr : stdout, run.closingLine());
        const bool inPlace = !options.check && run.writtenFileCount() > 0;
        printLine(stderr, inPlace ? QStringLiteral("Interrupted: the new tree is in place in %1").arg(code) : interrupted);
        Interruption::endBySignal();
    }
    if (!hookError.isEmpty()) {
        // writeDiagram() or writeSequences() has said what failed.
    } else if (!run.refusal().isEmpty()) {
        // The closing line says why.
    } else if (run.ruleProblemCount() > 0) {
        // The project's rules do not fit the schema: as faulty as a bad line.
        status = BadArguments;
    } else if (run.outcome() == GenerationRun::Outcome::Refused) {
        fail(Failure, QStringLiteral("%1 holds files Tablesmith did not write; nothing was removed or written "
                                     "(--force removes them)").arg(code));
    } else {
        if (options.timings)
            printTimings(run.timings());
        status = runStatus(run, options, root);
    }
    // The run's closing line ends the output, after the status lines.
    printLine(run.problemCount() > 0 ? stderr : stdout, run.closingLine());
    return status;
}

// --suggest-relations: the keys the chosen tables' names and types point
// to, on standard output as lines for a project file, the rest on standard
// error; with --verify each is checked against the data.
int suggestRelations(const CommandLineOptions &options, const QStringList &chosen)
{
    const Project &project = options.project;
    // The reader's progress lines only with --verbose: the output is short.
    SchemaLoader loader(project.connection.schema, [verbose = options.verbose](const QString &line) {
        if (verbose)
            printLine(stderr, line);
    });
    loader.setCatalogReader(project.catalogReader);
    loader.setRules(project.rules.schema);
    loader.readSchema();
    // Declared keys are skipped, so the project's must fit first.
    for (const QString &problem : loader.ruleProblems())
        printLine(stderr, problem);
    if (!loader.ruleProblems().isEmpty())
        return BadArguments;
    if (loader.catalogErrorCount() > 0)
        return fail(Failure, QStringLiteral("reading the schema failed: %1 catalogue queries failed, the last with \"%2\"; "
                                            "nothing is suggested from a schema read in part")
                                     .arg(QString::number(loader.catalogErrorCount()), loader.lastCatalogError()));
    QElapsedTimer clock;
    clock.start();
    RelationSuggester suggester(loader.database());
    suggester.setTables(chosen);
    suggester.setStripPrefixes(project.rules.schema.stripPrefixes);
    QStringList passedOver;
    QList<SuggestedRelation> suggestions = suggester.suggestions(&passedOver);
    const qint64 suggesting = clock.restart();
    int failed = 0;
    if (options.verify) {
        printLine(stderr, QStringLiteral("Checking %1 against the data")
                                  .arg(suggestions.size() == 1 ? QStringLiteral("1 suggested key")
                                                               : QStringLiteral("%1 suggested keys").arg(suggestions.size())));
        failed = verifyRelations(&suggestions, QSqlDatabase::database(schemaConnectionName(), false));
    }
    if (options.timings) {
        const SchemaLoader::Timings &t = loader.timings();
        printLine(stderr, QStringLiteral("timings (ms): tables %1 keys %2 relationships %3 suggest %4 verify %5")
                                  .arg(t.tables)
                                  .arg(t.keys)
                                  .arg(t.relationships)
                                  .arg(suggesting)
                                  .arg(clock.elapsed()));
    }
    std::fputs(suggestionsText(project.connection.schema, suggestions, options.verify, passedOver).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    if (failed > 0)
        return fail(Failure, QStringLiteral("%1 of %2 checks failed (marked NOT CHECKED)").arg(failed).arg(suggestions.size()));
    return Success;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tablesmith-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TABLESMITH_VERSION));

    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments().mid(1),
                                                      qEnvironmentVariable("MYSQL_PWD"));
    if (!parsed.error.isEmpty())
        return badArguments(parsed.error);
    CommandLineOptions options = parsed.options;
    if (const Stop stop = answerAlone(options))
        return *stop;

    g_verbose = options.verbose;
    if (g_verbose)
        mysql::enableDeveloperLines();
    qInstallMessageHandler(messageHandler);
    if (const Stop stop = prepare(&options))
        return *stop;
    if (const Stop stop = connectToServer(options.project.connection, options.suggestRelations ? stderr : stdout))
        return *stop;
    QStringList chosen;
    if (const Stop stop = pickTables(options.project, &chosen))
        return *stop;
    return options.suggestRelations ? suggestRelations(options, chosen) : generate(options, chosen);
}
