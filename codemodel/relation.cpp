#include "codemodel/relation.h"

#include "codemodel/tableobject.h"
#include "mysql/table.h"

Relation::Relation(TableObject *source, TableObject *target, int type, QObject *parent)
    : QObject(parent)
    , m_source(source)
    , m_target(target)
    , m_type(type)
{
}

QString Relation::sourceClassName() const
{
    return m_source->className();
}

QString Relation::targetClassName() const
{
    return m_target->className();
}

QString Relation::targetTableName() const
{
    return m_target->table()->name();
}

QString Relation::memberName() const
{
    QString member = QStringLiteral("m_") + targetTableName();
    if (holdsList())
        member += QStringLiteral("List");
    return member;
}

QString Relation::getterDeclaration() const
{
    if (holdsList())
        return QStringLiteral("QList<%1 *> & %2List();").arg(targetClassName(), targetTableName());
    return QStringLiteral("%1 * %2();").arg(targetClassName(), targetTableName());
}

QString Relation::setterDeclaration() const
{
    if (holdsList())
        return QStringLiteral("void set%1List(QList<%1 *> &);").arg(targetClassName());
    return QStringLiteral("void set%1(%1 *);").arg(targetClassName());
}

QString Relation::memberLine() const
{
    if (holdsList())
        return QStringLiteral("QList<%1 *> %2;").arg(targetClassName(), memberName());
    return QStringLiteral("%1 *%2;").arg(targetClassName(), memberName());
}

QString Relation::setterDefinition() const
{
    QString text = QStringLiteral("\n");
    if (holdsList()) {
        text += QStringLiteral("void %1::set%2List(QList<%2 *> &objList)")
                        .arg(sourceClassName(), targetClassName());
        text += QStringLiteral("\n{");
        text += QStringLiteral("\n\t%1 = objList;").arg(memberName());
    } else {
        text += QStringLiteral("void %1::set%2(%2 *obj)").arg(sourceClassName(), targetClassName());
        text += QStringLiteral("\n{");
        text += QStringLiteral("\n\t%1 = obj;").arg(memberName());
    }
    text += QStringLiteral("\n}");
    return text;
}

QString Relation::getterDefinition() const
{
    const QString targetDao = m_target->daoClassName();
    QString text = QStringLiteral("\n");
    if (holdsList()) {
        text += QStringLiteral("QList<%1 *> & %2::%3List()")
                        .arg(targetClassName(), sourceClassName(), targetTableName());
        text += QStringLiteral("\n{");
        text += QStringLiteral("\n\tif (%1.count() == 0)").arg(memberName());
        text += QStringLiteral("\n\t{");
        text += QStringLiteral("\n\t\t//%1::instance()->getBy%2(%3);")
                        .arg(targetDao, sourceClassName(), memberName());
        text += QStringLiteral("\n\t}");
    } else {
        text += QStringLiteral("%1 * %2::%3()")
                        .arg(targetClassName(), sourceClassName(), targetTableName());
        text += QStringLiteral("\n{");
        text += QStringLiteral("\n\tif (! %1)").arg(memberName());
        text += QStringLiteral("\n\t{");
        text += QStringLiteral("\n\t\t%1 = %2::instance()->getById(%3);")
                        .arg(memberName(), targetDao,
                             QStringLiteral("m_id") + targetTableName().toLower());
        text += QStringLiteral("\n\t}");
    }
    text += QStringLiteral("\n\treturn %1;").arg(memberName());
    text += QStringLiteral("\n}");
    return text;
}
