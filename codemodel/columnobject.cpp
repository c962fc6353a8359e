#include "codemodel/columnobject.h"

#include "mysql/column.h"

ColumnObject::ColumnObject(mysql::Column *column, const QString &className, int type,
                           QObject *parent)
    : QObject(parent)
    , m_column(column)
    , m_className(className)
    , m_type(mapType(type))
{
}

int ColumnObject::mapType(int type)
{
    switch (type) {
    case QMetaType::Double:
        return QMetaType::Double;
    // The driver reports tinyint and smallint through the narrow integer
    // types; all integers become qlonglong properties.
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return QMetaType::LongLong;
    case QMetaType::QDateTime:
        return QMetaType::QDateTime;
    default:
        return QMetaType::QString;
    }
}

const QString &ColumnObject::name() const
{
    return m_column->name();
}

QString ColumnObject::memberName() const
{
    return QStringLiteral("m_") + name();
}

QString ColumnObject::setterName() const
{
    QString setter = QStringLiteral("set%1").arg(name());
    if (setter.size() > 3)
        setter[3] = setter.at(3).toUpper();
    return setter;
}

QString ColumnObject::propertyLine() const
{
    return QStringLiteral("\tQ_PROPERTY(QVariant %1\n\t\tREAD %2\n\t\tWRITE %3)")
            .arg(name(), name(), setterName());
}

QString ColumnObject::getterDeclaration() const
{
    return QStringLiteral("QVariant ") + name() + QStringLiteral("() const;");
}

QString ColumnObject::setterDeclaration() const
{
    return QStringLiteral("void ") + setterName() + QStringLiteral("(QVariant);");
}

QString ColumnObject::memberLine() const
{
    return QStringLiteral("%1 %2;").arg(QString::fromLatin1(QMetaType(m_type).name()), memberName());
}

QString ColumnObject::setterCall(const QString &value) const
{
    return QStringLiteral("%1(%2);").arg(setterName(), value);
}

QString ColumnObject::getterDefinition() const
{
    return QStringLiteral("QVariant %1::%2() const\n{\n\treturn %3;\n}\n")
            .arg(m_className, name(), memberName());
}

QString ColumnObject::setterDefinition() const
{
    // One pass, so that a name holding "%1" is not filled a second time.
    return QStringLiteral("void %1::%2(QVariant value)\n{\n\t%3 = value.%4;\n}\n")
            .arg(m_className, setterName(), memberName(), conversion());
}

QString ColumnObject::conversion() const
{
    if (name().startsWith(QLatin1String("id")))
        return QStringLiteral("toLongLong()");
    switch (m_type) {
    case QMetaType::Double:
        return QStringLiteral("toDouble()");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return QStringLiteral("toLongLong()");
    case QMetaType::QDateTime:
        return QStringLiteral("toDateTime()");
    default:
        return QStringLiteral("toString()");
    }
}
