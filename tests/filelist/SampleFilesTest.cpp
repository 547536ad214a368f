// The recorded sample list: its scrambled form in the store and its entries.
#include "filelist/SampleFiles.h"

#include "filelist/FileList.h"

#include <gtest/gtest.h>

namespace sheetfray::testing {

namespace {

TEST(SampleList, JoinsFullPathsWithBarsAndSplitsThemAgain)
{
    const std::string list = filelist::composeSampleList(
        "/opt/sheetfray", {"Customers.xlsx", "Sales.xlsx", "Stock.xls"});
    EXPECT_EQ(list,
              "/opt/sheetfray/Samples/Customers.xlsx|/opt/sheetfray/Samples/Sales.xlsx|"
              "/opt/sheetfray/Samples/Stock.xls");
    EXPECT_EQ(filelist::splitSampleList(list).size(), 3U);
    EXPECT_EQ(filelist::splitSampleList(list)[2], "/opt/sheetfray/Samples/Stock.xls");
    EXPECT_EQ(filelist::composeSampleList("/opt/sheetfray", {}), "");
    EXPECT_TRUE(filelist::splitSampleList("").empty());
}

TEST(Scramble, GivesBackEveryByteFromOneTo255)
{
    std::string text;
    for (int code = 1; code <= 255; ++code) {
        text += static_cast<char>(code);
    }
    text += text; // every byte meets more than one key letter
    int yields = 0;
    const std::string stored = filelist::scramble(text, [&] { ++yields; });
    EXPECT_EQ(yields, static_cast<int>(text.size()));
    EXPECT_EQ(stored.find(text.substr(0, 8)), std::string::npos);
    EXPECT_EQ(filelist::unscramble(stored, {}), text);
}

TEST(Scramble, KeepsTheStoredFormOfEarlierStarts)
{
    // Stores written by earlier starts must still unscramble: "ab" shifted by the key's "w"
    // (119) and "e" (101), then 255 shifted by "x" (120) wrapping round to 120.
    EXPECT_EQ(filelist::scramble("ab\xff", {}), "\xc3\x98\xc3\x87x");
    // A hand-edited character beyond the codes the store holds names no file.
    EXPECT_EQ(filelist::unscramble("\xe2\x82\xac", {}), "?");
}

TEST(IsInFileList, ComparesWholeTextsWithLetterCase)
{
    filelist::FileList files;
    files.append("/s/Sales.xlsx");
    EXPECT_TRUE(filelist::isInFileList(files, "/s/Sales.xlsx"));
    EXPECT_FALSE(filelist::isInFileList(files, "/s/sales.xlsx"));
    EXPECT_FALSE(filelist::isInFileList(files, "/s/Sales.xls"));
}

} // namespace

} // namespace sheetfray::testing
