#include "generators/modelgen.h"

#include "codemodel/columnobject.h"
#include "codemodel/identifiers.h"
#include "codemodel/tableobject.h"
#include "mysql/table.h"

#include <algorithm>

// Schema names may hold "%1" or "%2": whenever a fragment takes more than one
// value, all of them go in with one multi-argument arg() so that a value
// already filled in is never scanned for place markers again.

ModelGen::ModelGen(TableObject *table, QObject *parent)
    : SourceGenerator(table, parent)
    , GenFunctions()
{
}

QString ModelGen::directory() const
{
    return QStringLiteral("model");
}

QString ModelGen::headerFileName() const
{
    return m_table->fileName() + QStringLiteral("model.h");
}

QString ModelGen::sourceFileName() const
{
    return m_table->fileName() + QStringLiteral("model.cpp");
}

QString ModelGen::className() const
{
    return m_table->className();
}

QString ModelGen::tableName() const
{
    return m_table->cppName();
}

QString ModelGen::enumName() const
{
    // A column named like the table ("city" in city) must not give an
    // enumerator of the enum's own name.
    QString name = QStringLiteral("K") + className();
    while (std::any_of(m_table->columns().cbegin(), m_table->columns().cend(),
                       [&name](const ColumnObject *column) { return enumerator(column) == name; }))
        name += QLatin1Char('_');
    return name;
}

QString ModelGen::enumerator(const ColumnObject *column)
{
    return QStringLiteral("K") + identifiers::upperFirst(column->cppName());
}

QString ModelGen::headerText() const
{
    const QString cls = className();
    const QString table = tableName();
    const QString guard = cls + QStringLiteral("MODEL");

    QString text = fileBanner();
    text += includeGuardBegin(guard);
    text += includeSystem(QStringLiteral("QAbstractTableModel"));
    text += QStringLiteral("\n");
    text += includeSystem(QStringLiteral("global/vellum_global.h"));
    text += QStringLiteral("\n");
    text += namespaceBegin(QStringLiteral("crud"));
    text += QStringLiteral("\n");
    text += QStringLiteral("// Object Forward Declarations\n");
    text += QStringLiteral("class %1;\n").arg(cls);
    text += QStringLiteral("\n");
    text += QStringLiteral("class VELLUM_EXPORT %1Model : public QAbstractTableModel\n{\n").arg(cls);
    text += QStringLiteral("\t") + qObjectMacro();
    text += publicSection();
    text += QStringLiteral("// Enum Declaration\n");
    text += QStringLiteral("\tenum %1 \n\t{").arg(enumName());
    const QList<ColumnObject *> &columns = m_table->columns();
    for (int pos = 0; pos < columns.size(); ++pos) {
        const QString line = pos == 0 ? QStringLiteral("\n\t\t%1 = %2")
                                      : QStringLiteral(",\n\t\t%1 = %2");
        text += line.arg(enumerator(columns.at(pos)), QString::number(pos));
    }
    text += QStringLiteral("\n");
    text += QStringLiteral("\t") + classEnd();
    text += QStringLiteral("\n// Constructors\n");
    text += constructorDeclaration(QStringLiteral("\t%1Model"), QStringLiteral("QObject *parent = 0"))
                    .arg(cls);
    text += constructorDeclaration(QStringLiteral("\t%1Model"),
                                   QStringLiteral("QList<%1 *> *%2List, QObject *parent = 0"))
                    .arg(cls, table);
    text += QStringLiteral("\n// Model Methods\n");
    text += constMethodDeclaration(QStringLiteral("\tQVariant"), QStringLiteral("data"),
                                   QStringLiteral("const QModelIndex &index, int role"));
    text += methodDeclaration(QStringLiteral("\tbool"), QStringLiteral("setData"),
                              QStringLiteral("const QModelIndex &index, const QVariant &value, int role"));
    text += constMethodDeclaration(QStringLiteral("\tQVariant"), QStringLiteral("headerData"),
                                   QStringLiteral("int section, Qt::Orientation orientation, int role"));
    text += constMethodDeclaration(QStringLiteral("\tQt::ItemFlags"), QStringLiteral("flags"),
                                   QStringLiteral("const QModelIndex &index"));
    text += constMethodDeclaration(QStringLiteral("\tint"), QStringLiteral("rowCount"),
                                   QStringLiteral("const QModelIndex &parent = QModelIndex()"));
    text += constMethodDeclaration(QStringLiteral("\tint"), QStringLiteral("columnCount"),
                                   QStringLiteral("const QModelIndex &parent = QModelIndex()"));
    text += methodDeclaration(QStringLiteral("\tbool"), QStringLiteral("insertRows"),
                              QStringLiteral("int row, int count, const QModelIndex &parent = QModelIndex()"));
    text += methodDeclaration(QStringLiteral("\tbool"), QStringLiteral("removeRows"),
                              QStringLiteral("int row, int count, const QModelIndex &parent = QModelIndex()"));
    text += QStringLiteral("\n");
    text += QStringLiteral("// Add Method\n");
    text += methodDeclaration(QStringLiteral("\tbool"), QStringLiteral("add%1"), QStringLiteral("%1 *"))
                    .arg(cls);
    text += QStringLiteral("\n// Private Member\n");
    text += privateSection();
    text += memberDeclaration(QStringLiteral("\tQList<%1 *> "), QStringLiteral("%2List"), true)
                    .arg(cls, table);
    text += QStringLiteral("\n");
    text += classEnd();
    text += QStringLiteral("\n");
    text += namespaceEnd(QStringLiteral("crud"));
    text += QStringLiteral("\n");
    text += includeGuardEnd(guard);
    return text;
}

QString ModelGen::sourceText() const
{
    const QString cls = className();
    const QString table = tableName();

    QString text = fileBanner();
    text += includeLocal(QStringLiteral("%1model.h")).arg(m_table->fileName());
    text += includeLocal(QStringLiteral("../object/%1.h")).arg(m_table->fileName());
    text += QStringLiteral("\n");
    text += namespaceBegin(QStringLiteral("crud"));
    text += QStringLiteral("\n");
    text += QStringLiteral("%1Model::%1Model(QObject *parent) :\n\tQAbstractTableModel(parent)\n{\n")
                    .arg(cls);
    text += QStringLiteral("\n}\n\n");
    text += QStringLiteral("%1Model::%1Model(QList<%1 *> *%2List, QObject *parent) :\n"
                           "\tQAbstractTableModel(parent)\n{\n")
                    .arg(cls, table);
    text += QStringLiteral("\n\tm_%1List = %1List;").arg(table);
    text += QStringLiteral("\n}\n");
    text += dataMethod();
    text += setDataMethod();
    text += headerDataMethod();
    text += flagsMethod();
    text += rowCountMethod();
    text += columnCountMethod();
    text += insertRowsMethod();
    text += removeRowsMethod();
    text += addMethod();
    text += QStringLiteral("\n");
    text += namespaceEnd(QStringLiteral("crud"));
    return text;
}

QString ModelGen::dataMethod() const
{
    const QString cls = className();
    QString text = QStringLiteral("\n");
    text += constMethodHead(QStringLiteral("QVariant"), QStringLiteral("%1Model"), QStringLiteral("data"),
                            QStringLiteral("const QModelIndex &index, int role"))
                    .arg(cls);
    text += QStringLiteral("\tif(!index.isValid()) \n\t\treturn QVariant();");
    text += QStringLiteral("\n\tconst %1 &obj = *(m_%2List->at(index.row()));").arg(cls, tableName());
    text += QStringLiteral("\n\tif((role == Qt::DisplayRole) || (role == Qt::EditRole))");
    text += QStringLiteral("\n\t{");
    text += QStringLiteral("\n\t\tswitch(index.column())");
    text += QStringLiteral("\n\t\t{");
    for (ColumnObject *column : m_table->columns()) {
        text += QStringLiteral("\n\t\tcase %1: \n\t\t\treturn obj.%2")
                        .arg(enumerator(column), column->cppName() + QStringLiteral("();"));
    }
    text += QStringLiteral("\n\t\tdefault: \n\t\t\tqWarning(\"Error: %1Model::data()\");\n").arg(cls);
    text += QStringLiteral("\t\t") + blockEnd();
    text += QStringLiteral("\t") + blockEnd();
    text += QStringLiteral("\treturn QVariant();\n");
    text += blockEnd();
    return text;
}

QString ModelGen::setDataMethod() const
{
    QString text = QStringLiteral("\n");
    text += methodHead(QStringLiteral("bool"), QStringLiteral("%1Model"), QStringLiteral("setData"),
                       QStringLiteral("const QModelIndex &index, const QVariant &value, int role"))
                    .arg(className());
    text += QStringLiteral("\treturn false;\n");
    text += blockEnd();
    return text;
}

QString ModelGen::headerDataMethod() const
{
    const QString cls = className();
    QString text = QStringLiteral("\n");
    text += constMethodHead(QStringLiteral("QVariant"), QStringLiteral("%1Model"),
                            QStringLiteral("headerData"),
                            QStringLiteral("int section, Qt::Orientation orientation, int role"))
                    .arg(cls);
    text += QStringLiteral("\tif(role != Qt::DisplayRole) \n\t\treturn QVariant();");
    text += QStringLiteral("\n\tif(orientation == Qt::Horizontal)");
    text += QStringLiteral("\n\t{");
    text += QStringLiteral("\n\t\tswitch(section)");
    text += QStringLiteral("\n\t\t{");
    for (ColumnObject *column : m_table->columns())
        text += QStringLiteral("\n\t\tcase %1: \n\t\t\treturn tr(\"%2\");").arg(enumerator(column), column->label());
    text += QStringLiteral("\n\t\tdefault: \n\t\t\tqWarning(\"Error: %1Model::headerData()\");").arg(cls);
    text += QStringLiteral("\n\t\t}");
    text += QStringLiteral("\n\t}");
    text += QStringLiteral("\n\treturn QVariant();\n");
    text += blockEnd();
    return text;
}

QString ModelGen::flagsMethod() const
{
    QString text = QStringLiteral("\n");
    text += constMethodHead(QStringLiteral("Qt::ItemFlags"), QStringLiteral("%1Model"),
                            QStringLiteral("flags"), QStringLiteral("const QModelIndex &index"))
                    .arg(className());
    text += QStringLiteral("\tQt::ItemFlags flags = QAbstractTableModel::flags(index);");
    text += QStringLiteral("\n\treturn flags;\n");
    text += blockEnd();
    return text;
}

QString ModelGen::rowCountMethod() const
{
    QString text = QStringLiteral("\n");
    text += constMethodHead(QStringLiteral("int"), QStringLiteral("%1Model"), QStringLiteral("rowCount"),
                            QStringLiteral("const QModelIndex &"))
                    .arg(className());
    text += QStringLiteral("\treturn m_%1List->count();\n").arg(tableName());
    text += blockEnd();
    return text;
}

QString ModelGen::columnCountMethod() const
{
    QString text = QStringLiteral("\n");
    text += constMethodHead(QStringLiteral("int"), QStringLiteral("%1Model"),
                            QStringLiteral("columnCount"), QStringLiteral("const QModelIndex &"))
                    .arg(className());
    text += QStringLiteral("\treturn %1;\n").arg(QString::number(m_table->columns().size()));
    text += blockEnd();
    return text;
}

QString ModelGen::insertRowsMethod() const
{
    QString text = QStringLiteral("\n");
    text += methodHead(QStringLiteral("bool"), QStringLiteral("%1Model"), QStringLiteral("insertRows"),
                       QStringLiteral("int row, int count, const QModelIndex &parent"))
                    .arg(className());
    text += QStringLiteral("\tbeginInsertRows(parent, row, row + count -1);\n");
    text += QStringLiteral("\tendInsertRows();\n");
    text += QStringLiteral("\treturn true;\n");
    text += blockEnd();
    return text;
}

QString ModelGen::removeRowsMethod() const
{
    QString text = QStringLiteral("\n");
    text += methodHead(QStringLiteral("bool"), QStringLiteral("%1Model"), QStringLiteral("removeRows"),
                       QStringLiteral("int row, int count, const QModelIndex &parent"))
                    .arg(className());
    text += QStringLiteral("\tbeginRemoveRows(parent, row, row + count -1);\n");
    text += QStringLiteral("\tm_%1List->removeAt(row);\n").arg(tableName());
    text += QStringLiteral("\tendRemoveRows();\n");
    text += QStringLiteral("\treturn true;\n");
    text += blockEnd();
    return text;
}

QString ModelGen::addMethod() const
{
    const QString table = tableName();
    QString text = QStringLiteral("\n");
    text += methodHead(QStringLiteral("bool"), QStringLiteral("%1Model"), QStringLiteral("add%1"),
                       QStringLiteral("%1 *obj"))
                    .arg(className());
    text += QStringLiteral("\tm_%1List->append(obj);\n").arg(table);
    text += QStringLiteral("\treturn insertRows(m_%1List->count() -1, 1);\n").arg(table);
    text += blockEnd();
    return text;
}
