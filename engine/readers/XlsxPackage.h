// What an Office Open XML package says about its workbook: the sheets and their parts, found
// through the package's relationships, the date system, the cell formats and the shared
// strings.
#pragma once

#include "engine/Sheet.h"
#include "engine/readers/Zip.h"

#include <memory>
#include <string>
#include <vector>

namespace sheetfray::engine::readers {

enum class XlsxSheetKind { Worksheet, Chartsheet, Dialogsheet };

// A sheet as the workbook part lists it.
struct XlsxSheet
{
    std::string name;
    XlsxSheetKind kind = XlsxSheetKind::Worksheet;
    std::string part; // empty: the sheet has no part, so no cells
    bool hidden = false; // hidden or very hidden
};

struct XlsxPackage
{
    std::vector<XlsxSheet> sheets; // in the workbook's order
    std::shared_ptr<WorkbookStyles> styles;
};

// Reads the workbook part and what it refers to: relationships, styles, shared strings.
// Throws ReadError, naming no file, for a package that holds no workbook, a binary workbook,
// or a damaged part.
[[nodiscard]] XlsxPackage readXlsxPackage(const ZipArchive& archive);

} // namespace sheetfray::engine::readers
