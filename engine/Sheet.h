// The cells of one sheet as a reader stored them, and their displayed and value texts.
#pragma once

#include "engine/format/NumberFormat.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sheetfray::engine {

// Largest row and column a sheet may address (as in the spreadsheet application's grid).
inline constexpr std::int32_t MaxRows = 1048576;
inline constexpr std::int32_t MaxColumns = 16384;

// The used range, counted from A1: the last row and column that hold a stored cell.
// A sheet without cells has the range A1 (1 by 1).
struct UsedRange
{
    std::int32_t lastRow = 1;
    std::int32_t lastColumn = 1;

    bool operator==(const UsedRange&) const = default;
};

enum class CellKind : std::uint8_t {
    Blank, // stored only for its format; counts for the used range
    Number,
    SharedText, // index into the workbook's shared strings
    Text, // text held by the sheet itself
    Boolean,
    Error, // error value such as #N/A, held as its text
    // A number shown as a text of its own, not through a format ("91.15%" stored with the
    // value 0.9115 by a writer whose format this program does not express): the style
    // field holds the index of that text in the shared strings.
    ShownNumber,
};

// One stored cell; rows and columns count from 1.
struct StoredCell
{
    std::int32_t row = 0;
    std::int32_t column = 0;
    CellKind kind = CellKind::Blank;
    std::uint32_t style = 0; // index into the workbook's cell formats

    union
    {
        double number;
        bool boolean;
        std::uint32_t sharedIndex;

        struct
        {
            std::uint32_t offset;
            std::uint32_t length;
        } text;
    } data{};
};

// The shared strings of a workbook, their texts end to end in one block: an item costs 4
// bytes beside its text (a vector of strings would take 32 for each, even an empty one).
class SharedStrings
{
public:
    [[nodiscard]] std::size_t size() const { return m_ends.size(); }

    [[nodiscard]] bool empty() const { return m_ends.empty(); }

    [[nodiscard]] std::string_view operator[](std::size_t index) const
    {
        const std::uint32_t begin = index == 0 ? 0 : m_ends[index - 1];
        return std::string_view(m_text).substr(begin, m_ends[index] - begin);
    }

    // Appends an item; the texts together may take up to 4 GiB (ReadError TooMuchText).
    void push_back(std::string_view text);

    // Makes room for this many items; readers bound it by what their input can hold.
    void reserve(std::size_t items) { m_ends.reserve(items); }

private:
    std::string m_text;
    std::vector<std::uint32_t> m_ends; // where each item's text ends in m_text
};

// What the sheets of one workbook share: shared strings, cell formats, date system.
struct WorkbookStyles
{
    SharedStrings sharedStrings;
    std::vector<format::NumberFormat> cellFormats; // by style index; missing index: General
    format::DateSystem dateSystem = format::DateSystem::Date1900;

    [[nodiscard]] const format::NumberFormat& formatOf(std::uint32_t style) const;
};

// The value of a cell (the host's Value), before it is turned into text.
struct CellValue
{
    enum class Kind : std::uint8_t { Empty, Number, Date, Text, Boolean, Error };
    Kind kind = Kind::Empty;
    double number = 0; // Number, and Date as a serial
    bool boolean = false;
    std::string_view text; // Text and Error; valid while the sheet lives
};

class Sheet
{
public:
    Sheet(std::string name,
          std::shared_ptr<const WorkbookStyles> styles,
          std::vector<StoredCell> cells,
          std::string textPool,
          std::uint32_t formulasWithoutResult = 0,
          UsedRange extent = {});

    [[nodiscard]] const std::string& name() const { return m_name; }

    [[nodiscard]] UsedRange usedRange() const { return m_usedRange; }

    // Every stored cell, row by row, left to right, one entry per position.
    [[nodiscard]] std::span<const StoredCell> cells() const { return m_cells; }

    // The stored cells of one row, left to right.
    [[nodiscard]] std::span<const StoredCell> rowCells(std::int32_t row) const;
    // The stored cells of one column, top to bottom (the column index is built on first use).
    [[nodiscard]] std::vector<const StoredCell*> columnCells(std::int32_t column) const;
    // The same into out, whose room is kept from one column to the next.
    void columnCells(std::int32_t column, std::vector<const StoredCell*>& out) const;

    // Appends the displayed text of a cell.
    void appendText(const StoredCell& cell, std::string& out) const;
    [[nodiscard]] CellValue value(const StoredCell& cell) const;

    // Random access for tests and tools: the displayed text and value at (row, column).
    [[nodiscard]] std::string text(std::int32_t row, std::int32_t column) const;
    [[nodiscard]] CellValue value(std::int32_t row, std::int32_t column) const;
    [[nodiscard]] const StoredCell* find(std::int32_t row, std::int32_t column) const;

    [[nodiscard]] const WorkbookStyles& styles() const { return *m_styles; }

    // A number no other sheet of this process had when it was made: a sheet handed over in
    // parts gives each part its own, so what was built from one part is known not to fit the
    // next.
    [[nodiscard]] std::uint64_t serial() const { return m_serial; }

    [[nodiscard]] const std::shared_ptr<const WorkbookStyles>& sharedStyles() const
    {
        return m_styles;
    }

    // How many formula cells the file stores without a calculated result (as scripts write
    // them); they are read as blank cells, or not at all when the file gives them no format.
    [[nodiscard]] std::uint32_t formulasWithoutResult() const { return m_formulasWithoutResult; }

private:
    std::string_view ownText(const StoredCell& cell) const;

    std::string m_name;
    std::shared_ptr<const WorkbookStyles> m_styles;
    std::vector<StoredCell> m_cells; // sorted by row, then column
    std::string m_textPool;
    UsedRange m_usedRange;
    std::uint32_t m_formulasWithoutResult = 0;
    std::uint64_t m_serial = 0;
    // The column index, built on first use: cell indices by column, then row, and where each
    // column's run starts in it (column c from m_columnStart[c] to m_columnStart[c + 1]).
    mutable std::vector<std::uint32_t> m_columnOrder;
    mutable std::vector<std::uint32_t> m_columnStart;
};

// Collects the cells of one sheet in any order; a later cell at the same position replaces
// an earlier one, as when a file stores a cell twice.
class SheetBuilder
{
public:
    SheetBuilder(std::string name, std::shared_ptr<const WorkbookStyles> styles);

    void addBlank(std::int32_t row, std::int32_t column, std::uint32_t style);
    void addNumber(std::int32_t row, std::int32_t column, double value, std::uint32_t style);
    void
    addSharedText(std::int32_t row, std::int32_t column, std::uint32_t index, std::uint32_t style);
    void addText(std::int32_t row, std::int32_t column, std::string_view text, std::uint32_t style);
    void addBoolean(std::int32_t row, std::int32_t column, bool value, std::uint32_t style);
    void
    addShownNumber(std::int32_t row, std::int32_t column, double value, std::uint32_t sharedIndex);
    void
    addError(std::int32_t row, std::int32_t column, std::string_view text, std::uint32_t style);
    // A copy of a cell of another sheet of the same styles.
    void addCopy(const Sheet& from, const StoredCell& cell);
    // A cell that holds nothing (a blank cell, whatever its format): it widens the used range
    // and clears an earlier cell at its position, but is not stored. It takes room only while
    // stored cells are out of order and it may clear one of them, until the next sort.
    void addEmpty(std::int32_t row, std::int32_t column);

    // Lets rows run past the grid's last up to mostRows, for a sheet read from text, which
    // has no grid.
    void allowRows(std::int32_t mostRows) { m_mostRows = mostRows; }

    // Counts formula cells stored without a calculated result (the count stops at the
    // largest std::uint32_t); the reader stores such a cell as it reads it, if at all.
    void countFormulaWithoutResult(std::uint64_t cells = 1);

    [[nodiscard]] std::size_t cellCount() const { return m_cells.size(); }

    // Bytes of the sheet's own text held so far.
    [[nodiscard]] std::size_t textBytes() const { return m_textPool.size(); }

    // Makes room for about this many cells, a reader's estimate from the size of its input,
    // so that the store is not copied as it grows. Only a hint: the room given is bounded.
    void reserve(std::size_t cells);
    // The same for the sheet's own text, in bytes: a reader that knows an upper bound gives
    // it, so that the text is never copied as it grows. Room left unused is never touched.
    void reserveText(std::size_t bytes);

    // Sorts the cells and hands them to the sheet; the builder is empty afterwards.
    [[nodiscard]] Sheet finish();
    // The same for a part of a sheet, whose used range is at least atLeast; the builder keeps
    // its name and styles for the next part.
    [[nodiscard]] Sheet finishPart(UsedRange atLeast);

private:
    StoredCell& add(std::int32_t row, std::int32_t column, CellKind kind, std::uint32_t style);
    void storeText(StoredCell& cell, std::string_view text);
    // Sorts the cells by position, keeps the file's last cell at each and drops the cleared
    // positions, all in place.
    void sortCells();

    std::string m_name;
    std::shared_ptr<const WorkbookStyles> m_styles;
    std::vector<StoredCell> m_cells;
    std::string m_textPool;
    std::uint32_t m_formulasWithoutResult = 0;
    UsedRange m_extent; // of every cell added, stored or not
    std::int32_t m_mostRows = MaxRows;
    std::uint64_t m_lastStored = 0; // the greatest position stored
    bool m_sorted = true;
    bool m_cleared = false; // a stored cell was marked cleared in place
};

} // namespace sheetfray::engine
