#include "engine/readers/XmlStream.h"

#include "engine/readers/ReadAhead.h"
#include "engine/readers/XmlExpat.h"
#include "engine/readers/XmlScanner.h"

#include <string>

namespace sheetfray::engine::readers {

ReadError xmlDoctypeError(std::string_view partName)
{
    return ReadError(ReadError::Reason::XmlDoctype, {}, {.part = std::string(partName)});
}

ReadError xmlTooDeepError(std::string_view partName)
{
    return ReadError(ReadError::Reason::XmlTooDeep,
                     std::to_string(MaxXmlDepth),
                     {.part = std::string(partName)});
}

void parseXml(const ByteReader& read, XmlHandler& handler, std::string_view partName)
{
    // Inflating a large part takes a quarter of the time to read it; a second thread does
    // it while this one scans.
    ReadAhead ahead(read);
    const ByteReader readAhead = [&ahead](char* buffer, std::size_t size) {
        return ahead.read(buffer, size);
    };
    std::string head;
    if (!parseUtf8Xml(readAhead, handler, partName, head)) {
        parseXmlWithExpat(head, readAhead, handler, partName);
    }
}

} // namespace sheetfray::engine::readers
