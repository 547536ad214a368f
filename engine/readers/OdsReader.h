// Reads OpenDocument spreadsheets (.ods, .ots), streaming content.xml (ODF 1.2 part 1, 9).
#pragma once

#include "engine/Host.h"
#include "engine/readers/Zip.h"

#include <memory>

namespace sheetfray::engine::readers {

// True when a zip archive holds an OpenDocument document (it has a mimetype entry), whatever
// kind; openOdsWorkbook refuses kinds other than spreadsheets.
[[nodiscard]] bool isOpenDocument(const ZipArchive& archive);

// Reads every sheet of the document at once, hidden ones too. Repeated rows and
// cells are expanded only where they hold something, and at most a few million times in all.
// The displayed text of a cell is its paragraph text as the writing application stored it;
// numbers, dates (as serials of the 1900 system), times and booleans keep their values.
// Throws ReadError naming the file when it is password-protected, not a spreadsheet or
// damaged.
[[nodiscard]] std::unique_ptr<Workbook> openOdsWorkbook(ZipArchive archive);

} // namespace sheetfray::engine::readers
