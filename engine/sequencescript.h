#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class TableObject;

// The statements that create the sequences the generated DAOs number new
// rows from (seq_<table>, for every table with an id column) where the
// schema lacks them, each starting after the table's largest id. MariaDB
// gets CREATE SEQUENCE; a server without sequences (MySQL) gets the one-row
// table the runtime library counts with instead. Tablesmith itself only
// reads: the user runs the script.
struct SequenceScript
{
    QString text;
    // The sequences the script creates, in the tables' order.
    QStringList sequences;
    // Why the script could not be made; empty when it could.
    QString error;
};

// Two queries on `schema`: the server's version, and every missing
// sequence's table's largest id in one statement.
SequenceScript sequenceScript(const QList<TableObject *> &chosen, const QSqlDatabase &schema);

// Writes the script's text to `path`, replacing the file only once the whole
// text is written; false, and why in `error`, when the script could not be
// made or written. The command line and the window both write it so.
bool writeSequenceScript(const SequenceScript &script, const QString &path, QString *error);

// The line that says what a written script at `path` creates.
QString sequenceScriptWrittenLine(const SequenceScript &script, const QString &path);
