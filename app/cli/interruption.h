#pragma once

#include <QString>

// Ctrl-C (SIGINT) and SIGTERM during a command-line run. Until the run has
// a new tree under way nothing needs undoing, so the process prints its
// message and ends at once; from then on the signal is only noted, and the
// run, which asks between files, drops its unfinished tree itself.
namespace Interruption {

// `message` is the line printed on standard error when a signal ends the run.
void install(const QString &message);
// The run has begun writing its new tree.
void deferFromNowOn();
bool requested();
// The exit status for the signal received: 128 + its number.
int exitStatus();

} // namespace Interruption
