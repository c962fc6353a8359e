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

    void generateHeader();
    void generateSource();

    QString headerText() const;
    QString sourceText() const;
    QString headerFileName() const;
    QString sourceFileName() const;

private:
    // The quoted select statement the generated constructor passes to setQuery.
    QString selectLiteral() const;
};
