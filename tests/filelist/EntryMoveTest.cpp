// Reordering by dragging: the dragged path swaps with each entry the pointer passes.
#include "filelist/EntryMove.h"

#include <gtest/gtest.h>

namespace sheetfray::testing {

namespace {

class EntryMove : public ::testing::Test
{
protected:
    filelist::FileList files;
    filelist::EntryMove move{files};

    void fill(std::initializer_list<const char*> texts)
    {
        for (const char* text : texts) {
            files.append(text);
        }
    }

    [[nodiscard]] std::string order() const
    {
        std::string texts;
        for (int i = 1; i <= files.count(); ++i) {
            texts += files.text(i);
        }
        return texts;
    }

    void pressOn(int position)
    {
        move.press();
        move.entryClicked(position);
    }
};

TEST_F(EntryMove, CarriesThePathOverNeighboursAndExchangesOnAJump)
{
    fill({"a", "b", "c", "d", "e"});
    pressOn(1);
    EXPECT_EQ(move.moveOver(2), 2);
    move.moveOver(2); // over itself now
    move.moveOver(3);
    EXPECT_EQ(order(), "bcade");
    move.moveOver(5);
    EXPECT_EQ(order(), "bceda");
    EXPECT_EQ(move.dragEntry(), 5);
}

TEST_F(EntryMove, NotesMoveWithTheirEntriesAndGoWithThem)
{
    fill({"a", "b", "c"});
    files.setNote(1, "cannot read a");
    pressOn(1);
    move.moveOver(2);
    move.moveOver(3);
    EXPECT_EQ(order(), "bca");
    EXPECT_EQ(files.note(3), "cannot read a");
    EXPECT_EQ(files.note(1), "");
    files.remove(3);
    files.append("a");
    EXPECT_EQ(files.note(3), "");
    files.setNote(2, "x");
    files.clearNotes();
    EXPECT_EQ(files.note(2), "");
}

TEST_F(EntryMove, LeavesEqualPathsAndEmptySpaceAlone)
{
    fill({"a", "a", "b"});
    pressOn(1);
    EXPECT_EQ(move.moveOver(2), std::nullopt);
    EXPECT_EQ(move.moveOver(std::nullopt), std::nullopt);
    EXPECT_EQ(order(), "aab");
    EXPECT_EQ(move.dragEntry(), 1);
}

TEST_F(EntryMove, NeedsAClickedEntryAndAHeldButton)
{
    fill({"a", "b", "c"});
    move.press();
    move.moveOver(2);
    EXPECT_EQ(order(), "abc");
    move.entryClicked(1);
    move.release();
    move.moveOver(2);
    EXPECT_EQ(order(), "abc");
}

TEST_F(EntryMove, KeepsTheClickedPathForLaterPressesAnywhere)
{
    fill({"a", "b", "c", "d"});
    pressOn(1);
    move.moveOver(2);
    move.release();
    // A press on empty space, then moves: the same path moves on.
    move.press();
    move.moveOver(4);
    EXPECT_EQ(order(), "bdca");
}

TEST_F(EntryMove, FollowsItsEntryWhenOthersAreRemovedAndForgetsItWhenItGoes)
{
    fill({"a", "b", "c", "d"});
    pressOn(3);
    files.remove(1);
    move.entryRemoved(1);
    EXPECT_EQ(move.dragEntry(), 2);
    move.moveOver(3);
    EXPECT_EQ(order(), "bdc");
    files.remove(3);
    move.entryRemoved(3);
    EXPECT_EQ(move.dragEntry(), std::nullopt);
    move.moveOver(1);
    EXPECT_EQ(order(), "bd");
    pressOn(2);
    files.clear();
    move.entriesCleared();
    EXPECT_EQ(move.moveOver(1), std::nullopt);
}

} // namespace

} // namespace sheetfray::testing
