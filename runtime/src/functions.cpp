#include <core/functions.h>

#include <QSqlDriver>

namespace {

constexpr int noSuchTable = 1146; // ER_NO_SUCH_TABLE
constexpr int unknownSequence = 4091; // ER_UNKNOWN_SEQUENCES
constexpr int noSuchColumn = 1054; // ER_BAD_FIELD_ERROR

QString quoted(const QString &name)
{
    return QLatin1Char('`') + QString(name).replace(QLatin1Char('`'), QLatin1String("``")) + QLatin1Char('`');
}

// Whether the server has sequences: MariaDB says so in its version string.
// Asked once per connection; the answer stays with the connection's driver.
bool hasSequences(QSqlDatabase *db)
{
    const QString choice = qEnvironmentVariable("TABLESMITH_RUNTIME_SEQUENCES");
    if (choice == QLatin1String("emulated"))
        return false;
    if (choice == QLatin1String("native"))
        return true;
    const char *property = "tablesmithRuntimeServerVersion";
    QSqlDriver *driver = db->driver();
    QString version = driver->property(property).toString();
    if (version.isEmpty()) {
        SqlQuery query(db);
        query.exec(QStringLiteral("select version()"));
        version = query.next() ? query.value(0).toString() : QStringLiteral("unknown");
        driver->setProperty(property, version);
    }
    return version.contains(QLatin1String("MariaDB"), Qt::CaseInsensitive);
}

qlonglong nextValue(const QString &name, QSqlDatabase *db)
{
    const QString sql = QStringLiteral("select nextval(%1)").arg(quoted(name));
    SqlQuery query(db);
    try {
        query.exec(sql);
    } catch (const SqlException &e) {
        if (e.errorNumber() != noSuchTable && e.errorNumber() != unknownSequence)
            throw;
        throw SqlException(QStringLiteral("the sequence %1 does not exist (%2); create it with \"create sequence %1 start "
                                          "with N\", N above the largest id in use")
                                   .arg(quoted(name), e.message()),
                           sql, e.errorNumber());
    }
    if (!query.next())
        throw SqlException(QStringLiteral("the sequence %1 gave no value").arg(quoted(name)), sql);
    return query.value(0).toLongLong();
}

qlonglong emulatedNextValue(const QString &name, QSqlDatabase *db)
{
    const QString table = quoted(name);
    const QString create = QStringLiteral("create table %1 (next_id bigint not null) engine=InnoDB; "
                                          "insert into %1 (next_id) values (N - 1)")
                                   .arg(table);
    const QString step = QStringLiteral("update %1 set next_id = last_insert_id(next_id + 1)").arg(table);
    SqlQuery query(db);
    try {
        query.exec(step);
    } catch (const SqlException &e) {
        if (e.errorNumber() == noSuchTable)
            throw SqlException(QStringLiteral("the sequence table %1 does not exist (%2); create it with \"%3\", N being "
                                              "the first id to give, above the largest id in use")
                                       .arg(table, e.message(), create),
                               step, e.errorNumber());
        if (e.errorNumber() == noSuchColumn)
            throw SqlException(QStringLiteral("the sequence table %1 has no column next_id (%2); it is made with \"%3\"")
                                       .arg(table, e.message(), create),
                               step, e.errorNumber());
        throw;
    }
    // Each row would step on; last_insert_id would be the last one's.
    const int rows = query.numRowsAffected();
    if (rows != 1)
        throw SqlException(rows == 0 ? QStringLiteral("the sequence table %1 is empty; give it its row with \"insert into %1 "
                                                      "(next_id) values (N - 1)\", N being the first id to give")
                                               .arg(table)
                                     : QStringLiteral("the sequence table %1 holds %2 rows; it must hold exactly one")
                                               .arg(table)
                                               .arg(rows),
                           step);
    const QString read = QStringLiteral("select last_insert_id()");
    query.exec(read);
    if (!query.next())
        throw SqlException(QStringLiteral("the sequence table %1 gave no value").arg(table), read);
    return query.value(0).toLongLong();
}

} // namespace

namespace Functions {

qlonglong getSecuencia(const QString &name, QSqlDatabase *db)
{
    if (name.isEmpty())
        throw SqlException(QStringLiteral("a sequence needs a name"));
    // A null database, or one without a driver, throws here.
    SqlQuery{db};
    return hasSequences(db) ? nextValue(name, db) : emulatedNextValue(name, db);
}

} // namespace Functions
