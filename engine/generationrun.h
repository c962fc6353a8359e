#pragma once

#include "engine/outputtransaction.h"
#include "engine/runoptions.h"
#include "engine/schemaloader.h"
#include "mysql/database.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class Generator;
class OutputTree;
class TableObject;

// One Generate: read the whole schema and build its code model
// (SchemaLoader), write the chosen generators' files for every chosen table
// into a new output tree, which replaces the old one only when it is
// complete (OutputTransaction). The window and the command line both run it.
class GenerationRun
{
public:
    // engine/runoptions.h; the names here for the code that knew them here.
    using CatalogReader = ::CatalogReader;
    using Switches = ::Switches;

    // Write: build the new tree and put it in place. Check: generate in
    // memory and compare with the tree on disk, writing nothing.
    enum class Mode {
        Write,
        Check
    };

    enum class Outcome {
        Completed,
        Refused, // the old tree holds what the run did not write, or no table is chosen (refusal())
        Interrupted
    };

    // Milliseconds spent in each phase of the last run.
    struct Timings
    {
        qint64 outputTree = 0;
        qint64 tables = 0;
        qint64 keys = 0;
        qint64 relationships = 0;
        qint64 codeModel = 0;
        qint64 files = 0;
    };

    // Asked, with the paths found, whether an old tree holding what the run
    // did not write may go all the same.
    using ForeignEntriesHandler = OutputTransaction::ForeignEntriesHandler;

    // What a progress handler is told about: the tables read, then the
    // files generated.
    enum class Stage {
        Tables,
        Files
    };
    using ProgressHandler = std::function<void(Stage stage, int done, int total)>;

    // `root` is the directory that receives "code". Progress lines go to
    // `log`; lines about what could not be written go to `errors`, or to
    // `log` as well when no error sink is given.
    GenerationRun(const QString &root, mysql::LogSink log, mysql::LogSink errors = {});
    ~GenerationRun();

    void setSwitches(const Switches &switches) { m_switches = switches; }
    // Also write the application scaffold over the chosen tables' classes
    // (code/C++/CMakeLists.txt and code/C++/app).
    void setApplication(bool application) { m_application = application; }
    void setCatalogReader(CatalogReader reader) { m_reader = reader; }
    void setMode(Mode mode) { m_mode = mode; }
    // Keep files whose new text differs only in the banner's date, with
    // their modification time.
    void setKeepUnchanged(bool keep) { m_keepUnchanged = keep; }
    // The project's relations, names, types and left-out columns; when they
    // do not fit the schema read, each says so and nothing is generated.
    void setSchemaRules(const SchemaRules &rules) { m_rules = rules; }
    // Without a handler an old tree with foreign entries is left alone.
    void setForeignEntriesHandler(ForeignEntriesHandler handler) { m_foreignEntriesHandler = std::move(handler); }
    // Asked between files; when it says yes the new tree is dropped and the
    // old one stays.
    void setInterruptCheck(std::function<bool()> check) { m_interrupted = std::move(check); }
    // Told the folder the new tree is written to, once it exists.
    void setStagingObserver(std::function<void(const QString &path)> observer) { m_stagingObserver = std::move(observer); }
    // Added to the run's first line, which names the output folder: why the
    // folder is not the usual one, say.
    void setOutputFolderNote(const QString &note) { m_outputFolderNote = note; }
    // Told after each table read (of the tables the schema has) and after
    // each table's files (of the files the run will write), on the run's
    // thread.
    void setProgressHandler(ProgressHandler handler) { m_progress = std::move(handler); }

    // Called once the code model is built, before any file is written, with
    // the chosen tables' objects; when it says no, the run stops there and
    // counts one failure (the hook says what failed).
    using CodeModelHook = std::function<bool(const Generator &generator, const QList<TableObject *> &chosen)>;
    void setCodeModelHook(CodeModelHook hook) { m_codeModelHook = std::move(hook); }

    // Writes the switched-on generators' files of one table into `tree`,
    // logging a line per class: what a run does for each chosen table.
    static void generateTable(TableObject *table, Generator *generator, const OutputTree &tree,
                              const Switches &switches, const mysql::LogSink &log);

    // Runs the whole job for `schema`, writing files for the tables named in
    // `chosenTables`. Returns false when anything could not be written.
    bool run(const QString &schema, const QStringList &chosenTables);

    Outcome outcome() const { return m_outcome; }
    // Why a run with nothing to do was refused, one line ("Nothing to
    // generate: ..."), also its closing line; empty for any other outcome.
    const QString &refusal() const { return m_refusal; }
    // Files and directories that could not be written or removed.
    int failureCount() const;
    // Catalogue queries that failed while the schema was read.
    int queryErrorCount() const { return m_queryErrors; }
    // Rules of the project that did not fit the schema.
    int ruleProblemCount() const { return m_ruleProblems; }
    // Tables whose field types (or columns) could not be read for the code
    // model.
    int fieldTypeErrorCount() const { return m_fieldTypeErrors; }
    // Everything that went wrong: failures, failed reads, and an old tree
    // that was not to be replaced.
    int problemCount() const;
    // Files of the new tree that was put in place (0 when none was).
    int writtenFileCount() const { return m_output ? m_output->writtenFileCount() : 0; }
    // The line that ends a run's output in the window and on the command
    // line: how many files went where in how long, or how many problems
    // there were.
    QString closingLine() const;
    // In check mode: one line per file that is new, changed or stale, as
    // "new: code/C++/dao/xdao.h", and per file or folder a run did not write
    // (which Generate refuses to remove unasked), "not Tablesmith's: PATH".
    const QStringList &differences() const { return m_differences; }
    const Timings &timings() const { return m_timings; }
    // In check mode: every text the run generated, by path below the root
    // ("code/C++/dao/xdao.h").
    const QMap<QString, QString> &generatedTexts() const { return m_generatedTexts; }

    // How many foreign paths are named before "and N more".
    static constexpr int foreignPathsShown = OutputTransaction::foreignPathsShown;

private:
    bool runSteps(const QString &schema, const QStringList &chosenTables);
    QString outputFolderLine() const;
    // The steps of runSteps(); each returns false when the run stops there.
    bool startOutput();
    bool readSchema(SchemaLoader *loader);
    bool buildCodeModel(SchemaLoader *loader, const QStringList &chosenTables, QList<TableObject *> *chosen);
    bool writeFiles(Generator *generator, const QList<TableObject *> &chosen, OutputTree *tree);
    bool finish(const OutputTree &tree);
    // Whether the run was told to stop; then the new tree is dropped.
    bool interrupted();
    QString code() const { return m_root + QStringLiteral("/code"); }
    void compareWithDisk(const QMap<QString, QString> &texts);
    void reportReadErrors(const SchemaLoader &loader);

    QString m_root;
    mysql::LogSink m_log;
    mysql::LogSink m_errors;
    Switches m_switches;
    bool m_application = false;
    CatalogReader m_reader = CatalogReader::PerTable;
    Mode m_mode = Mode::Write;
    bool m_keepUnchanged = false;
    ForeignEntriesHandler m_foreignEntriesHandler;
    std::function<bool()> m_interrupted;
    std::function<void(const QString &)> m_stagingObserver;
    ProgressHandler m_progress;
    QString m_outputFolderNote;
    std::unique_ptr<OutputTransaction> m_output;
    Outcome m_outcome = Outcome::Completed;
    QString m_refusal;
    int m_failures = 0;
    int m_queryErrors = 0;
    int m_fieldTypeErrors = 0;
    int m_ruleProblems = 0;
    SchemaRules m_rules;
    int m_checkedFiles = 0;
    bool m_stoppedBeforeFiles = false;
    qint64 m_elapsed = 0;
    QStringList m_differences;
    QMap<QString, QString> m_generatedTexts;
    CodeModelHook m_codeModelHook;
    Timings m_timings;
};
