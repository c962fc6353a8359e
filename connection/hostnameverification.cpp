#include "connection/hostnameverification.h"

#include <QtGlobal>

#include <dlfcn.h>
#include <mysql.h>

namespace {

thread_local bool t_verifyHostName = false;

// The client library the driver loaded; no new one is loaded here.
void *clientLibrary()
{
    static void *const library = [] {
        for (const char *name : {"libmariadb.so.3", "libmysqlclient.so.21", "libmysqlclient.so.18"}) {
            if (void *handle = dlopen(name, RTLD_NOW | RTLD_NOLOAD))
                return handle;
        }
        return static_cast<void *>(nullptr);
    }();
    return library;
}

template<typename Function>
Function clientFunction(const char *name)
{
    void *library = clientLibrary();
    void *symbol = library ? dlsym(library, name) : dlsym(RTLD_NEXT, name);
    if (!symbol)
        qFatal("the MySQL client library offers no %s", name);
    return reinterpret_cast<Function>(symbol);
}

} // namespace

HostNameVerification::HostNameVerification(bool verify)
    : m_previous(t_verifyHostName)
{
    t_verifyHostName = verify;
}

HostNameVerification::~HostNameVerification()
{
    t_verifyHostName = m_previous;
}

extern "C" MYSQL *STDCALL mysql_real_connect(MYSQL *mysql, const char *host, const char *user, const char *password,
                                             const char *database, unsigned int port, const char *socket,
                                             unsigned long flags)
{
    using Connect = MYSQL *(*)(MYSQL *, const char *, const char *, const char *, const char *, unsigned int,
                               const char *, unsigned long);
    using Options = int (*)(MYSQL *, enum mysql_option, const void *);
    static const Connect connect = clientFunction<Connect>("mysql_real_connect");
    if (t_verifyHostName) {
        static const Options options = clientFunction<Options>("mysql_options");
        const my_bool on = 1;
        options(mysql, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &on);
    }
    return connect(mysql, host, user, password, database, port, socket, flags);
}
