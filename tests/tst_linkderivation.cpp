#include "testserver.h"

#include "codemodel/generator.h"
#include "codemodel/relation.h"
#include "codemodel/tableobject.h"
#include "mysql/database.h"
#include "mysql/foreignkey.h"
#include "mysql/primarykey.h"
#include "mysql/schemacatalog.h"
#include "mysql/table.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

using namespace mysql;

namespace {

void quiet(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg)
        qt_message_output(type, context, message);
}

// Every schema of the fixtures; the link derivation must match the walk over
// all pairs on each of them. Schemas other tests change while they run are
// left out.
QStringList fixtureSchemas()
{
    static const QRegularExpression create(QStringLiteral("CREATE DATABASE (?:IF NOT EXISTS )?`?([^`;\\s]+)`?"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QStringList changing = {QStringLiteral("rd_race")};
    QStringList schemas;
    QDirIterator it(qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + QStringLiteral("/tests/fixtures"),
                    {QStringLiteral("*.sql")});
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        auto matches = create.globalMatch(QString::fromUtf8(file.readAll()));
        while (matches.hasNext()) {
            const QString schema = matches.next().captured(1);
            if (!changing.contains(schema))
                schemas.append(schema);
        }
    }
    schemas.sort();
    return schemas;
}

struct Links
{
    QList<Table *> oneToOne;
    QList<Table *> referencing;
    QList<Table *> referenced;
    bool operator==(const Links &other) const
    {
        return oneToOne == other.oneToOne && referencing == other.referencing
                && referenced == other.referenced;
    }
};

void appendOnce(QList<Table *> &list, Table *table)
{
    if (!list.contains(table))
        list.append(table);
}

// The links as the walk over every ordered pair of tables makes them, from
// the tables' current lists on.
QHash<Table *, Links> linksOfAllPairs(const Database &db)
{
    QHash<Table *, Links> links;
    for (Table *table : db.tables())
        links[table] = {table->oneToOneTables(), table->referencingTables(), table->referencedTables()};
    for (Table *t1 : db.tables()) {
        PrimaryKey *p1 = t1->primaryKey();
        if (!p1)
            continue;
        for (Table *t2 : db.tables()) {
            ForeignKey *f = t2->foreignKeyTo(p1);
            if (!f)
                continue;
            if (t2->foreignKeyInPrimaryKey(f) && t2->primaryKey()
                && p1->columns().size() == t2->primaryKey()->columns().size()) {
                appendOnce(links[t2].oneToOne, t1);
                appendOnce(links[t1].oneToOne, t2);
            } else {
                appendOnce(links[t2].referenced, t1);
                appendOnce(links[t1].referencing, t2);
            }
        }
    }
    return links;
}

// Tables by position, so that two tables of one name stay apart.
QString describe(const Database &db, const QList<Table *> &tables)
{
    QStringList items;
    for (Table *table : tables)
        items << QStringLiteral("%1#%2").arg(table->name()).arg(db.tables().indexOf(table));
    return items.join(QLatin1Char(','));
}

QStringList describeLinks(const Database &db, const QHash<Table *, Links> &links)
{
    QStringList lines;
    for (Table *table : db.tables()) {
        const Links &l = links.value(table);
        lines << QStringLiteral("%1: 1-1 [%2] 1-n [%3] n-1 [%4]")
                         .arg(table->name(), describe(db, l.oneToOne), describe(db, l.referencing),
                              describe(db, l.referenced));
    }
    return lines;
}

QHash<Table *, Links> currentLinks(const Database &db)
{
    QHash<Table *, Links> links;
    for (Table *table : db.tables())
        links[table] = {table->oneToOneTables(), table->referencingTables(), table->referencedTables()};
    return links;
}

std::unique_ptr<Database> loadKeys(const QString &schema, const QStringList &filter, bool schemaWide)
{
    auto db = filter.isEmpty() ? std::make_unique<Database>(schema, nullptr)
                               : std::make_unique<Database>(schema, filter, nullptr);
    qInstallMessageHandler(quiet);
    if (schemaWide) {
        SchemaCatalog catalog(db.get());
        catalog.loadTables();
        catalog.createKeys();
    } else {
        db->loadTables();
        db->createKeys();
    }
    qInstallMessageHandler(nullptr);
    return db;
}

} // namespace

class TestLinkDerivation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void sameLinksAsEveryPair_data();
    void sameLinksAsEveryPair();
    void sameRelationsAsLinearLookup_data();
    void sameRelationsAsLinearLookup();
    void lookupsFindTheFirstOfAName();
    void denseSchemaLinks();
};

void TestLinkDerivation::initTestCase()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");
    QVERIFY(fixtureSchemas().contains(QStringLiteral("lk_links")));
}

void TestLinkDerivation::cleanup()
{
    TestServer::closeConnections();
}

void TestLinkDerivation::sameLinksAsEveryPair_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QStringList>("filter");
    QTest::addColumn<bool>("schemaWide");
    for (const QString &schema : fixtureSchemas()) {
        QTest::addRow("%s per-table", qPrintable(schema)) << schema << QStringList() << false;
        QTest::addRow("%s schema-wide", qPrintable(schema)) << schema << QStringList() << true;
    }
    // A name listed twice makes two tables of that name: links are by name,
    // so both copies take part.
    QTest::newRow("lk_links filtered, hub twice")
            << QStringLiteral("lk_links")
            << QStringList{QStringLiteral("spoke_b"), QStringLiteral("hub"), QStringLiteral("hub"),
                           QStringLiteral("spoke_c"), QStringLiteral("self_tree"), QStringLiteral("ring_1")}
            << false;
    QTest::newRow("lk_links filtered, spoke_c and twins twice")
            << QStringLiteral("lk_links")
            << QStringList{QStringLiteral("spoke_c"), QStringLiteral("twin_p"), QStringLiteral("hub"),
                           QStringLiteral("spoke_c"), QStringLiteral("twin_q"), QStringLiteral("twin_p")}
            << false;
}

void TestLinkDerivation::sameLinksAsEveryPair()
{
    QFETCH(QString, schema);
    QFETCH(QStringList, filter);
    QFETCH(bool, schemaWide);
    QVERIFY(TestServer::openConnections(schema));

    std::unique_ptr<Database> db = loadKeys(schema, filter, schemaWide);
    const QHash<Table *, Links> expected = linksOfAllPairs(*db);
    db->createRelationships();
    QCOMPARE(describeLinks(*db, currentLinks(*db)), describeLinks(*db, expected));

    // A second derivation finds every link already there and adds nothing.
    db->createRelationships();
    QCOMPARE(describeLinks(*db, currentLinks(*db)), describeLinks(*db, expected));
}

void TestLinkDerivation::sameRelationsAsLinearLookup_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QStringList>("filter");
    for (const QString &schema : fixtureSchemas())
        QTest::newRow(qPrintable(schema)) << schema << QStringList();
    QTest::newRow("lk_links, hub and spoke_c twice")
            << QStringLiteral("lk_links")
            << QStringList{QStringLiteral("spoke_c"), QStringLiteral("hub"), QStringLiteral("spoke_c"),
                           QStringLiteral("hub"), QStringLiteral("twin_p"), QStringLiteral("twin_q")};
}

void TestLinkDerivation::sameRelationsAsLinearLookup()
{
    QFETCH(QString, schema);
    QFETCH(QStringList, filter);
    QVERIFY(TestServer::openConnections(schema));

    std::unique_ptr<Database> db = loadKeys(schema, filter, false);
    db->createRelationships();
    Generator generator(db.get(), nullptr);
    generator.createTableObjects();
    generator.createRelations();

    const QList<TableObject *> &objects = generator.tableObjects();
    const auto firstNamed = [&objects](const QString &name) -> TableObject * {
        for (TableObject *object : objects) {
            if (object->table()->name() == name)
                return object;
        }
        return nullptr;
    };
    const auto position = [&objects](const TableObject *object) { return objects.indexOf(object); };

    for (TableObject *source : objects) {
        QStringList expected;
        const auto add = [&](const QList<Table *> &targets, int type) {
            for (const Table *target : targets) {
                if (TableObject *object = firstNamed(target->name()))
                    expected << QStringLiteral("%1 -> #%2").arg(type).arg(position(object));
            }
        };
        add(source->table()->oneToOneTables(), Relation::OneToOne);
        add(source->table()->referencingTables(), Relation::OneToMany);
        add(source->table()->referencedTables(), Relation::ManyToOne);

        QStringList actual;
        for (const Relation *relation : source->relations()) {
            QCOMPARE(relation->source(), source);
            actual << QStringLiteral("%1 -> #%2").arg(relation->type()).arg(position(relation->target()));
        }
        QCOMPARE(actual, expected);
    }
}

void TestLinkDerivation::lookupsFindTheFirstOfAName()
{
    QVERIFY(TestServer::openConnections(QStringLiteral("lk_links")));
    const QStringList filter{QStringLiteral("spoke_a"), QStringLiteral("leaf"), QStringLiteral("Leaf"),
                             QStringLiteral("leaf")};
    Database db(QStringLiteral("lk_links"), filter, nullptr);

    // Asked before the tables are there, and again after: the answer follows
    // the list.
    QCOMPARE(db.table(QStringLiteral("leaf")), nullptr);
    qInstallMessageHandler(quiet);
    db.loadTables();
    db.createKeys();
    qInstallMessageHandler(nullptr);
    db.createRelationships();

    const QList<Table *> &tables = db.tables();
    const auto firstNamed = [&tables](const QString &name) -> Table * {
        for (Table *table : tables) {
            if (table->name() == name)
                return table;
        }
        return nullptr;
    };
    QCOMPARE(tables.size(), 4);
    QCOMPARE(std::count_if(tables.cbegin(), tables.cend(),
                           [](const Table *t) { return t->name() == QLatin1String("leaf"); }),
             2);
    Table *leaf = db.table(QStringLiteral("leaf"));
    QVERIFY(leaf);
    QCOMPARE(leaf, firstNamed(QStringLiteral("leaf")));
    QCOMPARE(db.table(QStringLiteral("Leaf")), firstNamed(QStringLiteral("Leaf")));
    QVERIFY(db.table(QStringLiteral("Leaf")));
    QCOMPARE(db.table(QStringLiteral("LEAF")), nullptr);
    QCOMPARE(db.table(QStringLiteral("leaf ")), nullptr);
    QCOMPARE(db.table(QString()), nullptr);

    Generator generator(&db, nullptr);
    QCOMPARE(generator.tableObject(QStringLiteral("leaf")), nullptr);
    generator.createTableObjects();
    TableObject *leafObject = generator.tableObject(QStringLiteral("leaf"));
    QVERIFY(leafObject);
    QCOMPARE(leafObject->table(), leaf);
    QCOMPARE(generator.tableObject(QStringLiteral("Leaf"))->table(), db.table(QStringLiteral("Leaf")));
    QCOMPARE(generator.tableObject(QStringLiteral("LEAF")), nullptr);
}

// Links of named tables of the dense schema, spelled out once: a hub
// referenced by many tables in table order, a self-reference on both sides,
// one-to-one pairs, a first key that decides over a second one.
void TestLinkDerivation::denseSchemaLinks()
{
    QVERIFY(TestServer::openConnections(QStringLiteral("lk_links")));
    std::unique_ptr<Database> db = loadKeys(QStringLiteral("lk_links"), {}, true);
    db->createRelationships();

    const auto names = [](const QList<Table *> &tables) {
        QStringList result;
        for (const Table *table : tables)
            result << table->name();
        return result;
    };
    const auto tablesReferring = [&](const QString &target) {
        // In table order, every table with a key to `target`.
        QStringList result;
        for (const Table *table : db->tables()) {
            for (const ForeignKey *key : table->foreignKeys()) {
                if (key->referencedTable() && key->referencedTable()->name() == target) {
                    result << table->name();
                    break;
                }
            }
        }
        return result;
    };

    Table *selfTree = db->table(QStringLiteral("self_tree"));
    QVERIFY(selfTree);
    QVERIFY(names(selfTree->referencingTables()).contains(QStringLiteral("self_tree")));
    QVERIFY(names(selfTree->referencedTables()).contains(QStringLiteral("self_tree")));
    QCOMPARE(names(db->table(QStringLiteral("self_same"))->oneToOneTables()), QStringList{QStringLiteral("self_same")});

    QCOMPARE(names(db->table(QStringLiteral("twin_p"))->oneToOneTables()), QStringList{QStringLiteral("twin_q")});
    QCOMPARE(names(db->table(QStringLiteral("twin_q"))->oneToOneTables()), QStringList{QStringLiteral("twin_p")});
    QCOMPARE(names(db->table(QStringLiteral("mutual_x"))->oneToOneTables()), QStringList{QStringLiteral("mutual_y")});

    // spoke_c's first key to hub runs through its primary key: one-to-one,
    // and its second key to hub makes no second link.
    Table *hub = db->table(QStringLiteral("hub"));
    QVERIFY(names(hub->oneToOneTables()).contains(QStringLiteral("spoke_c")));
    QVERIFY(!names(hub->referencingTables()).contains(QStringLiteral("spoke_c")));
    QStringList hubReferrers = tablesReferring(QStringLiteral("hub"));
    hubReferrers.removeAll(QStringLiteral("spoke_c"));
    QCOMPARE(names(hub->referencingTables()), hubReferrers);
    QVERIFY(hubReferrers.size() >= 9);

    QCOMPARE(db->table(QStringLiteral("outside"))->referencedTables().size(), 1);
    QCOMPARE(names(db->table(QStringLiteral("uses_nokey"))->referencedTables()), QStringList{QStringLiteral("nokey")});
}

QTEST_GUILESS_MAIN(TestLinkDerivation)
#include "tst_linkderivation.moc"
