// Spreadsheet-kind output files (tab-separated text named ".xls") read back as the cells they
// were written from.
#include "engine/Split.h"
#include "engine/readers/FileHost.h"
#include "tests/fakes/FakeHost.h"
#include "tests/fakes/TempDir.h"

#include <gtest/gtest.h>

namespace sheetfray::testing {
namespace {

using engine::readers::openWorkbookFile;

// Texts that survive the format: no tabs, line breaks or "|" (which the output turns into tabs).
const std::vector<std::vector<std::string>> Rows = {
    {"Name", "Qty", "Note"},
    {"Pen", "3", "\"quoted\" and 5\" long"},
    {" café ", "", "Ünïcödé"},
};

class OwnOutput : public ::testing::TestWithParam<const char*>, protected SplitHarness
{
protected:
    TempDir out;

    void SetUp() override
    {
        if (std::string(GetParam()) != "UTF-8") {
            codePage = engine::CodePage::singleByte(GetParam());
        }
        controls.spreadsheet = true;
        hosts.books["/in/book.xlsx"].sheets.push_back({"Sheet1", table(Rows)});
    }

    std::string base() const { return out.str() + "/book"; }

    // The cells of row 1 of an output file read back, "" where it has none.
    std::vector<std::string> readBack(int number, std::size_t count) const
    {
        const auto book = openWorkbookFile(base() + "_" + std::to_string(number) + ".xls");
        const engine::Sheet sheet = book->loadSheet(1);
        EXPECT_EQ(sheet.usedRange().lastRow, 1);
        std::vector<std::string> cells;
        for (std::size_t c = 1; c <= count; ++c) {
            cells.push_back(sheet.text(1, static_cast<std::int32_t>(c)));
        }
        EXPECT_LE(sheet.usedRange().lastColumn, static_cast<std::int32_t>(count));
        return cells;
    }
};

TEST_P(OwnOutput, RowFilesReadBackAsTheirRows)
{
    engine::SaveEachRow(context(), "/in/book.xlsx", base(), "|");
    ASSERT_TRUE(reporter.reports.empty());
    for (std::size_t r = 0; r < Rows.size(); ++r) {
        EXPECT_EQ(readBack(static_cast<int>(r) + 1, Rows[r].size()), Rows[r]) << "row " << r + 1;
    }
}

TEST_P(OwnOutput, ColumnFilesReadBackAsOneLineOfTheirCells)
{
    engine::SaveEachCol(context(), "/in/book.xlsx", base(), "|");
    ASSERT_TRUE(reporter.reports.empty());
    for (std::size_t c = 0; c < Rows.front().size(); ++c) {
        std::vector<std::string> column;
        for (const auto& row : Rows) {
            column.push_back(row[c]);
        }
        EXPECT_EQ(readBack(static_cast<int>(c) + 1, column.size()), column) << "column " << c + 1;
    }
}

TEST_P(OwnOutput, CellFilesReadBackAsTheirValue)
{
    engine::SaveEachCell(context(), "/in/book.xlsx", base());
    ASSERT_TRUE(reporter.reports.empty());
    int number = 0;
    for (const auto& row : Rows) {
        for (const std::string& text : row) {
            if (!text.empty()) {
                EXPECT_EQ(readBack(++number, 1), std::vector<std::string>{text});
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(CodePages,
                         OwnOutput,
                         ::testing::Values("UTF-8", "WINDOWS-1252"),
                         [](const auto& row) {
                             return std::string(row.param) == "UTF-8" ? "Utf8" : "Windows1252";
                         });

} // namespace
} // namespace sheetfray::testing
