#include "generators/sourcegenerator.h"

#include "generators/outputtree.h"

#include <QCoreApplication>

SourceGenerator::SourceGenerator(TableObject *table, QObject *parent)
    : QObject(parent)
    , m_table(table)
{
}

void SourceGenerator::generateHeader()
{
    writeFile(headerFileName(), headerText());
}

void SourceGenerator::generateSource()
{
    writeFile(sourceFileName(), sourceText());
}

bool SourceGenerator::writeFile(const QString &fileName, const QString &text) const
{
    const QString relative = QStringLiteral("code/C++/") + directory();
    if (m_output)
        return m_output->writeFile(relative, fileName, text);
    return OutputTree(QCoreApplication::applicationDirPath()).writeFile(relative, fileName, text);
}
