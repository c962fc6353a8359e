#pragma once

#include <QSqlDatabase>

// The application's session: the one database the generated code talks to.
class Session
{
public:
    static Session *instance()
    {
        static Session session;
        return &session;
    }

    QSqlDatabase *systemDatabase() { return &m_database; }
    void setSystemDatabase(const QSqlDatabase &database) { m_database = database; }

private:
    QSqlDatabase m_database;
};
