// Fuzzes the file-name pipeline: a cell's text cleaned into a name, the path built and cleaned.
#include "engine/CodePage.h"
#include "engine/Naming.h"
#include "support/Error.h"
#include "support/ErrorReport.h"

#include <cstring>
#include <string>

namespace {

class DiscardReporter final : public sheetfray::Reporter
{
public:
    void report(const sheetfray::ErrorReport&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sheetfray::engine;
    static const CodePage utf8 = CodePage::utf8();
    static const CodePage western = CodePage::singleByte("WINDOWS-1252");
    DiscardReporter reporter;
    // Four bytes of numbers (indices, counter, column), then texts split at NUL: cell value,
    // sheet name, workbook name, removal list, output base.
    std::int32_t number = 0;
    if (size >= sizeof number) {
        std::memcpy(&number, data, sizeof number);
        data += sizeof number;
        size -= sizeof number;
    }
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::string_view pieces[5];
    for (auto& piece : pieces) {
        const std::size_t end = rest.find('\0');
        piece = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    const auto [value, sheet, workbook, removal, base] = pieces;
    (void)ColumnLetters(number);
    (void)CleanFirstValue(value);
    (void)StripExtension(workbook);
    (void)FolderOfPath(value);
    (void)fileNameOfPath(value);
    for (const CodePage* page : {&utf8, &western}) {
        const std::int32_t a = number & 0xFFFFF;
        const std::int32_t b = (number >> 20) & 0x3FFF;
        const std::string cleaned = CleanValue(value, a, b, sheet, workbook, *page, reporter);
        if (cleaned.empty()) {
            __builtin_trap(); // CleanValue promises a name
        }
        for (const auto scheme : {NamingScheme::FileNamePlusNumber,
                                  NamingScheme::CellLocation,
                                  NamingScheme::FirstCellValue}) {
            std::string name = BuildOutputName(base,
                                               CellLocation{b + 1, a + 1},
                                               cleaned,
                                               number,
                                               scheme,
                                               FallbackName(workbook, sheet, a, b));
            name += ".txt";
            const std::string path = NormalizePath(CleanFileName(name, removal, *page, reporter));
            (void)page->encode(path);
        }
    }
    return 0;
}
