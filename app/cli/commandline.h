#pragma once

#include "app/generationrun.h"
#include "app/mysqlconnection.h"

#include <QString>
#include <QStringList>

// What the command line asks for.
struct CommandLineOptions
{
    ConnectionSettings connection;
    // -p without a value: ask on the terminal.
    bool promptForPassword = false;
    // Names and patterns (* and ?); empty: every base table. Less the
    // tables that `exclude` matches.
    QStringList tables;
    QStringList exclude;
    // "FILE:LINE: " when the lists come from a project.
    QString tablesOrigin;
    QString excludeOrigin;
    // --project: the file whose settings the other options override.
    QString project;
    // --save-project: write the options as a project instead of running.
    QString saveProject;
    GenerationRun::Switches switches;
    GenerationRun::CatalogReader catalogReader = GenerationRun::CatalogReader::SchemaWide;
    QString outputDirectory = QStringLiteral(".");
    bool verbose = false;
    // Remove what the old tree holds besides generated files.
    bool force = false;
    // Compare with the tree on disk instead of writing.
    bool check = false;
    // Keep files whose text changes only in the banner's date.
    bool keepUnchanged = false;
    // Also write the application scaffold (code/C++/app).
    bool application = false;
    // Also write the chosen tables' relation diagram (.svg or .dot) here.
    QString diagramFile;
    // Print how long each phase took, on standard error.
    bool timings = false;
    bool showHelp = false;
    bool showVersion = false;
};

struct ParsedCommandLine
{
    CommandLineOptions options;
    // Empty when the arguments are fine; one line each, for a project.
    QString error;
};

// Parses the arguments (without the program name) in the style of the mysql
// client: "-h host", "-hhost", "--host=host", "--host host". `environmentPassword`
// is MYSQL_PWD's value, used unless -p or --password is given.
ParsedCommandLine parseCommandLine(const QStringList &arguments,
                                   const QString &environmentPassword = QString());

QString usageText();

struct Project;
// The project that --save-project writes for these options, and the options
// a project gives before the command line's own.
Project projectOf(const CommandLineOptions &options);
void applyProject(const Project &project, CommandLineOptions *options);
