#ifndef SCAFFOLD_APPLICATION_H
#define SCAFFOLD_APPLICATION_H

#include <QStringList>

namespace scaffold {

// --check-tables: connects with the command line's options, reads every
// table through its DAO and prints "TABLE: N rows" for each. 0 when every
// table was read, 1 otherwise.
int checkTables(const QStringList &arguments);
// The window: connects with the command line's options over the remembered
// ones, asking with the connection dialog where they do not suffice.
int runWindow(const QStringList &arguments);

} // namespace scaffold

#endif // SCAFFOLD_APPLICATION_H
