// The spreadsheet host: what the engine reads of a workbook, whatever its file format.
#pragma once

#include "engine/Sheet.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sheetfray::engine {

// What a walk needs of a whole sheet before its first cell: the extent of its files, how many
// there will be, what to warn of.
struct SheetSummary
{
    UsedRange usedRange;
    std::uint64_t storedCells = 0; // one per position, blanks with a format too
    std::uint64_t valuedCells = 0; // stored cells that are not blank
    std::uint32_t formulasWithoutResult = 0;
    // Stored cells by column, from column 1 at index 1, when a reader counted them.
    std::vector<std::uint64_t> columnCells;
    // Bytes of the sheet's own text (texts not shared, error values) by column, likewise.
    std::vector<std::uint64_t> columnTextBytes;
};

// The summary of a sheet loaded whole.
[[nodiscard]] SheetSummary summaryOf(const Sheet& sheet);

// A sheet handed over in parts, each a Sheet of whole rows; the parts come in the order of
// their rows, and every one carries the whole sheet's name, used range and styles.
class SheetParts
{
public:
    virtual ~SheetParts() = default;

    [[nodiscard]] virtual const SheetSummary& summary() const = 0;

    // The same parts again from the first, for a walk that takes several passes; nothing
    // when they cannot be read again (the parts of a sheet read whole are never needed so).
    [[nodiscard]] virtual std::unique_ptr<SheetParts> again() const { return nullptr; }

    // The next part, the first always (empty for a sheet without cells); nothing after the
    // last. Throws ReadError as loadSheet does.
    [[nodiscard]] virtual std::optional<Sheet> next() = 0;
};

// The parts of a sheet loaded whole: the sheet itself, once.
class WholeSheetParts final : public SheetParts
{
public:
    explicit WholeSheetParts(Sheet sheet);

    [[nodiscard]] const SheetSummary& summary() const override { return m_summary; }

    [[nodiscard]] std::optional<Sheet> next() override;

private:
    SheetSummary m_summary;
    std::optional<Sheet> m_sheet;
};

// One open workbook. Sheets are numbered from 1 in the workbook's order, hidden ones too.
class Workbook
{
public:
    virtual ~Workbook() = default;

    // The file name with its extension ("Book1.xlsx").
    [[nodiscard]] virtual std::string_view name() const = 0;
    [[nodiscard]] virtual std::int32_t sheetCount() const = 0;
    [[nodiscard]] virtual std::string_view sheetName(std::int32_t index) const = 0;

    // Whether the sheet is hidden or very hidden; formats without hidden sheets say false.
    [[nodiscard]] virtual bool isSheetHidden(std::int32_t /*index*/) const { return false; }

    // Reads the cells of one sheet. Throws SheetWithoutCells (a ReadError) for a chart or
    // dialog sheet, which holds no cells, and ReadError when its part is damaged.
    [[nodiscard]] virtual Sheet loadSheet(std::int32_t index) = 0;

    // Reads a sheet in parts, so that a walk from its first row to its last holds only a
    // band of rows at a time. Throws as loadSheet does, before any part. The sheet whole by
    // default.
    [[nodiscard]] virtual std::unique_ptr<SheetParts> loadSheetInParts(std::int32_t index)
    {
        return std::make_unique<WholeSheetParts>(loadSheet(index));
    }
};

// An instance of the host: opens workbooks. Creating one may fail (see HostFactory).
class Host
{
public:
    virtual ~Host() = default;

    // Opens a workbook by its full path. Throws ReadError naming the file and the reason.
    [[nodiscard]] virtual std::unique_ptr<Workbook> open(const std::string& path) = 0;
};

// Creates host instances; a fresh one for every workbook that is split.
class HostFactory
{
public:
    virtual ~HostFactory() = default;

    // Throws Error when no instance can be created.
    [[nodiscard]] virtual std::unique_ptr<Host> create() = 0;
};

} // namespace sheetfray::engine
