// Fuzzes the delimited-text reader in each of its dialects and text encodings, and checks
// that reading the text in small blocks gives the cells that reading it whole gives.
#include "engine/readers/CsvReader.h"
#include "fuzz/FuzzSupport.h"
#include "support/Error.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace sheetfray;

using Cells = std::vector<std::tuple<std::int32_t, std::int32_t, std::string>>;

// The cells of a sheet loaded whole, or of its parts read block by block; nothing when the
// reading fails.
std::optional<Cells> cellsOf(std::span<const std::byte> bytes,
                             engine::readers::TextDialect dialect,
                             std::size_t blockSize)
{
    Cells cells;
    try {
        if (blockSize == 0) {
            const auto workbook = engine::readers::openDelimitedText("input.csv", bytes, dialect);
            const engine::Sheet sheet = workbook->loadSheet(1);
            for (const engine::StoredCell& cell : sheet.cells()) {
                cells.emplace_back(cell.row, cell.column, std::string(sheet.value(cell).text));
            }
            return cells;
        }
        const engine::readers::TextReading reading{
            .blockSize = blockSize, .wholeBytes = 0, .wholeLines = 0};
        const auto workbook =
            engine::readers::openDelimitedText("input.csv", bytes, dialect, reading);
        const auto parts = workbook->loadSheetInParts(1);
        while (const std::optional<engine::Sheet> part = parts->next()) {
            for (const engine::StoredCell& cell : part->cells()) {
                cells.emplace_back(cell.row, cell.column, std::string(part->value(cell).text));
            }
        }
        return cells;
    } catch (const ReadError&) {
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sheetfray;
    if (size == 0) {
        return 0;
    }
    // The first byte picks the dialect, so one corpus serves all three.
    static constexpr engine::readers::TextDialect Dialects[] = {
        {',', true}, {'\t', true}, {'\t', false}};
    const auto dialect = Dialects[data[0] % 3];
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data + 1), size - 1);
    (void)engine::readers::looksLikeText(bytes);
    try {
        const auto workbook = engine::readers::openDelimitedText("input.csv", bytes, dialect);
        fuzz::walkWorkbook(*workbook);
    } catch (const ReadError&) {
    }
    // The block size from the input's last byte, so that block edges fall everywhere.
    const std::size_t blockSize = 1 + data[size - 1] % 13;
    if (cellsOf(bytes, dialect, 0) != cellsOf(bytes, dialect, blockSize)) {
        std::abort();
    }
    return 0;
}
