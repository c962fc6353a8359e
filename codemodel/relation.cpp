#include "codemodel/relation.h"

#include "codemodel/columnobject.h"
#include "codemodel/generator.h"
#include "codemodel/identifiers.h"
#include "codemodel/tableobject.h"
#include "mysql/column.h"
#include "mysql/foreignkey.h"
#include "mysql/foreignkeycolumn.h"
#include "mysql/table.h"

namespace {

// The first of `table`'s foreign keys to `target`, in the table's key order.
mysql::ForeignKey *firstKeyTo(const mysql::Table *table, const mysql::Table *target)
{
    for (mysql::ForeignKey *key : table->foreignKeys()) {
        if (key->referencedTable() == target)
            return key;
    }
    return nullptr;
}

} // namespace

Relation::Relation(TableObject *source, TableObject *target, int type, QObject *parent)
    : QObject(parent)
    , m_source(source)
    , m_target(target)
    , m_type(type)
{
}

Relation::Relation(TableObject *source, TableObject *target, const mysql::ForeignKey *key, const QString &name,
                   QObject *parent)
    : QObject(parent)
    , m_source(source)
    , m_target(target)
    , m_type(ManyToOne)
    , m_key(key)
    , m_name(name)
{
}

QString Relation::keyGetterName(const mysql::ForeignKey *key)
{
    QStringList names;
    for (const mysql::KeyColumn *column : key->columns())
        names.append(column->column() ? column->column()->name() : QString());
    QString name = names.join(QLatin1Char('_'));
    for (const QLatin1String end : {QLatin1String("_id"), QLatin1String("id")}) {
        if (name.size() > end.size() && name.endsWith(end, Qt::CaseInsensitive)) {
            name.chop(end.size());
            break;
        }
    }
    QString camel;
    for (const QString &part : identifiers::cppName(name, QStringLiteral("_")).split(QLatin1Char('_'), Qt::SkipEmptyParts)) {
        camel += camel.isEmpty() ? part.left(1).toLower() + part.mid(1) : identifiers::upperFirst(part);
    }
    if (camel.isEmpty())
        camel = QStringLiteral("linked");
    return identifiers::cppName(camel, QStringLiteral("_"));
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

QString Relation::baseName() const
{
    QString name = m_target->cppName();
    if (holdsList())
        name += QStringLiteral("List");
    // A member function named like a class hides the class in the source's
    // declarations.
    const Generator *generator = m_source->generator();
    if (generator && generator->isClassName(name))
        name = identifiers::notClassName(name);
    return name;
}

bool Relation::clashesWithColumn() const
{
    const QString name = baseName();
    for (const ColumnObject *column : m_source->columns()) {
        if (column->cppName() == name)
            return true;
    }
    return false;
}

QString Relation::getterName() const
{
    if (!m_name.isEmpty())
        return m_name;
    // Beside a column of the same name the getter and the member take a
    // suffix; the setters differ by their parameter.
    return clashesWithColumn() ? baseName() + QStringLiteral("Ref") : baseName();
}

QString Relation::memberName() const
{
    if (!m_name.isEmpty())
        return QStringLiteral("m_") + m_name;
    QString member = QStringLiteral("m_") + m_target->cppName();
    if (holdsList())
        member += QStringLiteral("List");
    if (clashesWithColumn())
        member += QStringLiteral("Ref");
    return member;
}

QString Relation::keyExpression(QString *problem, QString *nullableMember) const
{
    // The link is a foreign key of the source to the target, or, for a
    // one-to-one link, of the target to the source; then the key value is
    // the source's referenced column.
    const mysql::Table *source = m_source->table();
    const mysql::Table *target = m_target->table();
    const mysql::ForeignKey *key = m_key ? m_key : firstKeyTo(source, target);
    const bool ownKey = key != nullptr;
    if (!key && m_type == OneToOne)
        key = firstKeyTo(target, source);
    QStringList names;
    const mysql::Column *column = nullptr;
    if (key) {
        for (const mysql::KeyColumn *keyColumn : key->columns()) {
            const mysql::Column *linked = ownKey ? keyColumn->column()
                                                 : static_cast<const mysql::ForeignKeyColumn *>(keyColumn)->referencedColumn();
            if (linked)
                names.append(linked->name());
            column = linked;
        }
    }
    if (names.size() != 1 || !column) {
        if (problem) {
            *problem = names.size() > 1
                    ? QStringLiteral("the link (%1) has more than one column").arg(names.join(QStringLiteral(", ")))
                    : QStringLiteral("the columns of its link could not be read");
        }
        return QString();
    }
    if (column->name() == QLatin1String("id"))
        return QStringLiteral("id().toLongLong()");
    const ColumnObject *object = m_source->column(column->name());
    if (!object || object->type() != QMetaType::LongLong) {
        if (problem)
            *problem = QStringLiteral("its key %1 is not an integer").arg(column->name());
        return QString();
    }
    if (object->keepsNull()) {
        if (nullableMember)
            *nullableMember = object->memberName();
        return object->memberName() + QStringLiteral(".toLongLong()");
    }
    return object->memberName();
}

QString Relation::getterDeclaration() const
{
    if (holdsList())
        return QStringLiteral("QList<%1 *> & %2();").arg(targetClassName(), getterName());
    return QStringLiteral("%1 * %2();").arg(targetClassName(), getterName());
}

QString Relation::setterDeclaration() const
{
    if (!m_name.isEmpty())
        return QStringLiteral("void set%1(%2 *);").arg(identifiers::upperFirst(m_name), targetClassName());
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
    if (!m_name.isEmpty()) {
        text += QStringLiteral("void %1::set%2(%3 *obj)").arg(sourceClassName(), identifiers::upperFirst(m_name), targetClassName());
        text += QStringLiteral("\n{");
        text += QStringLiteral("\n\t%1 = obj;").arg(memberName());
    } else if (holdsList()) {
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
        text += QStringLiteral("QList<%1 *> & %2::%3()")
                        .arg(targetClassName(), sourceClassName(), getterName());
        text += QStringLiteral("\n{");
        text += QStringLiteral("\n\tif (%1.count() == 0)").arg(memberName());
        text += QStringLiteral("\n\t{");
        text += QStringLiteral("\n\t\t//%1::instance()->getBy%2(%3);")
                        .arg(targetDao, sourceClassName(), memberName());
        text += QStringLiteral("\n\t}");
    } else {
        text += QStringLiteral("%1 * %2::%3()")
                        .arg(targetClassName(), sourceClassName(), getterName());
        text += QStringLiteral("\n{");
        // Without a key to load by, the getter gives what was set.
        QString nullableKey;
        const QString key = keyExpression(nullptr, &nullableKey);
        if (!key.isEmpty()) {
            // A NULL key links to nothing: nothing to load.
            if (nullableKey.isEmpty())
                text += QStringLiteral("\n\tif (! %1)").arg(memberName());
            else
                text += QStringLiteral("\n\tif (! %1 && ! %2.isNull())").arg(memberName(), nullableKey);
            text += QStringLiteral("\n\t{");
            text += QStringLiteral("\n\t\t%1 = %2::instance()->getById(%3);").arg(memberName(), targetDao, key);
            text += QStringLiteral("\n\t}");
        }
    }
    text += QStringLiteral("\n\treturn %1;").arg(memberName());
    text += QStringLiteral("\n}");
    return text;
}
