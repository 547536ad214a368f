// Ctrl-C, a closed terminal and a request to end (SIGINT, SIGHUP, SIGTERM) during a split.
#pragma once

namespace sheetfray::engine {

// From now on such a signal ends the program as it would by default, but not before the
// files already written have their names: with files waiting for them (OutputWriter), the
// program ends at the next endIfStopped(), which the front ends call once per output file.
void endOnStopSignals();

// Ends the program now if such a signal came while files waited; they have their names then.
void endIfStopped();

} // namespace sheetfray::engine
