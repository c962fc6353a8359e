#pragma once

#include <QString>

// Asks for a password on the terminal without echoing it. Without a
// terminal, reads one line from standard input. `ok` is false when nothing
// could be read.
QString promptForPassword(const QString &prompt, bool *ok);
