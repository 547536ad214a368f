// Parsing XML in encodings other than UTF-8, through expat.
#pragma once

#include "engine/readers/XmlStream.h"

#include <string_view>

namespace sheetfray::engine::readers {

// Parses a document as parseXml does, starting with head, the bytes already taken from read.
void parseXmlWithExpat(std::string_view head,
                       const ByteReader& read,
                       XmlHandler& handler,
                       std::string_view partName);

} // namespace sheetfray::engine::readers
