#include "mysql/diagnostics.h"

#include <QDebug>
#include <QMutex>
#include <QSqlError>

#include <atomic>

namespace {

std::atomic<int> reportedErrors{0};
// Queries fail on the GUI thread and on worker threads alike.
QMutex lastErrorMutex;
QString lastError;

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

void writeDebugMessage(const QString &message)
{
    // nospace() keeps the trailing blank that every item carries.
    qCDebug(mysql::schemaReaderLog).nospace().noquote() << message;
}

} // namespace

void reportQueryError(const QSqlError &error, const QString &where)
{
    if (!error.isValid())
        return;
    ++reportedErrors;
    {
        const QMutexLocker lock(&lastErrorMutex);
        lastError = error.text();
    }
    writeDebugMessage(quoted(error.text()) + QStringLiteral("  - in ->  ") + quoted(where)
                      + QLatin1Char(' '));
}

namespace mysql {

Q_LOGGING_CATEGORY(schemaReaderLog, "tablesmith.schemareader", QtInfoMsg)

void enableDeveloperLines()
{
    QLoggingCategory::setFilterRules(QStringLiteral("tablesmith.schemareader.debug=true"));
}

int queryErrorCount()
{
    return reportedErrors.load();
}

QString lastQueryError()
{
    const QMutexLocker lock(&lastErrorMutex);
    return lastError;
}

void debugQuoted(const QString &item)
{
    writeDebugMessage(quoted(item) + QLatin1Char(' '));
}

} // namespace mysql
