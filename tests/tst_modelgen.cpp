#include "modeleditorsupport.h"

#include "generators/modelgen.h"
#include "generators/outputtree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_ModelGen : public QObject
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

void tst_ModelGen::initTestCase()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");
}

void tst_ModelGen::addExampleColumns()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("noColumns");
    QTest::addColumn<QString>("expected");
}

void tst_ModelGen::headerText_data()
{
    addExampleColumns();

    QTest::newRow("cliente") << "me_cliente" << "cliente" << false << golden(R"--(#ifndef CLIENTEMODEL_H
#define CLIENTEMODEL_H
#include <QAbstractTableModel>

#include <global/vellum_global.h>

namespace crud {

// Object Forward Declarations
class Cliente;

class VELLUM_EXPORT ClienteModel : public QAbstractTableModel
{
\tQ_OBJECT
public:
// Enum Declaration
\tenum KCliente\s
\t{
\t\tKId = 0,
\t\tKNombre = 1
\t};

// Constructors
\tClienteModel(QObject *parent = 0);
\tClienteModel(QList<Cliente *> *clienteList, QObject *parent = 0);

// Model Methods
\tQVariant data(const QModelIndex &index, int role) const;
\tbool setData(const QModelIndex &index, const QVariant &value, int role);
\tQVariant headerData(int section, Qt::Orientation orientation, int role) const;
\tQt::ItemFlags flags(const QModelIndex &index) const;
\tint rowCount(const QModelIndex &parent = QModelIndex()) const;
\tint columnCount(const QModelIndex &parent = QModelIndex()) const;
\tbool insertRows(int row, int count, const QModelIndex &parent = QModelIndex());
\tbool removeRows(int row, int count, const QModelIndex &parent = QModelIndex());

// Add Method
\tbool addCliente(Cliente *);

// Private Member
private:
\tQList<Cliente *>  *m_clienteList;

};

} // namespace crud

#endif // CLIENTEMODEL_H)--");

    QTest::newRow("no columns") << "me_cliente" << "sin_columnas" << true << golden(R"--(#ifndef SIN_COLUMNASMODEL_H
#define SIN_COLUMNASMODEL_H
#include <QAbstractTableModel>

#include <global/vellum_global.h>

namespace crud {

// Object Forward Declarations
class Sin_columnas;

class VELLUM_EXPORT Sin_columnasModel : public QAbstractTableModel
{
\tQ_OBJECT
public:
// Enum Declaration
\tenum KSin_columnas\s
\t{
\t};

// Constructors
\tSin_columnasModel(QObject *parent = 0);
\tSin_columnasModel(QList<Sin_columnas *> *sin_columnasList, QObject *parent = 0);

// Model Methods
\tQVariant data(const QModelIndex &index, int role) const;
\tbool setData(const QModelIndex &index, const QVariant &value, int role);
\tQVariant headerData(int section, Qt::Orientation orientation, int role) const;
\tQt::ItemFlags flags(const QModelIndex &index) const;
\tint rowCount(const QModelIndex &parent = QModelIndex()) const;
\tint columnCount(const QModelIndex &parent = QModelIndex()) const;
\tbool insertRows(int row, int count, const QModelIndex &parent = QModelIndex());
\tbool removeRows(int row, int count, const QModelIndex &parent = QModelIndex());

// Add Method
\tbool addSin_columnas(Sin_columnas *);

// Private Member
private:
\tQList<Sin_columnas *>  *m_sin_columnasList;

};

} // namespace crud

#endif // SIN_COLUMNASMODEL_H)--");

    QTest::newRow("one column") << "me_onecol" << "pais" << false << golden(R"--(#ifndef PAISMODEL_H
#define PAISMODEL_H
#include <QAbstractTableModel>

#include <global/vellum_global.h>

namespace crud {

// Object Forward Declarations
class Pais;

class VELLUM_EXPORT PaisModel : public QAbstractTableModel
{
\tQ_OBJECT
public:
// Enum Declaration
\tenum KPais\s
\t{
\t\tKCodigo = 0
\t};

// Constructors
\tPaisModel(QObject *parent = 0);
\tPaisModel(QList<Pais *> *paisList, QObject *parent = 0);

// Model Methods
\tQVariant data(const QModelIndex &index, int role) const;
\tbool setData(const QModelIndex &index, const QVariant &value, int role);
\tQVariant headerData(int section, Qt::Orientation orientation, int role) const;
\tQt::ItemFlags flags(const QModelIndex &index) const;
\tint rowCount(const QModelIndex &parent = QModelIndex()) const;
\tint columnCount(const QModelIndex &parent = QModelIndex()) const;
\tbool insertRows(int row, int count, const QModelIndex &parent = QModelIndex());
\tbool removeRows(int row, int count, const QModelIndex &parent = QModelIndex());

// Add Method
\tbool addPais(Pais *);

// Private Member
private:
\tQList<Pais *>  *m_paisList;

};

} // namespace crud

#endif // PAISMODEL_H)--");

    QTest::newRow("factura_linea") << "me_factura" << "factura_linea" << false << golden(R"--(#ifndef FACTURA_LINEAMODEL_H
#define FACTURA_LINEAMODEL_H
#include <QAbstractTableModel>

#include <global/vellum_global.h>

namespace crud {

// Object Forward Declarations
class Factura_linea;

class VELLUM_EXPORT Factura_lineaModel : public QAbstractTableModel
{
\tQ_OBJECT
public:
// Enum Declaration
\tenum KFactura_linea\s
\t{
\t\tKId = 0,
\t\tKIdFactura = 1,
\t\tKCantidad = 2,
\t\tKPrecio = 3
\t};

// Constructors
\tFactura_lineaModel(QObject *parent = 0);
\tFactura_lineaModel(QList<Factura_linea *> *factura_lineaList, QObject *parent = 0);

// Model Methods
\tQVariant data(const QModelIndex &index, int role) const;
\tbool setData(const QModelIndex &index, const QVariant &value, int role);
\tQVariant headerData(int section, Qt::Orientation orientation, int role) const;
\tQt::ItemFlags flags(const QModelIndex &index) const;
\tint rowCount(const QModelIndex &parent = QModelIndex()) const;
\tint columnCount(const QModelIndex &parent = QModelIndex()) const;
\tbool insertRows(int row, int count, const QModelIndex &parent = QModelIndex());
\tbool removeRows(int row, int count, const QModelIndex &parent = QModelIndex());

// Add Method
\tbool addFactura_linea(Factura_linea *);

// Private Member
private:
\tQList<Factura_linea *>  *m_factura_lineaList;

};

} // namespace crud

#endif // FACTURA_LINEAMODEL_H)--");
}

void tst_ModelGen::headerText()
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

    ModelGen gen(tableObject, nullptr);
    QCOMPARE(maskBannerDate(gen.headerText()), bannerGolden() + expected);
}

void tst_ModelGen::sourceText_data()
{
    addExampleColumns();

    QTest::newRow("cliente") << "me_cliente" << "cliente" << false << golden(R"--(#include "clientemodel.h"
#include "../object/cliente.h"

namespace crud {

ClienteModel::ClienteModel(QObject *parent) :
\tQAbstractTableModel(parent)
{

}

ClienteModel::ClienteModel(QList<Cliente *> *clienteList, QObject *parent) :
\tQAbstractTableModel(parent)
{

\tm_clienteList = clienteList;
}

QVariant ClienteModel::data(const QModelIndex &index, int role) const
{
\tif(!index.isValid())\s
\t\treturn QVariant();
\tconst Cliente &obj = *(m_clienteList->at(index.row()));
\tif((role == Qt::DisplayRole) || (role == Qt::EditRole))
\t{
\t\tswitch(index.column())
\t\t{
\t\tcase KId:\s
\t\t\treturn obj.id();
\t\tcase KNombre:\s
\t\t\treturn obj.nombre();
\t\tdefault:\s
\t\t\tqWarning("Error: ClienteModel::data()");
\t\t}
\t}
\treturn QVariant();
}

bool ClienteModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
\treturn false;
}

QVariant ClienteModel::headerData(int section, Qt::Orientation orientation, int role) const
{
\tif(role != Qt::DisplayRole)\s
\t\treturn QVariant();
\tif(orientation == Qt::Horizontal)
\t{
\t\tswitch(section)
\t\t{
\t\tcase KId:\s
\t\t\treturn tr("Id");
\t\tcase KNombre:\s
\t\t\treturn tr("Nombre");
\t\tdefault:\s
\t\t\tqWarning("Error: ClienteModel::headerData()");
\t\t}
\t}
\treturn QVariant();
}

Qt::ItemFlags ClienteModel::flags(const QModelIndex &index) const
{
\tQt::ItemFlags flags = QAbstractTableModel::flags(index);
\treturn flags;
}

int ClienteModel::rowCount(const QModelIndex &) const
{
\treturn m_clienteList->count();
}

int ClienteModel::columnCount(const QModelIndex &) const
{
\treturn 2;
}

bool ClienteModel::insertRows(int row, int count, const QModelIndex &parent)
{
\tbeginInsertRows(parent, row, row + count -1);
\tendInsertRows();
\treturn true;
}

bool ClienteModel::removeRows(int row, int count, const QModelIndex &parent)
{
\tbeginRemoveRows(parent, row, row + count -1);
\tm_clienteList->removeAt(row);
\tendRemoveRows();
\treturn true;
}

bool ClienteModel::addCliente(Cliente *obj)
{
\tm_clienteList->append(obj);
\treturn insertRows(m_clienteList->count() -1, 1);
}

} // namespace crud
)--");

    QTest::newRow("no columns") << "me_cliente" << "sin_columnas" << true << golden(R"--(#include "sin_columnasmodel.h"
#include "../object/sin_columnas.h"

namespace crud {

Sin_columnasModel::Sin_columnasModel(QObject *parent) :
\tQAbstractTableModel(parent)
{

}

Sin_columnasModel::Sin_columnasModel(QList<Sin_columnas *> *sin_columnasList, QObject *parent) :
\tQAbstractTableModel(parent)
{

\tm_sin_columnasList = sin_columnasList;
}

QVariant Sin_columnasModel::data(const QModelIndex &index, int role) const
{
\tif(!index.isValid())\s
\t\treturn QVariant();
\tconst Sin_columnas &obj = *(m_sin_columnasList->at(index.row()));
\tif((role == Qt::DisplayRole) || (role == Qt::EditRole))
\t{
\t\tswitch(index.column())
\t\t{
\t\tdefault:\s
\t\t\tqWarning("Error: Sin_columnasModel::data()");
\t\t}
\t}
\treturn QVariant();
}

bool Sin_columnasModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
\treturn false;
}

QVariant Sin_columnasModel::headerData(int section, Qt::Orientation orientation, int role) const
{
\tif(role != Qt::DisplayRole)\s
\t\treturn QVariant();
\tif(orientation == Qt::Horizontal)
\t{
\t\tswitch(section)
\t\t{
\t\tdefault:\s
\t\t\tqWarning("Error: Sin_columnasModel::headerData()");
\t\t}
\t}
\treturn QVariant();
}

Qt::ItemFlags Sin_columnasModel::flags(const QModelIndex &index) const
{
\tQt::ItemFlags flags = QAbstractTableModel::flags(index);
\treturn flags;
}

int Sin_columnasModel::rowCount(const QModelIndex &) const
{
\treturn m_sin_columnasList->count();
}

int Sin_columnasModel::columnCount(const QModelIndex &) const
{
\treturn 0;
}

bool Sin_columnasModel::insertRows(int row, int count, const QModelIndex &parent)
{
\tbeginInsertRows(parent, row, row + count -1);
\tendInsertRows();
\treturn true;
}

bool Sin_columnasModel::removeRows(int row, int count, const QModelIndex &parent)
{
\tbeginRemoveRows(parent, row, row + count -1);
\tm_sin_columnasList->removeAt(row);
\tendRemoveRows();
\treturn true;
}

bool Sin_columnasModel::addSin_columnas(Sin_columnas *obj)
{
\tm_sin_columnasList->append(obj);
\treturn insertRows(m_sin_columnasList->count() -1, 1);
}

} // namespace crud
)--");

    QTest::newRow("one column") << "me_onecol" << "pais" << false << golden(R"--(#include "paismodel.h"
#include "../object/pais.h"

namespace crud {

PaisModel::PaisModel(QObject *parent) :
\tQAbstractTableModel(parent)
{

}

PaisModel::PaisModel(QList<Pais *> *paisList, QObject *parent) :
\tQAbstractTableModel(parent)
{

\tm_paisList = paisList;
}

QVariant PaisModel::data(const QModelIndex &index, int role) const
{
\tif(!index.isValid())\s
\t\treturn QVariant();
\tconst Pais &obj = *(m_paisList->at(index.row()));
\tif((role == Qt::DisplayRole) || (role == Qt::EditRole))
\t{
\t\tswitch(index.column())
\t\t{
\t\tcase KCodigo:\s
\t\t\treturn obj.codigo();
\t\tdefault:\s
\t\t\tqWarning("Error: PaisModel::data()");
\t\t}
\t}
\treturn QVariant();
}

bool PaisModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
\treturn false;
}

QVariant PaisModel::headerData(int section, Qt::Orientation orientation, int role) const
{
\tif(role != Qt::DisplayRole)\s
\t\treturn QVariant();
\tif(orientation == Qt::Horizontal)
\t{
\t\tswitch(section)
\t\t{
\t\tcase KCodigo:\s
\t\t\treturn tr("Codigo");
\t\tdefault:\s
\t\t\tqWarning("Error: PaisModel::headerData()");
\t\t}
\t}
\treturn QVariant();
}

Qt::ItemFlags PaisModel::flags(const QModelIndex &index) const
{
\tQt::ItemFlags flags = QAbstractTableModel::flags(index);
\treturn flags;
}

int PaisModel::rowCount(const QModelIndex &) const
{
\treturn m_paisList->count();
}

int PaisModel::columnCount(const QModelIndex &) const
{
\treturn 1;
}

bool PaisModel::insertRows(int row, int count, const QModelIndex &parent)
{
\tbeginInsertRows(parent, row, row + count -1);
\tendInsertRows();
\treturn true;
}

bool PaisModel::removeRows(int row, int count, const QModelIndex &parent)
{
\tbeginRemoveRows(parent, row, row + count -1);
\tm_paisList->removeAt(row);
\tendRemoveRows();
\treturn true;
}

bool PaisModel::addPais(Pais *obj)
{
\tm_paisList->append(obj);
\treturn insertRows(m_paisList->count() -1, 1);
}

} // namespace crud
)--");

    QTest::newRow("factura_linea") << "me_factura" << "factura_linea" << false << golden(R"--(#include "factura_lineamodel.h"
#include "../object/factura_linea.h"

namespace crud {

Factura_lineaModel::Factura_lineaModel(QObject *parent) :
\tQAbstractTableModel(parent)
{

}

Factura_lineaModel::Factura_lineaModel(QList<Factura_linea *> *factura_lineaList, QObject *parent) :
\tQAbstractTableModel(parent)
{

\tm_factura_lineaList = factura_lineaList;
}

QVariant Factura_lineaModel::data(const QModelIndex &index, int role) const
{
\tif(!index.isValid())\s
\t\treturn QVariant();
\tconst Factura_linea &obj = *(m_factura_lineaList->at(index.row()));
\tif((role == Qt::DisplayRole) || (role == Qt::EditRole))
\t{
\t\tswitch(index.column())
\t\t{
\t\tcase KId:\s
\t\t\treturn obj.id();
\t\tcase KIdFactura:\s
\t\t\treturn obj.idFactura();
\t\tcase KCantidad:\s
\t\t\treturn obj.cantidad();
\t\tcase KPrecio:\s
\t\t\treturn obj.precio();
\t\tdefault:\s
\t\t\tqWarning("Error: Factura_lineaModel::data()");
\t\t}
\t}
\treturn QVariant();
}

bool Factura_lineaModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
\treturn false;
}

QVariant Factura_lineaModel::headerData(int section, Qt::Orientation orientation, int role) const
{
\tif(role != Qt::DisplayRole)\s
\t\treturn QVariant();
\tif(orientation == Qt::Horizontal)
\t{
\t\tswitch(section)
\t\t{
\t\tcase KId:\s
\t\t\treturn tr("Id");
\t\tcase KIdFactura:\s
\t\t\treturn tr("IdFactura");
\t\tcase KCantidad:\s
\t\t\treturn tr("Cantidad");
\t\tcase KPrecio:\s
\t\t\treturn tr("Precio");
\t\tdefault:\s
\t\t\tqWarning("Error: Factura_lineaModel::headerData()");
\t\t}
\t}
\treturn QVariant();
}

Qt::ItemFlags Factura_lineaModel::flags(const QModelIndex &index) const
{
\tQt::ItemFlags flags = QAbstractTableModel::flags(index);
\treturn flags;
}

int Factura_lineaModel::rowCount(const QModelIndex &) const
{
\treturn m_factura_lineaList->count();
}

int Factura_lineaModel::columnCount(const QModelIndex &) const
{
\treturn 4;
}

bool Factura_lineaModel::insertRows(int row, int count, const QModelIndex &parent)
{
\tbeginInsertRows(parent, row, row + count -1);
\tendInsertRows();
\treturn true;
}

bool Factura_lineaModel::removeRows(int row, int count, const QModelIndex &parent)
{
\tbeginRemoveRows(parent, row, row + count -1);
\tm_factura_lineaList->removeAt(row);
\tendRemoveRows();
\treturn true;
}

bool Factura_lineaModel::addFactura_linea(Factura_linea *obj)
{
\tm_factura_lineaList->append(obj);
\treturn insertRows(m_factura_lineaList->count() -1, 1);
}

} // namespace crud
)--");
}

void tst_ModelGen::sourceText()
{
    QFETCH(QString, schema);
    QFETCH(QString, table);
    QFETCH(bool, noColumns);
    QFETCH(QString, expected);

    SchemaCodeModel model(schema);
    QVERIFY(model.isLoaded());
    TableObject *tableObject = exampleTable(model, table, noColumns);
    QVERIFY(tableObject);

    ModelGen gen(tableObject, nullptr);
    QCOMPARE(maskBannerDate(gen.sourceText()), bannerGolden() + expected);
}

void tst_ModelGen::namesKeptAsRead_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("header");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("digit and underscore first, header")
            << "miTabla" << true
            << QStringList{"\t\tK9vidas = 0,", "\t\tK_oculto = 1,", "\t\tKNombre = 2"};
    QTest::newRow("digit and underscore first, source")
            << "miTabla" << false
            << QStringList{"\t\tcase K9vidas: ", "\t\t\treturn obj.9vidas();",
                           "\t\t\treturn tr(\"9vidas\");", "\t\tcase K_oculto: ",
                           "\t\t\treturn obj._oculto();", "\t\t\treturn tr(\"_oculto\");",
                           "\t\tcase KNombre: ", "\t\t\treturn obj.Nombre();"};
    QTest::newRow("table case in members, header")
            << "miTabla" << true
            << QStringList{"#ifndef MITABLAMODEL_H", "class MiTabla;",
                           "\tenum KMiTabla ",
                           "\tMiTablaModel(QList<MiTabla *> *miTablaList, QObject *parent = 0);",
                           "\tbool addMiTabla(MiTabla *);",
                           "\tQList<MiTabla *>  *m_miTablaList;", "#endif // MITABLAMODEL_H"};
    QTest::newRow("table case in members, source")
            << "miTabla" << false
            << QStringList{"#include \"mitablamodel.h\"", "#include \"../object/mitabla.h\"",
                           "MiTablaModel::MiTablaModel(QList<MiTabla *> *miTablaList, QObject *parent) :",
                           "\tm_miTablaList = miTablaList;",
                           "\tconst MiTabla &obj = *(m_miTablaList->at(index.row()));",
                           "\treturn m_miTablaList->count();", "\tm_miTablaList->removeAt(row);",
                           "\tm_miTablaList->append(obj);",
                           "\treturn insertRows(m_miTablaList->count() -1, 1);"};
    QTest::newRow("place markers in names, header")
            << "p%2q" << true
            << QStringList{"#ifndef P%2QMODEL_H", "class P%2q;",
                           "class VELLUM_EXPORT P%2qModel : public QAbstractTableModel",
                           "\tenum KP%2q ", "\t\tKA%2 = 0,", "\t\tKB%1 = 1,", "\t\tKC%1%2 = 2",
                           "\tP%2qModel(QObject *parent = 0);",
                           "\tP%2qModel(QList<P%2q *> *p%2qList, QObject *parent = 0);",
                           "\tbool addP%2q(P%2q *);", "\tQList<P%2q *>  *m_p%2qList;",
                           "#endif // P%2QMODEL_H"};
    QTest::newRow("place markers in names, source")
            << "p%2q" << false
            << QStringList{"#include \"p%2qmodel.h\"", "#include \"../object/p%2q.h\"",
                           "P%2qModel::P%2qModel(QObject *parent) :",
                           "P%2qModel::P%2qModel(QList<P%2q *> *p%2qList, QObject *parent) :",
                           "\tm_p%2qList = p%2qList;",
                           "QVariant P%2qModel::data(const QModelIndex &index, int role) const",
                           "\tconst P%2q &obj = *(m_p%2qList->at(index.row()));",
                           "\t\tcase KA%2: ", "\t\t\treturn obj.a%2();", "\t\t\treturn tr(\"A%2\");",
                           "\t\tcase KB%1: ", "\t\t\treturn obj.b%1();", "\t\t\treturn tr(\"B%1\");",
                           "\t\tcase KC%1%2: ", "\t\t\treturn obj.c%1%2();",
                           "\t\t\treturn tr(\"C%1%2\");",
                           "\t\t\tqWarning(\"Error: P%2qModel::data()\");",
                           "\t\t\tqWarning(\"Error: P%2qModel::headerData()\");",
                           "\treturn m_p%2qList->count();", "\treturn 3;",
                           "\tm_p%2qList->removeAt(row);", "bool P%2qModel::addP%2q(P%2q *obj)",
                           "\tm_p%2qList->append(obj);",
                           "\treturn insertRows(m_p%2qList->count() -1, 1);"};
}

void tst_ModelGen::namesKeptAsRead()
{
    QFETCH(QString, table);
    QFETCH(bool, header);
    QFETCH(QStringList, lines);

    SchemaCodeModel model(QStringLiteral("me_edge"));
    QVERIFY(model.isLoaded());
    TableObject *tableObject = model.tableObject(table);
    QVERIFY(tableObject);

    ModelGen gen(tableObject, nullptr);
    const QStringList textLines = linesOf(header ? gen.headerText() : gen.sourceText());
    for (const QString &line : lines)
        QVERIFY2(textLines.contains(line), qPrintable(QStringLiteral("missing line: ") + line));
}

void tst_ModelGen::writesBothFiles_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("headerName");
    QTest::addColumn<QString>("sourceName");

    QTest::newRow("cliente") << "me_cliente" << "cliente" << "clientemodel.h" << "clientemodel.cpp";
    QTest::newRow("factura_linea") << "me_factura" << "factura_linea" << "factura_lineamodel.h"
                                   << "factura_lineamodel.cpp";
    QTest::newRow("mixed case") << "me_edge" << "miTabla" << "mitablamodel.h" << "mitablamodel.cpp";
}

void tst_ModelGen::writesBothFiles()
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
    const QString directory = root.filePath(QStringLiteral("code/C++/model"));
    QVERIFY(QDir().mkpath(directory));
    OutputTree tree(root.path());

    ModelGen gen(tableObject, nullptr);
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
    QVERIFY(headerOnDisk.endsWith(QStringLiteral("MODEL_H")));

    QFile sourceFile(directory + QLatin1Char('/') + sourceName);
    QVERIFY(sourceFile.open(QIODevice::ReadOnly));
    const QString sourceOnDisk = QString::fromLocal8Bit(sourceFile.readAll());
    QCOMPARE(maskBannerDate(sourceOnDisk), maskBannerDate(gen.sourceText()));
    QVERIFY(sourceOnDisk.endsWith(QStringLiteral("} // namespace crud\n")));
}

QTEST_GUILESS_MAIN(tst_ModelGen)
#include "tst_modelgen.moc"
