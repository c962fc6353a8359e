#include "generators/daogen.h"

#include "codemodel/columnobject.h"
#include "codemodel/identifiers.h"
#include "codemodel/tableobject.h"
#include "mysql/column.h"

namespace {

// The pieces of the column lists, for string literals.
QString sqlColumn(const ColumnObject *column)
{
    return identifiers::literalText(column->sqlName());
}

// A select item. Qt's MySQL driver sizes a prepared statement's buffer for
// a geometry column by its longest possible value, 4 GiB, and fails; cast to
// bytes the column comes as a blob, which it sizes by the values read. The
// bytes are the server's own form (SRID and WKB), which inserts and updates
// take back as they are.
QString selectColumn(const ColumnObject *column)
{
    // A number kept as text comes as the server writes it, every digit of a
    // decimal kept.
    if (column->selectsAsText())
        return identifiers::literalText(QStringLiteral("cast(%1 as char) as %1").arg(column->sqlName()));
    if (!ColumnObject::isSpatial(column->column()->dataType()))
        return sqlColumn(column);
    return identifiers::literalText(QStringLiteral("cast(%1 as binary) as %1").arg(column->sqlName()));
}

QString placeholder(const ColumnObject *column)
{
    return column->placeholder();
}

QString assignment(const ColumnObject *column)
{
    return sqlColumn(column) + QStringLiteral(" = ") + column->placeholder();
}

} // namespace

DAOGen::DAOGen(TableObject *table, QObject *parent)
    : SourceGenerator(table, parent)
    , GenFunctions()
{
}

QString DAOGen::directory() const
{
    return QStringLiteral("dao");
}

QString DAOGen::headerFileName() const
{
    return m_table->fileName() + QStringLiteral("dao.h");
}

QString DAOGen::sourceFileName() const
{
    return m_table->fileName() + QStringLiteral("dao.cpp");
}

QString DAOGen::sqlTable() const
{
    return identifiers::literalText(m_table->sqlName());
}

QString DAOGen::columnList(QString (*item)(const ColumnObject *column)) const
{
    QStringList items;
    for (const ColumnObject *column : m_table->columns())
        items.append(item(column));
    return items.join(QStringLiteral(", "));
}

QString DAOGen::updateCondition() const
{
    const QList<ColumnObject *> key = m_table->primaryKeyColumns();
    if (m_table->hasIdColumn() || key.isEmpty())
        return QStringLiteral(" where id = :id ");
    QStringList terms;
    for (const ColumnObject *column : key)
        terms.append(assignment(column));
    return QStringLiteral(" where ") + terms.join(QStringLiteral(" and ")) + QStringLiteral(" ");
}

QString DAOGen::byIdCondition() const
{
    // getById takes one number, so only a single key column can stand in
    // for the id.
    const QList<ColumnObject *> key = m_table->primaryKeyColumns();
    if (m_table->hasIdColumn() || key.size() != 1)
        return QStringLiteral(" where id = :id ");
    return QStringLiteral(" where %1 = :id ").arg(sqlColumn(key.first()));
}

QString DAOGen::bindLines() const
{
    QString text;
    for (const ColumnObject *column : m_table->columns()) {
        text += QStringLiteral("\n\t\tquery.bindValue(\"%1\", %2);")
                        .arg(column->placeholder(), column->bindExpression(m_table->variableName()));
    }
    return text;
}

QString DAOGen::headerText() const
{
    const QString &className = m_table->className();
    const QString &daoClassName = m_table->daoClassName();

    QString text = fileBanner();
    text += includeGuardBegin(daoClassName);
    text += QStringLiteral("\n");
    text += includeSystem(QStringLiteral("data/genericdao.h"));
    text += QStringLiteral("\n");
    text += namespaceBegin(QStringLiteral("crud"));
    text += QStringLiteral("\n");
    text += QStringLiteral("class %1;").arg(className);
    text += QStringLiteral("\n\n");
    text += QStringLiteral("class VELLUM_EXPORT %1 : public GenericDAO<%2>\n{\n").arg(daoClassName, className);
    text += QStringLiteral("\t") + qObjectMacro();
    text += protectedSection();
    // Each declaration is made first and then filled with the class name.
    text += constructorDeclaration(QStringLiteral("\t%1"), QStringLiteral("QObject *parent = 0"))
                    .arg(daoClassName);
    text += publicSection();
    text += methodDeclaration(QStringLiteral("\tstatic %1 *"), QStringLiteral("instance"), QString())
                    .arg(daoClassName);
    text += methodDeclaration(QStringLiteral("\tbool"), QStringLiteral("insertObject"),
                              QStringLiteral("%1 *obj"))
                    .arg(className);
    text += methodDeclaration(QStringLiteral("\tbool"), QStringLiteral("updateObject"),
                              QStringLiteral("%1 *obj"))
                    .arg(className);
    text += methodDeclaration(QStringLiteral("\tbool"), QStringLiteral("deleteObject"),
                              QStringLiteral("%1 *obj"))
                    .arg(className);
    text += methodDeclaration(QStringLiteral("\t%1 *"), QStringLiteral("getById"),
                              QStringLiteral("qlonglong id"))
                    .arg(className);
    text += methodDeclaration(QStringLiteral("\tQList<%1 *>"), QStringLiteral("getAll"), QString())
                    .arg(className);
    text += methodDeclaration(QStringLiteral("\tQList<%1 *>"), QStringLiteral("getByMatch"),
                              QStringLiteral("const QString &columnName, QVariant value"))
                    .arg(className);
    text += classEnd();
    text += QStringLiteral("\n");
    text += namespaceEnd(QStringLiteral("crud"));
    text += includeGuardEnd(daoClassName);
    return text;
}

QString DAOGen::sourceText() const
{
    const QString &className = m_table->className();
    const QString &daoClassName = m_table->daoClassName();

    QString text = fileBanner();
    text += includeSystem(QStringLiteral("QApplication"));
    text += includeSystem(QStringLiteral("QSqlDatabase"));
    text += includeSystem(QStringLiteral("QSqlRecord"));
    text += QStringLiteral("\n");
    text += includeSystem(QStringLiteral("core/sql/sqlquery.h"));
    text += includeSystem(QStringLiteral("core/connectionpool.h"));
    text += includeSystem(QStringLiteral("core/functions.h"));
    text += QStringLiteral("\n");
    text += includeLocal(QStringLiteral("%1dao.h")).arg(m_table->fileName());
    text += includeLocal(QStringLiteral("../object/%1.h")).arg(m_table->fileName());
    text += QStringLiteral("\n");
    text += namespaceBegin(QStringLiteral("crud"));
    text += QStringLiteral("\n");
    text += QStringLiteral("%1::%1(QObject *parent) :\n\tGenericDAO<%2>(parent)\n{\n}\n\n")
                    .arg(daoClassName, className);
    text += methodHead(QStringLiteral("%1 *"), QStringLiteral("%1"), QStringLiteral("instance"),
                       QString())
                    .arg(daoClassName);
    text += QStringLiteral("\tstatic %1 *instance = 0;\n\tif(! instance){\n"
                           "\t\tinstance = new %1(qApp);\n\t}\n\treturn instance;\n}\n\n")
                    .arg(daoClassName);
    text += insertObjectMethod();
    text += updateObjectMethod();
    text += deleteObjectMethod();
    text += getByIdMethod();
    text += getAllMethod();
    text += getByMatchMethod();
    text += namespaceEnd(QStringLiteral("crud"));
    return text;
}

QString DAOGen::insertObjectMethod() const
{
    const QString object = m_table->variableName();
    QString text = methodHead(QStringLiteral("bool"), QStringLiteral("%1"),
                              QStringLiteral("insertObject"), QStringLiteral("%2 *%3"))
                           .arg(m_table->daoClassName(), m_table->className(), object);
    text += QStringLiteral("\tQSqlDatabase *db = Session::instance()->systemDatabase();\n");
    text += QStringLiteral("\tdb->transaction();\n");
    text += QStringLiteral("\ttry{\n");
    if (m_table->hasIdColumn()) {
        text += QStringLiteral("\t\tqlonglong id = Functions::getSecuencia(\"%1\", db);\n")
                        .arg(identifiers::literalText(m_table->sequenceName()));
        text += QStringLiteral("\t\t%1->setId(id);\n").arg(object);
    }
    text += QStringLiteral("\t\tSqlQuery query(db);\n");
    const QString columnClause = QStringLiteral("\"insert into %1 (").arg(sqlTable())
            + columnList(sqlColumn) + QStringLiteral(") \"");
    const QString valueClause = QStringLiteral("\t\t\t\t\" values(")
            + columnList(placeholder) + QStringLiteral(") \"");
    text += QStringLiteral("\t\tquery.prepare(%1 \n %2);").arg(columnClause, valueClause);
    text += bindLines();
    text += writingMethodEnd();
    return text;
}

QString DAOGen::updateObjectMethod() const
{
    const QString object = m_table->variableName();
    QString text = methodHead(QStringLiteral("bool"), QStringLiteral("%1"),
                              QStringLiteral("updateObject"), QStringLiteral("%2 *%3"))
                           .arg(m_table->daoClassName(), m_table->className(), object);
    text += QStringLiteral("\tQSqlDatabase *db = Session::instance()->systemDatabase();\n");
    text += QStringLiteral("\tdb->transaction();\n");
    text += QStringLiteral("\ttry{\n");
    text += QStringLiteral("\t\tSqlQuery query(db);\n");
    const QString statement = QStringLiteral("\"update %1 set ").arg(sqlTable())
            + columnList(assignment)
            + updateCondition() + QStringLiteral("\"");
    text += QStringLiteral("\t\tquery.prepare(%1);").arg(statement);
    text += bindLines();
    text += writingMethodEnd();
    return text;
}

QString DAOGen::writingMethodEnd() const
{
    QString text = QStringLiteral("\n\t\tquery.exec();\n");
    text += QStringLiteral("\t\tdb->commit();\n");
    text += QStringLiteral("\t\treturn true;\n");
    text += QStringLiteral("\t}catch(SqlException &ex){\n");
    text += QStringLiteral("\t\tdb->rollback();\n");
    text += QStringLiteral("\t\treturn false;\n");
    text += QStringLiteral("\t") + blockEnd();
    text += blockEnd();
    return text;
}

QString DAOGen::listMethodEnd() const
{
    QString text = QStringLiteral("\t\tquery.exec();\n");
    text += QStringLiteral("\t\twhile(query.next()){ \n");
    text += QStringLiteral("\t\t\tlist.append(new %1(query.record(), this));\n").arg(m_table->className());
    text += QStringLiteral("\t\t} \n");
    text += QStringLiteral("\t\treturn list;\n");
    text += QStringLiteral("\t}catch(SqlException &ex){\n");
    text += QStringLiteral("\t\tqDeleteAll(list);\n");
    // Hand back an empty list, not one of deleted objects.
    text += QStringLiteral("\t\tlist.clear();\n");
    text += QStringLiteral("\t\treturn list;\n");
    text += QStringLiteral("\t") + blockEnd();
    text += blockEnd();
    return text;
}

QString DAOGen::deleteObjectMethod() const
{
    QString text = methodHead(QStringLiteral("bool"), QStringLiteral("%1"),
                              QStringLiteral("deleteObject"), QStringLiteral("%2 *"))
                           .arg(m_table->daoClassName(), m_table->className());
    text += QStringLiteral("\treturn false;\n");
    text += blockEnd();
    return text;
}

QString DAOGen::getByIdMethod() const
{
    const QString &className = m_table->className();
    const QString object = m_table->variableName();
    QString text = methodHead(QStringLiteral("%1 *"), QStringLiteral("%2"), QStringLiteral("getById"),
                              QStringLiteral("qlonglong id"))
                           .arg(className, m_table->daoClassName());
    text += QStringLiteral("\tQSqlDatabase *db = Session::instance()->systemDatabase();\n");
    text += QStringLiteral("\ttry{\n");
    text += QStringLiteral("\t\tSqlQuery query(db);\n");
    const QString statement = QStringLiteral("\"select ")
            + columnList(selectColumn)
            + QStringLiteral(" from %1 ").arg(sqlTable()) + byIdCondition() + QStringLiteral("\"");
    text += QStringLiteral("\t\tquery.prepare(%1);\n").arg(statement);
    text += QStringLiteral("\t\tquery.bindValue(\":id\", id);\n");
    text += QStringLiteral("\t\tquery.exec();\n");
    text += QStringLiteral("\t\t%1 *%2 = 0;\n").arg(className, object);
    text += QStringLiteral("\t\tif(query.next()){ \n");
    text += QStringLiteral("\t\t\t%1 = new %2(query.record(), this);\n").arg(object, className);
    text += QStringLiteral("\t\t}\n");
    text += QStringLiteral("\t\treturn %1;\n").arg(object);
    text += QStringLiteral("\t}catch(SqlException &ex){\n");
    text += QStringLiteral("\t\treturn 0;\n");
    text += QStringLiteral("\t") + blockEnd();
    text += blockEnd();
    return text;
}

QString DAOGen::getAllMethod() const
{
    const QString &className = m_table->className();
    QString text = methodHead(QStringLiteral("QList<%1 *>"), QStringLiteral("%2"),
                              QStringLiteral("getAll"), QString())
                           .arg(className, m_table->daoClassName());
    text += QStringLiteral("\tQList<%1 *> list;\n").arg(className);
    text += QStringLiteral("\tQSqlDatabase *db = Session::instance()->systemDatabase();\n");
    text += QStringLiteral("\ttry{\n");
    text += QStringLiteral("\t\tSqlQuery query(db);\n");
    const QString statement = QStringLiteral("\"select ")
            + columnList(selectColumn)
            + QStringLiteral(" from %1 \"").arg(sqlTable());
    text += QStringLiteral("\t\tquery.prepare(%1);\n").arg(statement);
    text += listMethodEnd();
    return text;
}

QString DAOGen::getByMatchMethod() const
{
    const QString &className = m_table->className();
    QString text = methodHead(QStringLiteral("QList<%1 *>"), QStringLiteral("%2"),
                              QStringLiteral("getByMatch"),
                              QStringLiteral("const QString &ColumnObject, QVariant value"))
                           .arg(className, m_table->daoClassName());
    text += QStringLiteral("\tQList<%1 *> list;\n").arg(className);
    text += QStringLiteral("\tQSqlDatabase *db = Session::instance()->systemDatabase();\n");
    text += QStringLiteral("\ttry{\n");
    text += QStringLiteral("\t\tSqlQuery query(db);\n");
    // The where clause keeps its %1: the generated method fills it at run
    // time with the column it is asked for. Names holding "%" stay out of
    // that fill.
    const QString select = QStringLiteral("\"select ") + columnList(selectColumn)
            + QStringLiteral(" from %1 ").arg(sqlTable());
    if (select.contains(QLatin1Char('%'))) {
        text += QStringLiteral("\t\tQString sqlQuery = QString(%1 where \") + QString(\"%2 = :value \").arg(ColumnObject);\n")
                        .arg(select, QStringLiteral("%1"));
    } else {
        text += QStringLiteral("\t\tQString sqlQuery = QString(%1).arg(ColumnObject);\n")
                        .arg(select + QStringLiteral(" where %1 = :value \""));
    }
    text += QStringLiteral("\t\tquery.prepare(sqlQuery);\n");
    text += QStringLiteral("\t\tquery.bindValue(\":value\", value);\n");
    text += listMethodEnd();
    return text;
}
