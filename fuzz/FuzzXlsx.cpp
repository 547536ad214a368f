// Fuzzes the Office Open XML reader: zip container, XML parts, shared strings, styles, cells.
#include "engine/readers/XlsxReader.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sheetfray;
    static fuzz::ScratchZip scratch("input.xlsx");
    fuzz::walkZipInput(scratch, {data, size}, [](engine::readers::ZipArchive archive) {
        return engine::readers::openXlsxWorkbook(std::move(archive));
    });
    return 0;
}
