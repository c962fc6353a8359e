#include "testserver.h"

#include "mysql/column.h"
#include "mysql/database.h"
#include "mysql/diagnostics.h"
#include "mysql/foreignkey.h"
#include "mysql/foreignkeycolumn.h"
#include "mysql/primarykey.h"
#include "mysql/table.h"

#include <QPlainTextEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace mysql;

namespace {

QStringList g_debugLines;

void captureDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        g_debugLines.append(message);
}

// The whole schema, loaded as a generation run loads it.
std::unique_ptr<Database> loadSchema(const QString &schema, QPlainTextEdit *log = nullptr)
{
    auto db = std::make_unique<Database>(schema, log, nullptr);
    db->loadTables();
    db->createKeys();
    db->createRelationships();
    return db;
}

QStringList namesOf(const QList<Table *> &tables)
{
    QStringList names;
    for (const Table *table : tables)
        names.append(table->name());
    return names;
}

QStringList namesOf(const QList<Column *> &columns)
{
    QStringList names;
    for (const Column *column : columns)
        names.append(column->name());
    return names;
}

// Base tables of a schema in the order the server lists them.
QStringList serverTableOrder(const QString &schema)
{
    QSqlQuery query(QSqlDatabase::database(QStringLiteral("InformationSchema")));
    query.prepare(QStringLiteral("select TABLE_NAME from tables where table_type = 'BASE TABLE' "
                                 "and table_schema = :schema"));
    query.bindValue(QStringLiteral(":schema"), schema);
    query.exec();
    QStringList names;
    while (query.next())
        names.append(query.value(0).toString());
    return names;
}

// `names` in the order the schema's tables were loaded: link lists follow it.
QStringList inTableOrder(const Database &db, QStringList names)
{
    const QStringList order = namesOf(db.tables());
    std::sort(names.begin(), names.end(), [&](const QString &a, const QString &b) {
        return order.indexOf(a) < order.indexOf(b);
    });
    return names;
}

struct KeyColumnRow
{
    QString column;
    int position;
    QString referencedColumn;
};

QList<KeyColumnRow> rowsOf(const Constraint *key)
{
    QList<KeyColumnRow> rows;
    for (const KeyColumn *keyColumn : key->columns()) {
        const auto *foreign = dynamic_cast<const ForeignKeyColumn *>(keyColumn);
        rows.append({keyColumn->column() ? keyColumn->column()->name() : QStringLiteral("<null>"),
                     keyColumn->position(),
                     foreign && foreign->referencedColumn() ? foreign->referencedColumn()->name()
                                                            : QString()});
    }
    std::sort(rows.begin(), rows.end(),
              [](const KeyColumnRow &a, const KeyColumnRow &b) { return a.position < b.position; });
    return rows;
}

QString describe(const QList<KeyColumnRow> &rows)
{
    QStringList parts;
    for (const KeyColumnRow &row : rows) {
        QString part = QStringLiteral("%1@%2").arg(row.column).arg(row.position);
        if (!row.referencedColumn.isEmpty())
            part += QStringLiteral("->") + row.referencedColumn;
        parts.append(part);
    }
    return parts.join(QLatin1Char(','));
}

} // namespace

class TestSchemaReader : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadsBaseTablesInServerOrder();
    void loadsColumns();
    void logLinesFollowTheLoad();
    void debugLines();
    void unknownSchemaIsEmpty();
    void filterList();
    void primaryKeys_data();
    void primaryKeys();
    void foreignKeys_data();
    void foreignKeys();
    void links_data();
    void links();
    void lookupsAreCaseSensitive();
    void toStringOfCliente();
    void failingQueryIsReportedAndLoadGoesOn();
    void keyColumnMissingFromTheTable();
};

void TestSchemaReader::init()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");
    g_debugLines.clear();
}

void TestSchemaReader::cleanup()
{
    qInstallMessageHandler(nullptr);
    TestServer::closeConnections();
}

void TestSchemaReader::loadsBaseTablesInServerOrder()
{
    QVERIFY(TestServer::openConnections(QStringLiteral("rd_basic")));
    const auto db = loadSchema(QStringLiteral("rd_basic"));
    const QStringList names = namesOf(db->tables());
    QCOMPARE(names, serverTableOrder(QStringLiteral("rd_basic")));
    QStringList sorted = names;
    sorted.sort();
    QCOMPARE(sorted, (QStringList{"cliente", "comp", "comp_ref", "nopk", "producto", "venta"}));
    for (const Table *table : db->tables()) {
        QCOMPARE(table->parent(), db.get());
        QCOMPARE(table->objectName(), table->name());
        QCOMPARE(table->database(), db.get());
    }
}

void TestSchemaReader::loadsColumns()
{
    QVERIFY(TestServer::openConnections(QStringLiteral("rd_basic")));
    const auto db = loadSchema(QStringLiteral("rd_basic"));

    const Table *cliente = db->table(QStringLiteral("cliente"));
    QVERIFY(cliente);
    QCOMPARE(namesOf(cliente->columns()), (QStringList{"id", "nombre"}));
    QCOMPARE(namesOf(cliente->notNullColumns()), QStringList{"id"});
    const Column *nombre = cliente->column(QStringLiteral("nombre"));
    QVERIFY(nombre);
    QCOMPARE(nombre->tableName(), QStringLiteral("cliente"));
    QCOMPARE(nombre->dataType(), QStringLiteral("varchar"));
    QCOMPARE(nombre->columnType(), QStringLiteral("varchar(45)"));
    QVERIFY(!nombre->notNull());
    QCOMPARE(nombre->objectName(), QStringLiteral("nombre"));
    QCOMPARE(nombre->parent(), cliente);

    const Table *comp = db->table(QStringLiteral("comp"));
    QCOMPARE(namesOf(comp->columns()), (QStringList{"b", "a", "c"}));
    QCOMPARE(namesOf(comp->notNullColumns()), (QStringList{"b", "a"}));
}

void TestSchemaReader::logLinesFollowTheLoad()
{
    QVERIFY(TestServer::openConnections(QStringLiteral("rd_ab")));
    QPlainTextEdit log;
    const auto db = loadSchema(QStringLiteral("rd_ab"), &log);

    QStringList expected;
    for (const QString &name : namesOf(db->tables()))
        expected.append(QStringLiteral("Getting information from table: ") + name);
    for (const QString &name : namesOf(db->tables()))
        expected.append(QStringLiteral("Creating Primary key for table: ") + name);
    for (const QString &name : namesOf(db->tables()))
        expected.append(QStringLiteral("Creating Foreign key for table: ") + name);
    QCOMPARE(log.toPlainText().split(QLatin1Char('\n')), expected);
}

void TestSchemaReader::debugLines()
{
    QVERIFY(TestServer::openConnections(QStringLiteral("rd_one")));
    qInstallMessageHandler(captureDebug);
    Database db(QStringLiteral("rd_one"), nullptr);
    db.loadTables();
    db.createPrimaryKeys();
    db.createForeignKeys();
    db.dumpTables();
    qInstallMessageHandler(nullptr);

    const QStringList names = namesOf(db.tables());
    QCOMPARE(names.size(), 2);
    QStringList expected;
    for (const QString &name : names)
        expected.append(QStringLiteral("\"%1\" ").arg(name));
    for (const QString &name : names)
        expected.append(QStringLiteral("\"Creado Primary Key de la tabla \"%1\"\" ").arg(name));
    for (const QString &name : names)
        expected.append(QStringLiteral("\"Creado Foreign Key de la tabla \"%1\"\" ").arg(name));
    for (const Table *table : db.tables())
        expected.append(QStringLiteral("\"%1\" ").arg(table->toString()));
    QCOMPARE(g_debugLines, expected);
}

void TestSchemaReader::unknownSchemaIsEmpty()
{
    QVERIFY(TestServer::openConnections(QStringLiteral("rd_basic")));
    QPlainTextEdit log;
    qInstallMessageHandler(captureDebug);
    const int errorsBefore = queryErrorCount();
    const auto db = loadSchema(QStringLiteral("no_such_schema"), &log);
    qInstallMessageHandler(nullptr);
    QVERIFY(db->tables().isEmpty());
    QVERIFY(log.toPlainText().isEmpty());
    QVERIFY(g_debugLines.isEmpty());
    QCOMPARE(queryErrorCount(), errorsBefore);
}

void TestSchemaReader::filterList()
{
    QVERIFY(TestServer::openConnections(QStringLiteral("rd_basic")));
    Database db(QStringLiteral("rd_basic"),
                QStringList{"cliente", "v_cliente", "cliente", "Producto", "producto"}, nullptr);
    db.loadTables();
    // The view and the wrongly cased name load nothing; the doubled name loads twice.
    QCOMPARE(namesOf(db.tables()), inTableOrder(db, {"cliente", "cliente", "producto"}));
    const QList<Table *> clientes = {db.tables().at(namesOf(db.tables()).indexOf("cliente")),
                                     db.tables().at(namesOf(db.tables()).lastIndexOf("cliente"))};
    QVERIFY(clientes.at(0) != clientes.at(1));
    QCOMPARE(clientes.at(1)->columns().size(), 2);
    // Lookups give the first of them.
    QCOMPARE(db.table(QStringLiteral("cliente")), clientes.at(0));
}

void TestSchemaReader::primaryKeys_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("columns");

    QTest::newRow("single") << "rd_basic" << "cliente" << "PRIMARY" << "id@1";
    QTest::newRow("composite, declared order differs") << "rd_basic" << "comp" << "PRIMARY" << "a@1,b@2";
    QTest::newRow("no primary key") << "rd_basic" << "nopk" << "" << "";
    QTest::newRow("key is the reference") << "rd_one" << "b" << "PRIMARY" << "a_id@1";
}

void TestSchemaReader::primaryKeys()
{
    QFETCH(QString, schema);
    QFETCH(QString, table);
    QFETCH(QString, name);
    QFETCH(QString, columns);

    QVERIFY(TestServer::openConnections(schema));
    const auto db = loadSchema(schema);
    const Table *t = db->table(table);
    QVERIFY(t);
    const PrimaryKey *key = t->primaryKey();
    QVERIFY(key);
    QCOMPARE(key->parent(), t);
    QCOMPARE(key->table(), t);
    QCOMPARE(key->objectName(), QStringLiteral("PK -> ") + table);
    QCOMPARE(key->name(), name);
    QCOMPARE(describe(rowsOf(key)), columns);
    for (const KeyColumn *keyColumn : key->columns()) {
        QCOMPARE(keyColumn->parent(), key);
        QCOMPARE(keyColumn->column()->parent(), t);
    }
}

void TestSchemaReader::foreignKeys_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("table");
    // name:referencedTable:columns, sorted by name
    QTest::addColumn<QStringList>("keys");

    QTest::newRow("none") << "rd_basic" << "cliente" << QStringList{};
    QTest::newRow("two columns") << "rd_basic" << "comp_ref"
                                 << QStringList{"fk_comp:comp:x@1->a,y@2->b"};
    QTest::newRow("several keys") << "rd_basic" << "venta"
                                  << QStringList{"fk_venta_cliente:cliente:idcliente@1->id",
                                                 "fk_venta_producto:producto:idproducto@1->id"};
    QTest::newRow("self reference") << "rd_self" << "emp" << QStringList{"fk_boss:emp:boss_id@1->id"};
    QTest::newRow("larger than the table's key") << "rd_sizes" << "big"
                                                 << QStringList{"fk_big_pair:pair:id@1->id,p@2->p"};
}

void TestSchemaReader::foreignKeys()
{
    QFETCH(QString, schema);
    QFETCH(QString, table);
    QFETCH(QStringList, keys);

    QVERIFY(TestServer::openConnections(schema));
    const auto db = loadSchema(schema);
    const Table *t = db->table(table);
    QVERIFY(t);
    QStringList actual;
    for (const ForeignKey *key : t->foreignKeys()) {
        QCOMPARE(key->parent(), t);
        QCOMPARE(key->table(), t);
        QCOMPARE(key->objectName(), key->name());
        QVERIFY(key->referencedTable());
        // The referenced column points into the referenced table itself.
        for (const KeyColumn *keyColumn : key->columns()) {
            const auto *foreign = static_cast<const ForeignKeyColumn *>(keyColumn);
            QCOMPARE(foreign->referencedColumn()->parent(), key->referencedTable());
        }
        actual.append(QStringLiteral("%1:%2:%3")
                              .arg(key->name(), key->referencedTable()->name(), describe(rowsOf(key))));
    }
    actual.sort();
    QCOMPARE(actual, keys);
}

void TestSchemaReader::links_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("oneToOne");
    QTest::addColumn<QStringList>("referencing");
    QTest::addColumn<QStringList>("referenced");

    using L = QStringList;
    QTest::newRow("basic cliente") << "rd_basic" << "cliente" << L{} << L{"venta"} << L{};
    QTest::newRow("basic producto") << "rd_basic" << "producto" << L{} << L{"venta"} << L{};
    QTest::newRow("basic venta, several keys") << "rd_basic" << "venta" << L{} << L{} << L{"cliente", "producto"};
    QTest::newRow("basic comp") << "rd_basic" << "comp" << L{} << L{"comp_ref"} << L{};
    QTest::newRow("basic comp_ref, two columns") << "rd_basic" << "comp_ref" << L{} << L{} << L{"comp"};
    QTest::newRow("basic nopk") << "rd_basic" << "nopk" << L{} << L{} << L{};
    QTest::newRow("self many-to-one") << "rd_self" << "emp" << L{} << L{"emp"} << L{"emp"};
    QTest::newRow("self one-to-one") << "rd_self" << "node" << L{"node"} << L{} << L{};
    QTest::newRow("ab a") << "rd_ab" << "a" << L{} << L{"b", "c"} << L{};
    QTest::newRow("ab b") << "rd_ab" << "b" << L{} << L{} << L{"a"};
    QTest::newRow("ab c") << "rd_ab" << "c" << L{} << L{} << L{"a"};
    QTest::newRow("one-to-one a") << "rd_one" << "a" << L{"b"} << L{} << L{};
    QTest::newRow("one-to-one b") << "rd_one" << "b" << L{"a"} << L{} << L{};
    QTest::newRow("larger key c") << "rd_sizes" << "c" << L{} << L{} << L{"a"};
    QTest::newRow("larger key a") << "rd_sizes" << "a" << L{} << L{"c"} << L{};
    QTest::newRow("larger foreign key big") << "rd_sizes" << "big" << L{} << L{} << L{"pair"};
    QTest::newRow("larger foreign key pair") << "rd_sizes" << "pair" << L{} << L{"big"} << L{};
}

void TestSchemaReader::links()
{
    QFETCH(QString, schema);
    QFETCH(QString, table);
    QFETCH(QStringList, oneToOne);
    QFETCH(QStringList, referencing);
    QFETCH(QStringList, referenced);

    QVERIFY(TestServer::openConnections(schema));
    const auto db = loadSchema(schema);
    const Table *t = db->table(table);
    QVERIFY(t);
    QCOMPARE(namesOf(t->oneToOneTables()), inTableOrder(*db, oneToOne));
    QCOMPARE(namesOf(t->referencingTables()), inTableOrder(*db, referencing));
    QCOMPARE(namesOf(t->referencedTables()), inTableOrder(*db, referenced));
}

void TestSchemaReader::lookupsAreCaseSensitive()
{
    QVERIFY(TestServer::openConnections(QStringLiteral("rd_case")));
    const auto db = loadSchema(QStringLiteral("rd_case"));
    QCOMPARE(db->tables().size(), 2);
    Table *upper = db->table(QStringLiteral("Cliente"));
    Table *lower = db->table(QStringLiteral("cliente"));
    QVERIFY(upper && lower && upper != lower);
    QCOMPARE(upper->name(), QStringLiteral("Cliente"));
    QCOMPARE(lower->name(), QStringLiteral("cliente"));
    QVERIFY(!db->table(QStringLiteral("CLIENTE")));
    QVERIFY(!db->table(QStringLiteral("clien")));
    QVERIFY(lower->column(QStringLiteral("Nombre")));
    QVERIFY(!lower->column(QStringLiteral("nombre")));
}

void TestSchemaReader::toStringOfCliente()
{
    QVERIFY(TestServer::openConnections(QStringLiteral("rd_basic")));
    const auto db = loadSchema(QStringLiteral("rd_basic"));
    QCOMPARE(db->table(QStringLiteral("cliente"))->toString(),
             QStringLiteral("cliente\nColumnas\nid | int(11)\nnombre | varchar(45)\nPrimaryKey\nPRIMARY\nid | int(11)"));
    QCOMPARE(db->table(QStringLiteral("nopk"))->toString(),
             QStringLiteral("nopk\nColumnas\na | int(11)\nb | int(11)\nPrimaryKey\n"));
}

void TestSchemaReader::failingQueryIsReportedAndLoadGoesOn()
{
    // No catalogue connection registered at all.
    TestServer::closeConnections();
    QPlainTextEdit log;
    qInstallMessageHandler(captureDebug);
    const int errorsBefore = queryErrorCount();
    const auto db = loadSchema(QStringLiteral("rd_basic"), &log);
    qInstallMessageHandler(nullptr);

    QVERIFY(db->tables().isEmpty());
    QVERIFY(log.toPlainText().isEmpty());
    QCOMPARE(g_debugLines.size(), 1);
    const QString line = g_debugLines.first();
    QVERIFY2(line.startsWith(QLatin1Char('"')) && line.endsWith(QStringLiteral("\"  - in ->  \"\" ")),
             qPrintable(line));
    QVERIFY(line.size() > QStringLiteral("\"\"  - in ->  \"\" ").size());
    QCOMPARE(queryErrorCount(), errorsBefore + 1);

    // A table built while the catalogue is away keeps no columns, reports
    // where it failed, and its keys stay empty.
    g_debugLines.clear();
    qInstallMessageHandler(captureDebug);
    Database lone(QStringLiteral("rd_basic"), nullptr);
    auto *table = new Table(QStringLiteral("cliente"), &lone);
    table->createPrimaryKey();
    table->loadForeignKeys();
    qInstallMessageHandler(nullptr);
    QVERIFY(table->columns().isEmpty());
    QVERIFY(table->primaryKey()->name().isEmpty());
    QVERIFY(table->primaryKey()->columns().isEmpty());
    QVERIFY(table->foreignKeys().isEmpty());
    QCOMPARE(g_debugLines.size(), 4);
    QVERIFY2(g_debugLines.first().endsWith(
                     QStringLiteral("\"  - in ->  \"mysql::Table::Table(const QString&, QObject*)\" ")),
             qPrintable(g_debugLines.first()));
}

void TestSchemaReader::keyColumnMissingFromTheTable()
{
    // The column is renamed between the column load and the key load, so the
    // key names a column the table does not have.
    QVERIFY(TestServer::openConnections(QStringLiteral("rd_race")));
    QVERIFY(TestServer::exec(QStringLiteral("DROP TABLE IF EXISTS rd_race.r")).isEmpty());
    QVERIFY(TestServer::exec(QStringLiteral("CREATE TABLE rd_race.r (k INT NOT NULL PRIMARY KEY, "
                                            "tk INT, CONSTRAINT fk_r_t FOREIGN KEY (tk) REFERENCES rd_race.t (k))"))
                    .isEmpty());
    Database db(QStringLiteral("rd_race"), nullptr);
    db.loadTables();
    QVERIFY(TestServer::exec(QStringLiteral("ALTER TABLE rd_race.r RENAME COLUMN k TO k2")).isEmpty());
    QVERIFY(TestServer::exec(QStringLiteral("ALTER TABLE rd_race.r RENAME COLUMN tk TO k")).isEmpty());
    db.createKeys();
    db.createRelationships();

    Table *r = db.table(QStringLiteral("r"));
    QVERIFY(r);
    // r's key column k2 is unknown to the loaded table: a null column.
    QCOMPARE(r->primaryKey()->columns().size(), 1);
    QVERIFY(!r->primaryKey()->columns().first()->column());
    QCOMPARE(r->foreignKeys().size(), 1);
    ForeignKey *key = r->foreignKeys().first();
    // A null column never matches, and nothing crashes on it.
    QVERIFY(!r->foreignKeyInPrimaryKey(key));
    QCOMPARE(namesOf(r->referencedTables()), QStringList{"t"});
    QVERIFY(r->oneToOneTables().isEmpty());
}

QTEST_MAIN(TestSchemaReader)
#include "tst_schemareader.moc"
