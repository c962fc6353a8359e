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
    // one of LongLong, Double, QDateTime or QString.
    ColumnObject(mysql::Column *column, const QString &className, int type, QObject *parent);

    mysql::Column *column() const { return m_column; }
    const QString &className() const { return m_className; }
    // A QMetaType id: LongLong, Double, QDateTime or QString.
    int type() const { return m_type; }

    const QString &name() const;
    QString memberName() const;
    QString setterName() const;

    // Entity header pieces.
    QString propertyLine() const;
    QString getterDeclaration() const;
    QString setterDeclaration() const;
    QString memberLine() const;

    // Entity source pieces.
    QString setterCall(const QString &value) const;
    QString getterDefinition() const;
    QString setterDefinition() const;

    static int mapType(int type);

private:
    QString conversion() const;

    mysql::Column *m_column;
    QString m_className;
    int m_type;
};
