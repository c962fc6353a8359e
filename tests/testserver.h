#pragma once

#include <QString>

// The private MariaDB server that CTest starts for the tests (see
// scripts/test-server); its details come from the file named by the
// environment variable TABLESMITH_TEST_ENV.
namespace TestServer {

struct Settings
{
    int port = 0;
    QString socket;
    QString user;
    QString password;
    QString dataDirectory;
    bool valid = false;
};

const Settings &settings();

// Registers "Connection" on the schema and "InformationSchema" on the
// catalogue through 127.0.0.1 and the server's port, as the window's Connect
// does, and opens both. Returns whether both opened.
bool openConnections(const QString &schema);
// Removes both registrations again.
void closeConnections();

// Runs statements as the test account on a connection of its own; returns
// the error text, empty on success.
QString exec(const QString &sql);

} // namespace TestServer
