#include "engine/Naming.h"

#include "engine/NameRecord.h"
#include "tests/fakes/FakeHost.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace sheetfray::testing {
namespace {

using engine::CodePage;

struct Pair
{
    std::string input;
    std::string expected;
};

TEST(ColumnLetters, BijectiveBase26)
{
    const std::vector<std::pair<int, std::string>> cases{{1, "A"},
                                                         {26, "Z"},
                                                         {27, "AA"},
                                                         {52, "AZ"},
                                                         {53, "BA"},
                                                         {702, "ZZ"},
                                                         {703, "AAA"},
                                                         {16384, "XFD"},
                                                         {0, ""}};
    for (const auto& [column, letters] : cases) {
        EXPECT_EQ(engine::ColumnLetters(column), letters) << column;
    }
}

TEST(CleanFirstValue, RemovesWhatNamesCannotHold)
{
    const std::vector<Pair> cases{
        {"Total: 5/7", "Total 57"},
        {R"(a\b'c>d<e~f*g?h)", "abcdefgh"},
        {"x;y", "x y"},
        {"  padded  ", "padded"},
        {"\ttab\t", "\ttab\t"}, // tabs are not trimmed here
        {"two\r\nlines\rend", "twolinesend"},
        {"keep\nlf", "keep\nlf"},
        {"quote\"bar|", "quote\"bar|"},
        {";;", ""},
    };
    for (const Pair& c : cases) {
        EXPECT_EQ(engine::CleanFirstValue(c.input), c.expected) << c.input;
    }
}

class CleanValueTest : public ::testing::Test
{
protected:
    RecordingReporter reporter;

    std::string clean(std::string_view value, const CodePage& page)
    {
        return engine::CleanValue(value, 5, 1, "Data", "Book1.xlsx", page, reporter);
    }
};

TEST_F(CleanValueTest, Windows1252DropsWhatThePageLacksAndItsC1Block)
{
    const CodePage page = CodePage::singleByte("WINDOWS-1252");
    // Cyrillic is not in the page: each letter counts as "?".
    EXPECT_EQ(clean("\xD0\x9C\xD0\xB8\xD1\x80", page), "???");
    // Typographic quotes, the euro sign and the letters of 0x80..0x9F are removed.
    EXPECT_EQ(clean("\xE2\x80\x9CPrice\xE2\x80\x9D \xE2\x82\xAC"
                    "5 \xC5\xA0\xC5\x92\xC5\xBD\xC5\xA1\xC5\x93\xC5\xBE\xC5\xB8",
                    page),
              "Price 5 ");
    // Latin-1 letters survive, y with diaeresis (code 255) does not; blanks are trimmed after.
    EXPECT_EQ(clean("caf\xC3\xA9 \xC3\xBF", page), "caf\xC3\xA9");
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(CleanValueTest, Utf8KeepsEveryScriptAndRemovesOnlyControls)
{
    const CodePage page = CodePage::utf8();
    EXPECT_EQ(clean("\xD0\x9C\xD0\xB8\xD1\x80 \xE2\x82\xAC \xC3\xBF", page),
              "\xD0\x9C\xD0\xB8\xD1\x80 \xE2\x82\xAC \xC3\xBF");
    // Tabs, line breaks, DEL and the C1 controls (U+0080..U+009F) go.
    EXPECT_EQ(clean("a\tb\r\nc\x7F"
                    "d\xC2\x85"
                    "e",
                    page),
              "abcde");
}

TEST_F(CleanValueTest, TrimsBlanksBeforeRemovingControls)
{
    const CodePage page = CodePage::utf8();
    EXPECT_EQ(clean("  a b  ", page), "a b");
    // The tab shields the blank from trimming; removing it afterwards leaves the blank.
    EXPECT_EQ(clean("\t x", page), " x");
}

TEST_F(CleanValueTest, LongValueIsCutToWhatANameHoldsAtACharacter)
{
    const CodePage page = CodePage::utf8();
    const std::string e = "\xC3\xA9";
    std::string many;
    for (int i = 0; i < 300; ++i) {
        many += e;
    }
    std::string cut;
    for (int i = 0; i < 127; ++i) {
        cut += e;
    }
    // Leading blanks are trimmed anyway, so they do not count.
    EXPECT_EQ(clean("   " + many, page), cut);
    EXPECT_EQ(clean(std::string(253, 'a') + e + "z", page), std::string(253, 'a') + e);
    EXPECT_EQ(clean(std::string(254, 'a') + e, page), std::string(254, 'a'));
    EXPECT_EQ(clean(std::string(64u << 20, 'x'), page).size(), engine::MostNameBytes);
}

TEST_F(CleanValueTest, NothingLeftGivesWorkbookSheetAndIndices)
{
    for (const char* empty : {"", "   ", "\t\r\n"}) {
        EXPECT_EQ(clean(empty, CodePage::utf8()), "Book1_Data_5_1") << empty;
    }
    EXPECT_EQ(clean("\x7F", CodePage::singleByte("WINDOWS-1252")), "Book1_Data_5_1");
}

TEST(CleanFileName, AppliesCharacterRulesToTheWholePathThenTheRemovalList)
{
    RecordingReporter reporter;
    const CodePage page = CodePage::singleByte("WINDOWS-1252");
    EXPECT_EQ(engine::CleanFileName("/out/\xD0\x96/x\t.txt", "", page, reporter), "/out/?/x.txt");
    EXPECT_EQ(
        engine::CleanFileName("/out/draft copy.txt", " copy, ,draft", CodePage::utf8(), reporter),
        "/out/.txt");
    // An empty result stays empty: there is no fallback for a whole path.
    EXPECT_EQ(engine::CleanFileName("  ", "", page, reporter), "");
}

TEST(PathHelpers, StripFolderAndNormalize)
{
    EXPECT_EQ(engine::StripExtension("Book1.xlsx"), "Book1");
    EXPECT_EQ(engine::StripExtension("a.b.xlsx"), "a.b");
    EXPECT_EQ(engine::StripExtension(".hidden"), ".hidden");
    EXPECT_EQ(engine::StripExtension("Book1"), "Book1");
    EXPECT_EQ(engine::StripExtension(""), "");

    EXPECT_EQ(engine::FolderOfPath("/in/Book1.xlsx"), "/in/");
    EXPECT_EQ(engine::FolderOfPath("Book1.xlsx"), "");
    EXPECT_EQ(engine::fileNameOfPath("/in/Book1.xlsx"), "Book1.xlsx");
    EXPECT_EQ(engine::fileNameOfPath("Book1.xlsx"), "Book1.xlsx");

    EXPECT_EQ(engine::NormalizePath("/src//Book1_3.txt"), "/src/Book1_3.txt");
    EXPECT_EQ(engine::NormalizePath("//server/share//out/A1.txt"), "/server/share/out/A1.txt");
    EXPECT_EQ(engine::NormalizePath("/a///b"), "/a//b"); // pairs do not overlap
    EXPECT_EQ(engine::NormalizePath("/a////b"), "/a//b");
}

TEST(BuildOutputName, EachScheme)
{
    using engine::NamingScheme;
    const engine::CellLocation c5{3, 5};
    EXPECT_EQ(
        engine::BuildOutputName("/out/Book1", c5, "v", 12, NamingScheme::FileNamePlusNumber, "f"),
        "/out/Book1_12");
    EXPECT_EQ(engine::BuildOutputName("/out/Book1", c5, "v", 12, NamingScheme::CellLocation, "f"),
              "/out/C5");
    EXPECT_EQ(
        engine::BuildOutputName("/out/Book1", {53, 1}, "v", 1, NamingScheme::CellLocation, "f"),
        "/out/BA1");
    EXPECT_EQ(engine::BuildOutputName(
                  "/out/Book1", c5, "Total: 5/7", 1, NamingScheme::FirstCellValue, "f"),
              "/out/Total 57");
    EXPECT_EQ(engine::BuildOutputName(
                  "/out/Book1", c5, "???", 1, NamingScheme::FirstCellValue, "Book1_S_5_3"),
              "/out/Book1_S_5_3");
    EXPECT_EQ(engine::BuildOutputName("Book1", c5, "v", 1, NamingScheme::CellLocation, "f"), "C5");
}

// The record keeps numbered names as runs and the rest as hashes; whatever the order names
// come in, it must answer as a plain set of them would. Sequences mix rising runs (as splits
// write), gaps, runs that restart below, padded widths and names with no number.
TEST(NameRecord, AnswersAsASetOfTheNamesWould)
{
    const std::vector<std::string> stems{"out/Book1_", "out/C", "out/", "out/x9y", "out/R ("};
    const std::vector<std::string> extensions{".txt", "", ".csv"};
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        engine::NameRecord record;
        std::set<std::string> names;
        std::vector<std::string> asked;
        auto name = [&](std::uint64_t number, std::size_t stem, std::size_t extension, int width) {
            std::string digits = std::to_string(number);
            if (static_cast<int>(digits.size()) < width) {
                digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
            }
            return stems[stem] + digits + extensions[extension];
        };
        std::uint64_t next = random() % 20;
        for (int step = 0; step < 400; ++step) {
            const std::size_t stem = random() % stems.size();
            const std::size_t extension = random() % extensions.size();
            const int width = random() % 4 == 0 ? 3 : 1;
            const auto choice = random() % 10;
            std::string path;
            if (choice < 6) {
                path = name(next++, stem, extension, width); // rising
            } else if (choice < 8) {
                next = random() % 60; // jump, back or ahead
                path = name(next, stem, extension, width);
            } else if (choice < 9) {
                path =
                    stems[stem] + "name (" + std::to_string(next++) + ")" + extensions[extension];
            } else {
                path = stems[stem] + extensions[extension]; // nothing but the stem
            }
            asked.push_back(path);
            record.insert(path);
            names.insert(path);
            // Rising numbers under one stem, as a split by number writes them.
            for (int i = 0; i < 5 && choice < 3; ++i) {
                std::string more = name(next++, 0, 0, 1);
                asked.push_back(more);
                record.insert(more);
                names.insert(more);
            }
        }
        for (std::uint64_t number = 0; number < 200; ++number) {
            for (std::size_t stem = 0; stem < stems.size(); ++stem) {
                for (std::size_t extension = 0; extension < extensions.size(); ++extension) {
                    for (const int width : {1, 2, 3}) {
                        asked.push_back(name(number, stem, extension, width));
                    }
                }
            }
        }
        for (const std::string& path : asked) {
            ASSERT_EQ(record.contains(path), names.contains(path)) << path << " in round " << round;
        }
    }
}

} // namespace
} // namespace sheetfray::testing
