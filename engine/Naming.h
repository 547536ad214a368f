// Output file names: the naming schemes and the cleaning of cell texts and paths.
#pragma once

#include "engine/CodePage.h"
#include "support/ErrorReport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sheetfray::engine {

enum class NamingScheme : std::uint8_t {
    FileNamePlusNumber, // "Save as filename plus number": Book1_12
    CellLocation, // "Save as x,y location of cell": C5
    FirstCellValue, // "Save as first cell value": the cleaned text of the first cell
};

// The first cell of an output file: x is its column, y its row, both from 1.
struct CellLocation
{
    std::int32_t x = 1;
    std::int32_t y = 1;
};

// Paths use "/" as the folder separator.
inline constexpr char PathSeparator = '/';

// The path without extension of one output file. fallbackName stands in for a first cell
// value that cleaning leaves empty, so no file is named by its extension alone.
[[nodiscard]] std::string BuildOutputName(std::string_view outputBase,
                                          CellLocation cellLocation,
                                          std::string_view firstValue,
                                          std::int32_t fileCounter,
                                          NamingScheme scheme,
                                          std::string_view fallbackName);

// The path an output file is written to, from BuildOutputName's result. The folder (its first
// folderLength bytes) and a workbook's name keep their bytes as the system gave them; only a
// name that comes from a cell (the first-value scheme) is cleaned by CleanFileName's rules and
// put in the code page. Leading dots go, so no output file is hidden; a name left empty takes
// the fallback name. The extension is appended and doubled separators are collapsed.
[[nodiscard]] std::string OutputFilePath(std::string_view builtName,
                                         std::size_t folderLength,
                                         NamingScheme scheme,
                                         std::string_view extension,
                                         std::string_view fallbackName,
                                         const CodePage& codePage,
                                         Reporter& reporter);

// What a name template's placeholders stand for: {book} the workbook's name without its
// extension, {sheet}, {n} the running number, {row}, {col} the column letters, {cell} the
// first cell in A1 form and {value} the cleaned first value.
struct NameFields
{
    std::string_view book;
    std::string_view sheet;
    std::int32_t number = 0;
    CellLocation location;
    std::string_view value;
};

// The template with its placeholders filled in; {n} is padded to pad digits. Any other text,
// braces included, stays as written.
[[nodiscard]] std::string
ExpandNameTemplate(std::string_view nameTemplate, const NameFields& fields, int pad);

// The number in at least width digits, zeros in front: 7 in 3 digits is "007".
[[nodiscard]] std::string PaddedNumber(std::int32_t number, int width);

// A column number in A1 letters: 1 is A, 27 is AA, 703 is AAA. Numbers below 1 give "".
[[nodiscard]] std::string ColumnLetters(std::int32_t column);

// Removes the characters no file name may hold: / \ ' > < ~ * ? : ; becomes a blank,
// line breaks go, blanks at both ends go.
[[nodiscard]] std::string CleanFirstValue(std::string_view value);

// The name a file gets when its first cell has nothing usable: workbook name without its
// extension, sheet name and the two indices, joined by "_" (Book1_Data_5_1). lineIndex is
// the row of a row's or a cell's file and the column of a column's; crossIndex is 1 for a
// row's or a column's file and the column of a cell's.
[[nodiscard]] std::string FallbackName(std::string_view workbookName,
                                       std::string_view sheetName,
                                       std::int32_t lineIndex,
                                       std::int32_t crossIndex);

// The most bytes of a cell's text a name is made of: what a file name can hold.
inline constexpr std::size_t MostNameBytes = 255;

// The part of a cell's text a name can be made of: blanks at its start skipped (cleaning
// trims them), then at most MostNameBytes bytes, cut before a character that would not fit
// whole. A longer text makes a name too long in any case; cleaning only this part bounds
// the time and memory a value of gigabytes takes.
[[nodiscard]] std::string_view NameablePart(std::string_view value);

// A cell's text made fit for a name: characters the code page lacks, control characters and
// codes 127 to 159 removed, blanks trimmed, of its NameablePart only; never empty (falls back to
// FallbackName, which takes the indices).
[[nodiscard]] std::string CleanValue(std::string_view value,
                                     std::int32_t lineIndex,
                                     std::int32_t crossIndex,
                                     std::string_view sheetName,
                                     std::string_view workbookName,
                                     const CodePage& codePage,
                                     Reporter& reporter);

// A whole path put through the same character rules as CleanValue, then every piece of the
// comma-separated removal list taken out. May be empty.
[[nodiscard]] std::string CleanFileName(std::string_view name,
                                        std::string_view removalList,
                                        const CodePage& codePage,
                                        Reporter& reporter);

// The text before the last "." (Book1.xlsx gives Book1); names without one, or whose only
// "." comes first (.hidden), stay as they are.
[[nodiscard]] std::string StripExtension(std::string_view name);

// The path up to and including its last separator; empty when it has none.
[[nodiscard]] std::string FolderOfPath(std::string_view path);

// The text after the last separator; the whole path when it has none.
[[nodiscard]] std::string fileNameOfPath(std::string_view path);

// Collapses doubled separators, pair by pair from the left ("///" becomes "//").
[[nodiscard]] std::string NormalizePath(std::string_view path);

} // namespace sheetfray::engine
