// Generating again over an existing tree: what the tool did not write goes
// only with the user's consent, --check compares without writing,
// --keep-unchanged keeps the files whose text did not change, and a run
// killed or interrupted at any point leaves the old tree or the new one.

#include "support.h"

#include "generators/outputtree.h"

#include <QSqlQuery>
#include <QtTest>

#include <csignal>

#include <sys/stat.h>

namespace {

QMap<QString, qint64> modificationTimes(const QString &root)
{
    QMap<QString, qint64> times;
    QDirIterator it(root + QStringLiteral("/code"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        times.insert(QDir(root).relativeFilePath(path), it.fileInfo().lastModified().toMSecsSinceEpoch());
    }
    return times;
}

CliResult generate(const QString &root, const QStringList &options = {})
{
    return runCli(serverArguments(QStringLiteral("scratch_regen")) + options + QStringList{QStringLiteral("-o"), root});
}

// Files below `root` with a second name: a tree that shares its files with
// another one.
QStringList hardLinked(const QString &root)
{
    QStringList shared;
    struct stat status;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories); it.hasNext();) {
        if (::lstat(QFile::encodeName(it.next()).constData(), &status) == 0 && status.st_nlink > 1)
            shared.append(it.filePath());
    }
    return shared;
}

} // namespace

class TestRegenerate : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        QFile::remove(windowRoot() + QStringLiteral("/code")); // a link
        QDir(windowRoot() + QStringLiteral("/code")).removeRecursively();
    }
    void foreignEntries_data();
    void foreignEntries();
    void check_data();
    void check();
    void killedOrInterrupted();
    void safetyBranches_data();
    void safetyBranches();
    void outputTreeRefuses_data();
    void outputTreeRefuses();
};

// The last guard of the output tree, behind the code model's own file names:
// a second file of one path in a run, or a name that would lead out of its
// folder, is refused with its reason, counted, and nothing else is touched.
void TestRegenerate::outputTreeRefuses_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("reason");
    QTest::newRow("written twice") << "first.h" << "another table's file of the same name was written in this run";
    QTest::newRow("separator") << "../first.h" << "the file name holds a path separator";
    QTest::newRow("backslash") << "a\\b.h" << "the file name holds a path separator";
    QTest::newRow("dot dot") << ".." << "the file name is not a plain name";
}

void TestRegenerate::outputTreeRefuses()
{
    QFETCH(QString, fileName);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    OutputTree tree(dir.path());
    QStringList failures;
    tree.setFailureHandler([&failures](const QString &line) { failures.append(line); });
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("code/dao"))));
    QVERIFY(tree.writeFile(QStringLiteral("code/dao"), QStringLiteral("first.h"), QStringLiteral("first")));
    QVERIFY(!tree.writeFile(QStringLiteral("code/dao"), fileName, QStringLiteral("second")));
    QCOMPARE(failures, QStringList(QStringLiteral("Cannot write file: %1/code/dao/%2 (%3)").arg(dir.path(), fileName, reason)));
    QCOMPARE(tree.failureCount(), 1);
    QCOMPARE(readText(dir.filePath(QStringLiteral("code/dao/first.h"))), QStringLiteral("first"));
    QCOMPARE(QDir(dir.filePath(QStringLiteral("code"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"dao"});
}

void TestRegenerate::foreignEntries_data()
{
    QTest::addColumn<QString>("entry"); // below code
    QTest::addColumn<QString>("how"); // on the command line, or the window's answer
    for (const char *entry : {"C++/dao/notes.txt", "important", "C++/model/linked", ""})
        for (const char *how : {"command line", "--force", "Remove them", "Cancel"})
            QTest::addRow("%s, %s", entry, how) << entry << how;
}

void TestRegenerate::foreignEntries()
{
    QFETCH(QString, entry);
    QFETCH(QString, how);
    const bool removed = how == QLatin1String("--force") || how == QLatin1String("Remove them");
    const bool window = how == QLatin1String("Remove them") || how == QLatin1String("Cancel");
    QTemporaryDir dir, outside;
    const QString root = window ? windowRoot() : dir.path();
    const QStringList arguments = serverArguments(QStringLiteral("shop_b")) + QStringList{"-o", root};
    QCOMPARE(runCli(arguments).exitCode, 0);
    const QString clean = describeTree(root);
    // A user's file, a folder of the user's, a link to somewhere else, or
    // code itself a link.
    const QString path = root + QStringLiteral("/code") + (entry.isEmpty() ? QString() : QLatin1Char('/') + entry);
    writeText(outside.filePath(QStringLiteral("precious.txt")), "keep me\n");
    if (entry.isEmpty())
        QDir(path).removeRecursively();
    if (entry.endsWith(QLatin1String("linked")) || entry.isEmpty())
        QFile::link(outside.path(), path);
    else if (entry.endsWith(QLatin1String(".txt")))
        writeText(path, "my notes\n");
    else
        QVERIFY(QDir().mkpath(path + QStringLiteral("/sub")));
    const QString before = describeTree(root);

    QString said;
    if (window) {
        Tablesmith window;
        fillForm(window, QStringLiteral("shop_b"));
        click(window, "btConnect");
        click(window, "btSelectAll");
        answerNextDialog(how);
        click(window, "btGenerate");
        said = logLines(window).join(QLatin1Char('\n'));
    } else {
        const CliResult result = runCli(arguments + QStringList{removed ? "--force" : "-v"});
        QVERIFY2(result.exitCode == (removed ? 0 : 1), qPrintable(result.describe()));
        said = result.out + result.err;
    }
    QVERIFY2(said.contains(QStringLiteral("\n  ") + path + QLatin1Char('\n')), qPrintable(said));
    QCOMPARE(describeTree(root), removed ? clean : before);
    QCOMPARE(readText(outside.filePath(QStringLiteral("precious.txt"))), QStringLiteral("keep me\n"));
}

void TestRegenerate::check_data()
{
    QTest::addColumn<QString>("change"); // SQL, or a file to edit by hand
    QTest::addColumn<QStringList>("differences");
    QTest::newRow("added column") << "ALTER TABLE a ADD COLUMN extra INT"
                                  << QStringList{"changed: code/C++/dao/adao.cpp", "changed: code/C++/editors/aeditor.cpp",
                                                 "changed: code/C++/model/amodel.cpp", "changed: code/C++/model/amodel.h",
                                                 "changed: code/C++/object/a.cpp", "changed: code/C++/object/a.h"};
    QTest::newRow("dropped table") << "DROP TABLE b"
                                   << QStringList{"stale: code/C++/dao/bdao.cpp", "stale: code/C++/dao/bdao.h",
                                                  "stale: code/C++/editors/beditor.cpp", "stale: code/C++/editors/beditor.h",
                                                  "stale: code/C++/model/bmodel.cpp", "stale: code/C++/model/bmodel.h",
                                                  "stale: code/C++/object/b.cpp", "stale: code/C++/object/b.h"};
    QTest::newRow("new table") << "CREATE TABLE c (id INT PRIMARY KEY)"
                               << QStringList{"new: code/C++/dao/cdao.cpp", "new: code/C++/dao/cdao.h",
                                              "new: code/C++/editors/ceditor.cpp", "new: code/C++/editors/ceditor.h",
                                              "new: code/C++/model/cmodel.cpp", "new: code/C++/model/cmodel.h",
                                              "new: code/C++/object/c.cpp", "new: code/C++/object/c.h"};
    QTest::newRow("hand edit") << "code/C++/object/b.h" << QStringList{"changed: code/C++/object/b.h"};
    // A file or folder of the user's own is no stale file: Generate refuses.
    QTest::newRow("a user's file") << "code/C++/dao/notes.txt" << QStringList{"not Tablesmith's: code/C++/dao/notes.txt"};
    QTest::newRow("a user's folder") << "code/C++/mine/notes.txt" << QStringList{"not Tablesmith's: code/C++/mine"};
}

void TestRegenerate::check()
{
    QFETCH(QString, change);
    QFETCH(QStringList, differences);
    QVERIFY(TestServer::openConnections(QString()));
    QSqlQuery sql(QSqlDatabase::database(QStringLiteral("Connection")));
    for (const char *statement : {"DROP DATABASE IF EXISTS scratch_regen", "CREATE DATABASE scratch_regen",
                                  "CREATE TABLE scratch_regen.a (id INT PRIMARY KEY, name VARCHAR(20))",
                                  "CREATE TABLE scratch_regen.b (id INT PRIMARY KEY, qty INT)", "USE scratch_regen"})
        QVERIFY2(sql.exec(QLatin1String(statement)), statement);
    QTemporaryDir root;
    QCOMPARE(generate(root.path()).exitCode, 0);
    // As if the tree had been written long ago: the banner's date differs.
    static const QRegularExpression date(QStringLiteral("(Generated by Tablesmith on )[^\n]+"));
    for (const QString &file : modificationTimes(root.path()).keys())
        writeText(root.filePath(file), readText(root.filePath(file)).replace(date, "\\101/01/2000 00:00:00").toUtf8());
    if (change.startsWith(QLatin1String("code/"))) {
        QVERIFY(QDir(root.path()).mkpath(QFileInfo(change).path()));
        writeText(root.filePath(change), readText(root.filePath(change)).toUtf8() + "// mine\n");
    }
    else if (!change.isEmpty())
        QVERIFY(sql.exec(change));
    const QString tree = describeTree(root.path());
    const QMap<QString, qint64> times = modificationTimes(root.path());

    // Writes nothing, lists every difference, and says so in its status.
    const CliResult checked = generate(root.path(), {QStringLiteral("--check")});
    QCOMPARE(checked.exitCode, 1);
    QCOMPARE(checked.out.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^(new|changed|stale|not Tablesmith's): "))),
             differences);
    QCOMPARE(describeTree(root.path()), tree);
    QCOMPARE(modificationTimes(root.path()), times);
    if (differences.value(0).startsWith(QLatin1String("not Tablesmith's: "))) {
        // And so it does.
        const CliResult refused = generate(root.path());
        QVERIFY2(refused.exitCode == 1 && refused.err.contains("holds files Tablesmith did not write"),
                 qPrintable(refused.describe()));
        QCOMPARE(describeTree(root.path()), tree);
        QVERIFY(sql.exec(QStringLiteral("DROP DATABASE scratch_regen")));
        return;
    }

    // Afterwards only what differed has a new time, and the tree is up to date.
    QCOMPARE(generate(root.path(), {QStringLiteral("--keep-unchanged")}).exitCode, 0);
    const QMap<QString, qint64> after = modificationTimes(root.path());
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        QVERIFY2((times.value(it.key()) == it.value()) == !differences.join(QLatin1Char('\n')).contains(it.key()),
                 qPrintable(it.key()));
    QCOMPARE(generate(root.path(), {QStringLiteral("--check")}).exitCode, 0);
    QVERIFY(sql.exec(QStringLiteral("DROP DATABASE scratch_regen")));
}

void TestRegenerate::killedOrInterrupted()
{
    QTemporaryDir dir;
    const QStringList arguments = serverArguments(QStringLiteral("big_chain")) + QStringList{QStringLiteral("-o"), dir.path()};
    // The old tree holds the DAO classes only, the new one all four kinds.
    const auto writeOldTree = [&] { return runCli(arguments + QStringList{QStringLiteral("--only=dao")}).exitCode == 0; };
    QVERIFY(writeOldTree());
    const QString oldTree = describeTree(dir.path());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(runCli(arguments).exitCode, 0);
    const qint64 runTime = clock.elapsed();
    const QString newTree = describeTree(dir.path());
    QVERIFY(writeOldTree());

    // Killed at points spread over a whole run (the last ones after its
    // end), it leaves one tree or the other, whole.
    for (int point = 1; point <= 8; ++point) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(qEnvironmentVariable("TABLESMITH_CLI"), arguments);
        QThread::msleep(runTime * point / 7);
        process.kill();
        process.waitForFinished();
        const QString tree = describeTree(dir.path());
        QVERIFY2(tree == oldTree || tree == newTree, qPrintable(QStringLiteral("killed after %1 ms").arg(runTime * point / 7)));
        qInfo("killed after %lld ms: %s tree", runTime * point / 7, tree == newTree ? "new" : "old");
        if (tree == newTree)
            QVERIFY(writeOldTree());
    }
    // Interrupted while the schema is read or while files are written, it
    // says so and leaves the old tree.
    for (const auto &[trigger, signal] : {std::pair{"Getting information", SIGINT}, {"Generating ", SIGINT},
                                          {"Generating ", SIGTERM}}) {
        const CliResult result = runCliUntil(arguments, QString::fromLatin1(trigger), 1,
                                             [signal = signal](qint64 pid) { ::kill(pid_t(pid), signal); });
        QCOMPARE(result.exitCode, 128 + signal);
        QVERIFY(result.err.contains(QStringLiteral("Interrupted: %1/code is unchanged\n").arg(dir.path())));
        QCOMPARE(describeTree(dir.path()), oldTree);
    }
    // The next run clears away what the killed ones left.
    QCOMPARE(runCli(arguments).exitCode, 0);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"code"});
}

void TestRegenerate::safetyBranches_data()
{
    // Over an old tree of DAO classes only (whose files are unchanged in the
    // new one), with the row's change made before the run or, the run frozen
    // meanwhile, during it. Exit 0: the new tree, else the old one as it was.
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says"); // on standard error; <out> the output folder
    QTest::newRow("a write fails in the new tree") << "during: a folder where a file goes" << QStringList() << 1
            << "(Is a directory)\nThe new output tree is incomplete: <out>/code was left as it was.\n";
    QTest::newRow("a user's file appears during the run") << "during: a user's file" << QStringList() << 1
            << "The output tree <out>/code holds 1 entry that Tablesmith did not write:\n  <out>/code/C++/dao/notes.txt\n"
               "Nothing was removed or written.\n";
    QTest::newRow("more than ten foreign entries") << "twelve user's files" << QStringList() << 1
            << "  <out>/code/C++/dao/note10.txt\n  and 2 more\nNothing was removed";
    QTest::newRow("code keeps its permissions") << "code mode 0750" << QStringList() << 0 << "";
    QTest::newRow("no RENAME_EXCHANGE") << "no exchange" << QStringList() << 0 << "";
    // Nothing to generate: the old tree stays, one line says why.
    QTest::newRow("every table excluded") << "every table excluded" << QStringList() << 1
            << "Nothing to generate: no table of schema \"shop_b\" is chosen; <out>/code was left as it was\n";
    // A signal after the run's last look, while the new tree is put in
    // place: still the interrupted status, and where things stand.
    QTest::newRow("late SIGTERM") << "late SIGTERM" << QStringList() << 128 + SIGTERM
            << "Interrupted: the new tree is in place in <out>/code\n";
    QTest::newRow("late SIGINT") << "late SIGINT" << QStringList() << 128 + SIGINT
            << "Interrupted: the new tree is in place in <out>/code\n";
    for (const char *change : {"a file a link", "code a link"})
        QTest::addRow("--force --keep-unchanged, %s", change) << change << QStringList{"--force", "--keep-unchanged"} << 0 << "";
}

void TestRegenerate::safetyBranches()
{
    QFETCH(QString, change);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QTemporaryDir dir, outside;
    const QString code = dir.filePath(QStringLiteral("code"));
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup;
    // A change during the run comes at its first "Generating" line, with
    // many tables still to come.
    const bool during = change.startsWith(QLatin1String("during: "));
    const QStringList arguments = serverArguments(during ? QStringLiteral("big_chain") : QStringLiteral("shop_b")) + options
            + QStringList{"-o", dir.path()};
    QCOMPARE(runCli(arguments).exitCode, 0);
    const QString newTree = describeTree(dir.path());
    QCOMPARE(runCli(arguments + QStringList{"--only=dao"}).exitCode, 0);

    CliOptions environment;
    if (change == QLatin1String("twelve user's files")) {
        for (int i = 1; i <= 12; ++i)
            writeText(code + QStringLiteral("/C++/dao/note%1.txt").arg(i, 2, 10, QLatin1Char('0')), "mine\n");
    } else if (change == QLatin1String("code mode 0750")) {
        QVERIFY(QFile::setPermissions(code, mode));
    } else if (change.startsWith(QLatin1String("late "))) {
        preloadFaultfs(&environment.environment, QStringLiteral("TABLESMITH_FAULTFS_SIGNAL_ON_EXCHANGE"),
                       QString::number(change.endsWith(QLatin1String("SIGINT")) ? SIGINT : SIGTERM));
    } else if (change == QLatin1String("no exchange")) {
        preloadFaultfs(&environment.environment, QStringLiteral("TABLESMITH_FAULTFS_NO_EXCHANGE"), QStringLiteral("1"));
    } else if (change == QLatin1String("a file a link")) {
        // The same text elsewhere: kept unchanged, it would become a link.
        QVERIFY(QDir().mkpath(outside.filePath(QStringLiteral("code"))));
        QVERIFY(QFile::rename(code + QStringLiteral("/C++/dao/stockdao.h"), outside.filePath(QStringLiteral("code/stockdao.h"))));
        QVERIFY(QFile::link(outside.filePath(QStringLiteral("code/stockdao.h")), code + QStringLiteral("/C++/dao/stockdao.h")));
    } else if (change == QLatin1String("code a link")) {
        QVERIFY(QDir().rename(code, outside.filePath(QStringLiteral("code"))));
        QVERIFY(QFile::link(outside.filePath(QStringLiteral("code")), code));
    }
    const QString before = describeTree(dir.path());
    const QString outsideBefore = describeTree(outside.path());

    const QStringList excluded{QStringLiteral("--exclude=*")};
    const CliResult result = !during ? runCli(arguments + (change == QLatin1String("every table excluded") ? excluded : QStringList()), environment)
                                     : runCliUntil(arguments, QStringLiteral("Generating DAO class for table: "), 1, [&](qint64) {
        const QString staging = QDir(dir.path()).entryList({QStringLiteral(".tablesmith-*")}, QDir::Dirs | QDir::Hidden).value(0);
        if (change.endsWith(QLatin1String("user's file")))
            writeText(code + QStringLiteral("/C++/dao/notes.txt"), "mine\n");
        else // folders in the way of the editors still to come (mkpath leaves a file written meanwhile)
            for (int table = 1; table <= 300 && !staging.isEmpty(); ++table)
                QDir().mkpath(QStringLiteral("%1/%2/C++/editors/t%3editor.cpp").arg(dir.path(), staging).arg(table, 4, 10, QLatin1Char('0')));
    });
    QVERIFY2(result.exitCode == exitCode && masked(result.err, dir.path()).contains(says), qPrintable(result.describe()));
    if (change.endsWith(QLatin1String("user's file")))
        QVERIFY(readText(code + QStringLiteral("/C++/dao/notes.txt")) == QLatin1String("mine\n")
                && QFile::remove(code + QStringLiteral("/C++/dao/notes.txt")));
    QCOMPARE(describeTree(dir.path()), exitCode == 0 || change.startsWith(QLatin1String("late ")) ? newTree : before);
    // Nothing stays beside it, nothing outside changed, and no file of the
    // new tree is another name of one elsewhere.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{"code"});
    QCOMPARE(describeTree(outside.path()), outsideBefore);
    QCOMPARE(hardLinked(dir.path()) + hardLinked(outside.path()), QStringList());
    if (change == QLatin1String("code mode 0750"))
        QCOMPARE(QFileInfo(code).permissions() & QFileDevice::Permissions(0x7077), mode);
}

QTEST_MAIN(TestRegenerate)
#include "tst_regenerate.moc"
