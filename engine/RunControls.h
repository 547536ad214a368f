// What the engine asks of its front end while it splits: live choices, busy state, progress.
#pragma once

#include "engine/Naming.h"

#include <cstdint>
#include <string>

namespace sheetfray::engine {

// Where a split stands, as plain numbers: the front end makes a caption of it only when it
// shows one, so the walk pays nothing for text it would throw away.
struct Progress
{
    enum class Unit : std::uint8_t { Row, Column, Cell };

    Unit unit = Unit::Row;
    // The row processed (rows, cells) and the column processed (columns, cells).
    std::int32_t row = 0;
    std::int32_t column = 0;
    // The sheet's used range.
    std::int32_t lastRow = 0;
    std::int32_t lastColumn = 0;
    // The sheet walked, 1 to sheetCount.
    std::int32_t sheet = 1;
    std::int32_t sheetCount = 1;
    // Steps of this sheet's walk (rows, columns or stored cells) begun, and how many it has.
    std::size_t step = 0;
    std::size_t steps = 0;

    // How much of the workbook is done, from 0 to 1: earlier sheets count whole, each the
    // same share.
    [[nodiscard]] double fraction() const
    {
        if (sheetCount <= 0) {
            return 0;
        }
        const double inSheet =
            steps == 0 ? 0 : static_cast<double>(step) / static_cast<double>(steps);
        return (sheet - 1 + inSheet) / sheetCount;
    }
};

// The caption the command line shows: "Row Processed: 12", "Col Processed: 3",
// "Cell Processed: 4,2".
[[nodiscard]] std::string progressCaption(const Progress& progress);

// Implemented by the window, the command-line front end and tests. The choices are asked
// anew for every output file, so a change made during a run takes effect at the next file.
class RunControls
{
public:
    virtual ~RunControls() = default;

    // True when output files are spreadsheet files (.xls workbooks of one sheet).
    [[nodiscard]] virtual bool isSpreadsheetKind() = 0;
    [[nodiscard]] virtual NamingScheme namingScheme() = 0;

    // Shows that a run is under way (the hourglass pointer in the window).
    virtual void setBusy() = 0;
    // Where the walk is; called before each row, column or cell, so it must be cheap.
    virtual void setProgress(const Progress& progress) = 0;
    // Lets the front end handle pending events; called once per row, column or cell.
    virtual void yield() = 0;

    // Asked after each yield: true ends the split there, with every file written so far
    // complete and named.
    [[nodiscard]] virtual bool stopRequested() { return false; }
};

} // namespace sheetfray::engine
