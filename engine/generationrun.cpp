#include "engine/generationrun.h"

#include "engine/directorytree.h"
#include "codemodel/conventionreport.h"
#include "codemodel/generator.h"
#include "codemodel/tableobject.h"
#include "generators/daogen.h"
#include "generators/editorgen.h"
#include "generators/genfunctions.h"
#include "generators/modelgen.h"
#include "generators/objectgen.h"
#include "generators/outputtree.h"
#include "generators/scaffoldgen.h"
#include "mysql/table.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <limits>

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

GenerationRun::~GenerationRun() = default;

bool GenerationRun::run(const QString &schema, const QStringList &chosenTables)
{
    QElapsedTimer clock;
    clock.start();
    m_failures = 0;
    m_queryErrors = 0;
    m_fieldTypeErrors = 0;
    m_ruleProblems = 0;
    m_checkedFiles = 0;
    m_stoppedBeforeFiles = false;
    m_outcome = Outcome::Completed;
    m_refusal.clear();
    m_differences.clear();
    m_generatedTexts.clear();
    m_timings = Timings();
    // No table, no tree: an empty new tree would replace the old one (an
    // empty schema, every table excluded, none ticked).
    if (chosenTables.isEmpty()) {
        m_output.reset();
        m_outcome = Outcome::Refused;
        m_refusal = QStringLiteral("Nothing to generate: no table of schema \"%1\" is chosen; %2 was left as it was")
                            .arg(schema, QDir::toNativeSeparators(code()));
        m_elapsed = clock.elapsed();
        return false;
    }
    m_output = std::make_unique<OutputTransaction>(m_root, m_errors);
    m_output->setForeignEntriesHandler(m_foreignEntriesHandler);
    m_output->setStagingObserver(m_stagingObserver);
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
    QElapsedTimer clock;
    clock.start();
    m_log(outputFolderLine());
    if (m_mode == Mode::Write && !startOutput())
        return false;
    m_timings.outputTree = clock.restart();

    OutputTree tree(m_root);
    tree.setFailureHandler(m_errors);
    tree.setInMemory(m_mode == Mode::Check);
    SchemaLoader loader(schema, m_log);
    if (!readSchema(&loader))
        return false;
    clock.restart();
    QList<TableObject *> chosen;
    if (!buildCodeModel(&loader, chosenTables, &chosen))
        return false;
    m_timings.codeModel = clock.restart();
    if (!writeFiles(loader.generator(), chosen, &tree))
        return false;
    m_timings.files = clock.restart();
    m_failures += tree.failureCount();
    if (!finish(tree))
        return false;
    reportReadErrors(loader);
    return failureCount() == 0;
}

QString GenerationRun::outputFolderLine() const
{
    return QStringLiteral("Output folder: %1").arg(QDir::toNativeSeparators(m_root))
            + (m_outputFolderNote.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(m_outputFolderNote));
}

bool GenerationRun::startOutput()
{
    const OutputTransaction::Start start = m_output->start();
    if (start == OutputTransaction::Start::Refused)
        m_outcome = Outcome::Refused;
    return start == OutputTransaction::Start::Ready;
}

bool GenerationRun::readSchema(SchemaLoader *loader)
{
    loader->setCatalogReader(m_reader);
    loader->setRules(m_rules);
    if (m_interrupted)
        loader->setStopCheck(m_interrupted);
    if (m_progress)
        loader->setTableProgress([this](int read, int total) { m_progress(Stage::Tables, read, total); });
    loader->readSchema();
    m_timings.tables = loader->timings().tables;
    m_timings.keys = loader->timings().keys;
    m_timings.relationships = loader->timings().relationships;
    // A schema read only in part must not become a code model.
    return !interrupted();
}

bool GenerationRun::buildCodeModel(SchemaLoader *loader, const QStringList &chosenTables, QList<TableObject *> *chosen)
{
    const Generator *generator = loader->buildCodeModel();
    if (!loader->ruleProblems().isEmpty()) {
        for (const QString &problem : loader->ruleProblems())
            m_errors(problem);
        m_ruleProblems = int(loader->ruleProblems().size());
        m_stoppedBeforeFiles = true;
        // A table the rules miss may be one the catalogue did not give.
        reportReadErrors(*loader);
        return false;
    }
    const QSet<QString> names(chosenTables.cbegin(), chosenTables.cend());
    for (TableObject *table : generator->tableObjects()) {
        if (names.contains(table->table()->name()))
            chosen->append(table);
    }
    for (const QString &note : conventionNotes(*chosen, m_switches.object))
        m_errors(note);
    if (m_codeModelHook && !m_codeModelHook(*generator, *chosen)) {
        ++m_failures;
        m_stoppedBeforeFiles = true;
        return false;
    }
    return true;
}

bool GenerationRun::writeFiles(Generator *generator, const QList<TableObject *> &chosen, OutputTree *tree)
{
    if (m_mode == Mode::Write) {
        // Without a new tree nothing is written; the run goes on to its end
        // and says so.
        if (!m_output->createStaging())
            return true;
        tree->setCodeDirectory(m_output->staging());
        if (m_keepUnchanged)
            tree->setPreviousCode(code());
    }
    // A class is a header and a source.
    const int filesPerTable = 2 * (int(m_switches.dao) + int(m_switches.object) + int(m_switches.model)
                                   + int(m_switches.editor));
    const int total = int(chosen.size()) * filesPerTable;
    int done = 0;
    for (TableObject *table : chosen) {
        if (interrupted())
            return false;
        generateTable(table, generator, *tree, m_switches, m_log);
        done += filesPerTable;
        if (m_progress)
            m_progress(Stage::Files, done, total);
    }
    if (m_application && !interrupted()) {
        if (m_mode == Mode::Write)
            QDir(m_output->staging()).mkpath(QStringLiteral("C++/app/tables"));
        ScaffoldGen(chosen, {m_switches.dao, m_switches.object, m_switches.model, m_switches.editor}).write(*tree);
        m_log(QStringLiteral("Generating the application scaffold: code/C++/CMakeLists.txt, code/C++/app"));
    }
    return true;
}

bool GenerationRun::finish(const OutputTree &tree)
{
    if (m_mode == Mode::Check) {
        m_checkedFiles = int(tree.texts().size());
        m_generatedTexts = tree.texts();
        compareWithDisk(tree.texts());
        return true;
    }
    if (interrupted())
        return false;
    if (m_output->commit(tree.writeErrorCount()) == OutputTransaction::Commit::Refused) {
        m_outcome = Outcome::Refused;
        return false;
    }
    return true;
}

bool GenerationRun::interrupted()
{
    if (!m_interrupted || !m_interrupted())
        return false;
    m_output->drop();
    m_outcome = Outcome::Interrupted;
    return true;
}

void GenerationRun::reportReadErrors(const SchemaLoader &loader)
{
    m_queryErrors = loader.catalogErrorCount();
    m_fieldTypeErrors = loader.fieldTypeErrorCount();
    // The reader reports failed queries only to the debug output; the user
    // must not take a partly read schema for a complete one.
    QStringList failed;
    if (m_queryErrors > 0)
        failed.append(QStringLiteral("%1 catalogue queries failed, the last with \"%2\"")
                              .arg(QString::number(m_queryErrors), loader.lastCatalogError()));
    if (m_fieldTypeErrors > 0)
        failed.append(QStringLiteral("the field types of %1 could not be read, the last with \"%2\"")
                              .arg(m_fieldTypeErrors == 1 ? QStringLiteral("1 table")
                                                          : QStringLiteral("%1 tables").arg(m_fieldTypeErrors),
                                   loader.lastFieldTypeError()));
    if (!failed.isEmpty())
        m_errors(QStringLiteral("Reading the schema failed: %1; the generated code may be incomplete")
                         .arg(failed.join(QLatin1String(", and "))));
}

int GenerationRun::failureCount() const
{
    return m_failures + (m_output ? m_output->failureCount() : 0);
}

int GenerationRun::problemCount() const
{
    return failureCount() + m_queryErrors + m_fieldTypeErrors + m_ruleProblems + (m_outcome == Outcome::Refused ? 1 : 0);
}

QString GenerationRun::closingLine() const
{
    if (!m_refusal.isEmpty())
        return m_refusal;
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
    if (writtenFileCount() == 0 && problems > 0)
        return QStringLiteral("%1: nothing was written to %2.").arg(head, code());
    return QStringLiteral("%1: %2 written to %3.").arg(head, files(writtenFileCount()), code());
}

void GenerationRun::compareWithDisk(const QMap<QString, QString> &texts)
{
    // What Generate would refuse to remove (or ask about) by the rule it
    // goes by itself: a file or folder no run wrote is the user's, not stale.
    int count = 0;
    QStringList foreign = foreignEntries(code(), std::numeric_limits<int>::max(), &count);
    for (QString &path : foreign)
        path = QDir(m_root).relativeFilePath(path);
    const auto isForeign = [&foreign](const QString &path) {
        return std::any_of(foreign.cbegin(), foreign.cend(), [&path](const QString &entry) {
            return path == entry || path.startsWith(entry + QLatin1Char('/'));
        });
    };
    QSet<QString> onDisk;
    QDirIterator it(code(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        onDisk.insert(QDir(m_root).relativeFilePath(it.next()));
    for (auto text = texts.cbegin(); text != texts.cend(); ++text) {
        QFile file(m_root + QLatin1Char('/') + text.key());
        if (isForeign(text.key()))
            continue;
        if (!onDisk.contains(text.key()))
            m_differences.append(QStringLiteral("new: ") + text.key());
        else if (!file.open(QIODevice::ReadOnly)
                 || GenFunctions::withoutBannerDate(QString::fromUtf8(file.readAll()))
                         != GenFunctions::withoutBannerDate(text.value()))
            m_differences.append(QStringLiteral("changed: ") + text.key());
    }
    foreign.sort();
    for (const QString &path : std::as_const(foreign))
        m_differences.append(QStringLiteral("not Tablesmith's: ") + path);
    QStringList stale;
    for (const QString &path : std::as_const(onDisk)) {
        if (!texts.contains(path) && !isForeign(path))
            stale.append(QStringLiteral("stale: ") + path);
    }
    stale.sort();
    m_differences += stale;
}
