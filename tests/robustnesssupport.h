#pragma once

// Helpers shared by the hostile-name and fault tests: running the command
// line, driving the window, reading what a run left behind, taking
// snapshots of directories and making a path unwritable even for root.

#include "app/tablesmith.h"
#include "testserver.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>

#include <unistd.h>

namespace Robustness {

struct CliResult
{
    int exitCode = -1;
    bool crashed = false;
    bool timedOut = false;
    QString out;
    QString err;

    QString describe() const
    {
        return QStringLiteral("exit %1%2%3\n--- stdout:\n%4--- stderr:\n%5")
                .arg(exitCode)
                .arg(crashed ? QStringLiteral(" (crashed)") : QString())
                .arg(timedOut ? QStringLiteral(" (timed out)") : QString())
                .arg(out.right(3000), err.right(3000));
    }
};

// Starts tablesmith-cli without a controlling terminal.
inline void startCli(QProcess &process, const QStringList &arguments, const QString &workingDirectory)
{
    process.setChildProcessModifier([] { ::setsid(); });
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(qEnvironmentVariable("TABLESMITH_CLI"), arguments);
    process.closeWriteChannel();
}

inline CliResult finishCli(QProcess &process, int timeoutMs)
{
    CliResult result;
    // waitForFinished() is false for a process that has already finished.
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(timeoutMs)) {
        result.timedOut = true;
        process.kill();
        process.waitForFinished(5000);
    }
    result.crashed = process.exitStatus() != QProcess::NormalExit;
    result.exitCode = result.crashed || result.timedOut ? -1 : process.exitCode();
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

inline CliResult runCli(const QStringList &arguments, const QString &workingDirectory = QString(),
                        int timeoutMs = 120000)
{
    QProcess process;
    startCli(process, arguments, workingDirectory);
    return finishCli(process, timeoutMs);
}

inline QStringList connectionArguments(int port, const QString &user, const QString &password,
                                       const QString &schema)
{
    return {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-P"), QString::number(port),
            QStringLiteral("-u"), user, QStringLiteral("--password=") + password, QStringLiteral("-D"), schema};
}

inline QStringList sharedServerArguments(const QString &schema)
{
    const TestServer::Settings &s = TestServer::settings();
    return connectionArguments(s.port, s.user, s.password, schema);
}

inline QStringList lines(const QString &text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

inline QStringList linesStartingWith(const QStringList &lines, const QString &prefix)
{
    QStringList found;
    std::copy_if(lines.cbegin(), lines.cend(), std::back_inserter(found),
                 [&](const QString &line) { return line.startsWith(prefix); });
    return found;
}

// A run that lost catalogue queries must say so in its closing line, naming
// the error.
inline bool namesTheQueryFailure(const QString &output)
{
    static const QRegularExpression line(QStringLiteral("catalogue queries failed, the last with \"[^\"]+"));
    return line.match(output).hasMatch();
}

inline QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The base tables of `schema` as the catalogue lists them to the test
// account.
inline QStringList baseTables(const QString &schema)
{
    QStringList names;
    const QString name = QStringLiteral("RobustnessCatalog");
    {
        const TestServer::Settings &s = TestServer::settings();
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(s.port);
        db.setUserName(s.user);
        db.setPassword(s.password);
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(QStringLiteral("select table_name from information_schema.tables "
                                         "where table_schema = :schema and table_type = 'BASE TABLE'"));
            query.bindValue(QStringLiteral(":schema"), schema);
            query.exec();
            while (query.next())
                names.append(query.value(0).toString());
        }
    }
    QSqlDatabase::removeDatabase(name);
    return names;
}

inline QString classNameOf(const QString &table)
{
    QString className = table;
    if (!className.isEmpty())
        className[0] = className.at(0).toUpper();
    return className;
}

// The eight files that one table's classes are written to, as
// "directory/file name" below code/C++.
inline QStringList expectedFiles(const QString &table)
{
    const QString lower = table.toLower();
    QStringList files;
    for (const QString &stem : {QStringLiteral("dao/") + lower + QStringLiteral("dao"), QStringLiteral("object/") + lower,
                                QStringLiteral("model/") + lower + QStringLiteral("model"),
                                QStringLiteral("editors/") + lower + QStringLiteral("editor")})
        files << stem + QStringLiteral(".h") << stem + QStringLiteral(".cpp");
    return files;
}

// Every entry below `root` (the root itself and `skip` excluded) with its
// kind, and a file's size and modification time, so that a later snapshot
// shows any change.
inline QMap<QString, QString> snapshot(const QString &root, const QStringList &skip = {})
{
    QMap<QString, QString> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString relative = QDir(root).relativeFilePath(info.filePath());
        if (std::any_of(skip.cbegin(), skip.cend(), [&](const QString &prefix) {
                return relative == prefix || relative.startsWith(prefix + QLatin1Char('/'));
            }))
            continue;
        // A directory's time changes with its entries, which are listed anyway.
        entries.insert(relative, info.isDir() && !info.isSymLink()
                               ? QStringLiteral("dir")
                               : QStringLiteral("%1 %2 %3")
                                         .arg(info.isSymLink() ? QStringLiteral("link") : QStringLiteral("file"))
                                         .arg(info.size())
                                         .arg(info.lastModified().toMSecsSinceEpoch()));
    }
    return entries;
}

// Entries only in the top level of `directory`, without recursion.
inline QSet<QString> listing(const QString &directory)
{
    const QStringList names = QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                        | QDir::NoDotAndDotDot);
    return QSet<QString>(names.cbegin(), names.cend());
}

// What changed between two snapshots, one line per entry.
inline QStringList differences(const QMap<QString, QString> &before, const QMap<QString, QString> &after)
{
    QStringList changes;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (before.value(it.key()) != it.value())
            changes.append((before.contains(it.key()) ? QStringLiteral("changed: ") : QStringLiteral("new: ")) + it.key());
    }
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            changes.append(QStringLiteral("gone: ") + it.key());
    }
    return changes;
}

// Entries below root/code that do not belong to an output tree: anything
// but code/C++, its four directories and plain files directly in them.
inline QStringList strayEntries(const QString &root)
{
    QSet<QString> directories = {QStringLiteral("code"), QStringLiteral("code/C++")};
    for (const char *directory : {"object", "dao", "model", "editors"})
        directories.insert(QStringLiteral("code/C++/") + QLatin1String(directory));
    QStringList stray;
    const QMap<QString, QString> entries = snapshot(root);
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const QString &path = it.key();
        if (path != QLatin1String("code") && !path.startsWith(QLatin1String("code/")))
            continue;
        const QString parent = path.section(QLatin1Char('/'), 0, -2);
        const bool inside = it.value() == QLatin1String("dir")
                ? directories.contains(path)
                : it.value().startsWith(QLatin1String("file")) && directories.contains(parent) && parent.count(QLatin1Char('/')) == 2;
        if (!inside)
            stray.append(path);
    }
    return stray;
}

// Makes a file or directory unwritable, for root too: the immutable
// attribute stops every writer, root included, where chmod does not. Undone
// when the guard goes.
class Unwritable
{
public:
    explicit Unwritable(const QString &path)
        : m_path(path)
    {
        if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), m_path}) == 0) {
            m_technique = QStringLiteral("chattr +i");
        } else if (::geteuid() != 0) {
            QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            m_technique = QStringLiteral("chmod 0500");
        }
    }
    ~Unwritable() { release(); }

    // Empty when no technique works here (root without CAP_LINUX_IMMUTABLE
    // or a file system without the attribute).
    const QString &technique() const { return m_technique; }

    void release()
    {
        if (m_technique.startsWith(QLatin1String("chattr")))
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
        else if (!m_technique.isEmpty())
            QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        m_technique.clear();
    }

private:
    QString m_path;
    QString m_technique;
};

// The window, driven as a user would: fill the form, Connect, Select all,
// Generate.
template<typename T>
T *child(const QWidget &window, const char *name)
{
    T *widget = window.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

inline void fillForm(Tablesmith &window, int port, const QString &user, const QString &password,
                     const QString &schema)
{
    child<QLineEdit>(window, "serverAddress")->setText(QStringLiteral("127.0.0.1"));
    child<QLineEdit>(window, "schema")->setText(schema);
    child<QLineEdit>(window, "userName")->setText(user);
    child<QLineEdit>(window, "password")->setText(password);
    child<QLineEdit>(window, "port")->setText(QString::number(port));
}

inline void click(Tablesmith &window, const char *button)
{
    QTest::mouseClick(child<QPushButton>(window, button), Qt::LeftButton);
}

inline QStringList logLines(const Tablesmith &window)
{
    return lines(child<QPlainTextEdit>(window, "textLog")->toPlainText());
}

} // namespace Robustness
