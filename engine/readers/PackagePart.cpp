#include "engine/readers/PackagePart.h"

namespace sheetfray::engine::readers {

bool parsePart(const ZipArchive& archive, std::string_view part, XmlHandler& handler)
{
    const auto index = archive.find(part);
    if (!index) {
        return false;
    }
    ZipEntry entry = archive.open(*index);
    parsePart(entry, part, handler);
    return true;
}

void parsePart(ZipEntry& entry, std::string_view part, XmlHandler& handler)
{
    parseXml([&entry](char* buffer, std::size_t size) { return entry.read(buffer, size); },
             handler,
             part);
}

} // namespace sheetfray::engine::readers
