// Parsing the XML parts of a zip package (.xlsx, .ods) through the XML stream.
#pragma once

#include "engine/readers/XmlStream.h"
#include "engine/readers/Zip.h"

#include <string_view>

namespace sheetfray::engine::readers {

// Parses a part of the archive; false when the archive has no such part. Throws ReadError
// for a damaged part, or what the handler throws.
bool parsePart(const ZipArchive& archive, std::string_view part, XmlHandler& handler);

// Parses an entry already opened (for its sizes, say) as the part named part.
void parsePart(ZipEntry& entry, std::string_view part, XmlHandler& handler);

} // namespace sheetfray::engine::readers
