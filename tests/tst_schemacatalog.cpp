#include "testserver.h"

#include "app/generationrun.h"
#include "mysql/column.h"
#include "mysql/database.h"
#include "mysql/diagnostics.h"
#include "mysql/foreignkey.h"
#include "mysql/foreignkeycolumn.h"
#include "mysql/primarykey.h"
#include "mysql/schemacatalog.h"
#include "mysql/table.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace mysql;

namespace {

QStringList g_debugLines;

void captureDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        g_debugLines.append(message);
}

// Schemas the tests change while they run are left out.
const QStringList changingSchemas = {QStringLiteral("rd_race")};

QStringList fixtureSchemas()
{
    static const QRegularExpression create(QStringLiteral("CREATE DATABASE (?:IF NOT EXISTS )?`?([^`;\\s]+)`?"),
                                           QRegularExpression::CaseInsensitiveOption);
    QStringList schemas;
    QDirIterator it(qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/tests/fixtures"),
                    {QStringLiteral("*.sql")});
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(file.readAll());
        auto matches = create.globalMatch(text);
        while (matches.hasNext()) {
            const QString schema = matches.next().captured(1);
            if (!changingSchemas.contains(schema))
                schemas.append(schema);
        }
    }
    schemas.sort();
    return schemas;
}

QString describeColumn(const Column *column)
{
    if (!column)
        return QStringLiteral("<null>");
    return QStringLiteral("%1.%2").arg(static_cast<const Table *>(column->parent())->name(), column->name());
}

QStringList describeTables(const QList<Table *> &tables)
{
    QStringList names;
    for (const Table *table : tables)
        names.append(table->name());
    return names;
}

// Everything the model holds, one line per fact, in the model's orders.
QStringList describe(const Database &db)
{
    QStringList lines;
    for (const Table *table : db.tables()) {
        lines << QStringLiteral("table %1 (object %2)").arg(table->name(), table->objectName());
        for (const Column *column : table->columns()) {
            lines << QStringLiteral("  column %1 %2 %3 %4 %5 %6")
                             .arg(column->name(), column->objectName(), column->tableName(), column->dataType(),
                                  column->columnType(), column->notNull() ? "not null" : "null");
        }
        QStringList notNull;
        for (const Column *column : table->notNullColumns())
            notNull << column->name();
        lines << QStringLiteral("  not null: ") + notNull.join(QLatin1Char(','));
        const PrimaryKey *pk = table->primaryKey();
        lines << QStringLiteral("  primary key %1 (object %2)").arg(pk->name(), pk->objectName());
        for (const KeyColumn *keyColumn : pk->columns())
            lines << QStringLiteral("    %1 @%2").arg(describeColumn(keyColumn->column())).arg(keyColumn->position());
        for (const ForeignKey *fk : table->foreignKeys()) {
            lines << QStringLiteral("  foreign key %1 (object %2) -> %3")
                             .arg(fk->name(), fk->objectName(),
                                  fk->referencedTable() ? fk->referencedTable()->name() : QStringLiteral("<null>"));
            for (const KeyColumn *keyColumn : fk->columns()) {
                const auto *foreign = static_cast<const ForeignKeyColumn *>(keyColumn);
                lines << QStringLiteral("    %1 @%2 -> %3")
                                 .arg(describeColumn(foreign->column()))
                                 .arg(foreign->position())
                                 .arg(describeColumn(foreign->referencedColumn()));
            }
        }
        lines << QStringLiteral("  one-to-one: ") + describeTables(table->oneToOneTables()).join(QLatin1Char(','));
        lines << QStringLiteral("  referencing: ") + describeTables(table->referencingTables()).join(QLatin1Char(','));
        lines << QStringLiteral("  referenced: ") + describeTables(table->referencedTables()).join(QLatin1Char(','));
    }
    return lines;
}

struct Loaded
{
    std::unique_ptr<Database> database;
    QStringList log;
    QStringList debug;
};

Loaded load(const QString &schema, bool schemaWide)
{
    Loaded loaded;
    QStringList *log = &loaded.log;
    loaded.database = std::make_unique<Database>(
            schema, [log](const QString &line) { log->append(line); }, nullptr);
    g_debugLines.clear();
    qInstallMessageHandler(captureDebug);
    if (schemaWide) {
        SchemaCatalog catalog(loaded.database.get());
        catalog.loadTables();
        catalog.createKeys();
    } else {
        loaded.database->loadTables();
        loaded.database->createKeys();
    }
    loaded.database->createRelationships();
    qInstallMessageHandler(nullptr);
    loaded.debug = g_debugLines;
    return loaded;
}

QMap<QString, QByteArray> readTree(const QString &root)
{
    static const QRegularExpression date(QStringLiteral("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d"));
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        files.insert(QDir(root).relativeFilePath(path),
                     QString::fromUtf8(file.readAll()).replace(date, QStringLiteral("<date>")).toUtf8());
    }
    return files;
}

} // namespace

class TestSchemaCatalog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void sameModel_data();
    void sameModel();
    void sameFiles_data();
    void sameFiles();
    void failingCatalogueLoadsNothing();
};

void TestSchemaCatalog::initTestCase()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");
    QVERIFY(fixtureSchemas().size() >= 5);
}

void TestSchemaCatalog::cleanup()
{
    TestServer::closeConnections();
}

void TestSchemaCatalog::sameModel_data()
{
    QTest::addColumn<QString>("schema");
    for (const QString &schema : fixtureSchemas())
        QTest::newRow(qPrintable(schema)) << schema;
}

void TestSchemaCatalog::sameModel()
{
    QFETCH(QString, schema);
    QVERIFY(TestServer::openConnections(schema));

    const Loaded perTable = load(schema, false);
    const Loaded schemaWide = load(schema, true);
    QCOMPARE(describe(*schemaWide.database), describe(*perTable.database));
    QCOMPARE(schemaWide.log, perTable.log);
    QCOMPARE(schemaWide.debug, perTable.debug);

    // The same objects hang from the same parents.
    for (const Table *table : schemaWide.database->tables()) {
        QCOMPARE(table->parent(), schemaWide.database.get());
        QCOMPARE(table->primaryKey()->parent(), table);
        for (const ForeignKey *key : table->foreignKeys())
            QCOMPARE(key->parent(), table);
    }
}

void TestSchemaCatalog::sameFiles_data()
{
    sameModel_data();
}

void TestSchemaCatalog::sameFiles()
{
    QFETCH(QString, schema);
    QVERIFY(TestServer::openConnections(schema));

    QMap<QString, QByteArray> trees[2];
    QStringList logs[2];
    const GenerationRun::CatalogReader readers[2] = {GenerationRun::CatalogReader::PerTable,
                                                     GenerationRun::CatalogReader::SchemaWide};
    QTemporaryDir dirs[2];
    for (int i = 0; i < 2; ++i) {
        QStringList *log = &logs[i];
        GenerationRun run(dirs[i].path(), [log](const QString &line) { log->append(line); });
        run.setCatalogReader(readers[i]);
        QStringList tables;
        Database probe(schema, nullptr);
        SchemaCatalog(&probe).loadTables();
        for (const Table *table : probe.tables())
            tables << table->name();
        run.run(schema, tables);
        trees[i] = readTree(dirs[i].path());
        // Failure lines name the directory; compare them without it.
        logs[i].replaceInStrings(dirs[i].path(), QStringLiteral("<root>"));
    }
    QCOMPARE(logs[1], logs[0]);
    QCOMPARE(trees[1].keys(), trees[0].keys());
    for (auto it = trees[0].cbegin(); it != trees[0].cend(); ++it)
        QCOMPARE(trees[1].value(it.key()), it.value());
}

void TestSchemaCatalog::failingCatalogueLoadsNothing()
{
    TestServer::closeConnections();
    const int errorsBefore = queryErrorCount();
    const Loaded loaded = load(QStringLiteral("rd_basic"), true);
    QVERIFY(loaded.database->tables().isEmpty());
    QVERIFY(loaded.log.isEmpty());
    QCOMPARE(queryErrorCount(), errorsBefore + 1);
    QCOMPARE(loaded.debug.size(), 1);
    QVERIFY(loaded.debug.first().endsWith(QStringLiteral("\"  - in ->  \"\" ")));
}

QTEST_MAIN(TestSchemaCatalog)
#include "tst_schemacatalog.moc"
