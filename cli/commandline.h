#pragma once

#include "project/projectfile.h"

#include <QString>
#include <QStringList>

// What the command line asks for.
struct CommandLineOptions
{
    // What a project file holds too, and the password; a project given with
    // --project fills it first. Tables, names and patterns (* and ?), empty:
    // every base table, less those `project.tables.exclude` matches. The
    // output folder "." unless given.
    Project project;
    // -p without a value: ask on the terminal.
    bool promptForPassword = false;
    // --project: the file whose settings the other options override.
    QString projectFile;
    // --save-project: write the options as a project instead of running.
    QString saveProject;
    bool verbose = false;
    // Remove what the old tree holds besides generated files.
    bool force = false;
    // Compare with the tree on disk instead of writing.
    bool check = false;
    // Also write the chosen tables' relation diagram (.svg or .dot) here.
    QString diagramFile;
    // Also write the SQL that creates the sequences the chosen tables' DAOs
    // need and the schema lacks, here.
    QString sequencesFile;
    // Print how long each phase took, on standard error.
    bool timings = false;
    // Print the keys the schema's names and types point to instead of
    // generating; with `verify`, each checked against the data.
    bool suggestRelations = false;
    bool verify = false;
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

// The project that --save-project writes for these options: without the
// password, the output folder absolute.
Project projectOf(const CommandLineOptions &options);
