#include "modeleditorsupport.h"

#include "generators/editorgen.h"
#include "generators/outputtree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_EditorGen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void headerText_data();
    void headerText();
    void sourceText_data();
    void sourceText();
    void namesKeptAsRead_data();
    void namesKeptAsRead();
    void writesBothFiles_data();
    void writesBothFiles();

private:
    void addExampleColumns();
};

namespace {

// `table` names a table of `schema`; with `noColumns` it names no table, which
// stands for a table without columns.
TableObject *exampleTable(SchemaCodeModel &model, const QString &table, bool noColumns)
{
    return noColumns ? model.tableWithoutColumns(table) : model.tableObject(table);
}

} // namespace

void tst_EditorGen::initTestCase()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");
}

void tst_EditorGen::addExampleColumns()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("noColumns");
    QTest::addColumn<QString>("expected");
}

void tst_EditorGen::headerText_data()
{
    addExampleColumns();

    QTest::newRow("cliente") << "me_cliente" << "cliente" << false << golden(R"--(#ifndef CLIENTEEDITOR_H
#define CLIENTEEDITOR_H

#include <gui/extras/customeditor.h>

namespace crud {

class VELLUM_EXPORT ClienteEditor : public CustomEditor
{
\tQ_OBJECT
public:
// Constructors
\texplicit ClienteEditor(QWidget *parent = 0);

};

} // namespace crud

#endif // CLIENTEEDITOR_H)--");

    QTest::newRow("no columns") << "me_cliente" << "sin_columnas" << true << golden(R"--(#ifndef SIN_COLUMNASEDITOR_H
#define SIN_COLUMNASEDITOR_H

#include <gui/extras/customeditor.h>

namespace crud {

class VELLUM_EXPORT Sin_columnasEditor : public CustomEditor
{
\tQ_OBJECT
public:
// Constructors
\texplicit Sin_columnasEditor(QWidget *parent = 0);

};

} // namespace crud

#endif // SIN_COLUMNASEDITOR_H)--");

    QTest::newRow("one column") << "me_onecol" << "pais" << false << golden(R"--(#ifndef PAISEDITOR_H
#define PAISEDITOR_H

#include <gui/extras/customeditor.h>

namespace crud {

class VELLUM_EXPORT PaisEditor : public CustomEditor
{
\tQ_OBJECT
public:
// Constructors
\texplicit PaisEditor(QWidget *parent = 0);

};

} // namespace crud

#endif // PAISEDITOR_H)--");

    QTest::newRow("factura_linea") << "me_factura" << "factura_linea" << false << golden(R"--(#ifndef FACTURA_LINEAEDITOR_H
#define FACTURA_LINEAEDITOR_H

#include <gui/extras/customeditor.h>

namespace crud {

class VELLUM_EXPORT Factura_lineaEditor : public CustomEditor
{
\tQ_OBJECT
public:
// Constructors
\texplicit Factura_lineaEditor(QWidget *parent = 0);

};

} // namespace crud

#endif // FACTURA_LINEAEDITOR_H)--");
}

void tst_EditorGen::headerText()
{
    QFETCH(QString, schema);
    QFETCH(QString, table);
    QFETCH(bool, noColumns);
    QFETCH(QString, expected);

    SchemaCodeModel model(schema);
    QVERIFY(model.isLoaded());
    TableObject *tableObject = exampleTable(model, table, noColumns);
    QVERIFY(tableObject);
    QCOMPARE(tableObject->columns().isEmpty(), noColumns);

    EditorGen gen(tableObject, nullptr);
    QCOMPARE(maskBannerDate(gen.headerText()), bannerGolden() + expected);
}

void tst_EditorGen::sourceText_data()
{
    addExampleColumns();

    QTest::newRow("cliente") << "me_cliente" << "cliente" << false << golden(R"--(#include <QComboBox>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlError>
#include <QDebug>

#include <core/connectionpool.h>

#include "clienteeditor.h"

namespace crud {

ClienteEditor::ClienteEditor(QWidget *parent) :
\tCustomEditor(parent)
{
\tQSqlDatabase *db = Session::instance()->systemDatabase();
\tQSqlQueryModel *model = new QSqlQueryModel(this);
\tmodel->setQuery("select id, nombre from cliente ", *db);

\tmodel->setHeaderData(0, Qt::Horizontal, tr("Id"));
\tmodel->setHeaderData(1, Qt::Horizontal, tr("Nombre"));

\tdescripcionComboBox()->setModel(model);
\tdescripcionComboBox()->setModelColumn(1);

\tif(model->query().lastError().isValid())
\t\tqDebug() << model->query().lastError().text();
}

} // namespace crud
)--");

    QTest::newRow("no columns") << "me_cliente" << "sin_columnas" << true << golden(R"--(#include <QComboBox>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlError>
#include <QDebug>

#include <core/connectionpool.h>

#include "sin_columnaseditor.h"

namespace crud {

Sin_columnasEditor::Sin_columnasEditor(QWidget *parent) :
\tCustomEditor(parent)
{
\tQSqlDatabase *db = Session::instance()->systemDatabase();
\tQSqlQueryModel *model = new QSqlQueryModel(this);
\tmodel->setQuery("select  from sin_columnas ", *db);


\tdescripcionComboBox()->setModel(model);
\tdescripcionComboBox()->setModelColumn(1);

\tif(model->query().lastError().isValid())
\t\tqDebug() << model->query().lastError().text();
}

} // namespace crud
)--");

    QTest::newRow("one column") << "me_onecol" << "pais" << false << golden(R"--(#include <QComboBox>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlError>
#include <QDebug>

#include <core/connectionpool.h>

#include "paiseditor.h"

namespace crud {

PaisEditor::PaisEditor(QWidget *parent) :
\tCustomEditor(parent)
{
\tQSqlDatabase *db = Session::instance()->systemDatabase();
\tQSqlQueryModel *model = new QSqlQueryModel(this);
\tmodel->setQuery("select codigo from pais ", *db);

\tmodel->setHeaderData(0, Qt::Horizontal, tr("Codigo"));

\tdescripcionComboBox()->setModel(model);
\tdescripcionComboBox()->setModelColumn(1);

\tif(model->query().lastError().isValid())
\t\tqDebug() << model->query().lastError().text();
}

} // namespace crud
)--");

    QTest::newRow("factura_linea") << "me_factura" << "factura_linea" << false << golden(R"--(#include <QComboBox>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlError>
#include <QDebug>

#include <core/connectionpool.h>

#include "factura_lineaeditor.h"

namespace crud {

Factura_lineaEditor::Factura_lineaEditor(QWidget *parent) :
\tCustomEditor(parent)
{
\tQSqlDatabase *db = Session::instance()->systemDatabase();
\tQSqlQueryModel *model = new QSqlQueryModel(this);
\tmodel->setQuery("select id, idFactura, cantidad, precio from factura_linea ", *db);

\tmodel->setHeaderData(0, Qt::Horizontal, tr("Id"));
\tmodel->setHeaderData(1, Qt::Horizontal, tr("IdFactura"));
\tmodel->setHeaderData(2, Qt::Horizontal, tr("Cantidad"));
\tmodel->setHeaderData(3, Qt::Horizontal, tr("Precio"));

\tdescripcionComboBox()->setModel(model);
\tdescripcionComboBox()->setModelColumn(1);

\tif(model->query().lastError().isValid())
\t\tqDebug() << model->query().lastError().text();
}

} // namespace crud
)--");
}

void tst_EditorGen::sourceText()
{
    QFETCH(QString, schema);
    QFETCH(QString, table);
    QFETCH(bool, noColumns);
    QFETCH(QString, expected);

    SchemaCodeModel model(schema);
    QVERIFY(model.isLoaded());
    TableObject *tableObject = exampleTable(model, table, noColumns);
    QVERIFY(tableObject);

    EditorGen gen(tableObject, nullptr);
    QCOMPARE(maskBannerDate(gen.sourceText()), bannerGolden() + expected);
}

void tst_EditorGen::namesKeptAsRead_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("header");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("mixed case table, header")
            << "miTabla" << true
            << QStringList{"#ifndef MITABLAEDITOR_H",
                           "class VELLUM_EXPORT MiTablaEditor : public CustomEditor",
                           "\texplicit MiTablaEditor(QWidget *parent = 0);",
                           "#endif // MITABLAEDITOR_H"};
    QTest::newRow("digit and underscore first, source")
            << "miTabla" << false
            << QStringList{"#include \"mitablaeditor.h\"",
                           "MiTablaEditor::MiTablaEditor(QWidget *parent) :",
                           "\tmodel->setQuery(\"select 9vidas, _oculto, Nombre from miTabla \", *db);",
                           "\tmodel->setHeaderData(0, Qt::Horizontal, tr(\"9vidas\"));",
                           "\tmodel->setHeaderData(1, Qt::Horizontal, tr(\"_oculto\"));",
                           "\tmodel->setHeaderData(2, Qt::Horizontal, tr(\"Nombre\"));"};
    QTest::newRow("place markers in names, header")
            << "p%2q" << true
            << QStringList{"#ifndef P%2QEDITOR_H", "#define P%2QEDITOR_H",
                           "class VELLUM_EXPORT P%2qEditor : public CustomEditor",
                           "\texplicit P%2qEditor(QWidget *parent = 0);",
                           "#endif // P%2QEDITOR_H"};
    QTest::newRow("place markers in names, source")
            << "p%2q" << false
            << QStringList{"#include \"p%2qeditor.h\"",
                           "P%2qEditor::P%2qEditor(QWidget *parent) :",
                           "\tmodel->setQuery(\"select a%2, b%1, c%1%2 from p%2q \", *db);",
                           "\tmodel->setHeaderData(0, Qt::Horizontal, tr(\"A%2\"));",
                           "\tmodel->setHeaderData(1, Qt::Horizontal, tr(\"B%1\"));",
                           "\tmodel->setHeaderData(2, Qt::Horizontal, tr(\"C%1%2\"));"};
}

void tst_EditorGen::namesKeptAsRead()
{
    QFETCH(QString, table);
    QFETCH(bool, header);
    QFETCH(QStringList, lines);

    SchemaCodeModel model(QStringLiteral("me_edge"));
    QVERIFY(model.isLoaded());
    TableObject *tableObject = model.tableObject(table);
    QVERIFY(tableObject);

    EditorGen gen(tableObject, nullptr);
    const QStringList textLines = linesOf(header ? gen.headerText() : gen.sourceText());
    for (const QString &line : lines)
        QVERIFY2(textLines.contains(line), qPrintable(QStringLiteral("missing line: ") + line));
}

void tst_EditorGen::writesBothFiles_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("headerName");
    QTest::addColumn<QString>("sourceName");

    QTest::newRow("cliente") << "me_cliente" << "cliente" << "clienteeditor.h" << "clienteeditor.cpp";
    QTest::newRow("factura_linea") << "me_factura" << "factura_linea" << "factura_lineaeditor.h"
                                   << "factura_lineaeditor.cpp";
    QTest::newRow("mixed case") << "me_edge" << "miTabla" << "mitablaeditor.h" << "mitablaeditor.cpp";
}

void tst_EditorGen::writesBothFiles()
{
    QFETCH(QString, schema);
    QFETCH(QString, table);
    QFETCH(QString, headerName);
    QFETCH(QString, sourceName);

    SchemaCodeModel model(schema);
    QVERIFY(model.isLoaded());
    TableObject *tableObject = model.tableObject(table);
    QVERIFY(tableObject);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString directory = root.filePath(QStringLiteral("code/C++/editors"));
    QVERIFY(QDir().mkpath(directory));
    OutputTree tree(root.path());

    EditorGen gen(tableObject, nullptr);
    gen.setOutputTree(&tree);
    QCOMPARE(gen.headerFileName(), headerName);
    QCOMPARE(gen.sourceFileName(), sourceName);
    gen.generateHeader();
    gen.generateSource();
    QCOMPARE(tree.failureCount(), 0);

    QCOMPARE(QDir(directory).entryList(QDir::Files, QDir::Name),
             QStringList({sourceName, headerName}));

    QFile headerFile(directory + QLatin1Char('/') + headerName);
    QVERIFY(headerFile.open(QIODevice::ReadOnly));
    const QString headerOnDisk = QString::fromLocal8Bit(headerFile.readAll());
    QCOMPARE(maskBannerDate(headerOnDisk), maskBannerDate(gen.headerText()));
    // The header stops right after the guard line.
    QVERIFY(headerOnDisk.endsWith(QStringLiteral("EDITOR_H")));

    QFile sourceFile(directory + QLatin1Char('/') + sourceName);
    QVERIFY(sourceFile.open(QIODevice::ReadOnly));
    const QString sourceOnDisk = QString::fromLocal8Bit(sourceFile.readAll());
    QCOMPARE(maskBannerDate(sourceOnDisk), maskBannerDate(gen.sourceText()));
    QVERIFY(sourceOnDisk.endsWith(QStringLiteral("} // namespace crud\n")));
}

QTEST_GUILESS_MAIN(tst_EditorGen)
#include "tst_editorgen.moc"
