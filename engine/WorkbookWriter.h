// Writing one line or cell of a sheet as a workbook of its own (.xls, .xlsx files).
#pragma once

#include "engine/Sheet.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sheetfray::engine {

// The number formats the cells of a sheet use, each once: what every file written from the
// sheet declares, so that the per-file work is the cells alone.
class UsedFormats
{
public:
    explicit UsedFormats(const Sheet& sheet);

    // The distinct codes; the first is "General".
    [[nodiscard]] const std::vector<std::string_view>& codes() const { return m_codes; }

    // The index into codes() of a cell's format.
    [[nodiscard]] std::uint16_t of(std::uint32_t style) const
    {
        return style < m_formatOfStyle.size() ? m_formatOfStyle[style] : 0;
    }

    // A number format id for each code: a built-in id where the code is one whose display
    // does not hang on the reader's locale, otherwise an id from 164 on as files number
    // their own formats.
    [[nodiscard]] std::uint16_t formatId(std::size_t code) const { return m_formatIds[code]; }

private:
    std::vector<std::string_view> m_codes;
    std::vector<std::uint16_t> m_formatOfStyle;
    std::vector<std::uint16_t> m_formatIds;
};

// The name of the sheet in a file written from it: its own, or "Sheet1" where that is no
// valid sheet name (empty, over 31 characters, holding any of []:*?/\ or a control
// character, DEL included, which XML cannot hold or holds only escaped, or starting or
// ending with an apostrophe).
[[nodiscard]] std::string_view outputSheetName(std::string_view name);

// A stored cell as a writer stores it.
struct OutputCell
{
    enum class Kind : std::uint8_t { Number, Text, Boolean, Error };
    Kind kind = Kind::Number;
    std::uint8_t errorCode = 0; // Error: the file format's code of the error value
    bool boolean = false;
    std::uint16_t format = 0; // index into UsedFormats::codes()
    double number = 0;
    std::string_view text; // Text and Error
};

// Writes the sheet's cells into a workbook file of one sheet.
class WorkbookWriter
{
public:
    explicit WorkbookWriter(const Sheet& sheet);
    virtual ~WorkbookWriter() = default;
    WorkbookWriter(const WorkbookWriter&) = delete;
    WorkbookWriter& operator=(const WorkbookWriter&) = delete;

    // Starts a file.
    virtual void begin() = 0;
    // Adds a cell at (row, column), counted from 1. Cells come row by row, left to right; a
    // blank cell is not written.
    void add(std::int32_t row, std::int32_t column, const StoredCell& cell);
    // Appends the file's bytes.
    virtual void finish(std::string& out) = 0;

    // How many cells did not fit the file format so far (beyond its grid, or a text cut to
    // its longest): a split warns of them.
    [[nodiscard]] std::uint64_t unfit() const { return m_unfit; }

protected:
    virtual void addCell(std::int32_t row, std::int32_t column, const OutputCell& cell) = 0;

    [[nodiscard]] const Sheet& sheet() const { return m_sheet; }

    [[nodiscard]] const UsedFormats& formats() const { return m_formats; }

    void countUnfit() { ++m_unfit; }

private:
    const Sheet& m_sheet;
    UsedFormats m_formats;
    std::string m_shown; // the displayed text of a cell written as text
    std::uint64_t m_unfit = 0;
};

// The error code (BErr) of an error value's text; -1 for a text that is none.
[[nodiscard]] int errorCodeOf(std::string_view text);

// Appends UTF-8 text as UTF-16 code units; malformed bytes become U+FFFD.
void appendUtf16Units(std::string_view utf8, std::u16string& out);

} // namespace sheetfray::engine
