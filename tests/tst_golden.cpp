// Every fixture schema read and generated whole, compared with its golden
// file (tests/golden/<row>.golden): the schema model both readers load, the
// command line's output and exit status with --verbose, and every entry of
// the output tree. Both readers of the command line and the window must give
// that same text. Rewrite the golden files after an intended change with
//   TABLESMITH_UPDATE_GOLDEN=1 ctest -R tst_golden
// and review them with git diff.

#include "support.h"

#include "project/projectfile.h"
#include "project/usersettings.h"
#include "codemodel/columnobject.h"
#include "codemodel/fieldlists.h"
#include "codemodel/generator.h"
#include "codemodel/relation.h"
#include "codemodel/schemarules.h"
#include "codemodel/tableobject.h"
#include "generators/genfunctions.h"
#include "mysql/diagnostics.h"
#include "mysql/column.h"
#include "mysql/database.h"
#include "mysql/foreignkey.h"
#include "mysql/foreignkeycolumn.h"
#include "mysql/primarykey.h"
#include "mysql/schemacatalog.h"
#include "mysql/table.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QListView>
#include <QPlainTextEdit>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include <sys/stat.h>

using namespace mysql;

namespace {

const QString allKinds = QStringLiteral("dao,object,model,editor");

QString names(const QList<Table *> &tables)
{
    QStringList list;
    for (const Table *table : tables)
        list.append(table->name());
    return list.join(QLatin1String(", "));
}

QString keyColumns(const Constraint *key)
{
    QString text;
    for (const KeyColumn *keyColumn : key->columns()) {
        const auto *fk = dynamic_cast<const ForeignKeyColumn *>(keyColumn);
        const Column *referenced = fk ? fk->referencedColumn() : nullptr;
        text += QStringLiteral(" %1%2@%3")
                        .arg(keyColumn->column() ? keyColumn->column()->name() : QStringLiteral("<null>"),
                             fk ? QStringLiteral("->") + (referenced ? referenced->name() : QStringLiteral("<null>"))
                                : QString(),
                             QString::number(keyColumn->position()));
    }
    return text;
}

// The schema model as text: everything a reader loads and the links it derives.
QString modelText(const Database &db)
{
    QString text;
    for (const Table *table : db.tables()) {
        text += QStringLiteral("table %1\n").arg(table->name());
        for (const Column *c : table->columns())
            text += QStringLiteral("  column %1 %2 %3%4\n")
                            .arg(c->name(), c->columnType(), c->dataType(),
                                 c->notNull() ? QStringLiteral(" not null") : QString());
        QStringList notNull;
        for (const Column *c : table->notNullColumns())
            notNull.append(c->name());
        text += QStringLiteral("  not null: %1\n").arg(notNull.join(QLatin1String(", ")));
        if (const PrimaryKey *key = table->primaryKey())
            text += QStringLiteral("  primary key %1:%2\n").arg(key->name(), keyColumns(key));
        for (const ForeignKey *key : table->foreignKeys())
            text += QStringLiteral("  foreign key %1 -> %2:%3\n")
                            .arg(key->name(), key->referencedTable() ? key->referencedTable()->name() : QStringLiteral("<null>"),
                                 keyColumns(key));
        text += QStringLiteral("  one-to-one: %1\n  referencing: %2\n  referenced: %3\n")
                        .arg(names(table->oneToOneTables()), names(table->referencingTables()),
                             names(table->referencedTables()));
    }
    return text;
}

// Every column's field type as the driver reports it, and the code model's
// type made of it.
QString fieldTypes(const Generator &generator, const FieldLists *lists, QStringList *readAlone)
{
    QString text;
    for (const TableObject *table : generator.tableObjects()) {
        const QString name = table->table()->name();
        // The driver's own field list takes a name in backticks as quoted,
        // and refuses long non-ASCII ones.
        const QSqlDatabase connection = QSqlDatabase::database(QStringLiteral("Connection"));
        // A table the batch could not read is read alone.
        const bool batched = lists && lists->contains(name);
        if (lists && !batched)
            readAlone->append(name);
        QSqlRecord record = batched ? lists->record(name) : QSqlRecord();
        if (!batched && !connection.driver()->isIdentifierEscaped(name, QSqlDriver::TableName))
            record = connection.record(name);
        QSqlQuery query(connection);
        if (!batched && record.isEmpty()
            && query.exec(QStringLiteral("select * from `%1` limit 0").arg(QString(name).replace(QLatin1Char('`'), QLatin1String("``")))))
            record = query.record();
        for (const ColumnObject *column : table->columns())
            text += QStringLiteral("%1.%2 %3 %4\n").arg(name, column->name(),
                                                        QString::fromLatin1(record.field(column->name()).metaType().name()),
                                                        QString::fromLatin1(QMetaType(column->type()).name()));
    }
    return text;
}

// The project of a row's rules, in tests/fixtures.
QString projectPath(const QString &project)
{
    return qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/tests/fixtures/") + project;
}

// The schema model as `schemaWide` or the per-table reader loads it, with
// the field types of the code model in `types`; with a project's rules, the
// keys it declares too.
QString loadModel(const QString &schema, const QString &user, const QString &password, bool schemaWide,
                  const QString &project, QString *types = nullptr, QStringList *readAlone = nullptr)
{
    const ProjectReading reading = project.isEmpty() ? ProjectReading() : readProject(projectPath(project));
    if (!reading.problems.isEmpty())
        return reading.problems.join(QLatin1Char('\n'));
    const SchemaRules &rules = reading.project.rules.schema;
    const MessageCapture quiet;
    if (!TestServer::openConnections(schema, user, password))
        return QStringLiteral("cannot connect");
    QString text;
    {
        Database db(schema, nullptr);
        SchemaCatalog catalog(&db);
        schemaWide ? catalog.loadTables() : db.loadTables();
        schemaWide ? catalog.createKeys() : db.createKeys();
        const QStringList problems = schemarules::apply(rules, &db);
        db.createRelationships();
        text = problems.join(QLatin1Char('\n')) + modelText(db);
        // The code model's relations, by kind: 1 one-to-one, 2 one-to-many, 3 many-to-one.
        Generator generator(&db, nullptr);
        FieldLists lists;
        if (schemaWide) {
            QStringList tables;
            for (const Table *table : db.tables())
                tables.append(table->name());
            lists.read(QSqlDatabase::database(QStringLiteral("Connection")), tables);
            generator.setFieldLists(&lists);
        }
        generator.setRules(&rules);
        generator.createTableObjects();
        generator.createRelations();
        if (types)
            *types = fieldTypes(generator, schemaWide ? &lists : nullptr, readAlone);
        for (const TableObject *table : generator.tableObjects()) {
            for (const Relation *relation : table->relations())
                text += QStringLiteral("relation %1 -> %2: %3\n")
                                .arg(table->table()->name(), relation->targetTableName(), QString::number(relation->type()));
        }
    }
    TestServer::closeConnections();
    return text;
}

// The banner's date is the time of the run.
bool bannerDatesAreNow(const QString &root)
{
    static const QRegularExpression banner(QStringLiteral("Generated by Tablesmith on (\\S+ \\S+)\n"));
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = banner.match(readText(it.next()));
        const QDateTime written = QDateTime::fromString(match.captured(1), QStringLiteral("dd/MM/yyyy hh:mm:ss"));
        if (match.hasMatch() && (!written.isValid() || qAbs(written.secsTo(QDateTime::currentDateTime())) > 600))
            return false;
    }
    return true;
}

// What a run finds below `root` before it starts: an old tree with a file
// an earlier run wrote for a table that is gone, and the row's obstacle in
// the way of the output tree (foreign entries: tst_regenerate). The
// obstacle is an immutable entry: chattr +i stops every writer, root
// included, where chmod does not. Where a file system or a container
// refuses the attribute, the command line gets the same failures from
// tests/faultfs (`injected`), which works everywhere; the window runs in the
// test's own process and needs the attribute.
class OldTree
{
public:
    OldTree(const QString &root, const QString &obstacle, bool injected)
        : m_root(root)
    {
        const QString code = root + QStringLiteral("/code");
        const QByteArray generated = GenFunctions::bannerFirstLine().toLatin1() + "\nfrom an earlier run\n";
        QDir().mkpath(code + QStringLiteral("/C++/dao"));
        writeText(code + QStringLiteral("/C++/dao/stale.h"), generated);
        if (obstacle.startsWith(QLatin1String("output"))) {
            QDir(code).removeRecursively();
            m_immutable = root;
        } else if (obstacle == QLatin1String("old file immutable")) {
            writeText(m_immutable = code + QStringLiteral("/C++/dao/itemdao.h"), generated);
        } else if (obstacle == QLatin1String("old directory immutable")) {
            QDir().mkpath(m_immutable = code + QStringLiteral("/C++/model"));
        }
        struct stat status;
        if (injected && !m_immutable.isEmpty() && ::stat(QFile::encodeName(m_immutable).constData(), &status) == 0) {
            preloadFaultfs(&m_environment, QStringLiteral("TABLESMITH_FAULTFS_IMMUTABLE"),
                           QStringLiteral("%1:%2").arg(quint64(status.st_dev)).arg(quint64(status.st_ino)));
            m_immutable.clear();
        }
        if (!m_immutable.isEmpty())
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), m_immutable});
    }
    ~OldTree() { release(); }
    // The immutable entry may have moved with the old tree.
    void release()
    {
        if (!m_immutable.isEmpty())
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-R"), QStringLiteral("-i"), m_root});
        m_immutable.clear();
    }
    // What the command line needs for an injected obstacle.
    const QProcessEnvironment &environment() const { return m_environment; }

private:
    QString m_root;
    QString m_immutable;
    QProcessEnvironment m_environment;
};

bool immutableWorks()
{
    QTemporaryDir dir;
    return QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), dir.path()}) == 0
            && QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), dir.path()}) == 0;
}

// One row of the schemas table.
struct Row
{
    QString schema, user, password;
    QStringList tables; // empty: all
    QString kinds, obstacle;
    QString project; // rules, from tests/fixtures
};

QString cliRun(const Row &row, const QString &reader)
{
    const auto &[schema, user, password, tables, kinds, obstacle, project] = row;
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("out"));
    OldTree old(root, obstacle, true);
    QStringList arguments = serverArguments(schema, user, password)
            + QStringList{QStringLiteral("-v"), QStringLiteral("--catalog=") + reader, QStringLiteral("-o"), root};
    if (!tables.isEmpty())
        arguments.append(QStringLiteral("--tables=") + tables.join(QLatin1Char(',')));
    if (kinds != allKinds)
        arguments.append(QStringLiteral("--only=") + kinds);
    if (!project.isEmpty())
        arguments += QStringList{QStringLiteral("--project"), projectPath(project)};
    CliOptions options;
    options.mergeChannels = true;
    options.workingDirectory = dir.path();
    options.environment.insert(old.environment());
    const CliResult result = runCli(arguments, options);
    old.release();
    // Nothing but the output tree may change.
    // An old tree that could not be removed stays beside the new one.
    const auto entries = [](const QString &path) {
        return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
                .filter(QRegularExpression(QStringLiteral("^(?!\\.tablesmith-)")));
    };
    if (entries(dir.path()).size() != 1 || entries(root).size() > 1
        || entries(root).value(0, QStringLiteral("code")) != QLatin1String("code"))
        return QStringLiteral("the run touched something outside its output tree");
    if (!bannerDatesAreNow(root))
        return QStringLiteral("a banner does not carry the time of the run");
    return QStringLiteral("== run\n%1== exit %2\n%3")
            .arg(masked(result.out, root), QString::number(result.exitCode), describeTree(root));
}

QString windowRun(const Row &row, bool perTable)
{
    const auto &[schema, user, password, tables, kinds, obstacle, project] = row;
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("out"));
    OldTree old(root, obstacle, false);
    UserSettings().setOutputFolder(root);
    Tablesmith window;
    child<QAction>(window, "actionReadTableByTable")->setChecked(perTable);
    fillForm(window, schema, user, password);
    click(window, "btConnect");
    if (tables.isEmpty()) {
        click(window, "btSelectAll");
    } else {
        QAbstractItemModel *model = child<QListView>(window, "listViewSource")->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (tables.contains(model->index(row, 0).data().toString()))
                model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole);
        }
    }
    for (const auto &[box, kind] : {std::pair{"chkDao", "dao"}, {"chkObject", "object"}, {"chkModel", "model"},
                                    {"chkCustomEditor", "editor"}})
        child<QCheckBox>(window, box)->setChecked(kinds.split(QLatin1Char(',')).contains(QLatin1String(kind)));
    {
        // An old tree with foreign entries is kept, as on the command line
        // without --force.
        answerNextDialog(QStringLiteral("Cancel"));
        const MessageCapture debugIntoLog(child<QPlainTextEdit>(window, "textLog"));
        click(window, "btGenerate");
    }
    old.release();
    // A schema with no table to tick: the window refuses before any run,
    // keeping the old tree, and the command line's lines do not apply.
    bool ticked = false;
    const QAbstractItemModel *list = child<QListView>(window, "listViewSource")->model();
    for (int row = 0; list && row < list->rowCount(); ++row)
        ticked = ticked || list->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
    if (!ticked)
        return QStringLiteral("== refused\n%1\n%2").arg(child<QPlainTextEdit>(window, "textLog")->toPlainText(),
                                                        QFileInfo::exists(root + QStringLiteral("/code/C++/dao/stale.h")) ? QString()
                                                        : QStringLiteral("the old tree is gone"));
    return masked(QStringLiteral("== run\n%1\n%2").arg(child<QPlainTextEdit>(window, "textLog")->toPlainText(),
                                                     describeTree(root)), root);
}

// Every row: each fixture schema whole, and the rows of their own below.
QList<std::pair<QString, Row>> rows()
{
    const TestServer::Settings &s = TestServer::settings();
    QList<std::pair<QString, Row>> rows;
    if (!TestServer::openConnections(QStringLiteral("information_schema")))
        return rows;
    QStringList schemas;
    {
        QSqlQuery query(QStringLiteral("select schema_name from schemata where schema_name not in "
                                       "('information_schema', 'mysql', 'performance_schema', 'sys', 'test') and schema_name not regexp '^(scratch|big|rl)_' "
                                       "order by schema_name"),
                        QSqlDatabase::database(QStringLiteral("InformationSchema")));
        while (query.next())
            schemas.append(query.value(0).toString());
    }
    TestServer::closeConnections();
    for (const QString &schema : std::as_const(schemas))
        rows.append({schema, Row{schema, s.user, s.password, {}, allKinds, {}}});
    // Chosen tables come in schema order, the kinds in the run's order.
    rows.append({QStringLiteral("shop_a-subset"), Row{"shop_a", s.user, s.password, {"invoice", "customer"}, "model,dao", {}}});
    // Accounts that may connect but not read everything: the run goes to the
    // end and says what it could not read.
    rows.append({QStringLiteral("rob_secret-noread"), Row{"rob_secret", "rob_noread", "rob-pw", {}, allKinds, {}}});
    rows.append({QStringLiteral("rob_secret-noselect"), Row{"rob_secret", "rob_noselect", "rob-pw", {}, allKinds, {}}});
    // Some tables readable, some not: the field lists that fail sit between
    // others in one batch.
    rows.append({QStringLiteral("ty_types-partial"), Row{"ty_types", "ty_partial", "ty-pw", {}, allKinds, {}}});
    // Whatever stands in the way, every file that can be written is, each
    // failure has its line, and the status says so.
    for (const QString obstacle : {"output directory immutable", "old file immutable", "old directory immutable"})
        rows.append({QStringLiteral("rob_secret-") + QString(obstacle).replace(QLatin1Char(' '), QLatin1Char('-')),
                     Row{"rob_secret", s.user, s.password, {}, allKinds, obstacle}});
    // The project's rules: names, a getter per key, types (tst_project
    // compares declared keys with rl_blog_keyed's).
    rows.append({QStringLiteral("rl_blog_keyed"), Row{"rl_blog_keyed", s.user, s.password, {}, allKinds, {}}});
    for (const QString schema : {"rl_prefixed", "rl_keys", "rl_types"})
        rows.append({schema + QStringLiteral("-rules"),
                     Row{schema, s.user, s.password, {}, allKinds, {}, schema + QStringLiteral(".tablesmith.ini")}});
    return rows;
}

} // namespace

class TestGolden : public QObject
{
    Q_OBJECT

private slots:
    void schemas_data();
    void schemas();
    void everyGoldenFileHasItsRow();
    void readerEdgeCases();
};

void TestGolden::schemas_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("tables"); // empty: all
    QTest::addColumn<QString>("kinds");
    QTest::addColumn<QString>("obstacle"); // in the way of the output tree
    QTest::addColumn<QString>("project");
    for (const auto &[tag, row] : rows())
        QTest::newRow(qPrintable(tag)) << row.schema << row.user << row.password << row.tables << row.kinds << row.obstacle
                                       << row.project;
}

void TestGolden::schemas()
{
    QFETCH(QString, schema);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QStringList, tables);
    QFETCH(QString, kinds);
    QFETCH(QString, obstacle);
    QFETCH(QString, project);
    const Row row{schema, user, password, tables, kinds, obstacle, project};
    QString types, perTableTypes;
    QStringList readAlone;
    const QString model = loadModel(schema, user, password, false, project, &perTableTypes);
    QString difference = firstDifference(loadModel(schema, user, password, true, project, &types, &readAlone), model);
    QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("schema-wide reader: ") + difference));
    difference = firstDifference(types, perTableTypes);
    QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("field types, schema-wide reader: ") + difference));
    // The batches read every table the account may read, whatever its
    // name, also those after one it may not.
    readAlone.sort();
    if (QTest::currentDataTag() == QLatin1String("ty_types-partial"))
        QCOMPARE(readAlone, QStringList({"numbers", "shapes", "texts"}));
    else if (user == TestServer::settings().user)
        QCOMPARE(readAlone, QStringList());

    const QString run = cliRun(row, QStringLiteral("per-table"));
    difference = firstDifference(cliRun(row, QStringLiteral("schema")), run);
    QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("schema-wide reader: ") + difference));
    difference = goldenDifference(QString::fromLatin1(QTest::currentDataTag()),
                                  QStringLiteral("== model\n") + model + run);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    // The window logs what the command line prints, less its own closing lines.
    static const QRegularExpression cliOnly(QStringLiteral("^(tablesmith-cli: .*|== exit .*)\n"),
                                            QRegularExpression::MultilineOption);
    // Loud, not skipped: the command line's rows above ran all the same.
    // The window does not take a project's rules yet.
    if (!project.isEmpty())
        return;
    if (obstacle.endsWith(QLatin1String("immutable")) && !immutableWorks()) {
        qWarning("NOT RUN: the window with an immutable entry in its way (chattr +i does not work here)");
        return;
    }
    for (const bool perTable : {false, true}) {
        const QString window = windowRun(row, perTable);
        if (window.startsWith(QLatin1String("== refused\n"))) {
            QCOMPARE(window, QStringLiteral("== refused\nEstablishing connection to: 127.0.0.1\nConnected to: 127.0.0.1\n"
                                            "Unencrypted connection\nNothing to generate: no table is ticked; the "
                                            "output folder stays as it is.\n"));
            continue;
        }
        difference = firstDifference(window, QString(run).remove(cliOnly));
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("window, per-table %1: ").arg(perTable) + difference));
    }
}

void TestGolden::everyGoldenFileHasItsRow()
{
    // A fixture that stopped loading must not silently drop its row.
    // tst_window's, tst_cli's, tst_project's
    QStringList expected{QStringLiteral("window-form"), QStringLiteral("cli_help"), QStringLiteral("rl_blog-suggested"),
                         QStringLiteral("rl_shop-suggested")};
    for (const auto &[tag, row] : rows())
        expected.append(tag);
    QStringList files = QDir(qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/tests/golden"))
                                .entryList({QStringLiteral("*.golden")}, QDir::Files);
    files.replaceInStrings(QRegularExpression(QStringLiteral("\\.golden$")), QString());
    for (const QString &file : std::as_const(files))
        QVERIFY2(expected.contains(file), qPrintable(QStringLiteral("tests/golden/%1.golden has no row").arg(file)));
}

void TestGolden::readerEdgeCases()
{
    // Between the column load and the key load the key columns change names:
    // the keys then name columns the table does not have.
    QVERIFY(TestServer::openConnections(QStringLiteral("rd_race")));
    QSqlQuery sql(QSqlDatabase::database(QStringLiteral("Connection")));
    QVERIFY(sql.exec(QStringLiteral("CREATE TABLE r (k INT NOT NULL PRIMARY KEY, tk INT, "
                                    "CONSTRAINT fk_r_t FOREIGN KEY (tk) REFERENCES t (k))")));
    Database db(QStringLiteral("rd_race"), nullptr);
    db.loadTables();
    QVERIFY(sql.exec(QStringLiteral("ALTER TABLE r RENAME COLUMN k TO k2, RENAME COLUMN tk TO k")));
    db.createKeys();
    db.createRelationships();
    QVERIFY(sql.exec(QStringLiteral("DROP TABLE r")));
    QCOMPARE(modelText(db).section(QLatin1String("table r\n"), 1),
             QStringLiteral("  column k int(11) int not null\n  column tk int(11) int\n  not null: k\n"
                            "  primary key PRIMARY: <null>@1\n  foreign key fk_r_t -> t: k->k@1\n"
                            "  one-to-one: \n  referencing: \n  referenced: t\n"));

    // A catalogue connection that cannot be opened: the query fails, and
    // says why.
    QVERIFY(!TestServer::openConnections(QStringLiteral("rd_basic"), TestServer::settings().user, QStringLiteral("wrong")));
    const int failedBefore = queryErrorCount();
    {
        MessageCapture capture;
        Database unreadable(QStringLiteral("rd_basic"), nullptr);
        unreadable.loadTables();
        QVERIFY(unreadable.tables().isEmpty());
        QCOMPARE(capture.messages.filter(QStringLiteral("  - in ->  ")).filter(QStringLiteral("Access denied")).size(), 1);
    }
    QCOMPARE(queryErrorCount(), failedBefore + 1);
}

QTEST_MAIN(TestGolden)
#include "tst_golden.moc"
