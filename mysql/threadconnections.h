#pragma once

#include <QString>

namespace mysql {

// The connections the schema reader and the code model query: "Connection"
// on the user's schema and "InformationSchema" on its catalogue. A Qt SQL
// connection belongs to the thread that opened it, so a thread of its own
// registers its pair under other names and says so with a scope.
QString schemaConnection();
QString catalogConnection();

// While it lives, the calling thread's schema reader and code model use
// these connection names instead.
class ThreadConnectionNames
{
public:
    ThreadConnectionNames(const QString &schema, const QString &catalog);
    ~ThreadConnectionNames();
    ThreadConnectionNames(const ThreadConnectionNames &) = delete;
    ThreadConnectionNames &operator=(const ThreadConnectionNames &) = delete;

private:
    QString m_previousSchema;
    QString m_previousCatalog;
};

} // namespace mysql
