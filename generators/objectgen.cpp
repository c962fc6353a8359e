#include "generators/objectgen.h"

#include "codemodel/columnobject.h"
#include "codemodel/relation.h"
#include "codemodel/tableobject.h"
#include "mysql/table.h"

ObjectGen::ObjectGen(TableObject *table, QObject *parent)
    : SourceGenerator(table, parent)
    , GenFunctions()
{
}

QString ObjectGen::directory() const
{
    return QStringLiteral("object");
}

QString ObjectGen::headerFileName() const
{
    return m_table->fileName() + QStringLiteral(".h");
}

QString ObjectGen::sourceFileName() const
{
    return m_table->fileName() + QStringLiteral(".cpp");
}

QString ObjectGen::baseClassName() const
{
    return m_table->table()->column(QStringLiteral("id")) ? QStringLiteral("ObjectBase")
                                                          : QStringLiteral("QObject");
}

bool ObjectGen::isIdColumn(const QString &name) const
{
    return name == QLatin1String("id");
}

QString ObjectGen::relationMemberInits() const
{
    QString text;
    for (const Relation *relation : m_table->relations()) {
        if (relation->type() == Relation::OneToOne || relation->type() == Relation::ManyToOne)
            text += QStringLiteral("\t%1 = 0;\n").arg(relation->memberName());
    }
    return text;
}

QString ObjectGen::numberInits() const
{
    // A new object's numbers start at zero, not at whatever the memory held;
    // nullable ones start as NULL.
    QString text;
    for (const ColumnObject *column : m_table->columns()) {
        const bool number = column->type() == QMetaType::LongLong || column->type() == QMetaType::Double;
        const bool flag = column->type() == QMetaType::Bool;
        if ((number || flag) && !column->keepsNull() && !isIdColumn(column->name()))
            text += QStringLiteral("\t%1 = %2;\n").arg(column->memberName(), flag ? QStringLiteral("false") : QStringLiteral("0"));
    }
    return text;
}

QString ObjectGen::chosenTypeIncludes() const
{
    // The types the project chose; the driver's own need nothing beyond
    // QSqlRecord.
    QStringList headers;
    for (const ColumnObject *column : m_table->columns()) {
        const QString header = !column->hasChosenType() ? QString()
                : column->type() == QMetaType::QDate          ? QStringLiteral("QDate")
                : column->type() == QMetaType::QTime          ? QStringLiteral("QTime")
                : column->type() == QMetaType::QDateTime      ? QStringLiteral("QDateTime")
                : column->type() == QMetaType::QJsonDocument  ? QStringLiteral("QJsonDocument")
                                                              : QString();
        if (!header.isEmpty() && !headers.contains(header))
            headers.append(header);
    }
    headers.sort();
    QString text;
    for (const QString &header : std::as_const(headers))
        text += includeSystem(header);
    return text;
}

QString ObjectGen::headerText() const
{
    const QString &className = m_table->className();
    const QList<ColumnObject *> &columns = m_table->columns();
    const QList<Relation *> &relations = m_table->relations();

    QString text = fileBanner();
    text += includeGuardBegin(className);
    text += QStringLiteral("\n");
    text += includeSystem(QStringLiteral("QSqlRecord"));
    text += chosenTypeIncludes();
    text += includeSystem(QStringLiteral("data/objectbase.h"));
    text += QStringLiteral("\n");
    text += namespaceBegin(QStringLiteral("crud"));
    text += QStringLiteral("\n");
    text += QStringLiteral("// Objects Forward Declarations\n");
    for (const Relation *relation : relations)
        text += QStringLiteral("\nclass %1;").arg(relation->targetClassName());
    text += QStringLiteral("\n\n");
    text += QStringLiteral("class VELLUM_EXPORT %1 : public %2\n{\n").arg(className, baseClassName());
    text += QStringLiteral("\t") + qObjectMacro();
    for (const ColumnObject *column : columns) {
        if (!isIdColumn(column->name()))
            text += column->propertyLine() + QStringLiteral("\n");
    }
    text += QStringLiteral("\n");
    text += publicSection();
    text += QStringLiteral("// Constructors\n");
    // The class name goes in by a second fill, after the declaration is made.
    text += constructorDeclaration(QStringLiteral("\texplicit %1"),
                                   QStringLiteral("QObject *parent = 0"))
                    .arg(className);
    text += constructorDeclaration(QStringLiteral("\texplicit %1"),
                                   QStringLiteral("const QSqlRecord &, QObject *parent = 0"))
                    .arg(className);
    text += QStringLiteral("\n");
    text += QStringLiteral("// Getters & Setters");
    for (const ColumnObject *column : columns) {
        if (isIdColumn(column->name()))
            continue;
        text += QStringLiteral("\n\t") + column->getterDeclaration();
        text += QStringLiteral("\n\t") + column->setterDeclaration();
    }
    text += QStringLiteral("\n");
    text += QStringLiteral("\n");
    text += QStringLiteral("// Objects Getters & Setters");
    for (const Relation *relation : relations) {
        text += QStringLiteral("\n\t") + relation->getterDeclaration();
        text += QStringLiteral("\n\t") + relation->setterDeclaration();
    }
    text += QStringLiteral("\n");
    text += QStringLiteral("\n");
    text += privateSection();
    text += QStringLiteral("// Private Members");
    for (const ColumnObject *column : columns) {
        if (!isIdColumn(column->name()))
            text += QStringLiteral("\n\t") + column->memberLine();
    }
    text += QStringLiteral("\n");
    text += QStringLiteral("\n");
    text += privateSection();
    text += QStringLiteral("// Private Object Members");
    for (const Relation *relation : relations)
        text += QStringLiteral("\n\t") + relation->memberLine();
    text += QStringLiteral("\n");
    // The private keyword lands inside the comment line; validate() stays
    // private through the section opened above.
    text += QStringLiteral("// Other Methods");
    text += privateSection();
    text += methodDeclaration(QStringLiteral("\tbool"), QStringLiteral("validate"), QString());
    text += QStringLiteral("\n");
    text += classEnd();
    text += QStringLiteral("\n");
    text += namespaceEnd(QStringLiteral("crud"));
    text += QStringLiteral("\n");
    text += includeGuardEnd(className);
    return text;
}

QString ObjectGen::sourceText() const
{
    const QString &className = m_table->className();
    const QList<ColumnObject *> &columns = m_table->columns();
    const QList<Relation *> &relations = m_table->relations();
    const QString base = baseClassName();
    const QString memberInits = relationMemberInits();

    QString text = fileBanner();
    text += includeLocal(QStringLiteral("%1.h")).arg(m_table->fileName());
    if (!relations.isEmpty()) {
        text += QStringLiteral("// Include Objects\n");
        for (const Relation *relation : relations)
            text += includeLocal(QStringLiteral("%1.h")).arg(relation->target()->fileName());
        text += QStringLiteral("// Include DAOs\n");
        for (const Relation *relation : relations)
            text += includeLocal(QStringLiteral("../dao/%1dao.h")).arg(relation->target()->fileName());
    }
    text += QStringLiteral("\n");
    text += namespaceBegin(QStringLiteral("crud"));
    text += QStringLiteral("\n");

    text += QStringLiteral("%1::%1(QObject *parent) :\n\t%2(parent)\n{\n").arg(className, base);
    text += memberInits;
    text += numberInits();
    text += QStringLiteral("\n}\n\n");

    text += QStringLiteral("%1::%1(const QSqlRecord &record, QObject *parent) :\n\t%2(parent)\n{\n")
                    .arg(className, base);
    text += memberInits;
    QStringList names;
    for (const ColumnObject *column : columns)
        names.append(column->name());
    text += QStringLiteral("\t// ") + names.join(QStringLiteral(", ")) + QStringLiteral("\n");
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const QString value = QStringLiteral("record.value(%1)").arg(QString::number(i));
        text += QStringLiteral("\t") + columns.at(i)->setterCall(value) + QStringLiteral("\n");
    }
    text += QStringLiteral("}\n");

    text += QStringLiteral("\n// Getters y Setters Definitions");
    for (const ColumnObject *column : columns) {
        if (isIdColumn(column->name()))
            continue;
        text += QStringLiteral("\n") + column->getterDefinition();
        text += QStringLiteral("\n") + column->setterDefinition();
    }
    if (!relations.isEmpty()) {
        text += QStringLiteral("\n// Objects Getters y Setters Definitions");
        for (const Relation *relation : relations) {
            text += relation->getterDefinition() + QStringLiteral("\n");
            text += relation->setterDefinition() + QStringLiteral("\n");
        }
    }
    text += QStringLiteral("\n");
    text += namespaceEnd(QStringLiteral("crud"));
    return text;
}
