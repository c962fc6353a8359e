#pragma once

#include <QObject>
#include <QString>

namespace mysql {
class ForeignKey;
}

class TableObject;

// A link from one table's entity class to another's: one related object, or
// a list of them.
class Relation : public QObject
{
    Q_OBJECT

public:
    enum Type {
        OneToOne = 1,
        OneToMany = 2,
        ManyToOne = 3
    };

    Relation(TableObject *source, TableObject *target, int type, QObject *parent);
    // A single related object loaded through one foreign key of the source,
    // with a getter of its own called `name`: a further key into a table.
    Relation(TableObject *source, TableObject *target, const mysql::ForeignKey *key, const QString &name,
             QObject *parent);

    // The name a further key's getter is made of: its column without a
    // final "id" or "_id", in camel case ("master_itemid" gives "masterItem").
    static QString keyGetterName(const mysql::ForeignKey *key);

    TableObject *source() const { return m_source; }
    TableObject *target() const { return m_target; }
    int type() const { return m_type; }
    // The foreign key a further key's relation loads through; null for the
    // links between tables.
    const mysql::ForeignKey *key() const { return m_key; }

    QString sourceClassName() const;
    QString targetClassName() const;
    // The target's schema table name, as the schema spells it.
    QString targetTableName() const;

    // The getter's name: the target table's, unless that would name a class
    // of the schema or a column getter of the source.
    QString getterName() const;
    QString memberName() const;
    // For a single related object: the expression that gives its key to
    // getById, or an empty text when no single integer column links the two
    // tables; then `problem` says why. When the key column may hold NULL,
    // `nullableMember` names its member, which the getter checks first.
    QString keyExpression(QString *problem = nullptr, QString *nullableMember = nullptr) const;
    QString getterDeclaration() const;
    QString setterDeclaration() const;
    QString memberLine() const;
    QString getterDefinition() const;
    QString setterDefinition() const;

private:
    bool holdsList() const { return m_type == OneToMany; }
    // The name the getter and the member are made of.
    QString baseName() const;
    bool clashesWithColumn() const;

    TableObject *m_source;
    TableObject *m_target;
    int m_type;
    const mysql::ForeignKey *m_key = nullptr;
    QString m_name;
};
