// Ctrl-C, a closed terminal and a request to end (SIGINT, SIGHUP, SIGTERM) during a split.
#pragma once

namespace sheetfray::engine {

// From now on such a signal ends the program as it would by default, but not before the
// files already written have their names: with files waiting for them (OutputWriter), the
// program ends at the next EndIfStopped(), which the front ends call once per output file.
void EndOnStopSignals();

// Ends the program now if such a signal came while files waited; they have their names then.
void EndIfStopped();

} // namespace sheetfray::engine
