// The Office Open XML workbook reader (.xlsx .xlsm .xltx .xltm).
#pragma once

#include "engine/Host.h"
#include "engine/readers/Zip.h"

#include <memory>

namespace sheetfray::engine::readers {

// Opens the workbook held by a package. Reads the sheet list, number formats, shared strings
// and date system at once; sheet cells when a sheet is loaded. Throws ReadError naming the
// archive's file: not a spreadsheet, damaged, password-protected.
[[nodiscard]] std::unique_ptr<Workbook> openXlsxWorkbook(ZipArchive archive);

// Most stored cells one sheet may have: a guard against packages that inflate to billions of
// empty cells, far beyond what the spreadsheet application itself can hold in memory.
inline constexpr std::size_t MaxCellsPerSheet = 50'000'000;

} // namespace sheetfray::engine::readers
