#pragma once

#include <QObject>
#include <QString>

class OutputTree;
class TableObject;

// What the four generators share: the table they serve and where their
// files go. Each generator builds the text of its header and source file and
// writes them with writeFile().
class SourceGenerator : public QObject
{
    Q_OBJECT

public:
    SourceGenerator(TableObject *table, QObject *parent);

    TableObject *table() const { return m_table; }

    // Where the files go; without a tree they go below the application
    // directory and failures pass silently.
    void setOutputTree(const OutputTree *tree) { m_output = tree; }

protected:
    // Writes `text` to "code/C++/<directory>/<fileName>" below the tree.
    bool writeFile(const QString &directory, const QString &fileName, const QString &text) const;

    TableObject *m_table;

private:
    const OutputTree *m_output = nullptr;
};
