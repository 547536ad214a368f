// What the engine asks of its front end while it splits: live choices, busy state, progress.
#pragma once

#include "engine/Naming.h"

#include <string_view>

namespace sheetfray::engine {

// Implemented by the window, the command-line front end and tests. The choices are asked
// anew for every output file, so a change made during a run takes effect at the next file.
class RunControls
{
public:
    virtual ~RunControls() = default;

    // True when output files are spreadsheet files (".xls", cells separated by tabs).
    [[nodiscard]] virtual bool isSpreadsheetKind() = 0;
    [[nodiscard]] virtual NamingScheme namingScheme() = 0;

    // Shows that a run is under way (the hourglass pointer in the window).
    virtual void setBusy() = 0;
    // The progress caption ("Row Processed: 12"); the view is valid only during the call.
    virtual void setProgressText(std::string_view text) = 0;
    // Lets the front end handle pending events; called once per row, column or cell.
    virtual void yield() = 0;
};

} // namespace sheetfray::engine
