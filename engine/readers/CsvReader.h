// Reads delimited text (.csv, .tsv, and tab-separated text saved under other names, such as
// this program's own spreadsheet-kind output) as a workbook of one sheet.
#pragma once

#include "engine/Host.h"

#include <cstddef>
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
// file when the text is a web page or XML document, or has more rows or columns than a sheet
// holds.
[[nodiscard]] std::unique_ptr<Workbook>
openDelimitedText(std::string fileName, std::span<const std::byte> bytes, TextDialect dialect);

// The same for the file at path, read when its sheet is loaded rather than held while the
// workbook is open; a file larger than a sheet's text can be is refused at once.
[[nodiscard]] std::unique_ptr<Workbook>
openDelimitedTextFile(const std::filesystem::path& path, std::string fileName, TextDialect dialect);

} // namespace sheetfray::engine::readers
