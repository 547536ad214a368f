// This program's own parser of UTF-8 XML, which reads every workbook part seen so far.
#pragma once

#include "engine/readers/XmlStream.h"

#include <string>
#include <string_view>

namespace sheetfray::engine::readers {

// Parses a UTF-8 document as parseXml does and returns true. Returns false, having reported
// nothing, when the document's start shows another encoding (a UTF-16 byte-order mark, zero
// bytes, another encoding declared); head then holds the bytes taken from read so far, which
// the parser that takes over must read first.
[[nodiscard]] bool parseUtf8Xml(const ByteReader& read,
                                XmlHandler& handler,
                                std::string_view partName,
                                std::string& head);

} // namespace sheetfray::engine::readers
