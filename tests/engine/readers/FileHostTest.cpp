#include "engine/readers/FileHost.h"

#include "support/Error.h"
#include "tests/builders/XlsxBuilder.h"
#include "tests/fakes/MemoryLimit.h"
#include "tests/fakes/TempDir.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <ostream>
#include <random>
#include <string>

namespace sheetfray::engine::readers {
namespace {

using testing::TempDir;
using testing::XlsxBuilder;

std::string openError(const std::filesystem::path& path)
{
    try {
        const auto workbook = FileHostFactory().create()->open(path.string());
        for (std::int32_t i = 1; i <= workbook->sheetCount(); ++i) {
            (void)workbook->loadSheet(i);
        }
    } catch (const ReadError& e) {
        return e.what();
    }
    return "";
}

// A workbook of one sheet whose part holds text that does not compress (so that damage to
// the middle of the file lands in compressed data).
std::string noisyWorkbook(const TempDir& dir)
{
    std::mt19937 random(42);
    std::string rows;
    for (int row = 1; row <= 2000; ++row) {
        rows += "<row r=\"" + std::to_string(row) + "\"><c r=\"A" + std::to_string(row) + "\"><v>"
            + std::to_string(random()) + "</v></c></row>";
    }
    XlsxBuilder builder;
    builder.addSheet("Sheet1", rows);
    const auto path = dir.path() / "source.xlsx";
    builder.save(path);
    return testing::readFile(path);
}

struct BadFileCase
{
    std::string name;
    // Writes the file to test into dir and returns its name.
    std::function<std::string(const TempDir&)> make;
    std::string expected; // a piece of the message
};

// Names the case in a failure message.
void PrintTo(const BadFileCase& c, std::ostream* os)
{
    *os << c.name;
}

class BadFiles : public ::testing::TestWithParam<BadFileCase>
{};

TEST_P(BadFiles, GiveAClearReadError)
{
    TempDir dir;
    const std::string name = GetParam().make(dir);
    const std::string message = openError(dir.path() / name);
    EXPECT_NE(message.find("cannot read \"" + name + "\": "), std::string::npos) << message;
    EXPECT_NE(message.find(GetParam().expected), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Host,
    BadFiles,
    ::testing::Values(
        BadFileCase{"Missing", [](const TempDir&) { return "gone.xlsx"; }, "does not exist"},
        BadFileCase{"Folder",
                    [](const TempDir& dir) {
                        std::filesystem::create_directory(dir.path() / "folder.xlsx");
                        return "folder.xlsx";
                    },
                    "it is a folder"},
        BadFileCase{"Empty",
                    [](const TempDir& dir) {
                        testing::writeFile(dir.path() / "null.xlsx", "");
                        return "null.xlsx";
                    },
                    "not a spreadsheet file (the file is empty)"},
        BadFileCase{"FlatTextDocument",
                    [](const TempDir& dir) {
                        testing::writeFile(
                            dir.path() / "letter.fods",
                            "<?xml version=\"1.0\"?>\n<office:document "
                            "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                            "office:mimetype=\"application/vnd.oasis.opendocument.text\">"
                            "<office:body><office:text/></office:body></office:document>");
                        return "letter.fods";
                    },
                    "it is an OpenDocument \"application/vnd.oasis.opendocument.text\" document"},
        BadFileCase{"FlatDocumentOfAnotherKindWithoutType",
                    [](const TempDir& dir) {
                        testing::writeFile(
                            dir.path() / "slides.fods",
                            "<office:document xmlns:office=\"urn:x\"><office:body>"
                            "<office:presentation/></office:body></office:document>");
                        return "slides.fods";
                    },
                    "\"application/vnd.oasis.opendocument.presentation\" document"},
        BadFileCase{"FodsNamedXmlOfAnotherKind",
                    [](const TempDir& dir) {
                        testing::writeFile(dir.path() / "page.fods", "<html><body/></html>");
                        return "page.fods";
                    },
                    "it is a web page or XML document"},
        BadFileCase{"DamagedFlatDocument",
                    [](const TempDir& dir) {
                        testing::writeFile(dir.path() / "cut.fods",
                                           "<office:document xmlns:office=\"urn:x\"><office:body>"
                                           "<office:spreadsheet><table:table>");
                        return "cut.fods";
                    },
                    "the workbook is damaged (the document: "},
        BadFileCase{"Binary",
                    [](const TempDir& dir) {
                        testing::writeFile(dir.path() / "photo.xlsx",
                                           std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
                        return "photo.xlsx";
                    },
                    "not a spreadsheet file"},
        BadFileCase{"EmptyZip",
                    [](const TempDir& dir) {
                        testing::writeFile(dir.path() / "empty.xlsx",
                                           std::string("PK\x05\x06", 4) + std::string(18, '\0'));
                        return "empty.xlsx";
                    },
                    "not a spreadsheet file (the zip archive is empty)"},
        BadFileCase{"Truncated",
                    [](const TempDir& dir) {
                        const std::string bytes = noisyWorkbook(dir);
                        testing::writeFile(dir.path() / "cut.xlsx",
                                           bytes.substr(0, bytes.size() / 2));
                        return "cut.xlsx";
                    },
                    "is damaged"},
        BadFileCase{"DamagedData",
                    [](const TempDir& dir) {
                        std::string bytes = noisyWorkbook(dir);
                        for (std::size_t i = bytes.size() * 2 / 5; i < bytes.size() / 2; i += 7) {
                            bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
                        }
                        testing::writeFile(dir.path() / "hit.xlsx", bytes);
                        return "hit.xlsx";
                    },
                    "xl/worksheets/sheet1.xml"},
        BadFileCase{"NoWorkbook",
                    [](const TempDir& dir) {
                        XlsxBuilder builder;
                        builder.addTableSheet("Sheet1", {{1}});
                        builder.removePart("xl/workbook.xml");
                        builder.save(dir.path() / "parts.xlsx");
                        return "parts.xlsx";
                    },
                    "not a spreadsheet file (it holds no workbook)"},
        BadFileCase{"ZipBomb",
                    [](const TempDir& dir) {
                        // 64 MiB of blanks inflate from about 64 KiB: no workbook compresses so.
                        XlsxBuilder builder;
                        builder.addSheet("Sheet1", std::string(64u << 20, ' '));
                        builder.save(dir.path() / "bomb.xlsx");
                        return "bomb.xlsx";
                    },
                    "not safe to read"},
        BadFileCase{"TextLargerThanASheetHolds",
                    [](const TempDir& dir) {
                        // Text at the start, then a hole: 40 GiB that take no disk.
                        std::string lines;
                        while (lines.size() < 8192) {
                            lines += "a,b\n";
                        }
                        testing::writeFile(dir.path() / "huge.csv", lines);
                        std::filesystem::resize_file(dir.path() / "huge.csv", 40ull << 30);
                        return "huge.csv";
                    },
                    "the file is too large (40 GiB)"}),
    [](const auto& row) { return row.param.name; });

// Opens and loads the text file with a bound on the process's private memory: of what it
// holds already, and bound more. Exits 0 when the sheet holds the whole line of size bytes.
// In parts, the first part is held beside a line of size bytes, as a walk renders it.
[[noreturn]] void
loadWithinMemory(const std::string& path, std::size_t size, std::size_t bound, bool inParts = false)
{
    testing::limitPrivateMemory(bound);
    try {
        const auto workbook = FileHostFactory().create()->open(path);
        if (inParts) {
            const std::unique_ptr<SheetParts> parts = workbook->loadSheetInParts(1);
            const std::optional<Sheet> part = parts->next();
            const std::string line(size, 'y');
            std::_Exit(part && part->value(1, 1).text.size() == size && line.back() == 'y' ? 0 : 2);
        }
        const Sheet sheet = workbook->loadSheet(1);
        std::_Exit(sheet.value(1, 1).text.size() == size ? 0 : 2);
    } catch (...) {
        std::_Exit(1);
    }
}

// A text file is held once while its sheet is read, and then only as the sheet's own text:
// a line of 64 MiB loads within two and a half times its size of memory, its later fields
// included.
TEST(FileHost, TextFileIsReadWithoutCopiesOfItself)
{
    TempDir dir;
    constexpr std::size_t Size = 64u << 20;
    testing::writeFile(dir.path() / "line.csv", std::string(Size, 'x') + ",b");
    const std::string path = (dir.path() / "line.csv").string();
    EXPECT_EXIT(loadWithinMemory(path, Size, Size * 5 / 2), ::testing::ExitedWithCode(0), "");
    // Handed to a walk, the file's bytes go before the line is rendered.
    EXPECT_EXIT(loadWithinMemory(path, Size, Size * 5 / 2, true), ::testing::ExitedWithCode(0), "");
}

// UTF-16 text is decoded as it is read: a line of 32 Mi characters (64 MiB of file) loads
// within one and a half times the file's size, the decoded text and the sheet's copy of it.
TEST(FileHost, Utf16FileIsNotHeldBesideItsText)
{
    TempDir dir;
    constexpr std::size_t Characters = 32u << 20;
    std::string bytes = "\xFF\xFE";
    bytes.reserve(Characters * 2 + 8);
    for (std::size_t i = 0; i < Characters; ++i) {
        bytes += std::string_view("x\0", 2);
    }
    bytes += std::string_view(",\0b\0", 4);
    testing::writeFile(dir.path() / "line.csv", bytes);
    const std::size_t fileSize = bytes.size();
    bytes = {};
    const std::string path = (dir.path() / "line.csv").string();
    EXPECT_EXIT(
        loadWithinMemory(path, Characters, fileSize * 3 / 2), ::testing::ExitedWithCode(0), "");
}

// A file of no bytes, or of a byte-order mark alone, is a workbook of one empty sheet (used
// range A1) as in spreadsheet programs, whatever text name it has; an empty package stays an
// error (the Empty row of BadFiles).
TEST(FileHost, EmptyTextFileIsOneEmptySheet)
{
    TempDir dir;
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"none.csv", ""},
             {"none.xls", ""},
             {"notes.txt", ""},
             {"mark.csv", "\xEF\xBB\xBF"},
             {"wide.tsv", std::string("\xFF\xFE\0\0", 4)}}) {
        testing::writeFile(dir.path() / name, bytes);
        const auto workbook = openWorkbookFile(dir.path() / name);
        ASSERT_EQ(workbook->sheetCount(), 1) << name;
        EXPECT_EQ(workbook->sheetName(1), name.substr(0, name.find('.')));
        const Sheet sheet = workbook->loadSheet(1);
        EXPECT_TRUE(sheet.cells().empty()) << name;
        EXPECT_EQ(sheet.usedRange(), UsedRange{}) << name;
    }
}

// Flat OpenDocument is told by its root and stated type, not its name; a root that states no
// type is taken for one only under a .fods name.
TEST(FileHost, FlatOpenDocumentIsToldByItsRoot)
{
    TempDir dir;
    const std::string body =
        R"(<office:body><office:spreadsheet><table:table table:name="Data"><table:table-row>)"
        R"(<table:table-cell office:value-type="string"><text:p>x</text:p></table:table-cell>)"
        R"(</table:table-row></table:table></office:spreadsheet></office:body></office:document>)";
    const std::string namespaces =
        R"(xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
        R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
        R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0")";
    // Writers declare dozens of namespaces on the root: the start tag outgrows the first
    // few kilobytes.
    std::string many;
    for (int i = 0; i < 200; ++i) {
        many +=
            " xmlns:n" + std::to_string(i) + "=\"urn:example:namespace:" + std::to_string(i) + "\"";
    }
    const std::string typed =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- saved -->\n<office:document "
        + namespaces + many
        + R"( office:mimetype="application/vnd.oasis.opendocument.spreadsheet">)" + body;
    const std::string untyped = "<office:document " + namespaces + ">" + body;
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"typed.xml", typed}, {"typed.csv", typed}, {"untyped.fods", untyped}}) {
        testing::writeFile(dir.path() / name, bytes);
        const auto workbook = openWorkbookFile(dir.path() / name);
        ASSERT_EQ(workbook->sheetCount(), 1) << name;
        EXPECT_EQ(workbook->sheetName(1), "Data");
        EXPECT_EQ(workbook->loadSheet(1).text(1, 1), "x") << name;
    }
    testing::writeFile(dir.path() / "untyped.xml", untyped);
    EXPECT_NE(openError(dir.path() / "untyped.xml").find("web page or XML document"),
              std::string::npos);
}

TEST(FileHost, ChoosesTheReaderByContentNotByName)
{
    TempDir dir;
    XlsxBuilder builder;
    builder.addTableSheet("Sheet1", {{"Name", "Qty"}, {"Pen", 3}});
    builder.save(dir.path() / "renamed.xls");
    const auto workbook = openWorkbookFile(dir.path() / "renamed.xls");
    EXPECT_EQ(workbook->name(), "renamed.xls");
    EXPECT_EQ(workbook->loadSheet(1).text(2, 1), "Pen");
}

TEST(FileHost, RefusesAnEncryptedPackage)
{
    const std::filesystem::path path = std::filesystem::path(SHEETFRAY_SHARED_TESTDATA)
        / "workbooks" / "ExcelDataReader__agile_AES128_SHA1_CBC_pwd_password.xlsx";
    if (!std::filesystem::exists(path)) {
        GTEST_SKIP() << "the shared test data is not there";
    }
    const std::string message = openError(path);
    EXPECT_NE(message.find("ExcelDataReader__agile_AES128_SHA1_CBC_pwd_password.xlsx"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("password-protected"), std::string::npos) << message;
}

} // namespace
} // namespace sheetfray::engine::readers
