// Fuzzes the OpenDocument reader: content.xml with its repeated rows and cells, styles.
#include "engine/readers/OdsReader.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sheetfray;
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
