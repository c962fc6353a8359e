#include "generators/editorgen.h"

#include "codemodel/columnobject.h"
#include "codemodel/identifiers.h"
#include "codemodel/tableobject.h"
#include "mysql/table.h"

// Schema names may hold "%1" or "%2": each value is filled into its own
// fragment, or together with the others in one multi-argument arg(), so that
// a name already filled in is never scanned for place markers again.

EditorGen::EditorGen(TableObject *table, QObject *parent)
    : SourceGenerator(table, parent)
    , GenFunctions()
{
}

QString EditorGen::directory() const
{
    return QStringLiteral("editors");
}

QString EditorGen::headerFileName() const
{
    return m_table->fileName() + QStringLiteral("editor.h");
}

QString EditorGen::sourceFileName() const
{
    return m_table->fileName() + QStringLiteral("editor.cpp");
}

QString EditorGen::headerText() const
{
    const QString cls = m_table->className();
    const QString baseName = cls + QStringLiteral("editor");

    QString text = fileBanner();
    text += includeGuardBegin(baseName);
    text += QStringLiteral("\n");
    text += includeSystem(QStringLiteral("gui/extras/customeditor.h"));
    text += QStringLiteral("\n");
    text += namespaceBegin(QStringLiteral("crud"));
    text += QStringLiteral("\n");
    text += QStringLiteral("class VELLUM_EXPORT %1Editor : public CustomEditor\n{\n").arg(cls);
    text += QStringLiteral("\t") + qObjectMacro();
    text += publicSection();
    text += QStringLiteral("// Constructors\n");
    text += constructorDeclaration(QStringLiteral("\texplicit %1Editor"),
                                   QStringLiteral("QWidget *parent = 0"))
                    .arg(cls);
    text += QStringLiteral("\n");
    text += classEnd();
    text += QStringLiteral("\n");
    text += namespaceEnd(QStringLiteral("crud"));
    text += QStringLiteral("\n");
    text += includeGuardEnd(baseName);
    return text;
}

QString EditorGen::selectLiteral() const
{
    QString selectList;
    const QList<ColumnObject *> &columns = m_table->columns();
    for (int pos = 0; pos < columns.size(); ++pos) {
        const QString item = pos == 0 ? QStringLiteral("%1") : QStringLiteral(", %1");
        selectList += item.arg(identifiers::literalText(columns.at(pos)->sqlName()));
    }
    // The table name goes into its own fragment: the column names before it
    // must not be filled again.
    return QStringLiteral("\"select ") + selectList
            + QStringLiteral(" from %1 \"").arg(identifiers::literalText(m_table->sqlName()));
}

QString EditorGen::sourceText() const
{
    const QString cls = m_table->className();

    QString text = fileBanner();
    text += includeSystem(QStringLiteral("QComboBox"));
    text += includeSystem(QStringLiteral("QSqlQuery"));
    text += includeSystem(QStringLiteral("QSqlQueryModel"));
    text += includeSystem(QStringLiteral("QSqlError"));
    text += includeSystem(QStringLiteral("QDebug"));
    text += QStringLiteral("\n");
    text += includeSystem(QStringLiteral("core/connectionpool.h"));
    text += QStringLiteral("\n");
    text += includeLocal(QStringLiteral("%1editor.h")).arg(m_table->fileName());
    text += QStringLiteral("\n");
    text += namespaceBegin(QStringLiteral("crud"));
    text += QStringLiteral("\n");
    text += QStringLiteral("%1Editor::%1Editor(QWidget *parent) :\n\tCustomEditor(parent)\n{").arg(cls);
    text += QStringLiteral("\n\tQSqlDatabase *db = Session::instance()->systemDatabase();");
    text += QStringLiteral("\n\tQSqlQueryModel *model = new QSqlQueryModel(this);");
    text += QStringLiteral("\n\tmodel->setQuery(%1, *db);").arg(selectLiteral());
    text += QStringLiteral("\n");
    const QList<ColumnObject *> &columns = m_table->columns();
    for (int pos = 0; pos < columns.size(); ++pos) {
        text += QStringLiteral("\n\tmodel->setHeaderData(%1, Qt::Horizontal, tr(\"%2\"));")
                        .arg(QString::number(pos), columns.at(pos)->label());
    }
    text += QStringLiteral("\n");
    text += QStringLiteral("\n\tdescripcionComboBox()->setModel(model);");
    text += QStringLiteral("\n\tdescripcionComboBox()->setModelColumn(1);");
    text += QStringLiteral("\n");
    text += QStringLiteral("\n\tif(model->query().lastError().isValid())");
    text += QStringLiteral("\n\t\tqDebug() << model->query().lastError().text();");
    text += QStringLiteral("\n");
    text += blockEnd();
    text += QStringLiteral("\n");
    text += namespaceEnd(QStringLiteral("crud"));
    return text;
}
