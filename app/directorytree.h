#pragma once

#include <QString>

// Removes the directory `path` with everything in it. Symbolic links are
// removed as links, never followed, so nothing outside the tree is touched;
// a link given as `path` is removed itself. Returns true when `path` is gone
// (or never existed); stops at the first entry that cannot be removed.
bool removeDirectoryTree(const QString &path);

// The same; on failure `failedPath` receives the entry that could not be
// removed.
bool removeDirectoryTree(const QString &path, QString *failedPath);
