// Fuzzes the .xls and .xlsx writers: a sheet made from the input (texts, numbers, booleans,
// errors, number formats, a sheet name) is written as one row of each and read back by the
// readers, which must show every cell as the sheet did. A difference is a finding.
#include "engine/XlsWriter.h"
#include "engine/XlsxWriter.h"
#include "engine/readers/XlsReader.h"
#include "engine/readers/XlsxReader.h"
#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace sheetfray;

class Input
{
public:
    Input(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {}

    [[nodiscard]] bool done() const { return m_at >= m_size; }

    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }

    // A text of up to 255 bytes, kept to valid UTF-8 (a writer cannot keep malformed bytes).
    std::string text()
    {
        const std::size_t length = byte();
        std::string out;
        for (std::size_t k = 0; k < length && !done(); ++k) {
            out += static_cast<char>(byte());
        }
        std::u16string units;
        engine::appendUtf16Units(out, units);
        return units.find(u'\xFFFD') == std::u16string::npos ? out : std::string("x");
    }

    double number()
    {
        std::uint64_t bits = 0;
        for (int k = 0; k < 8; ++k) {
            bits = (bits << 8) | byte();
        }
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

[[noreturn]] void
differs(const char* kind, std::int32_t column, const std::string& got, const std::string& want)
{
    std::fprintf(stderr,
                 "%s cell %d shows \"%s\" instead of \"%s\"\n",
                 kind,
                 column,
                 got.c_str(),
                 want.c_str());
    std::abort();
}

void check(const char* kind, const engine::Sheet& sheet, engine::Workbook& back)
{
    if (back.sheetName(1) != engine::outputSheetName(sheet.name())) {
        differs(kind, 0, std::string(back.sheetName(1)), sheet.name());
    }
    const engine::Sheet line = back.loadSheet(1);
    for (std::int32_t c = 1; c <= sheet.usedRange().lastColumn; ++c) {
        const std::string got = line.text(1, c);
        const std::string want = sheet.text(1, c);
        if (got != want) {
            differs(kind, c, got, want);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input input(data, size);
    auto styles = std::make_shared<engine::WorkbookStyles>();
    const std::uint8_t flags = input.byte();
    styles->dateSystem = (flags & 1) != 0 ? engine::format::DateSystem::Date1904
                                          : engine::format::DateSystem::Date1900;
    const int formats = input.byte() % 8;
    styles->cellFormats.emplace_back();
    for (int k = 0; k < formats; ++k) {
        styles->cellFormats.push_back(engine::format::NumberFormat::compile(input.text()));
    }
    const std::string name = input.text();
    engine::SheetBuilder builder(name, styles);
    for (std::int32_t column = 1; column <= engine::XlsWriter::MaxColumns && !input.done();
         ++column) {
        const std::uint8_t kind = input.byte();
        const auto style = static_cast<std::uint32_t>(input.byte() % (formats + 1));
        switch (kind % 5) {
        case 0:
            builder.addNumber(1, column, input.number(), style);
            break;
        case 1:
            builder.addText(1, column, input.text(), style);
            break;
        case 2:
            builder.addBoolean(1, column, (kind & 0x80) != 0, style);
            break;
        case 3:
            builder.addError(1, column, input.text(), style);
            break;
        default:
            break; // a gap
        }
    }
    const engine::Sheet sheet = builder.finish();

    engine::XlsWriter xls(sheet);
    xls.begin();
    for (const engine::StoredCell& cell : sheet.cells()) {
        xls.add(1, cell.column, cell);
    }
    std::string bytes;
    xls.finish(bytes);
    std::vector<std::byte> image(bytes.size());
    std::memcpy(image.data(), bytes.data(), bytes.size());
    check(".xls", sheet, *engine::readers::openXlsWorkbook("out.xls", std::move(image)));

    engine::XlsxWriter xlsx(sheet);
    xlsx.begin();
    for (const engine::StoredCell& cell : sheet.cells()) {
        xlsx.add(1, cell.column, cell);
    }
    bytes.clear();
    xlsx.finish(bytes);
    fuzz::ScratchZip scratch("out.xlsx");
    scratch.write({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    check(".xlsx",
          sheet,
          *engine::readers::openXlsxWorkbook(
              engine::readers::ZipArchive(scratch.path(), std::string(scratch.name()))));
    return 0;
}
