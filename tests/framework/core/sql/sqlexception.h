#pragma once

#include <QString>

#include <exception>

// Thrown by SqlQuery when a statement fails.
class SqlException : public std::exception
{
public:
    explicit SqlException(const QString &message) : m_message(message.toUtf8()) {}

    const char *what() const noexcept override { return m_message.constData(); }

private:
    QByteArray m_message;
};
