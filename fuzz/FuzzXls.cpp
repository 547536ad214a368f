// Fuzzes the .xls reader: the compound file (sector chains, directory) and the BIFF records.
#include "engine/readers/XlsReader.h"
#include "fuzz/FuzzSupport.h"
#include "support/Error.h"

#include <cstring>
#include <optional>

namespace {

using namespace sheetfray;

// Each sheet read in bands of a few rows must hand over the cells of the sheet read whole.
void compareBands(std::vector<std::byte> bytes)
{
    const auto workbook = engine::readers::openXlsWorkbook(
        "input.xls", std::move(bytes), {.wholeCells = 0, .bandCells = 3});
    for (std::int32_t s = 1; s <= workbook->sheetCount(); ++s) {
        std::optional<engine::Sheet> whole;
        try {
            whole = workbook->loadSheet(s);
        } catch (const ReadError&) {
        }
        try {
            const auto parts = workbook->loadSheetInParts(s);
            if (!whole || parts->summary().storedCells != whole->cells().size()
                || parts->summary().usedRange != whole->usedRange()) {
                __builtin_trap();
            }
            std::size_t at = 0;
            while (const std::optional<engine::Sheet> part = parts->next()) {
                for (const engine::StoredCell& cell : part->cells()) {
                    if (at == whole->cells().size() || whole->cells()[at].row != cell.row
                        || whole->cells()[at].column != cell.column
                        || part->text(cell.row, cell.column)
                            != whole->text(cell.row, cell.column)) {
                        __builtin_trap();
                    }
                    ++at;
                }
            }
            if (at != whole->cells().size()) {
                __builtin_trap();
            }
        } catch (const ReadError&) {
            if (whole) {
                __builtin_trap();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::byte> bytes(size);
    if (size != 0) {
        std::memcpy(bytes.data(), data, size);
    }
    try {
        const auto workbook = engine::readers::openXlsWorkbook("input.xls", bytes);
        fuzz::walkWorkbook(*workbook);
        compareBands(std::move(bytes));
    } catch (const ReadError&) {
    }
    return 0;
}
