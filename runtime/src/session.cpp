#include <core/session.h>

#include <QAtomicInteger>
#include <QFileInfo>
#include <QMutex>
#include <QSqlError>
#include <QSqlQuery>
#include <QThreadStorage>

namespace {

// One option with a value.
enum class Kind { Text, Port, Path, List };

struct ValueOption
{
    const char *shortName; // "" when none
    const char *longName;
    Kind kind;
    QString SessionOptions::*field;
};

bool takeValue(const QString &argument, const QStringList &arguments, qsizetype *index, const ValueOption &option,
               QString *value, bool *matched)
{
    const QString shortName = QLatin1String(option.shortName);
    const QString longName = QLatin1String(option.longName);
    *matched = true;
    if (argument == longName || (!shortName.isEmpty() && argument == shortName)) {
        if (*index + 1 >= arguments.size())
            return false;
        *value = arguments.at(++*index);
        return true;
    }
    if (argument.startsWith(longName + QLatin1Char('='))) {
        *value = argument.mid(longName.size() + 1);
        return true;
    }
    if (!shortName.isEmpty() && argument.startsWith(shortName) && !argument.startsWith(QLatin1String("--"))) {
        *value = argument.mid(shortName.size());
        return true;
    }
    *matched = false;
    return false;
}

QString fileProblem(const QString &path, const QString &what, bool directory)
{
    if (path.isEmpty())
        return QString();
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("the %1 \"%2\" does not exist").arg(what, path);
    if (directory ? !info.isDir() : !info.isFile())
        return QStringLiteral("the %1 \"%2\" is not a %3").arg(what, path, directory ? QStringLiteral("directory") : QStringLiteral("file"));
    if (!info.isReadable())
        return QStringLiteral("the %1 \"%2\" cannot be read").arg(what, path);
    return QString();
}

// Empty when the TLS options can be used, else one line saying why not.
QString tlsProblem(const SessionOptions &options)
{
    const QString problems[] = {
        fileProblem(options.sslCa, QStringLiteral("CA file"), false),
        fileProblem(options.sslCaPath, QStringLiteral("CA directory"), true),
        fileProblem(options.sslCert, QStringLiteral("client certificate"), false),
        fileProblem(options.sslKey, QStringLiteral("client key"), false),
        !options.sslCert.isEmpty() && options.sslKey.isEmpty() ? QStringLiteral("a client certificate needs its key") : QString(),
        options.sslCert.isEmpty() && !options.sslKey.isEmpty() ? QStringLiteral("a client key needs its certificate") : QString(),
        options.sslVerifyServerCert && options.sslCa.isEmpty() && options.sslCaPath.isEmpty()
                ? QStringLiteral("verifying the server's certificate needs a CA file or directory")
                : QString(),
    };
    for (const QString &problem : problems) {
        if (!problem.isEmpty())
            return problem;
    }
    // The driver takes all its options as one ';'-separated list.
    for (const QString *value : {&options.sslCa, &options.sslCaPath, &options.sslCert, &options.sslKey, &options.sslCipher}) {
        if (value->contains(QLatin1Char(';')))
            return QStringLiteral("\"%1\" may not hold ';'").arg(*value);
    }
    return QString();
}

QString driverOptions(const SessionOptions &options)
{
    // A host that does not answer must not block for minutes, nor a server
    // that stops answering in the middle of a statement.
    QStringList list{QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=%1").arg(qMax(1, options.connectTimeout))};
    if (options.readTimeout > 0)
        list << QStringLiteral("MYSQL_OPT_READ_TIMEOUT=%1").arg(options.readTimeout)
             << QStringLiteral("MYSQL_OPT_WRITE_TIMEOUT=%1").arg(options.readTimeout);
    if (!options.socket.isEmpty())
        list << QStringLiteral("UNIX_SOCKET=") + options.socket;
    if (options.tlsRequested()) {
        const std::pair<const char *, const QString *> files[] = {
            {"SSL_CA", &options.sslCa}, {"SSL_CAPATH", &options.sslCaPath}, {"SSL_CERT", &options.sslCert}, {"SSL_KEY", &options.sslKey}};
        bool any = false;
        for (const auto &[name, value] : files) {
            if (!value->isEmpty()) {
                list << QLatin1String(name) + QLatin1Char('=') + *value;
                any = true;
            }
        }
        // The driver turns TLS on for any SSL_ option; an empty cipher list
        // leaves the library's default.
        if (!options.sslCipher.isEmpty() || !any)
            list << QStringLiteral("SSL_CIPHER=") + options.sslCipher;
    }
    return list.join(QLatin1Char(';'));
}

// Empty when `db` opened (and is encrypted where TLS was asked for), else
// one line saying why not; the connection is then closed.
QString openChecked(QSqlDatabase &db, const SessionOptions &options)
{
    if (!db.open()) {
        const QSqlError error = db.lastError();
        const QString text = error.databaseText().trimmed();
        return text.isEmpty() ? error.text().trimmed() : text;
    }
    if (options.tlsRequested()) {
        // The client library quietly falls back to plain text when the
        // server offers no TLS.
        bool encrypted = false;
        {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("SHOW SESSION STATUS LIKE 'Ssl_cipher'")) && query.next())
                encrypted = !query.value(1).toString().isEmpty();
        }
        if (!encrypted) {
            db.close();
            return QStringLiteral("TLS: the server %1 did not encrypt the connection; it was closed").arg(options.host);
        }
    }
    return QString();
}

// A thread's connection, removed when the thread ends.
struct ThreadConnection
{
    QString name;
    quint64 generation = 0;
    QSqlDatabase db;

    ~ThreadConnection() { drop(); }
    void drop()
    {
        if (name.isEmpty())
            return;
        db.close();
        db = QSqlDatabase(); // Qt removes a connection only once no handle is left
        QSqlDatabase::removeDatabase(name);
        name.clear();
    }
};

} // namespace

bool SessionOptions::tlsRequested() const
{
    return ssl || sslVerifyServerCert || !sslCa.isEmpty() || !sslCaPath.isEmpty() || !sslCert.isEmpty()
            || !sslKey.isEmpty() || !sslCipher.isEmpty();
}

bool SessionOptions::fromArguments(const QStringList &arguments, SessionOptions *options, QString *error, QStringList *rest)
{
    static const ValueOption valueOptions[] = {
        {"-h", "--host", Kind::Text, &SessionOptions::host},
        {"-P", "--port", Kind::Port, nullptr},
        {"-S", "--socket", Kind::Path, &SessionOptions::socket},
        {"-u", "--user", Kind::Text, &SessionOptions::user},
        {"-D", "--database", Kind::Text, &SessionOptions::schema},
        {"", "--ssl-ca", Kind::Path, &SessionOptions::sslCa},
        {"", "--ssl-capath", Kind::Path, &SessionOptions::sslCaPath},
        {"", "--ssl-cert", Kind::Path, &SessionOptions::sslCert},
        {"", "--ssl-key", Kind::Path, &SessionOptions::sslKey},
        {"", "--ssl-cipher", Kind::List, &SessionOptions::sslCipher},
    };
    SessionOptions result = *options;
    QStringList others;
    if (qEnvironmentVariableIsSet("MYSQL_PWD"))
        result.password = qEnvironmentVariable("MYSQL_PWD");
    const auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--")) {
            others += arguments.mid(i);
            break;
        }
        if (argument == QLatin1String("--ssl")) {
            result.ssl = true;
            continue;
        }
        if (argument == QLatin1String("--ssl-verify-server-cert")) {
            result.sslVerifyServerCert = true;
            continue;
        }
        bool known = false;
        for (const ValueOption &option : valueOptions) {
            QString value;
            bool matched = false;
            const bool given = takeValue(argument, arguments, &i, option, &value, &matched);
            if (!matched)
                continue;
            known = true;
            const QString name = QLatin1String(option.longName);
            if (!given || value.isEmpty())
                return fail(QStringLiteral("option %1 needs a value").arg(name));
            if (option.kind == Kind::Port) {
                bool ok = false;
                const int port = value.toInt(&ok, 10);
                if (!ok || port < 1 || port > 65535)
                    return fail(QStringLiteral("invalid port \"%1\": give a number from 1 to 65535").arg(value));
                result.port = port;
                break;
            }
            if ((option.kind == Kind::Path || option.kind == Kind::List) && value.contains(QLatin1Char(';')))
                return fail(QStringLiteral("invalid value \"%1\" of %2: it may not hold ';'").arg(value, name));
            result.*option.field = value;
            break;
        }
        if (!known)
            others.append(argument);
    }
    *options = result;
    if (rest)
        *rest = others;
    return true;
}

struct Session::Private
{
    mutable QMutex mutex;
    SessionOptions options;
    bool open = false;
    // Which session a thread's connection belongs to: each open and close
    // makes the connections of earlier ones stale.
    quint64 generation = 1;
    QThreadStorage<ThreadConnection *> connections;
    QAtomicInteger<quint64> names;

    // The calling thread's connection, made anew when it is stale, opened
    // when it should be and is not; `problem` says why it is not open.
    ThreadConnection *connection(QString *problem);
};

ThreadConnection *Session::Private::connection(QString *problem)
{
    mutex.lock();
    const quint64 current = generation;
    const bool shouldOpen = open;
    const SessionOptions settings = options;
    mutex.unlock();

    if (!connections.hasLocalData())
        connections.setLocalData(new ThreadConnection);
    ThreadConnection *connection = connections.localData();
    if (connection->name.isEmpty() || connection->generation != current) {
        connection->drop();
        connection->name = QStringLiteral("tablesmith-runtime-%1").arg(++names);
        connection->generation = current;
        connection->db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), connection->name);
        if (shouldOpen) {
            connection->db.setHostName(settings.host);
            connection->db.setPort(settings.port);
            connection->db.setUserName(settings.user);
            connection->db.setPassword(settings.password);
            connection->db.setDatabaseName(settings.schema);
            connection->db.setConnectOptions(driverOptions(settings));
        }
    }
    if (shouldOpen && !connection->db.isOpen()) {
        const QString why = openChecked(connection->db, settings);
        if (problem)
            *problem = why;
        else if (!why.isEmpty())
            qWarning("tablesmith-runtime: cannot connect to %s: %s", qPrintable(settings.host), qPrintable(why));
    }
    return connection;
}

Session::Session()
    : d(new Private)
{
}

Session::~Session()
{
    delete d;
}

Session *Session::instance()
{
    static Session session;
    return &session;
}

bool Session::open(const SessionOptions &options, QString *error)
{
    QString problem = tlsProblem(options);
    if (!problem.isEmpty())
        problem.prepend(QStringLiteral("TLS: "));
    else if (options.socket.contains(QLatin1Char(';')))
        problem = QStringLiteral("the socket \"%1\" may not hold ';'").arg(options.socket);
    if (!problem.isEmpty()) {
        close();
        if (error)
            *error = problem;
        return false;
    }
    {
        QMutexLocker locker(&d->mutex);
        d->options = options;
        d->open = true;
        ++d->generation;
    }
    QString why;
    d->connection(&why);
    if (why.isEmpty())
        return true;
    close();
    if (error)
        *error = why;
    return false;
}

bool Session::isOpen() const
{
    QMutexLocker locker(&d->mutex);
    return d->open;
}

void Session::close()
{
    {
        QMutexLocker locker(&d->mutex);
        d->open = false;
        ++d->generation;
    }
    if (d->connections.hasLocalData())
        d->connections.localData()->drop();
}

SessionOptions Session::options() const
{
    QMutexLocker locker(&d->mutex);
    return d->options;
}

QSqlDatabase *Session::systemDatabase()
{
    return &d->connection(nullptr)->db;
}
