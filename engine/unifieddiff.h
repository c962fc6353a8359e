#pragma once

#include <QString>

// The unified diff ("diff -u", three lines of context) that turns `oldText`
// (labelled `oldName`) into `newText`; empty when they are equal. A banner
// date that differs is not shown as a change, as the check ignores it.
QString unifiedDiff(const QString &oldName, const QString &oldText, const QString &newName, const QString &newText);
