// The .xls, .ods and .csv readers against real workbooks of other writers and what an
// independent reader (SheetJS, whose range is the box of the stored cells) saw in them.
#include "engine/readers/FileHost.h"
#include "support/Error.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

namespace sheetfray::testing {
namespace {

namespace fs = std::filesystem;
using engine::readers::openWorkbookFile;

const fs::path Folder = fs::path(SHEETFRAY_SHARED_TESTDATA) / "workbooks";

std::vector<fs::path> workbooks()
{
    std::vector<fs::path> paths;
    if (fs::is_directory(Folder)) {
        for (const auto& entry : fs::directory_iterator(Folder)) {
            const std::string extension = entry.path().extension().string();
            if (extension == ".xls" || extension == ".ods" || extension == ".csv") {
                paths.push_back(entry.path());
            }
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string failure(const fs::path& path)
{
    try {
        const auto book = openWorkbookFile(path);
        for (std::int32_t i = 1; i <= book->sheetCount(); ++i) {
            (void)book->loadSheet(i);
        }
    } catch (const ReadError& e) {
        return e.what();
    }
    return "";
}

TEST(SharedWorkbooks, RefusedOnesAreRefusedForTheRightReason)
{
    if (workbooks().empty()) {
        GTEST_SKIP() << "the shared test data is not there";
    }
    const std::pair<const char*, const char*> cases[] = {
        {"ExcelDataReader__Test_git_issue_242_std_rc4_pwd_password.xls",
         "\": it is password-protected"},
        {"calamine__pass_protected.ods", "\": it is password-protected"},
        {"ExcelDataReader__as3xls_BIFF2.xls", "BIFF2 workbook format, which is not supported"},
        {"calamine__any_sheets.xls",
         "sheet \"Chart\" of \"calamine__any_sheets.xls\": it is a chart"},
    };
    for (const auto& [file, reason] : cases) {
        EXPECT_NE(failure(Folder / file).find(reason), std::string::npos) << file;
    }
}

TEST(SharedWorkbooks, UsedRangesMatchTheStoredCellBoxOfTheReference)
{
    const auto paths = workbooks();
    if (paths.empty()) {
        GTEST_SKIP() << "the shared test data is not there";
    }
    int sheets = 0;
    for (const fs::path& path : paths) {
        const std::string name = path.filename().string();
        std::ifstream in(Folder / "expected" / (name + ".sheetjs.json"));
        const auto expected = nlohmann::json::parse(in);
        std::unique_ptr<engine::Workbook> book;
        try {
            book = openWorkbookFile(path);
        } catch (const ReadError& e) {
            EXPECT_NE(std::string(e.what()).find("\"" + name + "\""), std::string::npos);
            continue;
        }
        if (!expected.value("opened", false)) {
            continue;
        }
        const auto& reference = expected["sheets"];
        ASSERT_EQ(static_cast<std::size_t>(book->sheetCount()), reference.size()) << name;
        for (std::int32_t i = 1; i <= book->sheetCount(); ++i) {
            const auto& sheet = reference[static_cast<std::size_t>(i - 1)];
            if (sheet["range"].is_null()) {
                continue; // a chart sheet, or a sheet without cells
            }
            const std::string range = sheet["range"];
            const std::string corner = range.substr(range.find(':') + 1);
            std::size_t letters = 0;
            engine::UsedRange box{0, 0};
            for (; corner[letters] >= 'A' && corner[letters] <= 'Z'; ++letters) {
                box.lastColumn = box.lastColumn * 26 + (corner[letters] - 'A' + 1);
            }
            box.lastRow = std::stoi(corner.substr(letters));
            EXPECT_EQ(book->loadSheet(i).usedRange(), box) << name << ", sheet " << i;
            ++sheets;
        }
    }
    EXPECT_GT(sheets, 30);
}

} // namespace
} // namespace sheetfray::testing
