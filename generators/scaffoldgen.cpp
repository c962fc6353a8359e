#include "generators/scaffoldgen.h"

#include "codemodel/columnobject.h"
#include "codemodel/tableobject.h"
#include "generators/outputtree.h"
#include "mysql/table.h"

#include <QFile>
#include <QMetaType>

#include <algorithm>

namespace {

// The fixed files of the application, kept as resources (generators/scaffold).
const QStringList &fixedFiles()
{
    static const QStringList names{
            QStringLiteral("application.cpp"), QStringLiteral("application.h"), QStringLiteral("connectiondialog.cpp"),
            QStringLiteral("connectiondialog.h"), QStringLiteral("main.cpp"), QStringLiteral("mainwindow.cpp"),
            QStringLiteral("mainwindow.h"), QStringLiteral("tableaccess.cpp"), QStringLiteral("tableaccess.h"),
            QStringLiteral("tablepage.cpp"), QStringLiteral("tablepage.h"),
    };
    return names;
}

// `text` as the inside of a C++ string literal: any name, control
// characters included, comes through.
QString literal(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\%1").arg(c.unicode(), 3, 8, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString stringLiteral(const QString &text)
{
    return QStringLiteral("QStringLiteral(\"%1\")").arg(literal(text));
}

// A path as a quoted CMake argument.
QString cmakePath(const QString &path)
{
    QString quoted = path;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
    quoted.replace(QLatin1Char('$'), QLatin1String("\\$"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Whether CMake can name the file: it reads ";" as a list separator in a
// source list and expands "${" in source names a second time.
bool cmakeCanName(const QString &fileName)
{
    return !fileName.contains(QLatin1Char(';')) && !fileName.contains(QLatin1String("${"));
}

// The namespace of a table's page code: the prefix keeps it apart from Qt's
// names and the application's own.
QString pageNamespace(const TableObject *table)
{
    return QStringLiteral("table_") + table->className();
}

bool isBinary(const ColumnObject *column)
{
    return column->type() == QMetaType::QByteArray;
}

} // namespace

ScaffoldGen::ScaffoldGen(const QList<TableObject *> &tables, const Kinds &kinds)
    : m_tables(tables)
    , m_kinds(kinds)
{
    // The tabs in the order of the names.
    std::stable_sort(m_tables.begin(), m_tables.end(), [](const TableObject *a, const TableObject *b) {
        return a->table()->name().compare(b->table()->name(), Qt::CaseInsensitive) < 0;
    });
    if (!kinds.object || !kinds.dao) {
        m_leftOut.append(QStringLiteral("Every table page: the pages read and write rows through the entity "
                                        "and DAO classes, and the run wrote no %1 classes.")
                                 .arg(!kinds.object ? QStringLiteral("entity (object)") : QStringLiteral("DAO")));
    } else {
        for (TableObject *table : std::as_const(m_tables)) {
            if (cmakeCanName(table->fileName()))
                m_pages.append(table);
            else
                m_leftOut.append(QStringLiteral("The page of table \"%1\": its file names hold \";\" or \"${\", "
                                                "which CMake cannot name.")
                                         .arg(table->table()->name()));
        }
    }
    if (!kinds.model)
        m_leftOut.append(QStringLiteral("The rows grid and Save: the run wrote no table model classes."));
    if (!kinds.editor)
        m_leftOut.append(QStringLiteral("The record picker: the run wrote no editor classes."));
}

QString ScaffoldGen::fixedText(const QString &name)
{
    QFile file(QStringLiteral(":/scaffold/") + name);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

QList<ScaffoldGen::File> ScaffoldGen::files() const
{
    const QString cpp = QStringLiteral("code/C++");
    const QString app = cpp + QLatin1Char('/') + folder();
    QList<File> files;
    files.append({cpp, QStringLiteral("CMakeLists.txt"), cmakeFile()});
    files.append({app, QStringLiteral("README.md"), readme()});
    for (const QString &name : fixedFiles())
        files.append({app, name, fileBanner() + fixedText(name)});
    files.append({app, QStringLiteral("tables.cpp"), tablesFile()});
    for (const TableObject *table : m_pages)
        files.append({app + QStringLiteral("/tables"), table->className() + QStringLiteral(".cpp"), tableFile(table)});
    return files;
}

bool ScaffoldGen::write(const OutputTree &tree) const
{
    bool written = true;
    for (const File &file : files())
        written = tree.writeFile(file.directory, file.fileName, file.text) && written;
    return written;
}

QString ScaffoldGen::tableFile(const TableObject *table) const
{
    const QString entity = QStringLiteral("::crud::") + table->className();
    const QString dao = QStringLiteral("::crud::") + table->daoClassName();
    const QString model = QStringLiteral("::crud::") + table->className() + QStringLiteral("Model");
    const QString editor = QStringLiteral("::crud::") + table->className() + QStringLiteral("Editor");
    const QList<ColumnObject *> &columns = table->columns();
    const QList<ColumnObject *> key = table->primaryKeyColumns();
    const bool hasId = table->hasIdColumn();

    QString text = fileBanner();
    text += includeLocal(QStringLiteral("../tableaccess.h"));
    text += includeLocal(QStringLiteral("../../object/%1.h").arg(table->fileName()));
    text += includeLocal(QStringLiteral("../../dao/%1dao.h").arg(table->fileName()));
    if (m_kinds.model)
        text += includeLocal(QStringLiteral("../../model/%1model.h").arg(table->fileName()));
    if (m_kinds.editor)
        text += includeLocal(QStringLiteral("../../editors/%1editor.h").arg(table->fileName()));
    text += QStringLiteral("\n");
    text += includeSystem(QStringLiteral("QPointer"));
    text += QStringLiteral("\n");
    text += namespaceBegin(QStringLiteral("scaffold::generated::") + pageNamespace(table));
    text += QStringLiteral("\n");
    text += QStringLiteral("class Access : public ::scaffold::TableAccess\n{\n");
    text += publicSection();
    text += QStringLiteral("\t~Access() override\n\t{\n\t\tqDeleteAll(m_rows);\n\t}\n\n");
    text += QStringLiteral("\tQString tableName() const override\n\t{\n\t\treturn %1;\n\t}\n\n")
                    .arg(stringLiteral(table->table()->name()));
    text += QStringLiteral("\tQString sequenceName() const override\n\t{\n\t\treturn %1;\n\t}\n\n")
                    .arg(hasId ? stringLiteral(table->sequenceName()) : QStringLiteral("QString()"));

    // The update finds its row by the id, else by the primary key; without
    // either it finds none, and nothing is edited in place.
    QStringList columnItems;
    for (const ColumnObject *column : columns) {
        const bool finds = hasId ? column->name() == QLatin1String("id") : key.contains(column);
        const bool editable = !isBinary(column) && !finds && (hasId || !key.isEmpty());
        const bool insertable = !isBinary(column) && !(hasId && column->name() == QLatin1String("id"));
        columnItems.append(QStringLiteral("\t\t\t{%1, %2, %3},\n")
                                   .arg(stringLiteral(column->name()), editable ? QStringLiteral("true") : QStringLiteral("false"),
                                        insertable ? QStringLiteral("true") : QStringLiteral("false")));
    }
    text += QStringLiteral("\tQList<Column> columns() const override\n\t{\n\t\t// name, editable, insertable\n"
                           "\t\treturn {\n%1\t\t};\n\t}\n\n")
                    .arg(columnItems.join(QString()));
    text += QStringLiteral("\tbool hasModel() const override\n\t{\n\t\treturn %1;\n\t}\n\n")
                    .arg(m_kinds.model ? QStringLiteral("true") : QStringLiteral("false"));
    text += QStringLiteral("\tbool hasEditor() const override\n\t{\n\t\treturn %1;\n\t}\n\n")
                    .arg(m_kinds.editor ? QStringLiteral("true") : QStringLiteral("false"));

    text += QStringLiteral("\tbool load(QString *error) override\n\t{\n"
                           "\t\tqDeleteAll(m_rows);\n"
                           "\t\tm_rows = %1::instance()->getAll();\n"
                           "\t\t*error = ::scaffold::lastServerError();\n"
                           "\t\treturn error->isEmpty();\n\t}\n\n")
                    .arg(dao);
    text += QStringLiteral("\tint rowCount() const override\n\t{\n\t\treturn int(m_rows.size());\n\t}\n\n");
    if (m_kinds.model)
        text += QStringLiteral("\tQAbstractItemModel *createModel(QObject *parent) override\n\t{\n"
                               "\t\tm_model = new %1(&m_rows, parent);\n"
                               "\t\treturn m_model;\n\t}\n\n")
                        .arg(model);
    else
        text += QStringLiteral("\tQAbstractItemModel *createModel(QObject *) override\n\t{\n\t\treturn nullptr;\n\t}\n\n");
    if (m_kinds.editor)
        text += QStringLiteral("\tQWidget *createEditor(QWidget *parent) override\n\t{\n"
                               "\t\treturn new %1(parent);\n\t}\n\n")
                        .arg(editor);
    else
        text += QStringLiteral("\tQWidget *createEditor(QWidget *) override\n\t{\n\t\treturn nullptr;\n\t}\n\n");

    QString setCases;
    QString insertLines;
    for (int i = 0; i < columns.size(); ++i) {
        const ColumnObject *column = columns.at(i);
        if (isBinary(column))
            continue;
        setCases += QStringLiteral("\t\tcase %1:\n\t\t\tobj->%2(value);\n\t\t\treturn true;\n")
                            .arg(QString::number(i), column->setterName());
        if (!(hasId && column->name() == QLatin1String("id")))
            insertLines += QStringLiteral("\t\tobj->%1(values.value(%2));\n").arg(column->setterName(), QString::number(i));
    }
    text += QStringLiteral("\tbool setValue(int row, int column, const QVariant &value) override\n\t{\n"
                           "\t\t%1 *obj = m_rows.value(row);\n"
                           "\t\tif (!obj)\n\t\t\treturn false;\n"
                           "\t\tswitch (column) {\n%2\t\t}\n"
                           "\t\treturn false;\n\t}\n\n")
                    .arg(entity, setCases.isEmpty() ? QStringLiteral("\t\tdefault:\n\t\t\tbreak;\n") : setCases);
    text += QStringLiteral("\tbool update(int row, QString *error) override\n\t{\n"
                           "\t\t%1 *obj = m_rows.value(row);\n"
                           "\t\tif (obj && %2::instance()->updateObject(obj))\n\t\t\treturn true;\n"
                           "\t\t*error = ::scaffold::refusal();\n"
                           "\t\treturn false;\n\t}\n\n")
                    .arg(entity, dao);
    text += QStringLiteral("\tbool insert(const QVariantList &values, QVariant *id, QString *error) override\n\t{\n"
                           "\t\tauto *obj = new %1;\n%2"
                           "\t\tif (!%3::instance()->insertObject(obj)) {\n"
                           "\t\t\t*error = ::scaffold::refusal();\n"
                           "\t\t\tdelete obj;\n"
                           "\t\t\treturn false;\n\t\t}\n"
                           "\t\t*id = %4;\n")
                    .arg(entity, insertLines, dao, hasId ? QStringLiteral("obj->id()") : QStringLiteral("QVariant()"));
    if (m_kinds.model)
        text += QStringLiteral("\t\tif (m_model) {\n\t\t\tm_model->add%1(obj);\n\t\t\treturn true;\n\t\t}\n").arg(table->className());
    text += QStringLiteral("\t\tm_rows.append(obj);\n\t\treturn true;\n\t}\n\n");

    text += privateSection();
    text += QStringLiteral("\tQList<%1 *> m_rows;\n").arg(entity);
    if (m_kinds.model)
        text += QStringLiteral("\tQPointer<%1> m_model;\n").arg(model);
    text += classEnd();
    text += QStringLiteral("\n::scaffold::TableAccess *create()\n{\n\treturn new Access;\n}\n\n");
    text += namespaceEnd(QStringLiteral("scaffold::generated::") + pageNamespace(table));
    return text;
}

QString ScaffoldGen::tablesFile() const
{
    QString text = fileBanner();
    text += includeLocal(QStringLiteral("tableaccess.h"));
    text += QStringLiteral("\n");
    if (!m_pages.isEmpty()) {
        text += namespaceBegin(QStringLiteral("scaffold::generated"));
        for (const TableObject *table : m_pages)
            text += QStringLiteral("namespace %1 {\n::scaffold::TableAccess *create();\n}\n").arg(pageNamespace(table));
        text += namespaceEnd(QStringLiteral("scaffold::generated"));
        text += QStringLiteral("\n");
    }
    text += namespaceBegin(QStringLiteral("scaffold"));
    text += QStringLiteral("\nconst QList<TableEntry> &tableList()\n{\n\tstatic const QList<TableEntry> list{\n");
    for (const TableObject *table : m_pages)
        text += QStringLiteral("\t\t{%1, &generated::%2::create},\n")
                        .arg(stringLiteral(table->table()->name()), pageNamespace(table));
    text += QStringLiteral("\t};\n\treturn list;\n}\n");
    text += QStringLiteral("\nQStringList leftOut()\n{\n\treturn {\n");
    for (const QString &line : m_leftOut)
        text += QStringLiteral("\t\t%1,\n").arg(stringLiteral(line));
    text += QStringLiteral("\t};\n}\n\n");
    text += namespaceEnd(QStringLiteral("scaffold"));
    return text;
}

QString ScaffoldGen::cmakeFile() const
{
    // The headers of QObject classes, which moc reads, and the sources.
    QStringList headers;
    QStringList sources;
    for (const TableObject *table : m_pages) {
        const QString &stem = table->fileName();
        headers << QStringLiteral("object/%1.h").arg(stem) << QStringLiteral("dao/%1dao.h").arg(stem);
        sources << QStringLiteral("object/%1.cpp").arg(stem) << QStringLiteral("dao/%1dao.cpp").arg(stem);
        if (m_kinds.model) {
            headers << QStringLiteral("model/%1model.h").arg(stem);
            sources << QStringLiteral("model/%1model.cpp").arg(stem);
        }
        if (m_kinds.editor) {
            headers << QStringLiteral("editors/%1editor.h").arg(stem);
            sources << QStringLiteral("editors/%1editor.cpp").arg(stem);
        }
        sources << QStringLiteral("app/tables/%1.cpp").arg(table->className());
    }
    for (const QString &name : fixedFiles()) {
        if (name == QLatin1String("main.cpp"))
            continue;
        if (name.endsWith(QLatin1String(".cpp")))
            sources << QStringLiteral("app/") + name;
        else if (name != QLatin1String("tableaccess.h") && name != QLatin1String("application.h"))
            headers << QStringLiteral("app/") + name;
    }
    sources << QStringLiteral("app/tables.cpp");
    const auto lines = [](const QStringList &paths) {
        QString text;
        for (const QString &path : paths)
            text += QStringLiteral("    %1\n").arg(cmakePath(path));
        return text;
    };
    // A tree of many tables builds much faster in batches of sources.
    const bool unity = m_pages.size() >= 20;

    QString text = cmakeBanner();
    text += QStringLiteral(
            "# The CRUD application over the generated classes (app/README.md):\n"
            "#   cmake -S code/C++ -B build && cmake --build build\n"
            "# with Tablesmith's runtime installed, or with CMAKE_PREFIX_PATH naming\n"
            "# Tablesmith's build tree.\n"
            "cmake_minimum_required(VERSION 3.16)\n"
            "project(tablesmith_crud LANGUAGES CXX)\n"
            "\n"
            "set(CMAKE_CXX_STANDARD 17)\n"
            "set(CMAKE_CXX_STANDARD_REQUIRED ON)\n"
            "find_package(Qt6 REQUIRED COMPONENTS Widgets Sql)\n"
            "find_package(TablesmithRuntime REQUIRED)\n"
            "\n"
            "option(CRUDAPP_PCH \"Precompile the Qt and runtime headers\" ON)\n"
            "option(CRUDAPP_UNITY \"Compile the sources in batches\" %1)\n"
            "\n"
            "# Everything but main(): a program of your own, or a test, links it too.\n"
            "add_library(crudapp_lib STATIC\n%2%3)\n"
            "# moc run by the build itself rather than AUTOMOC, whose bookkeeping costs\n"
            "# more than moc on a tree of many classes; its output joins the batches.\n"
            "qt_wrap_cpp(crudapp_mocs\n%3    TARGET crudapp_lib)\n"
            "target_sources(crudapp_lib PRIVATE ${crudapp_mocs})\n"
            "target_include_directories(crudapp_lib PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/app)\n"
            "target_link_libraries(crudapp_lib PUBLIC Tablesmith::Runtime Qt6::Widgets Qt6::Sql)\n"
            "if(CRUDAPP_PCH)\n"
            "    target_precompile_headers(crudapp_lib PRIVATE\n"
            "        <QAbstractTableModel> <QApplication> <QComboBox> <QDebug> <QDialog> <QLabel>\n"
            "        <QLineEdit> <QPointer> <QSqlDatabase> <QSqlError> <QSqlQuery> <QSqlQueryModel>\n"
            "        <QSqlRecord> <QTableView> <QVariant> <QWidget>\n"
            "        <core/connectionpool.h> <core/functions.h> <core/sql/sqlquery.h>\n"
            "        <data/genericdao.h> <data/objectbase.h> <gui/extras/customeditor.h>)\n"
            "endif()\n"
            "if(CRUDAPP_UNITY)\n"
            "    set_target_properties(crudapp_lib PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 24)\n"
            "endif()\n"
            "\n"
            "add_executable(crudapp app/main.cpp)\n"
            "target_link_libraries(crudapp PRIVATE crudapp_lib)\n")
                    .arg(unity ? QStringLiteral("ON") : QStringLiteral("OFF"), lines(sources), lines(headers));
    return text;
}

QString ScaffoldGen::readme() const
{
    QString text = markdownBanner();
    text += QStringLiteral(
            "# The CRUD application\n"
            "\n"
            "A window with one tab per table over the classes Tablesmith generated beside this\n"
            "folder: each tab lists the table's rows (the DAO's `getAll`, shown by the table\n"
            "model) with the editor's combo box as the record picker. Edit a cell and press\n"
            "**Save** to write the changed rows (`updateObject`); **Add...** opens a form for a new\n"
            "row (`insertObject`, which takes the `id` from the table's sequence). Every write is\n"
            "one transaction of the DAO; what the server refuses is shown with its own words,\n"
            "and the row on the server stays as it was.\n"
            "\n"
            "## Building\n"
            "\n"
            "From the folder that holds `code`, with Tablesmith's runtime installed:\n"
            "\n"
            "    cmake -S code/C++ -B build && cmake --build build\n"
            "\n"
            "or, with the runtime only built, name Tablesmith's build tree:\n"
            "\n"
            "    cmake -S code/C++ -B build -DCMAKE_PREFIX_PATH=/path/to/tablesmith/build && cmake --build build\n"
            "\n"
            "Options: `-DCRUDAPP_PCH=OFF` compiles without precompiled headers,\n"
            "`-DCRUDAPP_UNITY=ON` (the default from 20 tables on) compiles the sources in batches.\n"
            "\n"
            "## Running\n"
            "\n"
            "    build/crudapp [-h HOST] [-P PORT] [-S SOCKET] [-u USER] [-D SCHEMA] [--ssl-ca FILE ...]\n"
            "\n"
            "The options are those of `tablesmith-cli`; the password comes from `MYSQL_PWD` or\n"
            "the connection dialog, which remembers everything else for the next start.\n"
            "`build/crudapp --check-tables ...` opens no window: it prints `TABLE: N rows` for\n"
            "every table, read through its DAO, and exits with 0 when every table was read.\n"
            "\n"
            "## Tables\n"
            "\n");
    if (m_pages.isEmpty()) {
        text += QStringLiteral("None.\n");
    } else {
        for (const TableObject *table : m_pages)
            text += QStringLiteral("- `%1`\n").arg(QString(table->table()->name()).replace(QLatin1Char('`'), QLatin1Char('\'')).simplified());
    }
    text += QStringLiteral("\n## Left out\n\n");
    if (m_leftOut.isEmpty()) {
        text += QStringLiteral("Nothing: every kind of class was generated.\n");
    } else {
        for (const QString &line : m_leftOut)
            text += QStringLiteral("- %1\n").arg(line);
    }
    return text;
}
