// The code tablesmith-cli writes for a schema that follows the naming the
// generated code relies on compiles, with its moc output, against the
// stand-in of the target framework (tests/compile builds it with CMake).

#include "support.h"

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Runs a program to its end; returns its output when it fails, or when it
// succeeds against `expectFailure`.
QString run(const QStringList &command, bool expectFailure = false)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.first(), command.mid(1));
    const bool ok = process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    const QString output = QString::fromLocal8Bit(process.readAll());
    return ok == expectFailure ? QStringLiteral("%1:\n%2").arg(command.join(QLatin1Char(' ')), output.right(6000))
                               : QString();
}

} // namespace

class TestGeneratedCompile : public QObject
{
    Q_OBJECT

private slots:
    void generatedCodeCompiles();
};

void TestGeneratedCompile::generatedCodeCompiles()
{
    QTemporaryDir dir;
    const CliResult result = runCli(serverArguments(QStringLiteral("gen_compile")) + QStringList{"-o", dir.path()});
    QVERIFY2(result.exitCode == 0, qPrintable(result.describe()));
    const QString build = dir.filePath(QStringLiteral("build"));
    QString failure = run({QStringLiteral(TABLESMITH_CMAKE), QStringLiteral("-S"),
                           qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/tests/compile"),
                           QStringLiteral("-B"), build, QStringLiteral("-DCMAKE_CXX_COMPILER=" TABLESMITH_CXX_COMPILER),
                           QStringLiteral("-DGENERATED_DIR=") + dir.filePath(QStringLiteral("code/C++"))});
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    failure = run({QStringLiteral(TABLESMITH_CMAKE), QStringLiteral("--build"), build, QStringLiteral("-j2"),
                   QStringLiteral("--target"), QStringLiteral("broken")},
                  true);
    QVERIFY2(failure.isEmpty(), qPrintable(QStringLiteral("a broken file compiled: ") + failure));
    failure = run({QStringLiteral(TABLESMITH_CMAKE), QStringLiteral("--build"), build, QStringLiteral("-j2")});
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    // Every generated source went in: 5 tables, 4 sources each, and the moc output.
    QStringList objects;
    QDirIterator it(build + QStringLiteral("/CMakeFiles/generated.dir"), {QStringLiteral("*.cpp.o")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        objects.append(it.next());
    QCOMPARE(objects.size(), 4 * 5 + 1);
}

QTEST_GUILESS_MAIN(TestGeneratedCompile)
#include "tst_generatedcompile.moc"
