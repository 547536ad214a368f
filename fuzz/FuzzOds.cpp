// Fuzzes the OpenDocument reader: content.xml with its repeated rows and cells, styles.
#include "engine/readers/OdsReader.h"
#include "engine/readers/Zip.h"
#include "fuzz/FuzzSupport.h"
#include "support/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sheetfray;
    static fuzz::ScratchZip scratch("input.ods");
    scratch.write({data, size});
    try {
        engine::readers::ZipArchive archive(scratch.path(), "input.ods");
        if (!engine::readers::isOpenDocument(archive)) {
            return 0;
        }
        const auto workbook = engine::readers::openOdsWorkbook(std::move(archive));
        fuzz::walkWorkbook(*workbook);
    } catch (const ReadError&) {
    }
    return 0;
}
