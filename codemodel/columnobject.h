#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>

namespace mysql {
class Column;
}

// The generators' view of one column: the property's names and value type,
// and the pieces of entity-class text that belong to one column.
class ColumnObject : public QObject
{
    Q_OBJECT

public:
    // `type` is the type the driver reports (a QMetaType id); it is mapped to
    // one of LongLong, Double, QDateTime or QString, or QByteArray for a
    // column of binary data.
    ColumnObject(mysql::Column *column, const QString &className, int type, QObject *parent);

    mysql::Column *column() const { return m_column; }
    const QString &className() const { return m_className; }
    // A QMetaType id: LongLong, Double, QDateTime, QString or QByteArray,
    // or the type the project chose.
    int type() const { return m_type; }
    // Bool, QDate, QTime, QDateTime, QString, QByteArray or QJsonDocument,
    // in place of the driver's type.
    void setChosenType(int type);
    bool hasChosenType() const { return m_chosen; }
    // Whether the entity keeps the value in a QVariant, so that NULL
    // survives a load and a write: a nullable number, which a typed member
    // would turn into 0. Null texts, dates and bytes survive in their types.
    bool keepsNull() const;

    // The column's name as the schema spells it.
    const QString &name() const;
    // The name in C++ identifiers: the getter's name, and the stem of the
    // member, setter, property, enumerator and placeholder names.
    const QString &cppName() const { return m_cppName; }
    void setCppName(const QString &name) { m_cppName = name; }
    QString memberName() const;
    QString setterName() const;
    // The name in generated SQL, quoted where the server needs it.
    QString sqlName() const;
    QString placeholder() const;
    // The header text of the column, ready for a string literal.
    QString label() const;

    // Entity header pieces.
    QString propertyLine() const;
    QString getterDeclaration() const;
    QString setterDeclaration() const;
    QString memberLine() const;

    // The expression the DAO binds for the column of `variable`, a pointer
    // to the entity.
    QString bindExpression(const QString &variable) const;
    // Whether the DAO selects the column as text: a number kept in a
    // QString, which the driver would read as a double and round.
    bool selectsAsText() const;

    // Entity source pieces.
    QString setterCall(const QString &value) const;
    QString getterDefinition() const;
    QString setterDefinition() const;

    static int mapType(int type);
    // Whether the column's data type holds bytes rather than text.
    static bool isBinary(const QString &dataType);
    // Whether it is one of the geometry types, which the driver cannot read
    // into a prepared statement's buffers as they are.
    static bool isSpatial(const QString &dataType);

private:
    QString conversion() const;
    // What the setter makes of its QVariant `value`.
    QString converted() const;

    mysql::Column *m_column;
    QString m_className;
    QString m_cppName;
    int m_type;
    bool m_chosen = false;
};
