// Reads delimited text (.csv, .tsv, and tab-separated text saved under other names, such as
// this program's own spreadsheet-kind output) as a workbook of one sheet.
#pragma once

#include "engine/Host.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace sheetfray::engine::readers {

// True when the bytes look like text rather than a binary file: a Unicode byte-order mark,
// or no NUL bytes and hardly any other control characters in the first few kilobytes.
[[nodiscard]] bool looksLikeText(std::span<const std::byte> bytes);

// Opens delimited text: fields separated by delimiter (',' or '\t'), records by CR LF, LF
// or CR, fields quoted as in RFC 4180. The text is UTF-8 (with or without a byte-order mark),
// UTF-16 with a byte-order mark, or else Windows-1252. Every non-empty field is a text cell
// whose displayed text and value are the field unchanged; the sheet is named after the file
// without its extension. Throws ReadError naming the file when the text has more rows or
// columns than a sheet holds.
[[nodiscard]] std::unique_ptr<Workbook>
openDelimitedText(std::string fileName, std::span<const std::byte> bytes, char delimiter);

// The delimiter for a file: a comma for a ".csv" name, a tab for every other name (".tsv",
// and the ".xls" or ".txt" names under which tab-separated text is usually saved).
[[nodiscard]] char delimiterForName(std::string_view fileName);

} // namespace sheetfray::engine::readers
