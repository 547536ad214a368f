// One workbook saved by the office suite as .xlsx, .xls and .ods: every reader must give the
// same sheets, used ranges, displayed texts and values, and the texts the suite itself showed
// (its "as shown" text export, contract.csv).
#include "engine/readers/FileHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace sheetfray::testing {
namespace {

using engine::CellValue;
using engine::readers::openWorkbookFile;

const std::string DataFolder = SHEETFRAY_TEST_DATA;

struct LoadedBook
{
    std::vector<std::string> names;
    std::vector<engine::Sheet> sheets;
};

LoadedBook load(const std::string& fileName)
{
    auto book = openWorkbookFile(DataFolder + "/" + fileName);
    LoadedBook loaded;
    for (std::int32_t i = 1; i <= book->sheetCount(); ++i) {
        loaded.names.emplace_back(book->sheetName(i));
        loaded.sheets.push_back(book->loadSheet(i));
    }
    return loaded;
}

struct Cell
{
    std::int32_t row = 0;
    std::int32_t column = 0;
};

// The first difference between two sheets, or "" when they hold the same cells (but for the
// cell skipped).
std::string firstDifference(const engine::Sheet& a, const engine::Sheet& b, Cell skipped = {})
{
    if (a.usedRange() != b.usedRange()) {
        return "used ranges differ";
    }
    for (std::int32_t row = 1; row <= a.usedRange().lastRow; ++row) {
        for (std::int32_t column = 1; column <= a.usedRange().lastColumn; ++column) {
            if (row == skipped.row && column == skipped.column) {
                continue;
            }
            const std::string where =
                "row " + std::to_string(row) + ", column " + std::to_string(column) + ": ";
            if (a.text(row, column) != b.text(row, column)) {
                return where + "\"" + a.text(row, column) + "\" against \"" + b.text(row, column)
                    + "\"";
            }
            const CellValue x = a.value(row, column);
            const CellValue y = b.value(row, column);
            if (x.kind != y.kind) {
                return where + "value kinds differ";
            }
            const bool numeric =
                x.kind == CellValue::Kind::Number || x.kind == CellValue::Kind::Date;
            if ((numeric && std::abs(x.number - y.number) > 1e-9) || x.boolean != y.boolean
                || x.text != y.text) {
                return where + "values differ";
            }
        }
    }
    return "";
}

class Contract : public ::testing::TestWithParam<const char*>
{};

TEST_P(Contract, SameSheetsCellsAndValuesAsTheXlsxCopy)
{
    const LoadedBook reference = load("contract.xlsx");
    const LoadedBook other = load(GetParam());
    ASSERT_EQ(other.names, (std::vector<std::string>{"Cells", "Hidden", "Numbers"}));
    ASSERT_EQ(other.names, reference.names);
    for (std::size_t i = 0; i < reference.sheets.size(); ++i) {
        EXPECT_EQ(firstDifference(reference.sheets[i], other.sheets[i]), "")
            << "sheet " << reference.names[i];
    }
}

TEST_P(Contract, FirstSheetShowsWhatTheOfficeSuiteShowed)
{
    const engine::Sheet shown = load("contract.csv").sheets.front();
    const engine::Sheet sheet = load(GetParam()).sheets.front();
    ASSERT_EQ(shown.usedRange(), sheet.usedRange());
    for (std::int32_t row = 1; row <= shown.usedRange().lastRow; ++row) {
        for (std::int32_t column = 1; column <= shown.usedRange().lastColumn; ++column) {
            EXPECT_EQ(sheet.text(row, column), shown.text(row, column))
                << "row " << row << ", column " << column;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats,
                         Contract,
                         ::testing::Values("contract.xlsx",
                                           "contract.xls",
                                           "contract.ods",
                                           "contract.fods",
                                           "contract-no-mimetype.ods"),
                         [](const auto& row) {
                             std::string name = std::string(row.param).substr(9);
                             std::ranges::replace_if(
                                 name, [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

// The suite's text export of the first sheet in UTF-16 (with its byte-order mark, and in the
// other byte order without one) reads as its UTF-8 export does.
class ContractText : public ::testing::TestWithParam<const char*>
{};

TEST_P(ContractText, ReadsAsTheUtf8Export)
{
    EXPECT_EQ(firstDifference(load("contract.csv").sheets.front(), load(GetParam()).sheets.front()),
              "");
}

INSTANTIATE_TEST_SUITE_P(Encodings,
                         ContractText,
                         ::testing::Values("contract-utf16.csv", "contract-utf16be.csv"),
                         [](const auto& row) {
                             const std::string name = row.param;
                             return name.substr(9, name.find('.') - 9);
                         });

// The hand-written source stores no displayed texts: its cells show through their number,
// percentage, currency, date and time styles. It agrees with the suite's copies in every
// cell but C4 of "Cells", whose formula =1/0 it stores with the value 0 (the suite computed
// the error when it loaded the file; this program reads stored results).
TEST(Contract, HandWrittenSourceShowsItsValuesThroughItsStyles)
{
    const LoadedBook reference = load("contract.xlsx");
    const LoadedBook source = load("contract-source.fods");
    ASSERT_EQ(source.names, reference.names);
    const Cell uncomputed{4, 3};
    EXPECT_EQ(source.sheets[0].text(4, 3), "0");
    for (std::size_t i = 0; i < reference.sheets.size(); ++i) {
        EXPECT_EQ(
            firstDifference(reference.sheets[i], source.sheets[i], i == 0 ? uncomputed : Cell{}),
            "")
            << "sheet " << reference.names[i];
    }
}

TEST(Contract, ValuesKeepTheirKinds)
{
    // Spot checks on the .ods copy, whose texts come from the file and values from attributes.
    const engine::Sheet sheet = load("contract.ods").sheets.front();
    EXPECT_EQ(sheet.value(2, 4).kind, CellValue::Kind::Date);
    EXPECT_DOUBLE_EQ(sheet.value(2, 4).number, 45306); // 15 January 2024
    EXPECT_DOUBLE_EQ(sheet.value(2, 5).number, 0.125);
    EXPECT_EQ(sheet.value(2, 6).kind, CellValue::Kind::Boolean);
    EXPECT_EQ(sheet.value(4, 3).kind, CellValue::Kind::Error);
    EXPECT_DOUBLE_EQ(sheet.value(4, 4).number, 0.5);
}

} // namespace
} // namespace sheetfray::testing
