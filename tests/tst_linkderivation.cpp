#include "testserver.h"

#include "codemodel/generator.h"
#include "codemodel/relation.h"
#include "codemodel/tableobject.h"
#include "mysql/database.h"
#include "mysql/foreignkey.h"
#include "mysql/primarykey.h"
#include "mysql/schemacatalog.h"
#include "mysql/table.h"

#include <QSqlQuery>
#include <QtTest>

#include <array>
#include <memory>

using namespace mysql;

namespace {

// One-to-one, referencing (1-n) and referenced (n-1) tables.
using Links = std::array<QList<Table *>, 3>;

Links linksOf(const Table *table)
{
    return {table->oneToOneTables(), table->referencingTables(), table->referencedTables()};
}

// The links as the walk over every ordered pair of tables makes them, added
// to the lists the tables hold already: T2's first key to a table of T1's
// name links them, one-to-one when it lies in T2's primary key and both keys
// have as many columns, else T2 is on the many side.
QHash<Table *, Links> linksOfAllPairs(const QList<Table *> &tables)
{
    QHash<Table *, Links> links;
    for (Table *table : tables)
        links[table] = linksOf(table);
    const auto add = [&](Table *table, int kind, Table *other) {
        if (!links[table][kind].contains(other))
            links[table][kind].append(other);
    };
    for (Table *t1 : tables) {
        for (Table *t2 : t1->primaryKey() ? tables : QList<Table *>()) {
            const QList<ForeignKey *> &keys = t2->foreignKeys();
            const auto f = std::find_if(keys.cbegin(), keys.cend(), [&](const ForeignKey *key) {
                return key->referencedTable() && key->referencedTable()->name() == t1->name();
            });
            if (f == keys.cend())
                continue;
            const bool oneToOne = t2->foreignKeyInPrimaryKey(*f) && t2->primaryKey()
                    && t2->primaryKey()->columns().size() == t1->primaryKey()->columns().size();
            add(t2, oneToOne ? 0 : 2, t1);
            add(t1, oneToOne ? 0 : 1, t2);
        }
    }
    return links;
}

// Every table's links, naming tables by position so that two tables of one
// name stay apart.
QStringList describe(const QList<Table *> &tables, const std::function<Links(Table *)> &links)
{
    QStringList lines;
    for (Table *table : tables) {
        QStringList kinds;
        for (const QList<Table *> &list : links(table)) {
            QStringList items;
            for (Table *other : list)
                items << QStringLiteral("%1#%2").arg(other->name()).arg(tables.indexOf(other));
            kinds << QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
        }
        lines << table->name() + QLatin1Char(' ') + kinds.join(QLatin1Char(' '));
    }
    return lines;
}

template<typename T, typename Name>
T *firstNamed(const QList<T *> &list, const QString &name, Name nameOf)
{
    const auto found = std::find_if(list.cbegin(), list.cend(), [&](const T *item) { return nameOf(item) == name; });
    return found == list.cend() ? nullptr : *found;
}

std::unique_ptr<Database> loadKeys(const QString &schema, const QStringList &filter, bool schemaWide)
{
    auto db = filter.isEmpty() ? std::make_unique<Database>(schema, nullptr)
                               : std::make_unique<Database>(schema, filter, nullptr);
    // The loaders' progress lines would drown the test's output.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
        if (type != QtDebugMsg)
            qt_message_output(type, context, message);
    });
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
    void initTestCase() { QVERIFY2(TestServer::settings().valid, "the test server is not running"); }
    void cleanup() { TestServer::closeConnections(); }

    void sameAsEveryPair_data();
    void sameAsEveryPair();
    void lookupsBeforeLoadingAndUnknownNames();
    void denseSchemaLinks_data();
    void denseSchemaLinks();
};

void TestLinkDerivation::sameAsEveryPair_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QStringList>("filter");
    QTest::addColumn<bool>("schemaWide");

    // Every schema of the fixtures but the one a test changes while it runs.
    QStringList schemas;
    QVERIFY(TestServer::openConnections(QStringLiteral("information_schema")));
    {
        QSqlQuery query(QStringLiteral("select schema_name from schemata where schema_name not in "
                                       "('information_schema', 'mysql', 'performance_schema', 'sys', 'test', "
                                       "'rd_race') order by schema_name"),
                        QSqlDatabase::database(QStringLiteral("InformationSchema")));
        while (query.next())
            schemas << query.value(0).toString();
    }
    TestServer::closeConnections();
    QVERIFY(schemas.contains(QStringLiteral("lk_links")));
    for (const QString &schema : std::as_const(schemas)) {
        QTest::addRow("%s per-table", qPrintable(schema)) << schema << QStringList() << false;
        QTest::addRow("%s schema-wide", qPrintable(schema)) << schema << QStringList() << true;
    }
    // A name listed twice makes two tables of that name: links are by name,
    // so both copies take part, and lookups find the first.
    QTest::newRow("lk_links, hub twice") << QStringLiteral("lk_links")
            << QStringList{QStringLiteral("spoke_b"), QStringLiteral("hub"), QStringLiteral("hub"),
                           QStringLiteral("spoke_c"), QStringLiteral("self_tree"), QStringLiteral("ring_1")}
            << false;
    QTest::newRow("lk_links, spoke_c, twins and leaf twice") << QStringLiteral("lk_links")
            << QStringList{QStringLiteral("spoke_c"), QStringLiteral("twin_p"), QStringLiteral("hub"),
                           QStringLiteral("leaf"), QStringLiteral("spoke_c"), QStringLiteral("twin_q"),
                           QStringLiteral("Leaf"), QStringLiteral("twin_p"), QStringLiteral("leaf")}
            << false;
}

// createRelationships(), Database::table(), Generator::tableObject() and
// createRelations() use indexes of their own; they must agree with the
// plain walks over every pair and every list.
void TestLinkDerivation::sameAsEveryPair()
{
    QFETCH(QString, schema);
    QFETCH(QStringList, filter);
    QFETCH(bool, schemaWide);
    QVERIFY(TestServer::openConnections(schema));

    std::unique_ptr<Database> db = loadKeys(schema, filter, schemaWide);
    const QList<Table *> &tables = db->tables();
    const QHash<Table *, Links> expected = linksOfAllPairs(tables);
    db->createRelationships();
    QCOMPARE(describe(tables, linksOf), describe(tables, [&](Table *t) { return expected.value(t); }));
    // A second derivation finds every link already there and adds nothing.
    db->createRelationships();
    QCOMPARE(describe(tables, linksOf), describe(tables, [&](Table *t) { return expected.value(t); }));

    Generator generator(db.get(), nullptr);
    generator.createTableObjects();
    generator.createRelations();
    const QList<TableObject *> &objects = generator.tableObjects();
    const auto tableName = [](const Table *table) { return table->name(); };
    const auto objectName = [](const TableObject *object) { return object->table()->name(); };
    for (TableObject *source : objects) {
        const QString name = source->table()->name();
        QCOMPARE(db->table(name), firstNamed(tables, name, tableName));
        QCOMPARE(generator.tableObject(name), firstNamed(objects, name, objectName));

        // One relation per link, to the first object of the linked name.
        QStringList wanted;
        const Links links = linksOf(source->table());
        const int types[] = {Relation::OneToOne, Relation::OneToMany, Relation::ManyToOne};
        for (int kind = 0; kind < 3; ++kind) {
            for (const Table *target : links[kind]) {
                if (TableObject *object = firstNamed(objects, target->name(), objectName))
                    wanted << QStringLiteral("%1 -> #%2").arg(types[kind]).arg(objects.indexOf(object));
            }
        }
        QStringList actual;
        for (const Relation *relation : source->relations()) {
            QCOMPARE(relation->source(), source);
            actual << QStringLiteral("%1 -> #%2").arg(relation->type()).arg(objects.indexOf(relation->target()));
        }
        QCOMPARE(actual, wanted);
    }
}

void TestLinkDerivation::lookupsBeforeLoadingAndUnknownNames()
{
    QVERIFY(TestServer::openConnections(QStringLiteral("lk_links")));
    Database db(QStringLiteral("lk_links"), {QStringLiteral("leaf"), QStringLiteral("Leaf")}, nullptr);
    Generator generator(&db, nullptr);
    // Asked before there is anything, and again after: the answers follow
    // the lists.
    QCOMPARE(db.table(QStringLiteral("leaf")), nullptr);
    QCOMPARE(generator.tableObject(QStringLiteral("leaf")), nullptr);
    db.loadTables();
    generator.createTableObjects();
    QVERIFY(db.table(QStringLiteral("leaf")));
    QVERIFY(generator.tableObject(QStringLiteral("leaf")));
    // Names match exactly.
    for (const QString &name : {QStringLiteral("LEAF"), QStringLiteral("leaf "), QString()}) {
        QCOMPARE(db.table(name), nullptr);
        QCOMPARE(generator.tableObject(name), nullptr);
    }
}

void TestLinkDerivation::denseSchemaLinks_data()
{
    // Links of lk_links spelled out, sorted: a hub referenced by many tables,
    // self-references of both kinds, one-to-one pairs, a first key to hub
    // that decides over a second one, names that differ only in case.
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("oneToOne");
    QTest::addColumn<QStringList>("referencing");
    QTest::addColumn<QStringList>("referenced");

    using L = QStringList;
    QTest::newRow("hub") << "hub" << L{"spoke_c"}
                         << L{"outside", "ring_3", "self_tree", "spoke_a", "spoke_b", "spoke_d", "spoke_e",
                              "spoke_f", "tail_1"}
                         << L{};
    QTest::newRow("spoke_c") << "spoke_c" << L{"hub"} << L{} << L{};
    QTest::newRow("self_tree") << "self_tree" << L{} << L{"self_tree"} << L{"hub", "self_tree"};
    QTest::newRow("self_same") << "self_same" << L{"self_same"} << L{} << L{};
    QTest::newRow("twin_p") << "twin_p" << L{"twin_q"} << L{} << L{};
    QTest::newRow("mutual_x") << "mutual_x" << L{"mutual_y"} << L{} << L{"mutual_y"};
    QTest::newRow("mutual_y") << "mutual_y" << L{"mutual_x"} << L{"mutual_x"} << L{};
    QTest::newRow("leaf") << "leaf" << L{} << L{"Leaf"} << L{};
    QTest::newRow("Leaf") << "Leaf" << L{} << L{"tail_1"} << L{"leaf"};
    QTest::newRow("outside") << "outside" << L{} << L{} << L{"hub"};
    QTest::newRow("uses_nokey") << "uses_nokey" << L{} << L{} << L{"nokey"};
}

void TestLinkDerivation::denseSchemaLinks()
{
    QFETCH(QString, table);
    QFETCH(QStringList, oneToOne);
    QFETCH(QStringList, referencing);
    QFETCH(QStringList, referenced);
    QVERIFY(TestServer::openConnections(QStringLiteral("lk_links")));
    std::unique_ptr<Database> db = loadKeys(QStringLiteral("lk_links"), {}, true);
    db->createRelationships();

    QVERIFY(db->table(table));
    QStringList names[3];
    const Links links = linksOf(db->table(table));
    for (int kind = 0; kind < 3; ++kind) {
        for (const Table *other : links[kind])
            names[kind] << other->name();
        names[kind].sort();
    }
    QCOMPARE(names[0], oneToOne);
    QCOMPARE(names[1], referencing);
    QCOMPARE(names[2], referenced);
}

QTEST_GUILESS_MAIN(TestLinkDerivation)
#include "tst_linkderivation.moc"
