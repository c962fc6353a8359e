#include "app/generationrun.h"

#include "app/directorytree.h"
#include "app/mysqlconnection.h"
#include "codemodel/conventionreport.h"
#include "codemodel/fieldlists.h"
#include "codemodel/generator.h"
#include "codemodel/tableobject.h"
#include "generators/daogen.h"
#include "generators/editorgen.h"
#include "generators/genfunctions.h"
#include "generators/modelgen.h"
#include "generators/objectgen.h"
#include "generators/outputtree.h"
#include "generators/scaffoldgen.h"
#include "mysql/diagnostics.h"
#include "mysql/schemacatalog.h"
#include "mysql/table.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <csignal>

#include <sys/stat.h>

namespace {

// Creates one generator, writes both of its files and logs its line.
template<typename Gen>
void generate(TableObject *table, Generator *parent, const OutputTree &tree,
              const mysql::LogSink &log, const QString &line)
{
    auto *generator = new Gen(table, parent);
    generator->setOutputTree(&tree);
    generator->generateHeader();
    generator->generateSource();
    log(line.arg(table->table()->name()));
}

} // namespace

GenerationRun::GenerationRun(const QString &root, mysql::LogSink log, mysql::LogSink errors)
    : m_root(root)
    , m_log(std::move(log))
    , m_errors(errors ? std::move(errors) : m_log)
{
}

bool GenerationRun::run(const QString &schema, const QStringList &chosenTables)
{
    QElapsedTimer clock;
    clock.start();
    m_failures = 0;
    m_queryErrors = 0;
    m_fieldTypeErrors = 0;
    m_writtenFiles = 0;
    m_checkedFiles = 0;
    m_stoppedBeforeFiles = false;
    m_outcome = Outcome::Completed;
    m_differences.clear();
    m_generatedTexts.clear();
    m_timings = Timings();
    const bool completed = runSteps(schema, chosenTables);
    m_elapsed = clock.elapsed();
    return completed;
}

void GenerationRun::generateTable(TableObject *table, Generator *generator, const OutputTree &tree,
                                  const Switches &switches, const mysql::LogSink &log)
{
    if (switches.dao)
        generate<DAOGen>(table, generator, tree, log, QStringLiteral("Generating DAO class for table: %1"));
    if (switches.object)
        generate<ObjectGen>(table, generator, tree, log, QStringLiteral("Generating Object class for table: %1"));
    if (switches.model)
        generate<ModelGen>(table, generator, tree, log, QStringLiteral("Generating Model class for table: %1"));
    if (switches.editor)
        generate<EditorGen>(table, generator, tree, log, QStringLiteral("Generating Editor class for table: %1"));
}

bool GenerationRun::runSteps(const QString &schema, const QStringList &chosenTables)
{
    const int queryErrorsBefore = mysql::queryErrorCount();
    QElapsedTimer clock;
    clock.start();
    const auto lap = [&clock] { return clock.restart(); };

    m_log(QStringLiteral("Output folder: %1").arg(QDir::toNativeSeparators(m_root))
          + (m_outputFolderNote.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(m_outputFolderNote)));
    bool foreignAllowed = false;
    if (m_mode == Mode::Write) {
        QString error;
        if (!createDirectoryPath(m_root, &error)) {
            ++m_failures;
            m_errors(QStringLiteral("Cannot create the output folder %1 (%2): nothing was written.").arg(m_root, error));
            return false;
        }
        removeLeftovers();
        if (!oldTreeMayGo(&foreignAllowed)) {
            m_outcome = Outcome::Refused;
            return false;
        }
    }
    const QSet<QString> chosen(chosenTables.cbegin(), chosenTables.cend());
    m_timings.outputTree = lap();

    mysql::Database database(schema, m_log, nullptr);
    if (m_interrupted)
        database.setStopCheck(m_interrupted);
    mysql::SchemaCatalog catalog(&database);
    const bool schemaWide = m_reader == CatalogReader::SchemaWide;
    if (schemaWide)
        catalog.loadTables();
    else
        database.loadTables();
    m_timings.tables = lap();
    if (schemaWide)
        catalog.createKeys();
    else
        database.createKeys();
    m_timings.keys = lap();
    database.createRelationships();
    m_timings.relationships = lap();
    // What fails from here on is the code model's reading of field types.
    const int queryErrorsAfterCatalog = mysql::queryErrorCount();
    const QString lastCatalogError = mysql::lastQueryError();

    OutputTree tree(m_root);
    tree.setFailureHandler(m_errors);
    tree.setInMemory(m_mode == Mode::Check);
    QString staging;
    const auto interrupted = [&] {
        if (!m_interrupted || !m_interrupted())
            return false;
        if (!staging.isEmpty())
            removeDirectoryTree(staging);
        m_outcome = Outcome::Interrupted;
        return true;
    };
    // A schema read only in part must not become a code model.
    if (interrupted())
        return false;
    {
        Generator generator(&database, nullptr);
        // With the schema-wide reader the field types, too, come in a few
        // queries rather than one per table.
        FieldLists fieldLists;
        if (schemaWide) {
            QStringList names;
            for (const mysql::Table *table : database.tables())
                names.append(table->name());
            fieldLists.read(QSqlDatabase::database(schemaConnectionName(), true), names);
            generator.setFieldLists(&fieldLists);
        }
        generator.createTableObjects();
        generator.createRelations();
        QList<TableObject *> chosenObjects;
        for (TableObject *table : generator.tableObjects()) {
            if (chosen.contains(table->table()->name()))
                chosenObjects.append(table);
        }
        for (const QString &note : conventionNotes(chosenObjects, m_switches.object))
            m_errors(note);
        if (m_codeModelHook && !m_codeModelHook(generator, chosenObjects)) {
            ++m_failures;
            m_stoppedBeforeFiles = true;
            return false;
        }
        m_timings.codeModel = lap();

        if (m_mode == Mode::Write) {
            staging = createStaging();
            tree.setCodeDirectory(staging);
            if (m_keepUnchanged)
                tree.setPreviousCode(code());
        }
        const bool canWrite = m_mode == Mode::Check || !staging.isEmpty();
        for (TableObject *table : std::as_const(chosenObjects)) {
            if (!canWrite)
                continue;
            if (interrupted())
                return false;
            generateTable(table, &generator, tree, m_switches, m_log);
        }
        if (m_application && canWrite && !interrupted()) {
            if (!staging.isEmpty())
                QDir(staging).mkpath(QStringLiteral("C++/app/tables"));
            ScaffoldGen(chosenObjects, {m_switches.dao, m_switches.object, m_switches.model, m_switches.editor})
                    .write(tree);
            m_log(QStringLiteral("Generating the application scaffold: code/C++/CMakeLists.txt, code/C++/app"));
        }
        m_timings.files = lap();
    } // the code model goes before the schema it points into
    m_failures += tree.failureCount();
    if (m_mode == Mode::Check) {
        m_checkedFiles = int(tree.texts().size());
        m_generatedTexts = tree.texts();
        compareWithDisk(tree.texts());
    } else if (interrupted()) {
        return false;
    } else if (tree.writeErrorCount() > 0) {
        // A tree with gaps must not replace a whole one.
        removeDirectoryTree(staging);
        m_errors(QStringLiteral("The new output tree is incomplete: %1 was left as it was.").arg(code()));
    } else if (!foreignAllowed && !oldTreeMayGo(&foreignAllowed)) {
        // Something was put into the old tree while the run went on.
        removeDirectoryTree(staging);
        m_outcome = Outcome::Refused;
        return false;
    } else {
        putInPlace(staging);
    }

    reportReadErrors(queryErrorsBefore, queryErrorsAfterCatalog, lastCatalogError);
    return m_failures == 0;
}

void GenerationRun::reportReadErrors(int queryErrorsBefore, int queryErrorsAfterCatalog, const QString &lastCatalogError)
{
    m_queryErrors = queryErrorsAfterCatalog - queryErrorsBefore;
    m_fieldTypeErrors = mysql::queryErrorCount() - queryErrorsAfterCatalog;
    // The reader reports failed queries only to the debug output; the user
    // must not take a partly read schema for a complete one.
    QStringList failed;
    if (m_queryErrors > 0)
        failed.append(QStringLiteral("%1 catalogue queries failed, the last with \"%2\"")
                              .arg(QString::number(m_queryErrors), lastCatalogError));
    if (m_fieldTypeErrors > 0)
        failed.append(QStringLiteral("the field types of %1 could not be read, the last with \"%2\"")
                              .arg(m_fieldTypeErrors == 1 ? QStringLiteral("1 table")
                                                          : QStringLiteral("%1 tables").arg(m_fieldTypeErrors),
                                   mysql::lastQueryError()));
    if (!failed.isEmpty())
        m_errors(QStringLiteral("Reading the schema failed: %1; the generated code may be incomplete")
                         .arg(failed.join(QLatin1String(", and "))));
}

int GenerationRun::problemCount() const
{
    return m_failures + m_queryErrors + m_fieldTypeErrors + (m_outcome == Outcome::Refused ? 1 : 0);
}

QString GenerationRun::closingLine() const
{
    const QString time = m_elapsed < 1000 ? QStringLiteral("%1 ms").arg(m_elapsed)
                                          : QStringLiteral("%1 s").arg(double(m_elapsed) / 1000.0, 0, 'f', 1);
    const int problems = problemCount();
    const QString head = problems == 0 ? QStringLiteral("Finished in %1").arg(time)
                                       : QStringLiteral("Finished in %1 with %2").arg(
                                                 time, problems == 1 ? QStringLiteral("1 problem")
                                                                     : QStringLiteral("%1 problems").arg(problems));
    const auto files = [](qsizetype count) {
        return count == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(count);
    };
    if (m_mode == Mode::Check && m_stoppedBeforeFiles)
        return QStringLiteral("%1: nothing was checked against %2.").arg(head, code());
    if (m_mode == Mode::Check) {
        return QStringLiteral("%1: %2 checked against %3, %4.")
                .arg(head, files(m_checkedFiles), code(),
                     m_differences.isEmpty() ? QStringLiteral("no differences")
                                             : QStringLiteral("%1 differ").arg(m_differences.size()));
    }
    if (m_writtenFiles == 0 && problems > 0)
        return QStringLiteral("%1: nothing was written to %2.").arg(head, code());
    return QStringLiteral("%1: %2 written to %3.").arg(head, files(m_writtenFiles), code());
}

bool GenerationRun::oldTreeMayGo(bool *foreignAllowed)
{
    int count = 0;
    const QStringList foreign = foreignEntries(code(), foreignPathsShown, &count);
    if (foreign.isEmpty())
        return true;
    m_errors(QStringLiteral("The output tree %1 holds %2 that Tablesmith did not write:")
                     .arg(code(), count == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(count)));
    for (const QString &path : foreign)
        m_errors(QStringLiteral("  ") + path);
    if (count > foreign.size())
        m_errors(QStringLiteral("  and %1 more").arg(count - foreign.size()));
    *foreignAllowed = m_foreignEntriesHandler && m_foreignEntriesHandler(foreign, count);
    if (!*foreignAllowed)
        m_errors(QStringLiteral("Nothing was removed or written."));
    return *foreignAllowed;
}

void GenerationRun::removeLeftovers() const
{
    // Folders of runs that were killed before they could clean up, or whose
    // old tree could not be removed; a run of another process that is still
    // going keeps its own.
    static const QRegularExpression leftover(QStringLiteral("^\\.tablesmith-(\\d+)-"));
    const QFileInfoList entries = QDir(m_root).entryInfoList({QStringLiteral(".tablesmith-*")},
                                                             QDir::AllEntries | QDir::Hidden | QDir::System);
    for (const QFileInfo &entry : entries) {
        const QRegularExpressionMatch match = leftover.match(entry.fileName());
        if (!match.hasMatch())
            continue;
        const pid_t owner = pid_t(match.captured(1).toLongLong());
        if (owner == QCoreApplication::applicationPid() || (::kill(owner, 0) != 0 && errno == ESRCH))
            removeDirectoryTree(entry.filePath());
    }
}

QString GenerationRun::createStaging()
{
    // Beside "code", on the same file system, so that it can take code's
    // place in one step; with the old code's permissions, or the usual ones.
    QString path;
    QString error;
    for (int attempt = 0; attempt < 100 && path.isEmpty() && error.isEmpty(); ++attempt) {
        const QString candidate = QStringLiteral("%1/.tablesmith-%2-%3")
                                          .arg(m_root, QString::number(QCoreApplication::applicationPid()),
                                               QString::number(QRandomGenerator::global()->generate(), 36));
        if (::mkdir(QFile::encodeName(candidate).constData(), 0777) == 0)
            path = candidate;
        else if (errno != EEXIST)
            error = QString::fromLocal8Bit(std::strerror(errno));
    }
    const QFileInfo old(code());
    if (!path.isEmpty() && old.isDir() && !old.isSymLink())
        QFile::setPermissions(path, old.permissions());
    for (const QString &folder : generatedFolders()) {
        if (!path.isEmpty() && !QDir(path).mkpath(QStringLiteral("C++/") + folder)) {
            error = QStringLiteral("cannot create C++/%1 in it").arg(folder);
            removeDirectoryTree(path);
            path.clear();
        }
    }
    if (path.isEmpty()) {
        ++m_failures;
        m_errors(QStringLiteral("Cannot create the new output tree beside %1 (%2): nothing was written.")
                         .arg(code(), error.isEmpty() ? QStringLiteral("no free name") : error));
    } else if (m_stagingObserver) {
        m_stagingObserver(path);
    }
    return path;
}

void GenerationRun::putInPlace(const QString &staging)
{
    // Without a new tree the old one stays as it is.
    if (staging.isEmpty())
        return;
    int files = 0;
    QDirIterator it(staging, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++files;
    }
    QString oldTree;
    QString error;
    if (!replacePath(staging, code(), &oldTree, &error)) {
        ++m_failures;
        m_errors(QStringLiteral("Cannot put the new output tree in place of %1: %2").arg(code(), error));
        removeDirectoryTree(staging);
        return;
    }
    m_writtenFiles = files;
    QString failedPath;
    if (!oldTree.isEmpty() && !removeDirectoryTree(oldTree, &failedPath)) {
        ++m_failures;
        m_errors(QStringLiteral("Cannot remove the old output tree completely: %1").arg(failedPath));
    }
}

void GenerationRun::compareWithDisk(const QMap<QString, QString> &texts)
{
    QSet<QString> onDisk;
    QDirIterator it(code(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        onDisk.insert(QDir(m_root).relativeFilePath(it.next()));
    for (auto text = texts.cbegin(); text != texts.cend(); ++text) {
        QFile file(m_root + QLatin1Char('/') + text.key());
        if (!onDisk.contains(text.key()))
            m_differences.append(QStringLiteral("new: ") + text.key());
        else if (!file.open(QIODevice::ReadOnly)
                 || GenFunctions::withoutBannerDate(QString::fromUtf8(file.readAll()))
                         != GenFunctions::withoutBannerDate(text.value()))
            m_differences.append(QStringLiteral("changed: ") + text.key());
    }
    QStringList stale;
    for (const QString &path : std::as_const(onDisk)) {
        if (!texts.contains(path))
            stale.append(QStringLiteral("stale: ") + path);
    }
    stale.sort();
    m_differences += stale;
}
