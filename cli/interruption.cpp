#include "cli/interruption.h"

#include <csignal>
#include <cstring>

#include <unistd.h>

namespace {

volatile sig_atomic_t g_signal = 0;
volatile sig_atomic_t g_deferred = 0;
// Kept as bytes: the handler may only use what is safe inside a signal.
char g_message[4096];
size_t g_messageLength = 0;

void onSignal(int signal)
{
    g_signal = signal;
    if (g_deferred)
        return;
    ssize_t written = ::write(STDERR_FILENO, g_message, g_messageLength);
    (void)written;
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

} // namespace

namespace Interruption {

void install(const QString &message)
{
    const QByteArray bytes = (message + QLatin1Char('\n')).toLocal8Bit().left(int(sizeof g_message));
    std::memcpy(g_message, bytes.constData(), size_t(bytes.size()));
    g_messageLength = size_t(bytes.size());
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void deferFromNowOn()
{
    g_deferred = 1;
}

bool requested()
{
    return g_signal != 0;
}

void endBySignal()
{
    ::signal(g_signal, SIG_DFL);
    ::raise(g_signal);
    ::_exit(128 + g_signal);
}

} // namespace Interruption
