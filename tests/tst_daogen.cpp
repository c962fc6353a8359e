#include "generatortestsupport.h"

#include "generators/daogen.h"
#include "generators/outputtree.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace GeneratorTest;

class tst_DAOGen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void wholeFiles_data();
    void wholeFiles();

    void fileNamesAndGuards_data();
    void fileNamesAndGuards();

    void sequenceOnlyWithIdColumn_data();
    void sequenceOnlyWithIdColumn();

    void generateWritesBothFiles();
};

void tst_DAOGen::initTestCase()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");
}

void tst_DAOGen::wholeFiles_data()
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
    add("gen_invoice", "invoice", QStringLiteral("invoicedao.h"));
    add("gen_invoice", "invoice", QStringLiteral("invoicedao.cpp"));
    // No id column: no sequence, but the update still names id.
    add("gen_naming", "detalle_factura", QStringLiteral("detalle_facturadao.h"));
    add("gen_naming", "detalle_factura", QStringLiteral("detalle_facturadao.cpp"));
    add("gen_edge", "codigo", QStringLiteral("codigodao.cpp"));
    // Place markers in table and column names reach the text untouched.
    add("gen_edge", "p%1x", QStringLiteral("p%1xdao.h"));
    add("gen_edge", "p%1x", QStringLiteral("p%1xdao.cpp"));
    add("gen_edge", "solo", QStringLiteral("solodao.cpp"));
    // Empty column lists; the header does not change.
    add("gen_edge", "sincolumnas", QStringLiteral("sincolumnasdao.h"));
    add("gen_edge", "sincolumnas", QStringLiteral("sincolumnasdao.cpp"));
    // Class names keep their case; variable, table and sequence do not.
    add("gen_edge", "OrderLine", QStringLiteral("orderlinedao.h"));
    add("gen_edge", "OrderLine", QStringLiteral("orderlinedao.cpp"));
}

void tst_DAOGen::wholeFiles()
{
    QFETCH(QString, schema);
    QFETCH(QString, table);
    QFETCH(bool, header);
    QFETCH(QString, goldenFile);

    CodeModel model(schema);
    QVERIFY(model.isLoaded());
    TableObject *object = model.table(table);
    QVERIFY(object);
    DAOGen gen(object, model.generator());

    const QString text = header ? gen.headerText() : gen.sourceText();
    const QString expected = golden(goldenFile);
    QVERIFY2(!expected.isEmpty(), qPrintable(goldenFile));
    const QString difference = firstDifference(maskBanner(text), expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void tst_DAOGen::fileNamesAndGuards_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("daoClassName");
    QTest::addColumn<QString>("headerFile");
    QTest::addColumn<QString>("sourceFile");
    QTest::addColumn<QString>("guard");

    QTest::newRow("underscore") << "order_line" << "Order_lineDAO" << "order_linedao.h"
                                << "order_linedao.cpp" << "ORDER_LINEDAO";
    QTest::newRow("camel case") << "OrderLine" << "OrderLineDAO" << "orderlinedao.h"
                                << "orderlinedao.cpp" << "ORDERLINEDAO";
}

void tst_DAOGen::fileNamesAndGuards()
{
    QFETCH(QString, table);
    QFETCH(QString, daoClassName);
    QFETCH(QString, headerFile);
    QFETCH(QString, sourceFile);
    QFETCH(QString, guard);

    CodeModel model(QStringLiteral("gen_edge"));
    QVERIFY(model.isLoaded());
    TableObject *object = model.generator()->tableObject(table);
    QVERIFY(object);
    DAOGen gen(object, model.generator());

    QCOMPARE(gen.headerFileName(), headerFile);
    QCOMPARE(gen.sourceFileName(), sourceFile);
    const QString header = gen.headerText();
    QVERIFY(header.contains(QStringLiteral("#ifndef %1_H\n#define %1_H\n").arg(guard)));
    QVERIFY(header.endsWith(QStringLiteral("} // namespace crud\n#endif // %1_H").arg(guard)));
    QVERIFY(header.contains(QStringLiteral("class VELLUM_EXPORT %1 : public GenericDAO<").arg(daoClassName)));
    QVERIFY(gen.sourceText().contains(QStringLiteral("#include \"%1\"\n").arg(headerFile)));
}

void tst_DAOGen::sequenceOnlyWithIdColumn_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("sequence");

    QTest::newRow("id") << "medida" << true;
    QTest::newRow("ID") << "codigo" << false;
    QTest::newRow("Id") << "marca" << false;
}

void tst_DAOGen::sequenceOnlyWithIdColumn()
{
    QFETCH(QString, table);
    QFETCH(bool, sequence);

    CodeModel model(QStringLiteral("gen_edge"));
    QVERIFY(model.isLoaded());
    TableObject *object = model.generator()->tableObject(table);
    QVERIFY(object);
    DAOGen gen(object, model.generator());
    const QString source = gen.sourceText();
    const QString variable = table.toLower();

    const QString sequenceLines =
            QStringLiteral("\ttry{\n\t\tqlonglong id = Functions::getSecuencia(\"seq_%1\", db);\n"
                           "\t\t%1->setId(id);\n\t\tSqlQuery query(db);\n")
                    .arg(variable);
    QCOMPARE(source.contains(sequenceLines), sequence);
    QCOMPARE(source.count(QStringLiteral("getSecuencia")), sequence ? 1 : 0);
    QCOMPARE(source.count(QStringLiteral("->setId(")), sequence ? 1 : 0);
    // Whatever the key, the update selects its row by id.
    QVERIFY(source.contains(QStringLiteral(" where id = :id \");\n\t\tquery.bindValue(")));
}

void tst_DAOGen::generateWritesBothFiles()
{
    CodeModel model(QStringLiteral("gen_invoice"));
    QVERIFY(model.isLoaded());
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("code/C++/dao")));
    OutputTree tree(root.path());
    QStringList failures;
    tree.setFailureHandler([&failures](const QString &line) { failures.append(line); });

    DAOGen gen(model.generator()->tableObject(QStringLiteral("invoice")), model.generator());
    gen.setOutputTree(&tree);
    gen.generateHeader();
    gen.generateSource();

    QCOMPARE(failures, QStringList());
    const QString directory = root.path() + QStringLiteral("/code/C++/dao/");
    QCOMPARE(QDir(directory).entryList(QDir::Files), QStringList({"invoicedao.cpp", "invoicedao.h"}));
    QString difference = firstDifference(maskBanner(readFile(directory + QStringLiteral("invoicedao.h"))),
                                         golden(QStringLiteral("gen_invoice/invoicedao.h")));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    difference = firstDifference(maskBanner(readFile(directory + QStringLiteral("invoicedao.cpp"))),
                                 golden(QStringLiteral("gen_invoice/invoicedao.cpp")));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

QTEST_GUILESS_MAIN(tst_DAOGen)
#include "tst_daogen.moc"
