#include "engine/StopSignals.h"

#include "engine/OutputFile.h"

#include <csignal>
#include <cstdio>

namespace sheetfray::engine {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

// Ends the program by the signal's own default action, so whoever started it sees why.
void endBy(int signal)
{
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

extern "C" void onStopSignal(int signal)
{
    if (!OutputWriter::anyWaiting()) {
        endBy(signal);
        return;
    }
    stopSignal = signal;
}

} // namespace

void endOnStopSignals()
{
    for (const int signal : {SIGINT, SIGHUP, SIGTERM}) {
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        // Calls the signal cuts short go on: the run ends at its next file, not in the middle.
        action.sa_flags = SA_RESTART;
        sigaction(signal, &action, nullptr);
    }
}

void endIfStopped()
{
    if (const int signal = stopSignal; signal != 0) {
        OutputWriter::finishAll();
        std::fflush(nullptr);
        endBy(signal);
    }
}

} // namespace sheetfray::engine
