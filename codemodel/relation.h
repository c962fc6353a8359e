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

    QString memberName() const;
    QString getterDeclaration() const;
    QString setterDeclaration() const;
    QString memberLine() const;
    QString getterDefinition() const;
    QString setterDefinition() const;

private:
    bool holdsList() const { return m_type == OneToMany; }

    TableObject *m_source;
    TableObject *m_target;
    int m_type;
};
