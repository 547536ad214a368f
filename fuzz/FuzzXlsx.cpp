// Fuzzes the Office Open XML reader: zip container, XML parts, shared strings, styles, cells.
#include "engine/readers/XlsxReader.h"
#include "engine/readers/Zip.h"
#include "fuzz/FuzzSupport.h"
#include "support/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sheetfray;
    static fuzz::ScratchZip scratch("input.xlsx");
    scratch.write({data, size});
    try {
        engine::readers::ZipArchive archive(scratch.path(), "input.xlsx");
        const auto workbook = engine::readers::openXlsxWorkbook(std::move(archive));
        fuzz::walkWorkbook(*workbook);
    } catch (const ReadError&) {
        // A clear refusal is the expected outcome for most inputs.
    }
    return 0;
}
