#pragma once

#include "generators/genfunctions.h"
#include "generators/sourcegenerator.h"

#include <QString>

// Writes the editor widget class of one table: a CustomEditor whose combo box
// lists the rows of the table.
class EditorGen : public SourceGenerator, private GenFunctions
{
    Q_OBJECT

public:
    EditorGen(TableObject *table, QObject *parent);

    QString headerText() const override;
    QString sourceText() const override;
    QString headerFileName() const override;
    QString sourceFileName() const override;

protected:
    QString directory() const override;

private:
    // The quoted select statement the generated constructor passes to setQuery.
    QString selectLiteral() const;
};
