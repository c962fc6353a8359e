#pragma once

#include <global/tablesmith_runtime_global.h>

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Where and how the application connects: the MySQL/MariaDB server, the
// account, the schema and the connection's encryption.
//
// TLS: any of ssl, sslCa, sslCaPath, sslCert, sslKey, sslCipher or
// sslVerifyServerCert asks for an encrypted connection, and Session::open
// refuses a connection that is not encrypted all the same (the client
// library quietly falls back to plain text when the server offers no TLS).
// With a CA (sslCa: a PEM file, sslCaPath: a directory prepared by
// `openssl rehash`) the server's certificate chain is verified; without one
// the server is not authenticated at all. The server's host name is never
// compared with its certificate: Qt's MySQL driver has no switch for that.
// sslVerifyServerCert needs a CA. sslCert and sslKey (PEM) go together.
// File names and the cipher list may not hold ';'.
struct TABLESMITH_RUNTIME_EXPORT SessionOptions
{
    QString host = QStringLiteral("localhost");
    int port = 3306;
    // The server's unix socket, used with host "localhost"; empty: the
    // client library's default.
    QString socket;
    QString user;
    QString password;
    QString schema;

    bool ssl = false;
    QString sslCa, sslCaPath, sslCert, sslKey, sslCipher;
    bool sslVerifyServerCert = false;

    // Seconds that opening a connection may take, and that one read from or
    // write to the server may wait (0: for ever).
    int connectTimeout = 10;
    int readTimeout = 60;

    // Whether any TLS option is set.
    bool tlsRequested() const;

    // The mysql client's options: -h -P -S -u -D (also --host= --port=
    // --socket= --user= --database=, the value as the next argument, and
    // attached forms like -P3306), --ssl, --ssl-ca= --ssl-capath=
    // --ssl-cert= --ssl-key= --ssl-cipher= --ssl-verify-server-cert; the
    // password from MYSQL_PWD. Later options override earlier ones and the
    // values `options` already holds; "--" ends the options.
    // Arguments it does not know are left in `rest`, in order (the program
    // name of QCoreApplication::arguments() stays first there); false and a
    // one-line `error` on a malformed one: a missing or empty value (such as
    // --ssl-ca=, which never quietly means plain text), a port that is not
    // 1 to 65535, ';' in a path or the cipher list.
    static bool fromArguments(const QStringList &arguments, SessionOptions *options, QString *error,
                              QStringList *rest = nullptr);
};

// The application's database session: opened once with the options, it
// gives every thread its own connection, as a Qt SQL connection belongs to
// the thread that made it. Generated code reaches it as
// Session::instance()->systemDatabase().
//
//   SessionOptions options;
//   QString error;
//   if (!SessionOptions::fromArguments(app.arguments(), &options, &error)
//       || !Session::instance()->open(options, &error))
//       qFatal("%s", qPrintable(error));
//
// Needs Qt's MySQL driver (Debian: libqt6sql6-mysql) and a
// QCoreApplication; the calls are thread-safe.
class TABLESMITH_RUNTIME_EXPORT Session
{
public:
    static Session *instance();

    // Opens and checks a connection for the calling thread; false with the
    // server's text in `error` when it cannot (or a "TLS: ..." line for TLS
    // options that cannot be used). A connection that asked for TLS but is
    // not encrypted is refused. Opening again replaces the earlier session:
    // every thread's connection is made anew from the new options.
    bool open(const SessionOptions &options, QString *error);
    bool isOpen() const;
    // Ends the session: the calling thread's connection closes now, other
    // threads' on their next systemDatabase() call.
    void close();
    SessionOptions options() const;

    // The connection of the calling thread: cloned from the options on first
    // use in a thread and dropped when that thread ends (a Qt SQL
    // connection belongs to one thread). Never null. While the session is not
    // open, or when the thread's connection could not be opened (a warning
    // says why; the next call tries again), it is a connection that is not
    // open, on which every SqlQuery throws. The pointer is the thread's to use
    // until the thread ends or the session is closed or opened again.
    QSqlDatabase *systemDatabase();

private:
    Session();
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;
    struct Private;
    Private *d;
};
