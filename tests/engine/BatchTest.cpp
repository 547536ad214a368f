#include "engine/Batch.h"

#include <gtest/gtest.h>

namespace sheetfray::testing {
namespace {

using engine::FolderChoice;

TEST(Batch, BaseNameDropsOnlyTheLastExtension)
{
    EXPECT_EQ(engine::baseNameOf("report.2021.xlsx"), "report.2021");
    EXPECT_EQ(engine::baseNameOf("Book1.xls"), "Book1");
    // A name without "." is its own base name rather than losing its last letter.
    EXPECT_EQ(engine::baseNameOf("README"), "README");
}

TEST(Batch, OutputBaseJoinsFolderAndBaseNameAsTheyStand)
{
    EXPECT_EQ(engine::composeOutputBase(FolderChoice::ChosenFolder, "/out", "/data/q1.sales.xlsx"),
              "/out/q1.sales");
    EXPECT_EQ(engine::composeOutputBase(FolderChoice::ChosenFolder, "/out/", "/data/q1.sales.xlsx"),
              "/out//q1.sales");
    EXPECT_EQ(engine::composeOutputBase(FolderChoice::SourceFolder, "/out", "/data/q1.sales.xlsx"),
              "/data//q1.sales");
}

TEST(Batch, SeparatorByChoice)
{
    using engine::SeparatorChoice;
    EXPECT_EQ(engine::separatorText(SeparatorChoice::Enter, "x"), "\r\n");
    EXPECT_EQ(engine::separatorText(SeparatorChoice::CommaSpace, "x"), ", ");
    EXPECT_EQ(engine::separatorText(SeparatorChoice::Comma, "x"), ",");
    EXPECT_EQ(engine::separatorText(SeparatorChoice::Space, "x"), " ");
    EXPECT_EQ(engine::separatorText(SeparatorChoice::Custom, "; "), "; ");
    EXPECT_EQ(engine::separatorText(SeparatorChoice::Custom, ""), "");
}

} // namespace
} // namespace sheetfray::testing
