// Hostile and damaged workbooks: each is refused with a clear error or read within bounds.
#include "engine/format/NumberFormat.h"
#include "engine/readers/FileHost.h"
#include "engine/readers/XlsxReader.h"
#include "support/Error.h"
#include "tests/builders/XlsBuilder.h"
#include "tests/builders/XlsxBuilder.h"
#include "tests/reliability/Faults.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

namespace sheetfray::testing {
namespace {

namespace fs = std::filesystem;

// Opens the workbook and reads every cell of every sheet, as a split does. Gives the first
// error's message, or "" when all of it reads.
std::string readWhole(const fs::path& path)
{
    try {
        const auto workbook = engine::readers::openWorkbookFile(path);
        std::string text;
        std::string firstError;
        for (std::int32_t s = 1; s <= workbook->sheetCount(); ++s) {
            try {
                const engine::Sheet sheet = workbook->loadSheet(s);
                for (const engine::StoredCell& cell : sheet.cells()) {
                    sheet.appendText(cell, text);
                    (void)sheet.value(cell);
                }
            } catch (const ReadError& e) {
                if (firstError.empty()) {
                    firstError = e.what();
                }
            }
        }
        return firstError;
    } catch (const ReadError& e) {
        return e.what();
    }
}

std::string bytesOf(const fs::path& path)
{
    return readFile(path);
}

void expectRefused(const fs::path& path, const std::string& reason)
{
    const std::string message = readWhole(path);
    EXPECT_NE(message.find("\"" + path.filename().string() + "\""), std::string::npos) << message;
    EXPECT_NE(message.find(reason), std::string::npos) << message;
}

// Entity declarations nest: each of ten levels repeats the one below ten times, so the last
// stands for 10^9 copies of "lol" (about 3 GB) in a part of one kilobyte.
std::string billionLaughs(const std::string& root)
{
    std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE " + root + " [\n<!ENTITY lol0 \"lol\">\n";
    for (int level = 1; level <= 9; ++level) {
        doc += "<!ENTITY lol" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i) {
            doc += "&lol" + std::to_string(level - 1) + ";";
        }
        doc += "\">\n";
    }
    return doc + "]>\n";
}

class HostileInput : public ::testing::Test
{
protected:
    TempDir dir;

    fs::path file(const std::string& name) const { return dir.path() / name; }
};

TEST_F(HostileInput, ZipBombSheetIsRefusedBeforeItInflates)
{
    // 96 MiB of blanks deflate about 1030-fold, beyond any sheet's ratio.
    const auto path = file("bomb.xlsx");
    XlsxBuilder()
        .addSheetDocument("Sheet1",
                          "<worksheet><sheetData>" + std::string(96u << 20, ' ')
                              + "</sheetData></worksheet>")
        .save(path);
    ASSERT_LT(fs::file_size(path), 200'000u);
    expectRefused(path, "as in a zip bomb");
}

// Points every worksheet entry of a package at the compressed data of the first, as a zip
// bomb of overlapping entries does (central directory records, APPNOTE 4.3.12).
void overlapSheetEntries(const fs::path& path)
{
    std::string zip = bytesOf(path);
    const auto le = [&](std::size_t at, int size) {
        std::uint32_t v = 0;
        for (int i = size - 1; i >= 0; --i) {
            v = v << 8 | static_cast<unsigned char>(zip.at(at + static_cast<std::size_t>(i)));
        }
        return v;
    };
    const std::size_t end = zip.rfind(std::string("PK\x05\x06", 4));
    ASSERT_NE(end, std::string::npos);
    std::vector<std::size_t> sheets;
    std::size_t first = 0;
    for (std::size_t at = le(end + 16, 4); zip.compare(at, 4, "PK\x01\x02") == 0;) {
        const std::string name = zip.substr(at + 46, le(at + 28, 2));
        if (name == "xl/worksheets/sheet1.xml") {
            first = at;
        } else if (name.starts_with("xl/worksheets/sheet")) {
            sheets.push_back(at);
        }
        at += 46 + le(at + 28, 2) + le(at + 30, 2) + le(at + 32, 2);
    }
    ASSERT_NE(first, 0u);
    for (const std::size_t at : sheets) {
        zip.replace(at + 10, 2, zip, first + 10, 2); // method
        zip.replace(at + 16, 12, zip, first + 16, 12); // checksum and sizes
        zip.replace(at + 42, 4, zip, first + 42, 4); // local header
    }
    writeFile(path, zip);
}

TEST_F(HostileInput, OverlappingEntriesCannotInflateWithoutEnd)
{
    // 8 MiB that deflate a few hundredfold, like a plain sheet, read 64 times from one copy.
    std::string filler;
    std::uint32_t seed = 1;
    while (filler.size() < (8u << 20)) {
        filler.append(999, ' ');
        seed = seed * 1103515245u + 12345u;
        filler += static_cast<char>('a' + seed % 26);
    }
    XlsxBuilder builder;
    for (int i = 1; i <= 64; ++i) {
        builder.addSheetDocument("S" + std::to_string(i),
                                 i == 1 ? "<worksheet><sheetData/><!--" + filler + "--></worksheet>"
                                        : "<worksheet/>");
    }
    const auto path = file("overlap.xlsx");
    builder.save(path);
    overlapSheetEntries(path);
    const auto workbook = engine::readers::openWorkbookFile(path);
    int loaded = 0;
    std::string refusal;
    for (std::int32_t s = 1; s <= workbook->sheetCount(); ++s) {
        try {
            (void)workbook->loadSheet(s);
            ++loaded;
        } catch (const ReadError& e) {
            refusal = e.what();
        }
    }
    EXPECT_LT(loaded, 40);
    EXPECT_NE(refusal.find("zip bomb of overlapping entries"), std::string::npos) << refusal;

    // One entry read as often is no bomb: a large sheet is read again for each pass of a split.
    XlsxBuilder single;
    single.addSheetDocument("S1", "<worksheet><sheetData/><!--" + filler + "--></worksheet>");
    const auto once = file("once.xlsx");
    single.save(once);
    const auto book = engine::readers::openWorkbookFile(once);
    for (int i = 0; i < 64; ++i) {
        ASSERT_NO_THROW((void)book->loadSheet(1)) << "reading " << i + 1;
    }
}

TEST_F(HostileInput, EntityDeclarationsAreRefusedInEveryPart)
{
    const std::string laughs = billionLaughs("worksheet");
    const std::string lolCell =
        R"(<row r="1"><c r="A1" t="inlineStr"><is><t>&lol9;</t></is></c></row>)";
    XlsxBuilder()
        .addSheetDocument("Sheet1",
                          laughs + "<worksheet><sheetData>" + lolCell + "</sheetData></worksheet>")
        .save(file("sheet.xlsx"));
    expectRefused(file("sheet.xlsx"), "document type declaration");

    XlsxBuilder()
        .addTableSheet("Sheet1", {{"x"}})
        .setPart("xl/sharedStrings.xml", billionLaughs("sst") + "<sst><si><t>&lol9;</t></si></sst>")
        .save(file("strings.xlsx"));
    expectRefused(file("strings.xlsx"), "document type declaration");

    // An external entity would read a local file into a cell.
    XlsxBuilder()
        .addSheetDocument("Sheet1",
                          "<!DOCTYPE worksheet [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                          "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is>"
                          "<t>&x;</t></is></c></row></sheetData></worksheet>")
        .save(file("external.xlsx"));
    expectRefused(file("external.xlsx"), "document type declaration");

    writeOds(file("laughs.ods"), "");
    writeZip(file("laughs.ods"),
             {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
              {"content.xml",
               billionLaughs("office:document-content")
                   + "<office:document-content><office:body><office:spreadsheet>"
                     "<table:table table:name=\"S\"><table:table-row><table:table-cell>"
                     "<text:p>&lol9;</text:p></table:table-cell></table:table-row></table:table>"
                     "</office:spreadsheet></office:body></office:document-content>"}});
    expectRefused(file("laughs.ods"), "document type declaration");

    // A flat document with a document type is not taken for one: it is refused as markup.
    writeFile(file("laughs.fods"),
              billionLaughs("office:document")
                  + "<office:document office:mimetype=\"application/vnd.oasis.opendocument."
                    "spreadsheet\"><office:body><office:spreadsheet><table:table><table:table-row>"
                    "<table:table-cell><text:p>&lol9;</text:p></table:table-cell></table:table-row>"
                    "</table:table></office:spreadsheet></office:body></office:document>");
    expectRefused(file("laughs.fods"), "web page or XML document");
}

TEST_F(HostileInput, ExtremeNestingIsRefused)
{
    std::string deep;
    for (int i = 0; i < 200'000; ++i) {
        deep += "<b>";
    }
    XlsxBuilder()
        .addSheetDocument("Sheet1", "<worksheet><sheetData>" + deep + "</sheetData></worksheet>")
        .save(file("deep.xlsx"));
    expectRefused(file("deep.xlsx"), "nests elements more than 256 levels deep");

    writeOds(file("deep.ods"), "<table:table-row><table:table-cell><text:p>" + deep);
    expectRefused(file("deep.ods"), "nests elements more than 256 levels deep");

    writeFile(file("deep.fods"),
              "<office:document office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">"
              "<office:body><office:spreadsheet><table:table><table:table-row><table:table-cell>"
              "<text:p>"
                  + deep);
    expectRefused(file("deep.fods"), "nests elements more than 256 levels deep");
}

TEST_F(HostileInput, HostileTagsAreReadInBoundedTimeOrRefused)
{
    // A cell of 200,000 attributes (checked for repeats by sorting: comparing every pair
    // would take minutes), one whose value never closes, and a reference to a character XML
    // does not have.
    std::string attributes;
    for (int i = 0; i < 200'000; ++i) {
        attributes += " a" + std::to_string(i) + "=\"1\"";
    }
    const auto sheet = [](const std::string& cell) {
        return "<worksheet><sheetData><row r=\"1\">" + cell + "</row></sheetData></worksheet>";
    };
    XlsxBuilder()
        .addSheetDocument("Sheet1", sheet("<c r=\"A1\"" + attributes + "><v>1</v></c>"))
        .save(file("wide-tag.xlsx"));
    XlsxBuilder()
        .addSheetDocument("Sheet1", sheet("<c r=\"A1\"" + attributes + " a7=\"2\"/>"))
        .save(file("repeated.xlsx"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(readWhole(file("wide-tag.xlsx")), "");
    expectRefused(file("repeated.xlsx"), "duplicate attribute at line 1");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

    XlsxBuilder()
        .addSheetDocument("Sheet1",
                          "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" s=\""
                              + std::string(1 << 20, '1'))
        .save(file("unclosed.xlsx"));
    expectRefused(file("unclosed.xlsx"), "unclosed token");
    XlsxBuilder()
        .addTableSheet("Sheet1", {{"x"}})
        .setPart("xl/sharedStrings.xml", "<sst><si><t>&#xFFFF;</t></si></sst>")
        .save(file("character.xlsx"));
    expectRefused(file("character.xlsx"), "reference to invalid character number");
}

TEST_F(HostileInput, AValueQuotedInAMessageIsCut)
{
    XlsxBuilder()
        .addSheetDocument("Sheet1",
                          "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>"
                              + std::string(8 << 20, 'x')
                              + "</v></c></row></sheetData></worksheet>")
        .save(file("value.xlsx"));
    const std::string message = readWhole(file("value.xlsx"));
    EXPECT_NE(message.find("holds \"" + std::string(199, 'x') + "\u2026\", which is not a number"),
              std::string::npos)
        << message.substr(0, 300);
    EXPECT_LT(message.size(), 1000u);
}

TEST_F(HostileInput, OpenDocumentRepeatsAreBoundedByTheCellsTheyHold)
{
    // A million rows of sixteen thousand empty cells is how writers end a sheet: it stores
    // nothing and reads at once.
    const auto start = std::chrono::steady_clock::now();
    writeOds(file("empty-repeats.ods"),
             R"(<table:table-row><table:table-cell office:value-type="float" office:value="1"/>)"
             R"(</table:table-row><table:table-row table:number-rows-repeated="1048575">)"
             R"(<table:table-cell table:number-columns-repeated="16384"/></table:table-row>)");
    const auto workbook = engine::readers::openWorkbookFile(file("empty-repeats.ods"));
    const engine::Sheet sheet = workbook->loadSheet(1);
    EXPECT_EQ(sheet.cells().size(), 1u);
    EXPECT_EQ(sheet.usedRange(), (engine::UsedRange{1, 1}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    // The same repeats with a value in every cell would be 17 billion cells.
    writeOds(file("full-repeats.ods"),
             R"(<table:table-row table:number-rows-repeated="1048576">)"
             R"(<table:table-cell table:number-columns-repeated="16384")"
             R"( office:value-type="float" office:value="1"/></table:table-row>)");
    expectRefused(file("full-repeats.ods"), "repeats cells more than");
}

TEST_F(HostileInput, SparseSheetOfTheWholeGridHoldsOnlyItsCells)
{
    XlsxBuilder()
        .addSheet("Sheet1",
                  R"(<row r="1"><c r="A1"><v>1</v></c></row>)"
                  R"(<row r="1048576"><c r="XFD1048576"><v>2</v></c></row>)")
        .save(file("corners.xlsx"));
    const auto workbook = engine::readers::openWorkbookFile(file("corners.xlsx"));
    const engine::Sheet sheet = workbook->loadSheet(1);
    EXPECT_EQ(sheet.usedRange(), (engine::UsedRange{engine::MaxRows, engine::MaxColumns}));
    EXPECT_EQ(sheet.cells().size(), 2u);
    EXPECT_EQ(sheet.columnCells(engine::MaxColumns).size(), 1u);
}

// The compound file of contract.xls with its parts located, so a test can damage one.
class CompoundImage
{
public:
    CompoundImage()
        : m_bytes(bytesOf(fs::path(SHEETFRAY_TEST_DATA) / "contract.xls"))
    {
        m_sectorSize = std::size_t{1} << u16(0x1E);
        m_firstFatSector = u32(0x4C);
        m_directorySector = u32(0x30);
    }

    std::uint32_t u32(std::size_t offset) const
    {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) {
            v = v << 8
                | static_cast<unsigned char>(m_bytes.at(offset + static_cast<std::size_t>(i)));
        }
        return v;
    }

    std::uint16_t u16(std::size_t offset) const
    {
        return static_cast<std::uint16_t>(static_cast<unsigned char>(m_bytes.at(offset))
                                          | static_cast<unsigned char>(m_bytes.at(offset + 1))
                                              << 8);
    }

    void setU32(std::size_t offset, std::uint32_t v)
    {
        for (std::size_t i = 0; i < 4; ++i) {
            m_bytes.at(offset + i) = static_cast<char>(v >> (8 * i) & 0xFF);
        }
    }

    std::size_t sectorOffset(std::uint32_t sector) const { return (sector + 1) * m_sectorSize; }

    // The allocation-table entry that says which sector follows this one (MS-CFB 2.3).
    std::size_t fatEntry(std::uint32_t sector) const
    {
        return sectorOffset(m_firstFatSector) + 4 * sector;
    }

    std::uint32_t directorySector() const { return m_directorySector; }

    // The root entry's first sector: the start of the mini stream that holds small streams.
    std::uint32_t rootStart() const { return u32(sectorOffset(m_directorySector) + 0x74); }

    // The shared-string table of the workbook stream: its record header and counts (MS-XLS
    // 2.4.265), found by its first string "Name".
    std::size_t sstRecord() const
    {
        const auto at = m_bytes.find(std::string("\xFC\x00", 2));
        EXPECT_NE(at, std::string::npos);
        EXPECT_EQ(m_bytes.substr(at + 12, 7), std::string("\x04\x00\x00Name", 7));
        return at;
    }

    void save(const fs::path& path) const { writeFile(path, m_bytes); }

private:
    std::string m_bytes;
    std::size_t m_sectorSize = 512;
    std::uint32_t m_firstFatSector = 0;
    std::uint32_t m_directorySector = 0;
};

TEST_F(HostileInput, DamagedCompoundFileChainsAreRefused)
{
    {
        CompoundImage image;
        image.setU32(image.fatEntry(image.directorySector()), image.directorySector());
        image.save(file("directory-loop.xls"));
        expectRefused(file("directory-loop.xls"), "damaged");
    }
    {
        CompoundImage image;
        image.setU32(image.fatEntry(image.rootStart()), image.rootStart());
        image.save(file("stream-loop.xls"));
        expectRefused(file("stream-loop.xls"), "damaged");
    }
    {
        CompoundImage image;
        image.setU32(image.fatEntry(image.rootStart()), 0x00FF'FF00);
        image.save(file("outside.xls"));
        expectRefused(file("outside.xls"), "damaged");
    }
}

TEST_F(HostileInput, BiffCountsAndLengthsThatLieAreBounded)
{
    // Four billion strings announced, five stored: nothing is reserved for the claim.
    {
        CompoundImage image;
        const std::size_t sst = image.sstRecord();
        image.setU32(sst + 4, 0xFFFF'FFFF);
        image.setU32(sst + 8, 0xFFFF'FFFF);
        image.save(file("sst-count.xls"));
        const std::string message = readWhole(file("sst-count.xls"));
        EXPECT_TRUE(message.empty() || message.find("\"sst-count.xls\"") != std::string::npos)
            << message;
    }
    // A record that claims to run past the end of its stream.
    {
        CompoundImage image;
        const std::size_t sst = image.sstRecord();
        const std::uint32_t header = image.u32(sst);
        image.setU32(sst, (header & 0xFFFF) | 0xFFFFu << 16);
        image.save(file("sst-length.xls"));
        expectRefused(file("sst-length.xls"), "sst-length.xls");
    }
}

// The .xls forms that no fixture holds: BIFF2 to BIFF4 streams and encrypted workbooks.
std::vector<std::pair<std::string, std::string>> builtXlsForms()
{
    const auto text = [](const Bytes& bytes) {
        return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    };
    std::vector<std::pair<std::string, std::string>> forms;
    for (const OldBiff version : {OldBiff::V2, OldBiff::V3, OldBiff::V4}) {
        for (const bool encrypted : {false, true}) {
            OldBiffBuilder b(version);
            if (encrypted) {
                b.encryptXor();
            }
            b.addFormat("General");
            const auto xf = b.addXf(b.addFormat("0.00"));
            for (unsigned row = 0; row < 20; ++row) {
                b.number(0, row, 0, row * 1.5, xf).label(0, row, 1, "text");
            }
            forms.emplace_back("biff" + std::to_string(static_cast<int>(version) + 2)
                                   + (encrypted ? "-xor.xls" : ".xls"),
                               text(b.build()));
        }
    }
    OldBiffBuilder workbook(OldBiff::V4, true);
    for (const char* name : {"One", "Two"}) {
        const auto sheet = workbook.addSheet(name);
        workbook.number(sheet, 3, 3, 1).label(sheet, 0, 0, "text");
    }
    forms.emplace_back("biff4-workbook.xls", text(workbook.build()));
    using Method = Encryption::Method;
    for (const Method method : {Method::Xor, Method::Rc4, Method::CryptoApiRc4}) {
        XlsBuilder b;
        const auto s = b.addSheet("Data");
        for (unsigned row = 0; row < 100; ++row) {
            b.number(s, row, 0, row).label(s, row, 1, "text");
        }
        b.encrypt({method});
        forms.emplace_back("encrypted" + std::to_string(static_cast<int>(method)) + ".xls",
                           text(b.build()));
    }
    return forms;
}

// Every fixture cut short at ten points: a download that stopped, a copy to a full disk.
TEST_F(HostileInput, TruncatedFilesGiveAClearErrorOrTheirCompletePart)
{
    std::vector<std::pair<std::string, std::string>> inputs = builtXlsForms();
    for (const auto& entry : fs::directory_iterator(SHEETFRAY_TEST_DATA)) {
        if (entry.is_regular_file() && entry.path().extension() != ".md") {
            inputs.emplace_back(entry.path().filename().string(), bytesOf(entry.path()));
        }
    }
    for (const auto& [name, bytes] : inputs) {
        for (int cut = 0; cut < 10; ++cut) {
            const std::size_t size = cut == 9 ? bytes.size() - 1 : bytes.size() * cut / 9;
            const fs::path path = file("cut" + std::to_string(cut) + "-" + name);
            writeFile(path, bytes.substr(0, size));
            const std::string message = readWhole(path);
            EXPECT_TRUE(message.empty()
                        || message.find("\"" + path.filename().string() + "\"")
                            != std::string::npos)
                << path.filename() << " gave: " << message;
        }
    }
}

// Inputs that once crashed a fuzz target stay: each must still be read or refused cleanly.
TEST_F(HostileInput, PastFuzzingFindingsAreReadOrRefused)
{
    const fs::path folder = fs::path(SHEETFRAY_TEST_DATA) / "regressions";
    if (!fs::exists(folder)) {
        GTEST_SKIP() << "no regression inputs";
    }
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const std::string bytes = bytesOf(entry.path());
        if (name.starts_with("number-format-")) {
            double value = 0;
            if (bytes.size() >= sizeof value) {
                std::memcpy(&value, bytes.data(), sizeof value);
            }
            const auto format = engine::format::NumberFormat::compile(
                bytes.substr(std::min(bytes.size(), sizeof value)));
            std::string out;
            format.render(
                std::isfinite(value) ? value : 0, engine::format::DateSystem::Date1900, out);
        } else if (!name.ends_with(".md")) {
            const std::string message = readWhole(entry.path());
            EXPECT_TRUE(message.empty() || message.find("\"" + name + "\"") != std::string::npos)
                << name << ": " << message;
        }
    }
}

} // namespace
} // namespace sheetfray::testing
