#include "engine/Sheet.h"

#include "support/Error.h"

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

// A builder that lets rows past the grid sorts them too, however many bits they take, and
// refuses rows past its own limit as it refuses those past the grid by default.
TEST(SheetBuilder, RowsPastTheGridSortWhenAllowed)
{
    constexpr std::int32_t Far = 5'000'000; // more than the sort's packed key holds
    engine::SheetBuilder b("Data", nullptr);
    EXPECT_THROW(b.addNumber(engine::MaxRows + 1, 1, 1, 0), ReadError);
    b.allowRows(Far + 1);
    b.addNumber(Far, 2, 52, 0);
    b.addNumber(Far, 1, 51, 0);
    b.addNumber(3, 1, 31, 0);
    b.addNumber(Far, 2, 99, 0); // the later one at a position wins
    EXPECT_THROW(b.addNumber(Far + 2, 1, 1, 0), ReadError);
    const engine::Sheet sheet = b.finish();
    using Positions = std::vector<std::pair<int, int>>;
    EXPECT_EQ(positions(sheet.columnCells(1)), (Positions{{3, 1}, {Far, 1}}));
    ASSERT_EQ(sheet.cells().size(), 3u);
    EXPECT_EQ(sheet.cells().back().row, Far);
    EXPECT_EQ(sheet.text(Far, 2), "99");
    EXPECT_EQ(sheet.usedRange(), (engine::UsedRange{Far, 2}));
}

// Empty cells are not stored, but widen the used range and clear an earlier cell at their
// position: in order, out of order, and once the store has had to sort to make room.
TEST(SheetBuilder, EmptyCellsWidenTheRangeAndClearWhatTheyFollow)
{
    engine::SheetBuilder b("Data", nullptr);
    b.addNumber(1, 1, 11, 0);
    b.addNumber(1, 3, 13, 0);
    b.addEmpty(1, 3); // in order: clears C1
    b.addEmpty(1, 2); // nothing to clear
    b.addNumber(2, 1, 21, 0);
    b.addNumber(1, 2, 12, 0); // out of order from here
    b.addEmpty(1, 1); // clears A1
    b.addEmpty(6, 5);
    for (std::int32_t i = 0; i < 70'000; ++i) { // past the room the store sorts at
        b.addNumber(3 + i / 1000, 1 + i % 1000, i, 0);
        b.addEmpty(3 + i / 1000, 1 + i % 1000);
    }
    b.addEmpty(2, 1);
    b.addNumber(9, 9, 99, 0);
    const engine::Sheet sheet = b.finish();
    EXPECT_EQ(sheet.usedRange(), (engine::UsedRange{72, 1000}));
    ASSERT_EQ(sheet.cells().size(), 2u);
    EXPECT_EQ(sheet.text(1, 2), "12");
    EXPECT_EQ(sheet.text(9, 9), "99");
}

} // namespace
} // namespace sheetfray::testing
