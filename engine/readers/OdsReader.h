// Reads OpenDocument spreadsheets (.ods, .ots, and flat .fods), streaming content.xml or the
// flat document (ODF 1.2 part 1, 9).
#pragma once

#include "engine/Host.h"
#include "engine/readers/SheetBands.h"
#include "engine/readers/XmlStream.h"
#include "engine/readers/Zip.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace sheetfray::engine::readers {

// True when a zip archive holds an OpenDocument document, whatever kind: it has a mimetype
// entry, or (written without one) a manifest whose root entry has an OpenDocument media type
// or a content.xml whose root is office:document-content. openOdsWorkbook refuses kinds other
// than spreadsheets.
[[nodiscard]] bool isOpenDocument(const ZipArchive& archive);

// When a package's content is read in bands of rows: a content.xml of more than about
// wholeCells cells (estimated from its size) is read at the opening in bands that are only
// counted, and a sheet of more than one band of some bandCells cells is read again when
// loaded, in bands by loadSheetInParts; a smaller content is held whole. Tests lower both.
struct OdsBands
{
    std::size_t wholeCells = std::size_t{2} << 20;
    std::size_t bandCells = RowBands::BandCells;
};

// Reads every sheet of the document at once, hidden ones too; of a large content it keeps
// only the summaries of the sheets of more than one band, whose cells a load reads again,
// that table alone. Repeated rows and cells are expanded only where they hold something,
// and at most a few million times in all.
// The displayed text of a cell is its paragraph text as the writing application stored it;
// numbers, dates (as serials of the 1900 system), times and booleans keep their values.
// Throws ReadError naming the file when it is password-protected, not a spreadsheet or
// damaged.
[[nodiscard]] std::unique_ptr<Workbook> openOdsWorkbook(ZipArchive archive,
                                                        const OdsBands& bands = {});

// The media type a flat OpenDocument file (one XML document, .fods) states in the
// office:mimetype attribute of its office:document root, "" when the root states none;
// nothing when the bytes (the start of a file) do not open such a root element.
[[nodiscard]] std::optional<std::string> flatOpenDocumentType(std::span<const std::byte> head);

// Reads a flat OpenDocument spreadsheet, its styles and tables from one XML stream, as
// openOdsWorkbook reads a package's styles.xml and content.xml. Throws ReadError naming
// fileName when the document is of another kind or damaged.
[[nodiscard]] std::unique_ptr<Workbook> openFlatOdsWorkbook(std::string fileName,
                                                            const ByteReader& read);

} // namespace sheetfray::engine::readers
