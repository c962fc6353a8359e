#pragma once

#include "generators/genfunctions.h"
#include "generators/sourcegenerator.h"

#include <QString>

class TableObject;

// Writes the data-access class of one table: a GenericDAO singleton in
// namespace crud with insert, update, delete and three reading methods.
class DAOGen : public SourceGenerator, private GenFunctions
{
    Q_OBJECT

public:
    DAOGen(TableObject *table, QObject *parent);

    QString headerText() const override;
    QString sourceText() const override;
    QString headerFileName() const override;
    QString sourceFileName() const override;

protected:
    QString directory() const override;

private:
    QString insertObjectMethod() const;
    QString updateObjectMethod() const;
    QString deleteObjectMethod() const;
    QString getByIdMethod() const;
    QString getAllMethod() const;
    QString getByMatchMethod() const;

    // The lower-cased entity class name: the object variable, the SQL table
    // name and the sequence suffix of the generated code.
    QString objectName() const;
    // Column names joined in `columns()` order: the first one written as
    // `first` fills it, every later one as `later` fills it.
    QString columnList(const QString &first, const QString &later) const;
    QString bindLines() const;
    // The shared ends of the generated methods: execute, commit or roll back
    // (insert, update); execute and collect the rows (all, by match).
    QString writingMethodEnd() const;
    QString listMethodEnd() const;
};
