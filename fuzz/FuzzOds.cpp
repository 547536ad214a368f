// Fuzzes the OpenDocument reader: content.xml with its repeated rows and cells, styles, and
// flat documents (.fods), whose styles and tables come in one XML stream.
#include "engine/readers/OdsReader.h"
#include "fuzz/FuzzSupport.h"
#include "support/Error.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace sheetfray;

// The package opened in bands of a few cells must fail as it fails whole, and each sheet
// hand over the cells of the sheet read whole, with the same texts and formats.
void compareBands(const fuzz::ScratchZip& scratch)
{
    const auto archive = [&scratch] {
        return engine::readers::ZipArchive(scratch.path(), std::string(scratch.name()));
    };
    std::unique_ptr<engine::Workbook> whole;
    std::string wholeFailure;
    try {
        engine::readers::ZipArchive package = archive();
        if (!engine::readers::isOpenDocument(package)) {
            return;
        }
        whole = engine::readers::openOdsWorkbook(std::move(package));
    } catch (const ReadError& e) {
        wholeFailure = e.what();
    }
    std::unique_ptr<engine::Workbook> inBands;
    std::string bandsFailure;
    try {
        inBands = engine::readers::openOdsWorkbook(archive(), {.wholeCells = 0, .bandCells = 3});
    } catch (const ReadError& e) {
        bandsFailure = e.what();
    }
    if (!whole || !inBands) {
        if (static_cast<bool>(whole) != static_cast<bool>(inBands)
            || wholeFailure != bandsFailure) {
            __builtin_trap();
        }
        return;
    }
    if (whole->sheetCount() != inBands->sheetCount()) {
        __builtin_trap();
    }
    for (std::int32_t s = 1; s <= whole->sheetCount(); ++s) {
        const engine::Sheet sheet = whole->loadSheet(s);
        try {
            const auto parts = inBands->loadSheetInParts(s);
            if (parts->summary().storedCells != sheet.cells().size()
                || parts->summary().usedRange != sheet.usedRange()
                || inBands->sheetName(s) != whole->sheetName(s)) {
                __builtin_trap();
            }
            std::size_t at = 0;
            while (const std::optional<engine::Sheet> part = parts->next()) {
                for (const engine::StoredCell& cell : part->cells()) {
                    if (at == sheet.cells().size() || sheet.cells()[at].row != cell.row
                        || sheet.cells()[at].column != cell.column
                        || sheet.cells()[at].style != cell.style
                        || part->text(cell.row, cell.column) != sheet.text(cell.row, cell.column)) {
                        __builtin_trap();
                    }
                    ++at;
                }
            }
            if (at != sheet.cells().size()) {
                __builtin_trap();
            }
        } catch (const ReadError&) {
            __builtin_trap(); // the sheet was read whole
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sheetfray;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // A zip archive or package text (FuzzSupport.h) is a package; anything else a flat
    // document, read as the file host reads one whose root it recognised.
    if (!input.starts_with("PK") && !input.starts_with("@@ ")) {
        const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
        (void)engine::readers::flatOpenDocumentType(bytes);
        std::size_t offset = 0;
        try {
            const auto workbook = engine::readers::openFlatOdsWorkbook(
                "input.fods", [&](char* buffer, std::size_t wanted) {
                    const std::size_t count = std::min(wanted, size - offset);
                    std::memcpy(buffer, data + offset, count);
                    offset += count;
                    return count;
                });
            fuzz::walkWorkbook(*workbook);
        } catch (const ReadError&) {
        }
        return 0;
    }
    static fuzz::ScratchZip scratch("input.ods");
    fuzz::walkZipInput(
        scratch,
        {data, size},
        [](engine::readers::ZipArchive archive) -> std::unique_ptr<engine::Workbook> {
            if (!engine::readers::isOpenDocument(archive)) {
                return nullptr;
            }
            return engine::readers::openOdsWorkbook(std::move(archive));
        });
    try {
        compareBands(scratch);
    } catch (const ReadError&) {
    }
    return 0;
}
