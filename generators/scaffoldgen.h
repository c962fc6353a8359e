#pragma once

#include "generators/genfunctions.h"

#include <QList>
#include <QString>
#include <QStringList>

class OutputTree;
class TableObject;

// Writes, beside the classes of a run, a CRUD application over them:
// code/C++/CMakeLists.txt and code/C++/app/ with a main window of one tab per
// table (its rows in the generated model, its editor as the record picker,
// Add and Save through the DAO), a connection dialog and --check-tables, and
// app/README.md saying what was left out and how to build. Asked for, not a
// part of the four class generators.
class ScaffoldGen : private GenFunctions
{
public:
    // Which of the four kinds of class the run writes.
    struct Kinds
    {
        bool dao = true;
        bool object = true;
        bool model = true;
        bool editor = true;
    };

    struct File
    {
        QString directory; // below the output root, such as "code/C++/app"
        QString fileName;
        QString text;
    };

    // `tables` are the run's chosen tables, in the order of the tabs.
    ScaffoldGen(const QList<TableObject *> &tables, const Kinds &kinds);

    QList<File> files() const;
    // Writes every file; false when one could not be written (the tree
    // reports it).
    bool write(const OutputTree &tree) const;

    // The tables that get a page: all chosen ones when entities and DAOs
    // are written, less those whose file names CMake cannot carry.
    const QList<TableObject *> &pageTables() const { return m_pages; }
    // What the application leaves out, one line each.
    const QStringList &leftOut() const { return m_leftOut; }

    // The folder below code/C++ that holds the application.
    static QString folder() { return QStringLiteral("app"); }

private:
    QString tableFile(const TableObject *table) const;
    QString tablesFile() const;
    QString cmakeFile() const;
    QString readme() const;
    static QString fixedText(const QString &name);

    QList<TableObject *> m_tables;
    QList<TableObject *> m_pages;
    Kinds m_kinds;
    QStringList m_leftOut;
};
