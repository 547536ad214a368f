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
