#include "generatortestsupport.h"

#include "generators/daogen.h"
#include "generators/editorgen.h"
#include "generators/modelgen.h"
#include "generators/objectgen.h"
#include "generators/outputtree.h"

#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace GeneratorTest;

// Generates the entity, DAO, model and editor classes of a schema that follows the naming
// the generated code relies on (foreign-key columns named id + referenced
// table) and compiles them, with their moc output, against the framework
// stand-in in tests/framework using the project's own compiler.
//
// The compiler and Qt's paths may be handed in at build time
// (TABLESMITH_CXX_COMPILER, TABLESMITH_QT_HEADERS, TABLESMITH_MOC); otherwise
// they are taken from the build's CMake cache and from QLibraryInfo.
class tst_GeneratedCompile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void brokenCodeIsRejected();
    void generatedCodeCompiles();

private:
    struct Job
    {
        QString program;
        QStringList arguments;
        QString what;
    };

    QStringList compileArguments(const QString &source) const;
    // Runs the jobs two at a time; returns one report per failed job.
    QStringList run(const QList<Job> &jobs) const;

    QString m_compiler;
    QString m_moc;
    QString m_qtHeaders;
    QString m_framework;
};

void tst_GeneratedCompile::initTestCase()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");

#ifdef TABLESMITH_CXX_COMPILER
    m_compiler = QStringLiteral(TABLESMITH_CXX_COMPILER);
#else
    const QString cache = readFile(QString::fromLocal8Bit(qgetenv("TABLESMITH_BINARY_DIR"))
                                   + QStringLiteral("/CMakeCache.txt"));
    const QRegularExpressionMatch compiler =
            QRegularExpression(QStringLiteral("^CMAKE_CXX_COMPILER:[A-Z]+=(.+)$"),
                               QRegularExpression::MultilineOption)
                    .match(cache);
    m_compiler = compiler.hasMatch() ? compiler.captured(1).trimmed() : QStringLiteral("c++");
#endif
#ifdef TABLESMITH_QT_HEADERS
    m_qtHeaders = QStringLiteral(TABLESMITH_QT_HEADERS);
#else
    m_qtHeaders = QLibraryInfo::path(QLibraryInfo::HeadersPath);
#endif
#ifdef TABLESMITH_MOC
    m_moc = QStringLiteral(TABLESMITH_MOC);
#else
    m_moc = QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + QStringLiteral("/moc");
#endif
    m_framework = sourceDir() + QStringLiteral("/tests/framework");

    QVERIFY2(QFileInfo(m_moc).isExecutable(), qPrintable(m_moc));
    QVERIFY2(QFileInfo::exists(m_qtHeaders + QStringLiteral("/QtCore/QObject")), qPrintable(m_qtHeaders));
    QVERIFY2(QFileInfo::exists(m_framework + QStringLiteral("/data/objectbase.h")), qPrintable(m_framework));
    qInfo("compiler %s, moc %s, Qt headers %s", qPrintable(m_compiler), qPrintable(m_moc),
          qPrintable(m_qtHeaders));
}

QStringList tst_GeneratedCompile::compileArguments(const QString &source) const
{
    QStringList arguments{QStringLiteral("-std=c++17"), QStringLiteral("-fPIC"),
                          QStringLiteral("-Werror=return-type"), QStringLiteral("-c")};
    arguments << QStringLiteral("-I") + m_framework << QStringLiteral("-I") + m_qtHeaders;
    for (const char *module : {"QtCore", "QtGui", "QtWidgets", "QtSql"})
        arguments << QStringLiteral("-I") + m_qtHeaders + QLatin1Char('/') + QLatin1String(module);
    arguments << source << QStringLiteral("-o") << source + QStringLiteral(".o");
    return arguments;
}

QStringList tst_GeneratedCompile::run(const QList<Job> &jobs) const
{
    QStringList failures;
    const auto finish = [&failures](QProcess *process, const Job &job) {
        process->waitForFinished(-1);
        if (process->error() == QProcess::FailedToStart
            || process->exitStatus() != QProcess::NormalExit || process->exitCode() != 0) {
            failures.append(QStringLiteral("%1 failed (%2):\n%3")
                                    .arg(job.what, process->errorString(),
                                         QString::fromLocal8Bit(process->readAll())));
        }
        delete process;
    };

    QList<QPair<QProcess *, Job>> running;
    for (const Job &job : jobs) {
        if (running.size() == 2) {
            const auto first = running.takeFirst();
            finish(first.first, first.second);
        }
        auto *process = new QProcess;
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start(job.program, job.arguments);
        running.append({process, job});
    }
    for (const auto &entry : std::as_const(running))
        finish(entry.first, entry.second);
    return failures;
}

void tst_GeneratedCompile::brokenCodeIsRejected()
{
    // The harness must be able to fail: a call the stand-in does not offer.
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QString source = directory.path() + QStringLiteral("/broken.cpp");
    QFile file(source);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#include <data/objectbase.h>\n"
               "namespace crud {\n"
               "void f(ObjectBase *object) { object->setNothing(1); }\n"
               "}\n");
    file.close();

    const QStringList failures = run({{m_compiler, compileArguments(source), QStringLiteral("broken")}});
    QCOMPARE(failures.size(), 1);
    QVERIFY2(failures.first().contains(QStringLiteral("setNothing")), qPrintable(failures.first()));
}

void tst_GeneratedCompile::generatedCodeCompiles()
{
    CodeModel model(QStringLiteral("gen_compile"));
    QVERIFY(model.isLoaded());
    const QList<TableObject *> &tables = model.generator()->tableObjects();
    QCOMPARE(tables.size(), 5);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("code/C++/object")));
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("code/C++/dao")));
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("code/C++/model")));
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("code/C++/editors")));
    OutputTree tree(root.path());
    QStringList writeFailures;
    tree.setFailureHandler([&writeFailures](const QString &line) { writeFailures.append(line); });

    for (TableObject *table : tables) {
        ObjectGen object(table, model.generator());
        object.setOutputTree(&tree);
        object.generateHeader();
        object.generateSource();
        DAOGen dao(table, model.generator());
        dao.setOutputTree(&tree);
        dao.generateHeader();
        dao.generateSource();
        ModelGen tableModel(table, model.generator());
        tableModel.setOutputTree(&tree);
        tableModel.generateHeader();
        tableModel.generateSource();
        EditorGen editor(table, model.generator());
        editor.setOutputTree(&tree);
        editor.generateHeader();
        editor.generateSource();
    }
    QCOMPARE(writeFailures, QStringList());

    QStringList headers;
    QStringList sources;
    for (const QString &directory : {QStringLiteral("object"), QStringLiteral("dao"), QStringLiteral("model"),
                                     QStringLiteral("editors")}) {
        const QDir dir(root.path() + QStringLiteral("/code/C++/") + directory);
        for (const QString &name : dir.entryList({QStringLiteral("*.h")}, QDir::Files))
            headers.append(dir.filePath(name));
        for (const QString &name : dir.entryList({QStringLiteral("*.cpp")}, QDir::Files))
            sources.append(dir.filePath(name));
    }
    QCOMPARE(headers.size(), 4 * 5);
    QCOMPARE(sources.size(), 4 * 5);

    // moc's output goes beside its header, which it includes by name; all of
    // it is compiled in one unit, as CMake's automoc does.
    QList<Job> mocJobs;
    QByteArray mocCompilation;
    for (const QString &header : std::as_const(headers)) {
        const QFileInfo info(header);
        const QString output = info.absolutePath() + QStringLiteral("/moc_") + info.completeBaseName()
                + QStringLiteral(".cpp");
        mocJobs.append({m_moc, {header, QStringLiteral("-o"), output},
                        QStringLiteral("moc ") + info.fileName()});
        mocCompilation += "#include \"" + output.toLocal8Bit() + "\"\n";
    }
    QStringList failures = run(mocJobs);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
    const QString mocSource = root.path() + QStringLiteral("/mocs_compilation.cpp");
    QFile mocFile(mocSource);
    QVERIFY(mocFile.open(QIODevice::WriteOnly));
    mocFile.write(mocCompilation);
    mocFile.close();
    sources.append(mocSource);

    QList<Job> compileJobs;
    for (const QString &source : std::as_const(sources)) {
        compileJobs.append({m_compiler, compileArguments(source),
                            QStringLiteral("compiling ") + QDir(root.path()).relativeFilePath(source)});
    }
    failures = run(compileJobs);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
    for (const QString &source : std::as_const(sources))
        QVERIFY2(QFileInfo::exists(source + QStringLiteral(".o")), qPrintable(source));
}

QTEST_GUILESS_MAIN(tst_GeneratedCompile)
#include "tst_generatedcompile.moc"
