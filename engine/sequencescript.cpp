#include "engine/sequencescript.h"

#include "codemodel/conventionreport.h"
#include "codemodel/identifiers.h"
#include "codemodel/tableobject.h"

#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// The runtime library's switch between real sequences and one-row tables
// chooses the script's form too, so that both can be tried on MariaDB.
bool isMariaDb(const QSqlDatabase &schema, QString *error)
{
    const QByteArray forced = qgetenv("TABLESMITH_RUNTIME_SEQUENCES");
    if (forced == "emulated" || forced == "native")
        return forced == "native";
    QSqlQuery query(schema);
    if (!query.exec(QStringLiteral("select version()")) || !query.next()) {
        *error = query.lastError().text();
        return false;
    }
    return query.value(0).toString().contains(QLatin1String("MariaDB"), Qt::CaseInsensitive);
}

// The largest id of each table, 0 for an empty one; one statement for all.
QList<qlonglong> largestIds(const QList<const TableObject *> &tables, const QSqlDatabase &schema, QString *error)
{
    QStringList selects;
    for (qsizetype i = 0; i < tables.size(); ++i)
        selects.append(QStringLiteral("select %1, coalesce(max(id), 0) from %2").arg(i).arg(tables.at(i)->sqlName()));
    QList<qlonglong> ids(tables.size(), 0);
    QSqlQuery query(schema);
    if (!query.exec(selects.join(QStringLiteral(" union all ")))) {
        *error = query.lastError().text();
        return {};
    }
    while (query.next())
        ids[query.value(0).toInt()] = query.value(1).toLongLong();
    return ids;
}

} // namespace

SequenceScript sequenceScript(const QList<TableObject *> &chosen, const QSqlDatabase &schema)
{
    SequenceScript script;
    QList<const TableObject *> missing;
    for (const TableObject *table : chosen) {
        if (lacksSequence(table))
            missing.append(table);
    }
    const QString schemaName = schema.databaseName();
    if (missing.isEmpty()) {
        script.text = QStringLiteral("-- Every chosen table of %1 with an id column has its sequence.\n").arg(schemaName);
        return script;
    }
    const bool native = isMariaDb(schema, &script.error);
    const QList<qlonglong> ids = script.error.isEmpty() ? largestIds(missing, schema, &script.error) : QList<qlonglong>();
    if (!script.error.isEmpty())
        return script;
    script.text = QStringLiteral("-- The sequences the generated DAOs of %1 number new rows from, each\n"
                                 "-- starting after its table's largest id (%2).\n")
                          .arg(schemaName, native ? QStringLiteral("MariaDB") : QStringLiteral("as one-row tables, for a server without sequences"));
    for (qsizetype i = 0; i < missing.size(); ++i) {
        const QString sequence = identifiers::sqlName(missing.at(i)->sequenceName());
        script.sequences.append(missing.at(i)->sequenceName());
        if (native) {
            script.text += QStringLiteral("create sequence %1 start with %2;\n").arg(sequence).arg(ids.at(i) + 1);
        } else {
            script.text += QStringLiteral("create table %1 (next_id bigint not null) engine=InnoDB;\n"
                                          "insert into %1 (next_id) values (%2);\n")
                                   .arg(sequence)
                                   .arg(ids.at(i));
        }
    }
    return script;
}

bool writeSequenceScript(const SequenceScript &script, const QString &path, QString *error)
{
    *error = script.error;
    if (!error->isEmpty())
        return false;
    QSaveFile file(path);
    const QByteArray text = script.text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

QString sequenceScriptWrittenLine(const SequenceScript &script, const QString &path)
{
    return script.sequences.isEmpty()
            ? QStringLiteral("No sequence is missing: %1 says so").arg(path)
            : QStringLiteral("The statements that create %1 written to: %2")
                      .arg(script.sequences.join(QStringLiteral(", ")), path);
}
