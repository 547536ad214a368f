// Fuzzes the delimited-text reader in each of its dialects and text encodings.
#include "engine/readers/CsvReader.h"
#include "fuzz/FuzzSupport.h"
#include "support/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sheetfray;
    if (size == 0) {
        return 0;
    }
    // The first byte picks the dialect, so one corpus serves all three.
    static constexpr engine::readers::TextDialect Dialects[] = {
        {',', true}, {'\t', true}, {'\t', false}};
    const auto dialect = Dialects[data[0] % 3];
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data + 1), size - 1);
    (void)engine::readers::looksLikeText(bytes);
    try {
        const auto workbook = engine::readers::openDelimitedText("input.csv", bytes, dialect);
        fuzz::walkWorkbook(*workbook);
    } catch (const ReadError&) {
    }
    return 0;
}
