#pragma once

#include <QObject>
#include <QString>

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

    TableObject *source() const { return m_source; }
    TableObject *target() const { return m_target; }
    int type() const { return m_type; }

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
};
