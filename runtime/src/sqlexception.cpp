#include <core/sql/sqlexception.h>

#include <QSqlError>

SqlException::SqlException(const QString &message, const QString &statement, int errorNumber)
    : m_errorNumber(errorNumber)
    , m_message(message)
    , m_statement(statement)
{
    QString line = m_errorNumber ? QStringLiteral("SQL error %1: %2").arg(m_errorNumber).arg(m_message)
                                 : QStringLiteral("SQL error: ") + m_message;
    if (!m_statement.isEmpty())
        line += QStringLiteral(", in: ") + m_statement.simplified();
    m_what = line.toUtf8();
}

namespace {

// The server's own words; the driver's where the server said nothing.
QString serverText(const QSqlError &error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

} // namespace

SqlException::SqlException(const QSqlError &error, const QString &statement)
    : SqlException(serverText(error), statement, error.nativeErrorCode().toInt())
{
}

SqlException::~SqlException() = default;

const char *SqlException::what() const noexcept
{
    return m_what.constData();
}
