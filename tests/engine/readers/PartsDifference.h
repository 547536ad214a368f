// Compares the parts of a sheet read in bands with the sheet loaded whole.
#pragma once

#include "engine/Host.h"

#include <string>

namespace sheetfray::testing {

// The first way in which the parts of a sheet differ from the sheet loaded whole, or "": the
// summary, each part's name and used range, the cells end to end, and every part's rows
// whole (a part's first row comes after the last row of the one before). Counts the parts.
inline std::string
partsDifference(engine::SheetParts& parts, const engine::Sheet& whole, int& count)
{
    const engine::SheetSummary expected = engine::summaryOf(whole);
    const engine::SheetSummary& summary = parts.summary();
    if (summary.usedRange != expected.usedRange || summary.storedCells != expected.storedCells
        || summary.valuedCells != expected.valuedCells
        || summary.formulasWithoutResult != expected.formulasWithoutResult) {
        return "the summaries differ";
    }
    count = 0;
    std::size_t at = 0;
    std::int32_t lastRow = 0;
    while (const std::optional<engine::Sheet> part = parts.next()) {
        ++count;
        if (part->name() != whole.name() || part->usedRange() != whole.usedRange()) {
            return "part " + std::to_string(count) + " has another name or used range";
        }
        for (const engine::StoredCell& cell : part->cells()) {
            const std::string where = "row " + std::to_string(cell.row) + ", column "
                + std::to_string(cell.column) + " of part " + std::to_string(count);
            if (at == whole.cells().size()) {
                return where + ": more cells than the sheet's";
            }
            const engine::StoredCell& want = whole.cells()[at++];
            if (cell.row != want.row || cell.column != want.column || cell.kind != want.kind
                || cell.style != want.style) {
                return where + ": another cell than the sheet's";
            }
            if (part->text(cell.row, cell.column) != whole.text(want.row, want.column)) {
                return where + ": \"" + part->text(cell.row, cell.column) + "\" against \""
                    + whole.text(want.row, want.column) + "\"";
            }
        }
        if (!part->cells().empty()) {
            if (part->cells().front().row <= lastRow) {
                return "part " + std::to_string(count) + " goes on with a row of the one before";
            }
            lastRow = part->cells().back().row;
        }
    }
    return at == whole.cells().size() ? "" : "fewer cells than the sheet's";
}

} // namespace sheetfray::testing
