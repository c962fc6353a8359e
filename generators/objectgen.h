#pragma once

#include "generators/genfunctions.h"
#include "generators/sourcegenerator.h"

#include <QString>

class TableObject;

// Writes the entity class of one table: a QObject in namespace crud with one
// QVariant property per column and a lazily loaded member per relation.
class ObjectGen : public SourceGenerator, private GenFunctions
{
    Q_OBJECT

public:
    ObjectGen(TableObject *table, QObject *parent);

    QString headerText() const override;
    QString sourceText() const override;
    QString headerFileName() const override;
    QString sourceFileName() const override;

protected:
    QString directory() const override;

private:
    // "ObjectBase" when the table has a column named exactly "id", which the
    // base class then provides; "QObject" otherwise.
    QString baseClassName() const;
    bool isIdColumn(const QString &name) const;
    // "\t%1 = 0;\n" for every single-object relation, so the lazy getters
    // start from a null pointer.
    QString relationMemberInits() const;
    // "\t%1 = 0;\n" for every qlonglong and double member, "false" for a
    // bool.
    QString numberInits() const;
    // The includes of the member types the project chose.
    QString chosenTypeIncludes() const;
};
