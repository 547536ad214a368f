// What a batch run derives for each workbook from the output choices, and the engine call.
#pragma once

#include "engine/Split.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace sheetfray::engine {

enum class SplitMode : std::uint8_t { Rows, Columns, Cells };

enum class SeparatorChoice : std::uint8_t { Enter, CommaSpace, Comma, Space, Custom };

enum class FolderChoice : std::uint8_t {
    ChosenFolder, // "Save results to this folder:"
    SourceFolder, // "Save results in folder of original file"
};

// The text that follows every cell of a line; custom is used as typed, even when empty.
[[nodiscard]] std::string separatorText(SeparatorChoice choice, std::string_view custom);

// The file name without its last extension ("report.2021.xlsx" gives "report.2021"); a name
// without "." is its own base name.
[[nodiscard]] std::string baseNameOf(std::string_view fileName);

// The output folder, "/" and the workbook's base name. The parts are joined as they stand;
// a doubled separator is collapsed when the output file is named.
[[nodiscard]] std::string composeOutputBase(FolderChoice folder,
                                            std::string_view chosenFolder,
                                            std::string_view workbookPath);

// Calls the splitting procedure of the mode. Rows and columns of spreadsheet files always
// take "|" as separator (it becomes a tab); cells take none.
void splitWorkbook(const SplitContext& context,
                   SplitMode mode,
                   bool spreadsheetKind,
                   const std::string& workbookPath,
                   std::string_view outputBase,
                   std::string_view separator);

} // namespace sheetfray::engine
