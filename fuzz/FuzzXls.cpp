// Fuzzes the .xls reader: the compound file (sector chains, directory) and the BIFF records.
#include "engine/readers/XlsReader.h"
#include "fuzz/FuzzSupport.h"
#include "support/Error.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sheetfray;
    std::vector<std::byte> bytes(size);
    if (size != 0) {
        std::memcpy(bytes.data(), data, size);
    }
    try {
        const auto workbook = engine::readers::openXlsWorkbook("input.xls", std::move(bytes));
        fuzz::walkWorkbook(*workbook);
    } catch (const ReadError&) {
    }
    return 0;
}
