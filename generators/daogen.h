#pragma once

#include "generators/genfunctions.h"
#include "generators/sourcegenerator.h"

#include <QString>

class ColumnObject;
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

    // The table's SQL name, ready for a string literal.
    QString sqlTable() const;
    // What `item` makes of each column, in `columns()` order, joined by ", ".
    QString columnList(QString (*item)(const ColumnObject *column)) const;
    // The where clauses of the update and of the by-id select: by the id
    // column, else by the primary key.
    QString updateCondition() const;
    QString byIdCondition() const;
    QString bindLines() const;
    // The shared ends of the generated methods: execute, commit or roll back
    // (insert, update); execute and collect the rows (all, by match).
    QString writingMethodEnd() const;
    QString listMethodEnd() const;
};
