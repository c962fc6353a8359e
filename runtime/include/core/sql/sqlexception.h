#pragma once

#include <global/tablesmith_runtime_global.h>

#include <QByteArray>
#include <QString>

#include <exception>

class QSqlError;

// A statement that failed: thrown by SqlQuery and Functions::getSecuencia.
// It keeps the server's error number and text and the statement as it was
// prepared, with its placeholders: bound values (which may be passwords or
// other secrets) are never part of it.
class TABLESMITH_RUNTIME_EXPORT SqlException : public std::exception
{
public:
    // A failure the runtime itself found (no connection, a missing
    // sequence, ...): errorNumber 0 unless a server error caused it.
    explicit SqlException(const QString &message, const QString &statement = QString(), int errorNumber = 0);
    // The driver's error of `statement`.
    SqlException(const QSqlError &error, const QString &statement);
    ~SqlException() override;

    // The server's error number (1146: no such table, ...); 0 when the
    // server gave none, for example when there is no connection.
    int errorNumber() const { return m_errorNumber; }
    // The server's message, or the runtime's own.
    QString message() const { return m_message; }
    // The statement that failed, without bound values; empty when none.
    QString statement() const { return m_statement; }

    // One readable line, UTF-8:
    //   "SQL error 1146: Table 'shop.x' doesn't exist, in: select a from x"
    const char *what() const noexcept override;

private:
    int m_errorNumber = 0;
    QString m_message;
    QString m_statement;
    QByteArray m_what;
};
