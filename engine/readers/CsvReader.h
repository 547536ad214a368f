// Reads delimited text (.csv, .tsv, and tab-separated text saved under other names, such as
// this program's own spreadsheet-kind output) as a workbook of one sheet.
#pragma once

#include "engine/Host.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace sheetfray::engine::readers {

// True when the bytes look like text rather than a binary file: a Unicode byte-order mark, the
// zero bytes of UTF-16 or UTF-32, or no NUL bytes and hardly any other control characters in
// the first few kilobytes.
[[nodiscard]] bool looksLikeText(std::span<const std::byte> bytes);

// How a text file separates its fields.
struct TextDialect
{
    char delimiter = ',';
    // Fields may be quoted as in RFC 4180. Plain tab-separated text (this program's own
    // spreadsheet-kind output) has no quoting: a quote is an ordinary character there.
    bool quoting = true;

    bool operator==(const TextDialect&) const = default;
};

// A text file has no grid: it may hold more lines than a sheet has rows, this many at most,
// and bands of its rows go past the grid's last.
inline constexpr std::int32_t MostTextLines = 2147483646;

// How a text is read: a text of more than wholeBytes and wholeLines line feeds is read twice,
// blockSize bytes at a time, the second time in bands of rows, neither its text nor its cells
// held whole. Tests make these small.
struct TextReading
{
    std::size_t blockSize = std::size_t{256} << 10;
    std::size_t wholeBytes = std::size_t{8} << 20;
    std::size_t wholeLines = 65536;
};

// The dialect of a file by its name: ".csv" comma-separated and ".tsv" tab-separated, both
// with quoting; any other name (".xls" and ".txt" text) plain tab-separated.
[[nodiscard]] TextDialect dialectForName(std::string_view fileName);

// Opens delimited text: records end with CR LF, LF or CR. The text is UTF-8 (with or
// without a byte-order mark), UTF-16 or UTF-32 in either byte order (with a byte-order mark,
// or without one where the zero bytes show it clearly), or else Windows-1252. A first line
// "sep=X" (or "\"sep=X\"") of one ASCII character X makes X the delimiter, with quoting, and
// is not data. Every non-empty field is a text cell whose displayed text and value are the
// field unchanged but for CR LF inside quotes, which becomes LF; the sheet is named after the
// file without its extension. Empty text gives one empty sheet. Throws ReadError naming the
// file when the text is a web page or XML document, or has more than MostTextLines lines or
// more columns than a sheet holds.
[[nodiscard]] std::unique_ptr<Workbook> openDelimitedText(std::string fileName,
                                                          std::span<const std::byte> bytes,
                                                          TextDialect dialect,
                                                          TextReading reading = {});

// The same for the file at path, read when its sheet is loaded rather than held while the
// workbook is open; a file larger than a sheet's text can be is refused at once.
[[nodiscard]] std::unique_ptr<Workbook> openDelimitedTextFile(const std::filesystem::path& path,
                                                              std::string fileName,
                                                              TextDialect dialect,
                                                              TextReading reading = {});

} // namespace sheetfray::engine::readers
