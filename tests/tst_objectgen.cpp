#include "generatortestsupport.h"

#include "codemodel/columnobject.h"
#include "codemodel/relation.h"
#include "generators/objectgen.h"
#include "generators/outputtree.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace GeneratorTest;

class tst_ObjectGen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void wholeFiles_data();
    void wholeFiles();

    void fileNamesAndGuards_data();
    void fileNamesAndGuards();

    void idColumnSpelledDifferently_data();
    void idColumnSpelledDifferently();

    void singleObjectMembersStartNull();

    void generateWritesBothFiles();
};

void tst_ObjectGen::initTestCase()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");
}

void tst_ObjectGen::wholeFiles_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("header");
    QTest::addColumn<QString>("goldenFile");

    const auto add = [](const char *schema, const char *table, const QString &file) {
        const QString name = QString::fromLatin1(schema) + QLatin1Char('/') + file;
        const bool header = file.endsWith(QLatin1String(".h"));
        QTest::newRow(qPrintable(name)) << QString::fromLatin1(schema) << QString::fromLatin1(table)
                                        << header << name;
    };
    // Many-to-one to cliente, one-to-many from detalle.
    add("gen_factura", "factura", QStringLiteral("factura.h"));
    add("gen_factura", "factura", QStringLiteral("factura.cpp"));
    // No id column, no relations, mixed-case column names.
    add("gen_naming", "detalle_factura", QStringLiteral("detalle_factura.h"));
    add("gen_naming", "detalle_factura", QStringLiteral("detalle_factura.cpp"));
    // Self reference: two relations to the same class, declared twice.
    add("gen_edge", "nodo", QStringLiteral("nodo.h"));
    add("gen_edge", "nodo", QStringLiteral("nodo.cpp"));
    // idx and identity, tinyint, smallint, decimal, date, time and blob.
    add("gen_edge", "medida", QStringLiteral("medida.h"));
    add("gen_edge", "medida", QStringLiteral("medida.cpp"));
    // Names holding place markers stay as they are.
    add("gen_edge", "p%1x", QStringLiteral("p%1x.h"));
    add("gen_edge", "p%1x", QStringLiteral("p%1x.cpp"));
    // Only the id column: empty column sections.
    add("gen_edge", "solo", QStringLiteral("solo.h"));
    add("gen_edge", "solo", QStringLiteral("solo.cpp"));
    // A key column ID is an ordinary column; the base is QObject.
    add("gen_edge", "codigo", QStringLiteral("codigo.h"));
    add("gen_edge", "codigo", QStringLiteral("codigo.cpp"));
    // No columns at all.
    add("gen_edge", "sincolumnas", QStringLiteral("sincolumnas.h"));
    add("gen_edge", "sincolumnas", QStringLiteral("sincolumnas.cpp"));
}

void tst_ObjectGen::wholeFiles()
{
    QFETCH(QString, schema);
    QFETCH(QString, table);
    QFETCH(bool, header);
    QFETCH(QString, goldenFile);

    CodeModel model(schema);
    QVERIFY(model.isLoaded());
    TableObject *object = model.table(table);
    QVERIFY(object);
    ObjectGen gen(object, model.generator());

    const QString text = header ? gen.headerText() : gen.sourceText();
    const QString expected = golden(goldenFile);
    QVERIFY2(!expected.isEmpty(), qPrintable(goldenFile));
    const QString difference = firstDifference(maskBanner(text), expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void tst_ObjectGen::fileNamesAndGuards_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("headerFile");
    QTest::addColumn<QString>("sourceFile");
    QTest::addColumn<QString>("guard");

    QTest::newRow("underscore") << "order_line" << "Order_line" << "order_line.h" << "order_line.cpp"
                                << "ORDER_LINE";
    QTest::newRow("camel case") << "OrderLine" << "OrderLine" << "orderline.h" << "orderline.cpp"
                                << "ORDERLINE";
    QTest::newRow("place marker") << "p%1x" << "P%1x" << "p%1x.h" << "p%1x.cpp" << "P%1X";
}

void tst_ObjectGen::fileNamesAndGuards()
{
    QFETCH(QString, table);
    QFETCH(QString, className);
    QFETCH(QString, headerFile);
    QFETCH(QString, sourceFile);
    QFETCH(QString, guard);

    CodeModel model(QStringLiteral("gen_edge"));
    QVERIFY(model.isLoaded());
    TableObject *object = model.generator()->tableObject(table);
    QVERIFY(object);
    ObjectGen gen(object, model.generator());

    QCOMPARE(gen.headerFileName(), headerFile);
    QCOMPARE(gen.sourceFileName(), sourceFile);
    const QString headerText = gen.headerText();
    QVERIFY(headerText.contains(QStringLiteral("#ifndef %1_H\n#define %1_H\n").arg(guard)));
    QVERIFY(headerText.endsWith(QStringLiteral("\n#endif // %1_H").arg(guard)));
    QVERIFY(headerText.contains(
            QStringLiteral("class VELLUM_EXPORT %1 : public ObjectBase\n").arg(className)));
    QVERIFY(gen.sourceText().contains(
            QStringLiteral("#include \"%1\"\n").arg(headerFile)));
}

void tst_ObjectGen::idColumnSpelledDifferently_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("setter");
    QTest::addColumn<QString>("memberType");
    QTest::addColumn<QString>("conversion");

    // Only "id" itself is the id column; these are typed by their field.
    QTest::newRow("ID varchar") << "codigo" << "ID" << "setID" << "QString" << "toString()";
    QTest::newRow("Id int") << "marca" << "Id" << "setId" << "qlonglong" << "toLongLong()";
}

void tst_ObjectGen::idColumnSpelledDifferently()
{
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QString, setter);
    QFETCH(QString, memberType);
    QFETCH(QString, conversion);

    CodeModel model(QStringLiteral("gen_edge"));
    QVERIFY(model.isLoaded());
    TableObject *object = model.generator()->tableObject(table);
    QVERIFY(object);
    ObjectGen gen(object, model.generator());
    const QString header = gen.headerText();
    const QString source = gen.sourceText();
    const QString className = object->className();

    QVERIFY(header.contains(QStringLiteral(" : public QObject\n")));
    QVERIFY(header.contains(
            QStringLiteral("\tQ_PROPERTY(QVariant %1\n\t\tREAD %1\n\t\tWRITE %2)\n").arg(column, setter)));
    QVERIFY(header.contains(QStringLiteral("\n\t%1 m_%2;").arg(memberType, column)));
    QVERIFY(source.contains(QStringLiteral("%1::%1(QObject *parent) :\n\tQObject(parent)\n").arg(className)));
    QVERIFY(source.contains(QStringLiteral("\t%1(record.value(0));\n").arg(setter)));
    QVERIFY(source.contains(QStringLiteral("QVariant %1::%2() const\n{\n\treturn m_%2;\n}\n").arg(className, column)));
    QVERIFY(source.contains(QStringLiteral("void %1::%2(QVariant value)\n{\n\tm_%3 = value.%4;\n}\n")
                                    .arg(className, setter, column, conversion)));
}

void tst_ObjectGen::singleObjectMembersStartNull()
{
    // detalle holds one factura; factura holds a list of detalle and one
    // cliente. Only single objects get a null start, in both constructors.
    CodeModel model(QStringLiteral("gen_factura"));
    QVERIFY(model.isLoaded());

    ObjectGen detalle(model.generator()->tableObject(QStringLiteral("detalle")), model.generator());
    const QString detalleSource = detalle.sourceText();
    QCOMPARE(detalleSource.count(QStringLiteral("\tm_factura = 0;\n")), 2);
    QVERIFY(detalleSource.contains(QStringLiteral(
            "Detalle::Detalle(QObject *parent) :\n\tObjectBase(parent)\n{\n\tm_factura = 0;\n\n}\n\n")));
    QVERIFY(detalleSource.contains(QStringLiteral(
            "{\n\tm_factura = 0;\n\t// id, idfactura, cantidad\n\tsetId(record.value(0));\n")));

    ObjectGen cliente(model.generator()->tableObject(QStringLiteral("cliente")), model.generator());
    const QString clienteSource = cliente.sourceText();
    QVERIFY(!clienteSource.contains(QStringLiteral(" = 0;")));
    QVERIFY(clienteSource.contains(QStringLiteral(
            "Cliente::Cliente(QObject *parent) :\n\tObjectBase(parent)\n{\n\n}\n\n")));
}

void tst_ObjectGen::generateWritesBothFiles()
{
    CodeModel model(QStringLiteral("gen_factura"));
    QVERIFY(model.isLoaded());
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("code/C++/object")));
    OutputTree tree(root.path());
    QStringList failures;
    tree.setFailureHandler([&failures](const QString &line) { failures.append(line); });

    ObjectGen gen(model.generator()->tableObject(QStringLiteral("factura")), model.generator());
    gen.setOutputTree(&tree);
    gen.generateHeader();
    gen.generateSource();

    QCOMPARE(failures, QStringList());
    const QString directory = root.path() + QStringLiteral("/code/C++/object/");
    QCOMPARE(QDir(directory).entryList(QDir::Files), QStringList({"factura.cpp", "factura.h"}));
    QString difference = firstDifference(maskBanner(readFile(directory + QStringLiteral("factura.h"))),
                                         golden(QStringLiteral("gen_factura/factura.h")));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    difference = firstDifference(maskBanner(readFile(directory + QStringLiteral("factura.cpp"))),
                                 golden(QStringLiteral("gen_factura/factura.cpp")));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

QTEST_GUILESS_MAIN(tst_ObjectGen)
#include "tst_objectgen.moc"
