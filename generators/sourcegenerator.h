#pragma once

#include <QObject>
#include <QString>

class OutputTree;
class TableObject;

// What the four generators share: the table they serve and where their
// files go. Each generator builds the text and names the files of one header
// and one source file; generateHeader() and generateSource() write them.
class SourceGenerator : public QObject
{
    Q_OBJECT

public:
    SourceGenerator(TableObject *table, QObject *parent);

    TableObject *table() const { return m_table; }

    void generateHeader();
    void generateSource();

    virtual QString headerText() const = 0;
    virtual QString sourceText() const = 0;
    virtual QString headerFileName() const = 0;
    virtual QString sourceFileName() const = 0;

    // Where the files go; without a tree they go below the application
    // directory and failures pass silently.
    void setOutputTree(const OutputTree *tree) { m_output = tree; }

protected:
    // The directory below "code/C++" that receives both files.
    virtual QString directory() const = 0;

    TableObject *m_table;

private:
    bool writeFile(const QString &fileName, const QString &text) const;

    const OutputTree *m_output = nullptr;
};
