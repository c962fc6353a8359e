#pragma once

#include <QString>
#include <QStringList>

// Removes the directory `path` with everything in it. Symbolic links are
// removed as links, never followed, so nothing outside the tree is touched;
// a link given as `path` is removed itself. Returns true when `path` is gone
// (or never existed); stops at the first entry that cannot be removed.
bool removeDirectoryTree(const QString &path);
// The same; on failure `failedPath` receives the entry that could not be
// removed.
bool removeDirectoryTree(const QString &path, QString *failedPath);

// Creates the directory `path` with every missing parent. Returns false,
// with the system's reason in `error`, when one cannot be created.
bool createDirectoryPath(const QString &path, QString *error);

// The folders below code/C++ that a run writes, in the order it creates them.
const QStringList &generatedFolders();

// What lies in an output tree `code` that a generation run did not write:
// anything but the folders C++, C++/object, C++/dao, C++/model, C++/editors
// and the generated files in the last four (files whose first line is the
// banner's), or `code` itself when it is not a folder. Links count as
// foreign and are not followed. Lists at most `limit` paths; `count`
// receives how many there are.
QStringList foreignEntries(const QString &code, int limit, int *count);

// Puts the folder `replacement` in the place of `target` (both on one file
// system) in one step where the file system can, so that `target` is always
// either the old or the new tree. Afterwards `oldTree` names where the old
// `target` went (empty when there was none). Returns false, with the reason
// in `error`, when nothing was moved.
bool replacePath(const QString &replacement, const QString &target, QString *oldTree, QString *error);
