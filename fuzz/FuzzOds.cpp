// Fuzzes the OpenDocument reader: content.xml with its repeated rows and cells, styles, and
// flat documents (.fods), whose styles and tables come in one XML stream.
#include "engine/readers/OdsReader.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sheetfray;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // A zip archive or package text (FuzzSupport.h) is a package; anything else a flat
    // document, read as the file host reads one whose root it recognised.
    if (!input.starts_with("PK") && !input.starts_with("@@ ")) {
        const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
        (void)engine::readers::flatOpenDocumentType(bytes);
        std::size_t offset = 0;
        try {
            const auto workbook = engine::readers::openFlatOdsWorkbook(
                "input.fods", [&](char* buffer, std::size_t wanted) {
                    const std::size_t count = std::min(wanted, size - offset);
                    std::memcpy(buffer, data + offset, count);
                    offset += count;
                    return count;
                });
            fuzz::walkWorkbook(*workbook);
        } catch (const ReadError&) {
        }
        return 0;
    }
    static fuzz::ScratchZip scratch("input.ods");
    fuzz::walkZipInput(
        scratch,
        {data, size},
        [](engine::readers::ZipArchive archive) -> std::unique_ptr<engine::Workbook> {
            if (!engine::readers::isOpenDocument(archive)) {
                return nullptr;
            }
            return engine::readers::openOdsWorkbook(std::move(archive));
        });
    return 0;
}
