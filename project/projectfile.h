#pragma once

#include "connection/mysqlconnection.h"
#include "engine/runoptions.h"
#include "engine/tableselection.h"
#include "project/projectrules.h"

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
// and the rules of project/projectrules.h: [relations], [names], [types],
// [exclude-columns].
//
// with the command line's option names as keys. Paths (output, TLS files)
// are relative to the file's folder. Never the password. The window
// remembers its own choices under the same keys (UserSettings).
//
// Read and written here rather than through QSettings: a reviewed file wants
// every unknown key and malformed line reported with its line number, and a
// stable, commented layout when written; QSettings skips what it does not
// understand and writes keys in its own order.
struct Project
{
    ConnectionSettings connection; // the password stays empty
    TableSelection tables;
    Switches switches;
    CatalogReader catalogReader = defaultCatalogReader;
    // The folder that receives "code" (see outputFolderIn()); absolute once
    // read: the file's folder when it names none.
    QString outputDirectory = QStringLiteral(".");
    bool keepUnchanged = false;
    // Also write the application scaffold (the command line's --app).
    bool application = false;
    ProjectRules rules;
};

// The keys of a project file, in the file's order.
enum class ProjectKey {
    Host,
    Port,
    Socket,
    User,
    Schema,
    Ssl,
    SslCa,
    SslCapath,
    SslCert,
    SslKey,
    SslCipher,
    SslVerifyServerCert,
    Tables,
    Exclude,
    Only,
    Output,
    Catalog,
    KeepUnchanged,
    Application
};

// "section/name", as QSettings names the key: "connection/host".
QString settingsKey(ProjectKey key);
// The key the window kept the same value under before it used the project
// file's keys ("form/host"); empty when there was none.
QString formerSettingsKey(ProjectKey key);
// The value's text as the file has it, paths relative to `folder`; with no
// folder, paths as they are. A default Project gives each key's default.
QString projectValue(const Project &project, ProjectKey key, const QString &folder = QString());
// Takes a value's text into `project`, paths relative to `folder` (as they
// are with no folder); returns an empty string, or what is wrong with the
// value (then `project` is unchanged).
QString setProjectValue(Project *project, ProjectKey key, const QString &value, const QString &folder = QString());

struct ProjectReading
{
    Project project;
    // "FILE:LINE: what is wrong", one per fault; the project must not be
    // used when there are any.
    QStringList problems;
};

ProjectReading readProject(const QString &path);

// A rule given in the window rather than in the file.
struct RuleChange
{
    QString section;
    // The line; empty when a rule only goes.
    QString line;
    // A class rule of this table, if there is one, goes first: the line
    // takes its place.
    QString classOf;
};

// The project with the change made to its rules, read back as the file
// `path` (empty for a project never saved) would be once saved: the rules
// begin with "PATH:LINE: " as there, and a line with faults gives the
// problems the file's reader gives.
ProjectReading withRuleChange(const Project &project, const QString &path, const RuleChange &change);

// The items of a comma-separated list, trimmed, empty ones left out.
QStringList splitList(const QString &value);
// The kinds of class a list like "dao, model" names, into `switches`; false
// when it names none, or a kind there is not (then that kind in `unknown`).
bool parseKinds(const QString &value, Switches *switches, QString *unknown);

// The file's text for `project`, paths made relative to `folder` where they
// lie below it.
QByteArray projectText(const Project &project, const QString &folder);

// Writes the project; returns an empty string or why it could not.
QString writeProject(const QString &path, const Project &project);
