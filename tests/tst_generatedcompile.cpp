// The code tablesmith-cli writes for a schema that follows the naming the
// generated code relies on compiles, with its moc output, against the
// stand-in of the target framework (tests/compile builds it with CMake).

#include "support.h"

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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
    // CMake's output goes to the test's log.
    const QString build = dir.filePath(QStringLiteral("build"));
    const auto cmake = [](const QStringList &arguments) { return QProcess::execute(QStringLiteral(TABLESMITH_CMAKE), arguments); };
    QCOMPARE(cmake({QStringLiteral("-S"), qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/tests/compile"),
                    QStringLiteral("-B"), build, QStringLiteral("-DCMAKE_CXX_COMPILER=" TABLESMITH_CXX_COMPILER),
                    QStringLiteral("-DGENERATED_DIR=") + dir.filePath(QStringLiteral("code/C++"))}),
             0);
    QVERIFY2(cmake({QStringLiteral("--build"), build, QStringLiteral("--target"), QStringLiteral("broken")}) != 0,
             "a file that calls what the stand-in does not have compiled");
    QCOMPARE(cmake({QStringLiteral("--build"), build, QStringLiteral("-j2")}), 0);
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
