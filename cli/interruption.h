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
// Ends the process by the signal received, so that a calling shell sees an
// interrupted command (status 130 or 143) and stops too.
[[noreturn]] void endBySignal();

} // namespace Interruption
