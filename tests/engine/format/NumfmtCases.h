// Reads the shared number-format test vectors (testdata/numfmt, see its README).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sheetfray::tests {

// One row of a case file, with the escapes of the README decoded.
struct NumfmtCase
{
    int line = 0; // 1-based line in the file
    std::string format;
    std::string value; // as written: a number, "text:..." or "bool:TRUE"
    std::string dateSystem; // "1900" or "1904"
    std::string expected;
    std::vector<std::string> extra; // columns after expected (source, reason, decision)
};

// The folder of the vectors, or empty when the shared test data is not there.
[[nodiscard]] std::optional<std::filesystem::path> numfmtFolder();

// Decodes \t \n \r \\; any other backslash stays as it is.
[[nodiscard]] std::string decodeNumfmtField(std::string_view field);

// The rows of a tab-separated file after its header line, fields decoded.
[[nodiscard]] std::vector<std::vector<std::string>>
readNumfmtTable(const std::filesystem::path& file);

// The cases of a case file (format, value, date_system, expected, ...).
[[nodiscard]] std::vector<NumfmtCase> readNumfmtCases(const std::filesystem::path& file);

} // namespace sheetfray::tests
