#include "app/cli/commandline.h"
#include "app/cli/diagramfile.h"
#include "app/cli/interruption.h"
#include "app/cli/passwordprompt.h"
#include "app/graphvizlayout.h"
#include "app/generationrun.h"
#include "app/mysqlconnection.h"
#include "app/projectfile.h"
#include "codemodel/relationdiagram.h"
#include "codemodel/tableobject.h"
#include "mysql/table.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlError>
#include <QTextStream>

#include <cstdio>

namespace {

enum ExitCode {
    Success = 0,
    Failure = 1,
    BadArguments = 2
};

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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tablesmith-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TABLESMITH_VERSION));

    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments().mid(1),
                                                      qEnvironmentVariable("MYSQL_PWD"));
    CommandLineOptions options = parsed.options;
    if (!parsed.error.isEmpty()) {
        for (const QString &line : parsed.error.split(QLatin1Char('\n')))
            printLine(stderr, QStringLiteral("tablesmith-cli: ") + line);
        printLine(stderr, QStringLiteral("Try 'tablesmith-cli --help' for more information."));
        return BadArguments;
    }
    if (options.showHelp) {
        std::fputs(usageText().toLocal8Bit().constData(), stdout);
        return Success;
    }
    if (options.showVersion) {
        printLine(stdout, QStringLiteral("tablesmith-cli %1").arg(QCoreApplication::applicationVersion()));
        return Success;
    }

    if (!options.saveProject.isEmpty()) {
        const QString problem = writeProject(options.saveProject, projectOf(options));
        if (!problem.isEmpty())
            return fail(Failure, problem);
        printLine(stdout, QStringLiteral("Project written: %1").arg(options.saveProject));
        return Success;
    }

    g_verbose = options.verbose;
    qInstallMessageHandler(messageHandler);

    // Before the password is asked for.
    const QString tlsProblem = options.connection.tls.problem();
    if (!tlsProblem.isEmpty())
        return fail(BadArguments, QStringLiteral("TLS: ") + tlsProblem);

    if (options.promptForPassword) {
        bool ok = false;
        options.connection.password = promptForPassword(QStringLiteral("Enter password: "), &ok);
        if (!ok)
            return fail(BadArguments, QStringLiteral("no password could be read"));
    }

    // An unwritable diagram file stops the run before anything is written.
    QString diagramError;
    if (!options.diagramFile.isEmpty() && !canWriteDiagramFile(options.diagramFile, &diagramError))
        return fail(Failure, QStringLiteral("cannot write the diagram %1: %2").arg(options.diagramFile, diagramError));

    const ConnectionSettings &settings = options.connection;
    printLine(stdout, QStringLiteral("Establishing connection to: %1").arg(settings.host));
    {
        const SchemaConnections connections = openSchemaConnections(settings);
        if (!connections.schema.isOpen())
            return fail(Failure, QStringLiteral("cannot connect to schema \"%1\" on %2: %3")
                                         .arg(settings.schema, settings.host, connections.problem));
        if (!connections.catalog.isOpen())
            return fail(Failure, QStringLiteral("cannot open information_schema on %1: %2")
                                         .arg(settings.host, connections.catalog.lastError().text()));
        printLine(stdout, QStringLiteral("Connected to: %1").arg(settings.host));
        printLine(stdout, encryptionLine(connections.encryption, settings.tls));
    }

    const QStringList schemaTables = QSqlDatabase::database(schemaConnectionName()).tables(QSql::Tables);
    TableSelection selection;
    selection.include = options.tables;
    selection.exclude = options.exclude;
    selection.includeOrigin = options.tablesOrigin;
    selection.excludeOrigin = options.excludeOrigin;
    const TableChoice choice = chooseTables(settings.schema, schemaTables, selection);
    for (const QString &problem : choice.problems)
        fail(BadArguments, problem);
    if (!choice.problems.isEmpty())
        return BadArguments;
    const QStringList &chosen = choice.tables;

    // The run creates the output directory, or says why it cannot.
    const QDir output(options.outputDirectory);
    const QString code = output.absoluteFilePath(QStringLiteral("code"));
    const QString interrupted = QStringLiteral("Interrupted: %1 is unchanged").arg(code);
    Interruption::install(interrupted);

    GenerationRun run(output.absolutePath(),
                      [](const QString &line) { printLine(stdout, line); },
                      [](const QString &line) { printLine(stderr, line); });
    run.setSwitches(options.switches);
    run.setCatalogReader(options.catalogReader);
    run.setMode(options.check ? GenerationRun::Mode::Check : GenerationRun::Mode::Write);
    run.setKeepUnchanged(options.keepUnchanged);
    run.setApplication(options.application);
    run.setForeignEntriesHandler([&options](const QStringList &, int) { return options.force; });
    run.setStagingObserver([](const QString &) { Interruption::deferFromNowOn(); });
    run.setInterruptCheck(&Interruption::requested);
    if (!options.diagramFile.isEmpty()) {
        run.setCodeModelHook([&](const Generator &generator, const QList<TableObject *> &chosenObjects) {
            QStringList names;
            for (const TableObject *table : chosenObjects)
                names.append(table->table()->name());
            // A DOT file takes any size; an SVG leaves out the linked tables
            // that are not chosen when only they make it too large.
            bool withoutLinked = false;
            const RelationDiagram diagram = options.diagramFile.endsWith(QLatin1String(".dot"), Qt::CaseInsensitive)
                    ? relationDiagram(generator, names, options.switches.object)
                    : drawableDiagram(generator, names, options.switches.object, &withoutLinked);
            if (!writeDiagramFile(options.diagramFile, diagram, &diagramError)) {
                printLine(stderr, QStringLiteral("tablesmith-cli: cannot write the diagram %1: %2")
                                          .arg(options.diagramFile, diagramError));
                return false;
            }
            printLine(stdout, QStringLiteral("Relation diagram of %1 tables and %2 relations written to: %3%4")
                                      .arg(diagram.tableCount)
                                      .arg(diagram.relationCount)
                                      .arg(options.diagramFile,
                                           withoutLinked ? QStringLiteral(" (without the linked tables that are not "
                                                                          "chosen: too many)")
                                                         : QString()));
            return true;
        });
    }
    run.run(settings.schema, chosen);

    if (run.outcome() == GenerationRun::Outcome::Interrupted) {
        printLine(stderr, interrupted);
        Interruption::endBySignal();
    }
    // The run's closing line ends the output, after the status lines.
    const auto finish = [&run](int status) {
        printLine(run.problemCount() > 0 ? stderr : stdout, run.closingLine());
        return status;
    };
    if (!diagramError.isEmpty())
        return finish(Failure);
    if (run.outcome() == GenerationRun::Outcome::Refused)
        return finish(fail(Failure, QStringLiteral("%1 holds files Tablesmith did not write; nothing was removed or "
                                                   "written (--force removes them)").arg(code)));

    if (options.timings) {
        const GenerationRun::Timings &t = run.timings();
        printLine(stderr, QStringLiteral("timings (ms): output-tree %1 tables %2 keys %3 relationships %4 "
                                         "code-model %5 files %6")
                                  .arg(t.outputTree)
                                  .arg(t.tables)
                                  .arg(t.keys)
                                  .arg(t.relationships)
                                  .arg(t.codeModel)
                                  .arg(t.files));
    }

    // The run has said what failed; the status tells scripts.
    int status = run.queryErrorCount() > 0 || run.fieldTypeErrorCount() > 0 ? Failure : Success;
    if (run.failureCount() > 0) {
        status = fail(Failure, QStringLiteral("%1 files or directories could not be written below %2")
                                       .arg(run.failureCount())
                                       .arg(output.absolutePath()));
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
    return finish(status);
}
