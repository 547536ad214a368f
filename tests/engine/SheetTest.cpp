#include "engine/Sheet.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace sheetfray::testing {
namespace {

using engine::StoredCell;

std::vector<std::pair<int, int>> positions(const std::vector<const StoredCell*>& cells)
{
    std::vector<std::pair<int, int>> out;
    for (const StoredCell* cell : cells) {
        out.emplace_back(cell->row, cell->column);
    }
    return out;
}

engine::Sheet scattered()
{
    engine::SheetBuilder b("Data", nullptr);
    // Stored out of order, as a file may store them, with B1 stored twice.
    b.addNumber(3, 2, 32, 0);
    b.addNumber(1, 2, 12, 0);
    b.addNumber(2, 1, 21, 0);
    b.addNumber(1, 1, 11, 0);
    b.addNumber(5, 2, 52, 0);
    b.addNumber(1, 2, 99, 0);
    b.addNumber(4, 4, 44, 0);
    return b.finish();
}

TEST(SheetColumnCells, RunTopToBottomWhateverOrderTheFileStoredThem)
{
    const engine::Sheet sheet = scattered();
    using Positions = std::vector<std::pair<int, int>>;
    EXPECT_EQ(positions(sheet.columnCells(2)), (Positions{{1, 2}, {3, 2}, {5, 2}}));
    EXPECT_EQ(positions(sheet.columnCells(1)), (Positions{{1, 1}, {2, 1}}));
    EXPECT_EQ(sheet.columnCells(2).front()->data.number, 99); // the later B1 won
    EXPECT_TRUE(sheet.columnCells(3).empty()); // a column inside the range without cells
    EXPECT_EQ(positions(sheet.columnCells(4)), (Positions{{4, 4}})); // the last column
}

TEST(SheetColumnCells, NothingOutsideTheUsedRange)
{
    const engine::Sheet sheet = scattered();
    EXPECT_TRUE(sheet.columnCells(0).empty());
    EXPECT_TRUE(sheet.columnCells(5).empty());
    EXPECT_TRUE(sheet.columnCells(-1).empty());
    const engine::Sheet empty = engine::SheetBuilder("Empty", nullptr).finish();
    EXPECT_TRUE(empty.columnCells(1).empty());
}

} // namespace
} // namespace sheetfray::testing
