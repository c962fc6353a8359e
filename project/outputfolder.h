#pragma once

#include <QString>

// Where a run writes: the output folder, which receives the tree "code"
// (codeFolder() in engine/runoptions.h). A project file, the command line
// and the window's settings each name one; a relative name, or none, is
// taken from a base folder: the project file's folder, the command line's
// working directory, or the window's default folder.
QString outputFolderIn(const QString &base, const QString &named);

struct OutputFolder
{
    QString path;
    // Why the folder is not the usual one; empty when it is.
    QString note;
};

// The window's output folder for the one its settings or its project name:
// relative to the program's folder where that may be written (a build
// tree), else to Tablesmith in the user's documents (an installed program).
OutputFolder windowOutputFolder(const QString &named);
