// The reader against real workbooks of other writers and what an independent reader saw in them.
#include "engine/readers/FileHost.h"
#include "support/Error.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace sheetfray::engine::readers {
namespace {

namespace fs = std::filesystem;

const fs::path Folder = fs::path(SHEETFRAY_SHARED_TESTDATA) / "workbooks";

std::vector<fs::path> openXmlWorkbooks()
{
    std::vector<fs::path> paths;
    if (!fs::is_directory(Folder)) {
        return paths;
    }
    for (const auto& entry : fs::directory_iterator(Folder)) {
        const std::string extension = entry.path().extension().string();
        if (extension == ".xlsx" || extension == ".xlsm" || extension == ".xltx"
            || extension == ".xltm") {
            paths.push_back(entry.path());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// "C5:F9" gives its bottom-right corner as a used range.
UsedRange bottomRight(const std::string& range)
{
    const std::string corner = range.substr(range.find(':') + 1);
    UsedRange out{0, 0};
    std::size_t i = 0;
    for (; i < corner.size() && corner[i] >= 'A' && corner[i] <= 'Z'; ++i) {
        out.lastColumn = out.lastColumn * 26 + (corner[i] - 'A' + 1);
    }
    out.lastRow = std::stoi(corner.substr(i));
    return out;
}

TEST(SharedWorkbooks, EveryOpenXmlWorkbookReadsOrFailsWithItsName)
{
    const auto paths = openXmlWorkbooks();
    if (paths.empty()) {
        GTEST_SKIP() << "the shared test data is not there";
    }
    int opened = 0;
    for (const fs::path& path : paths) {
        const std::string name = path.filename().string();
        try {
            const auto workbook = openWorkbookFile(path);
            ++opened;
            for (std::int32_t i = 1; i <= workbook->sheetCount(); ++i) {
                try {
                    (void)workbook->loadSheet(i);
                } catch (const ReadError& e) {
                    EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
                }
            }
        } catch (const ReadError& e) {
            EXPECT_NE(std::string(e.what()).find("\"" + name + "\""), std::string::npos)
                << e.what();
        }
    }
    // Of the 36 files, three cannot be read: encrypted, empty, an empty archive.
    EXPECT_GE(opened, static_cast<int>(paths.size()) - 3);
}

TEST(SharedWorkbooks, RefusesTheBrokenOnesForTheRightReason)
{
    if (!fs::is_directory(Folder)) {
        GTEST_SKIP() << "the shared test data is not there";
    }
    const std::pair<const char*, const char*> cases[] = {
        {"ExcelDataReader__agile_AES128_SHA1_CBC_pwd_password.xlsx", "password-protected"},
        {"ExcelDataReader__EmptyZipFile.xlsx", "not a spreadsheet file"},
        {"openpyxl__null_file.xlsx", "not a spreadsheet file"},
        // RC4 with a password other than the default one.
        {"ExcelDataReader__Test_git_issue_242_std_rc4_pwd_password.xls", "password-protected"},
    };
    for (const auto& [file, reason] : cases) {
        try {
            (void)openWorkbookFile(Folder / file);
            ADD_FAILURE() << file << " opened";
        } catch (const ReadError& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    }
}

// A BIFF2 worksheet file of another writer: Mac Roman text, 1904 dates, formats listed in order
// and named through XF records, formulas. The texts are those SheetJS shows.
TEST(SharedWorkbooks, Biff2WorksheetShowsTheTextsOfTheReference)
{
    const fs::path path = Folder / "ExcelDataReader__as3xls_BIFF2.xls";
    if (!fs::exists(path)) {
        GTEST_SKIP() << "the shared test data is not there";
    }
    std::ifstream in(Folder / "expected" / (path.filename().string() + ".sheetjs.json"));
    const auto expected = nlohmann::json::parse(in);
    const auto workbook = openWorkbookFile(path);
    ASSERT_EQ(workbook->sheetCount(), 1);
    EXPECT_EQ(workbook->sheetName(1), "ExcelDataReader__as3xls_BIFF2");
    const Sheet sheet = workbook->loadSheet(1);
    EXPECT_EQ(sheet.styles().dateSystem, format::DateSystem::Date1904);
    const auto& rows = expected["sheets"][0]["rows"];
    ASSERT_EQ(static_cast<std::size_t>(sheet.usedRange().lastRow), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const auto row = static_cast<std::int32_t>(r + 1);
            const auto column = static_cast<std::int32_t>(c + 1);
            EXPECT_EQ(sheet.text(row, column), rows[r][c].value("text", ""))
                << "row " << row << ", column " << column;
        }
    }
}

// SheetJS's range is the box of every stored cell element, our used-range rule.
TEST(SharedWorkbooks, UsedRangesMatchTheStoredCellBoxOfTheReference)
{
    const auto paths = openXmlWorkbooks();
    if (paths.empty()) {
        GTEST_SKIP() << "the shared test data is not there";
    }
    for (const fs::path& path : paths) {
        const fs::path reference =
            Folder / "expected" / (path.filename().string() + ".sheetjs.json");
        std::ifstream in(reference);
        if (!in) {
            continue;
        }
        const auto expected = nlohmann::json::parse(in);
        if (!expected.value("opened", false)) {
            continue;
        }
        std::unique_ptr<Workbook> workbook;
        try {
            workbook = openWorkbookFile(path);
        } catch (const ReadError&) {
            continue; // the file both references open as an empty book (openpyxl null_file)
        }
        for (const auto& sheet : expected["sheets"]) {
            if (sheet.value("kind", "worksheet") != "worksheet") {
                continue;
            }
            const std::string name = sheet["name"];
            std::int32_t index = 0;
            for (std::int32_t i = 1; i <= workbook->sheetCount(); ++i) {
                if (workbook->sheetName(i) == name) {
                    index = i;
                }
            }
            ASSERT_NE(index, 0) << path.filename() << " has no sheet " << name;
            const UsedRange want =
                sheet["range"].is_string() ? bottomRight(sheet["range"]) : UsedRange{};
            const UsedRange got = workbook->loadSheet(index).usedRange();
            EXPECT_EQ(std::make_pair(got.lastRow, got.lastColumn),
                      std::make_pair(want.lastRow, want.lastColumn))
                << path.filename() << " sheet " << name << " range " << sheet["range"];
        }
    }
}

} // namespace
} // namespace sheetfray::engine::readers
