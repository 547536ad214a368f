// Reads .xls workbooks: BIFF8, BIFF5 and BIFF7 streams in an OLE compound file (MS-XLS), and
// the bare BIFF2, BIFF3 and BIFF4 streams before them; those encrypted with the default
// password are decrypted as they are opened.
#pragma once

#include "engine/Host.h"
#include "engine/readers/SheetBands.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace sheetfray::engine::readers {

// True when the bytes start like a BIFF record stream saved without a compound file: the
// beginning-of-file record of BIFF2, BIFF3, BIFF4 or a later version.
[[nodiscard]] bool looksLikeBareBiff(std::span<const std::byte> bytes);

// When loadSheetInParts reads a sheet in bands of rows: a sheet of more than about wholeCells
// cells (estimated from the size of its records) is read twice, the second time in bands of
// some bandCells cells; a smaller one is held whole. Tests lower both.
struct XlsBands
{
    std::size_t wholeCells = std::size_t{2} << 20;
    std::size_t bandCells = RowBands::BandCells;
};

// Opens a workbook from the bytes of a compound file (or of a bare BIFF stream). fileName is
// the name shown by Workbook::name() and in messages. Throws ReadError naming the file when
// it is password-protected, of an unsupported version, damaged or not a workbook at all.
// The workbook-wide parts (sheets, strings, formats) are read at once; sheets on loadSheet.
[[nodiscard]] std::unique_ptr<Workbook>
openXlsWorkbook(std::string fileName, std::vector<std::byte> bytes, const XlsBands& bands = {});

} // namespace sheetfray::engine::readers
