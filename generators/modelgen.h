#pragma once

#include "generators/genfunctions.h"
#include "generators/sourcegenerator.h"

#include <QString>

class ColumnObject;

// Writes the table-model class of one table: a QAbstractTableModel over a
// list of entity objects with one column per table column.
class ModelGen : public SourceGenerator, private GenFunctions
{
    Q_OBJECT

public:
    ModelGen(TableObject *table, QObject *parent);

    QString headerText() const override;
    QString sourceText() const override;
    QString headerFileName() const override;
    QString sourceFileName() const override;

protected:
    QString directory() const override;

private:
    QString dataMethod() const;
    QString setDataMethod() const;
    QString headerDataMethod() const;
    QString flagsMethod() const;
    QString rowCountMethod() const;
    QString columnCountMethod() const;
    QString insertRowsMethod() const;
    QString removeRowsMethod() const;
    QString addMethod() const;

    QString className() const;
    // The table's C++ name, which the list member and parameter are named
    // after.
    QString tableName() const;
    // The column enum's name and the enumerator of one column.
    QString enumName() const;
    static QString enumerator(const ColumnObject *column);
};
