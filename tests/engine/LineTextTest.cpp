#include "engine/LineText.h"

#include <gtest/gtest.h>

#include <string>

namespace sheetfray::testing {
namespace {

constexpr std::int32_t Rows = 5000; // long enough for columns to be rendered ahead
constexpr std::int32_t Columns = 7;

// Numbers, texts, booleans and gaps, each telling its row and column apart.
engine::Sheet tallSheet()
{
    engine::SheetBuilder b("Tall", nullptr);
    for (std::int32_t row = 1; row <= Rows; ++row) {
        for (std::int32_t column = 1; column <= Columns; ++column) {
            switch ((row + column) % 4) {
            case 0:
                b.addNumber(row, column, row * 10 + column + 0.25, 0);
                break;
            case 1:
                b.addText(row, column, "r" + std::to_string(row) + "c" + std::to_string(column), 0);
                break;
            case 2:
                b.addBoolean(row, column, row % 2 == 0, 0);
                break;
            default:
                break; // no cell here
            }
        }
    }
    return b.finish();
}

TEST(ColumnsAhead, GivesEachColumnAsTheWalkWouldRenderItAndInOrder)
{
    const engine::Sheet sheet = tallSheet();
    std::vector<engine::LineText> expected(Columns + 1);
    for (std::int32_t column = 1; column <= Columns; ++column) {
        engine::renderColumn(sheet, column, Rows, ", ", expected[column]);
    }
    EXPECT_EQ(expected[3].text.substr(0, 27), "13.25, r2c3, FALSE, , 53.25");
    EXPECT_EQ(expected[3].firstLength, 5u);
    EXPECT_EQ(expected[3].separatorOffsets.size(), static_cast<std::size_t>(Rows));

    // Twice over one walk's buffers, as two sheets of a workbook would use them.
    engine::LineText line;
    for (int pass = 0; pass < 2; ++pass) {
        engine::ColumnsAhead ahead(sheet, Rows, ", ");
        for (std::int32_t column = 1; column <= Columns; ++column) {
            line.clear();
            ahead.next(column, Columns, line);
            EXPECT_EQ(line.text, expected[column].text) << column;
            EXPECT_EQ(line.separatorOffsets, expected[column].separatorOffsets) << column;
            EXPECT_EQ(line.firstLength, expected[column].firstLength) << column;
        }
    }
}

TEST(RenderRow, ALongCellIsNotCopiedIntoTwiceItsRoom)
{
    constexpr std::size_t Size = 16u << 20;
    engine::SheetBuilder b("Long", nullptr);
    b.addText(1, 1, std::string(Size, 'x'), 0);
    b.addText(1, 2, "b", 0);
    const engine::Sheet sheet = b.finish();
    engine::LineText line;
    engine::renderRow(sheet, sheet.rowCells(1), 3, ",", line);
    EXPECT_EQ(line.text.size(), Size + 4);
    EXPECT_LT(line.text.capacity(), Size * 3 / 2);
}

} // namespace
} // namespace sheetfray::testing
