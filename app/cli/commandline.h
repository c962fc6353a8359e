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
    // Empty: every base table of the schema.
    QStringList tables;
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
    // Empty when the arguments are fine.
    QString error;
};

// Parses the arguments (without the program name) in the style of the mysql
// client: "-h host", "-hhost", "--host=host", "--host host". `environmentPassword`
// is MYSQL_PWD's value, used unless -p or --password is given.
ParsedCommandLine parseCommandLine(const QStringList &arguments,
                                   const QString &environmentPassword = QString());

QString usageText();
