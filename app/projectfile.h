#pragma once

#include "app/generationrun.h"
#include "app/mysqlconnection.h"
#include "app/tableselection.h"

#include <QString>
#include <QStringList>

// What a team commits beside its generated code so that every run, in the
// window, on a colleague's machine or in CI, reads the same schema the same
// way: a small INI file,
//
//   [connection]   host, port, socket, user, schema
//   [tls]          ssl, ssl-ca, ssl-capath, ssl-cert, ssl-key, ssl-cipher,
//                  ssl-verify-server-cert
//   [generate]     tables, exclude, only, output, catalog, keep-unchanged, app
//
// with the command line's option names as keys. Paths (output, TLS files)
// are relative to the file's folder. Never the password.
//
// Read and written here rather than through QSettings: a reviewed file wants
// every unknown key and malformed line reported with its line number, and a
// stable, commented layout when written; QSettings skips what it does not
// understand and writes keys in its own order.
struct Project
{
    ConnectionSettings connection; // the password stays empty
    TableSelection tables;
    GenerationRun::Switches switches;
    GenerationRun::CatalogReader catalogReader = GenerationRun::CatalogReader::SchemaWide;
    // Absolute once read: the file's folder when it names none.
    QString outputDirectory;
    bool keepUnchanged = false;
    // Also write the application scaffold (the command line's --app).
    bool application = false;
};

struct ProjectReading
{
    Project project;
    // "FILE:LINE: what is wrong", one per fault; the project must not be
    // used when there are any.
    QStringList problems;
};

ProjectReading readProject(const QString &path);

// The items of a comma-separated list, trimmed, empty ones left out.
QStringList splitList(const QString &value);
// The kinds of class a list like "dao, model" names, into `switches`; false
// when it names none, or a kind there is not (then that kind in `unknown`).
bool parseKinds(const QString &value, GenerationRun::Switches *switches, QString *unknown);

// The file's text for `project`, paths made relative to `folder` where they
// lie below it.
QByteArray projectText(const Project &project, const QString &folder);

// Writes the project; returns an empty string or why it could not.
QString writeProject(const QString &path, const Project &project);
