#include "codemodel/columnobject.h"

#include "codemodel/identifiers.h"
#include "mysql/column.h"

#include <QSet>

ColumnObject::ColumnObject(mysql::Column *column, const QString &className, int type,
                           QObject *parent)
    : QObject(parent)
    , m_column(column)
    , m_className(className)
    , m_cppName(identifiers::cppName(column->name(), QStringLiteral("_")))
    , m_type(isBinary(column->dataType()) ? int(QMetaType::QByteArray) : mapType(type))
{
}

bool ColumnObject::isBinary(const QString &dataType)
{
    // The driver reports these as bytes, as it does json or text with a
    // binary collation; only these hold data that text would corrupt.
    static const QSet<QString> binaryTypes = {
        QStringLiteral("tinyblob"), QStringLiteral("blob"), QStringLiteral("mediumblob"),
        QStringLiteral("longblob"), QStringLiteral("binary"), QStringLiteral("varbinary"),
    };
    return binaryTypes.contains(dataType.toLower()) || isSpatial(dataType);
}

bool ColumnObject::isSpatial(const QString &dataType)
{
    // MySQL 8 names the collection "geomcollection".
    static const QSet<QString> spatialTypes = {
        QStringLiteral("geometry"), QStringLiteral("point"), QStringLiteral("linestring"),
        QStringLiteral("polygon"), QStringLiteral("multipoint"), QStringLiteral("multilinestring"),
        QStringLiteral("multipolygon"), QStringLiteral("geometrycollection"), QStringLiteral("geomcollection"),
    };
    return spatialTypes.contains(dataType.toLower());
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
    return QStringLiteral("m_") + m_cppName;
}

QString ColumnObject::setterName() const
{
    return QStringLiteral("set") + identifiers::upperFirst(m_cppName);
}

QString ColumnObject::sqlName() const
{
    return identifiers::sqlName(name());
}

QString ColumnObject::placeholder() const
{
    return QStringLiteral(":") + m_cppName;
}

QString ColumnObject::label() const
{
    return identifiers::literalText(identifiers::upperFirst(name()));
}

QString ColumnObject::propertyLine() const
{
    return QStringLiteral("\tQ_PROPERTY(QVariant %1\n\t\tREAD %2\n\t\tWRITE %3)")
            .arg(m_cppName, m_cppName, setterName());
}

QString ColumnObject::getterDeclaration() const
{
    return QStringLiteral("QVariant ") + m_cppName + QStringLiteral("() const;");
}

QString ColumnObject::setterDeclaration() const
{
    return QStringLiteral("void ") + setterName() + QStringLiteral("(QVariant);");
}

void ColumnObject::setChosenType(int type)
{
    m_type = type;
    m_chosen = true;
}

bool ColumnObject::keepsNull() const
{
    return !m_column->notNull()
            && (m_type == QMetaType::LongLong || m_type == QMetaType::Double || m_type == QMetaType::Bool);
}

QString ColumnObject::bindExpression(const QString &variable) const
{
    const QString value = QStringLiteral("%1->%2()").arg(variable, m_cppName);
    // The driver cannot bind a document; a null one goes as NULL.
    if (m_type == QMetaType::QJsonDocument)
        return value + QStringLiteral(".toJsonDocument().toJson(QJsonDocument::Compact)");
    return value;
}

bool ColumnObject::selectsAsText() const
{
    static const QSet<QString> numbers = {
        QStringLiteral("tinyint"), QStringLiteral("smallint"), QStringLiteral("mediumint"), QStringLiteral("int"),
        QStringLiteral("bigint"), QStringLiteral("decimal"), QStringLiteral("float"), QStringLiteral("double"),
    };
    return m_chosen && m_type == QMetaType::QString && numbers.contains(m_column->dataType().toLower());
}

QString ColumnObject::memberLine() const
{
    const QString type = keepsNull() ? QStringLiteral("QVariant") : QString::fromLatin1(QMetaType(m_type).name());
    return QStringLiteral("%1 %2;").arg(type, memberName());
}

QString ColumnObject::setterCall(const QString &value) const
{
    return QStringLiteral("%1(%2);").arg(setterName(), value);
}

QString ColumnObject::getterDefinition() const
{
    return QStringLiteral("QVariant %1::%2() const\n{\n\treturn %3;\n}\n")
            .arg(m_className, m_cppName, memberName());
}

QString ColumnObject::setterDefinition() const
{
    // One pass, so that a name holding "%1" is not filled a second time.
    if (keepsNull()) {
        return QStringLiteral("void %1::%2(QVariant value)\n{\n\t%3 = value.isNull() ? QVariant() : QVariant(%4);\n}\n")
                .arg(m_className, setterName(), memberName(), converted());
    }
    return QStringLiteral("void %1::%2(QVariant value)\n{\n\t%3 = %4;\n}\n")
            .arg(m_className, setterName(), memberName(), converted());
}

QString ColumnObject::converted() const
{
    // JSON comes as text or bytes; what is not JSON gives a null document.
    if (m_type == QMetaType::QJsonDocument)
        return QStringLiteral("QJsonDocument::fromJson(value.toByteArray())");
    return QStringLiteral("value.") + conversion();
}

QString ColumnObject::conversion() const
{
    if (m_chosen) {
        switch (m_type) {
        case QMetaType::Bool:
            return QStringLiteral("toBool()");
        case QMetaType::QDate:
            return QStringLiteral("toDate()");
        case QMetaType::QTime:
            return QStringLiteral("toTime()");
        case QMetaType::QDateTime:
            return QStringLiteral("toDateTime()");
        case QMetaType::QByteArray:
            return QStringLiteral("toByteArray()");
        default:
            return QStringLiteral("toString()");
        }
    }
    if (m_type == QMetaType::QByteArray)
        return QStringLiteral("toByteArray()");
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
