#include "support/Text.h"

#include "support/Quote.h"

#include <gtest/gtest.h>

namespace sheetfray::testing {
namespace {

TEST(Text, LowersAsciiCapitalsOnly)
{
    EXPECT_EQ(asciiLowered("AZaz@[`{09"), "azaz@[`{09");
    // UTF-8 bytes of capitals beyond ASCII ("ÄÉ") keep their bytes.
    EXPECT_EQ(asciiLowered("\xc3\x84\xc3\x89X"), "\xc3\x84\xc3\x89x");
}

TEST(Text, ComparesWithoutAsciiCase)
{
    EXPECT_TRUE(equalsIgnoringAsciiCase("UTF-8", "utf-8"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("utf-8", "utf-"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("\xc3\x84", "\xc3\xa4"));
}

TEST(Text, TrimsTheNamedBlanksAtBothEnds)
{
    EXPECT_EQ(trimBlanks("  a b  "), "a b");
    EXPECT_EQ(trimBlanks("\t a\t"), "\t a\t");
    EXPECT_EQ(trimBlanks("\t a\t", " \t"), "a");
    EXPECT_EQ(trimBlanks("   "), "");
}

TEST(Text, AppendsNumbersInDecimalDigits)
{
    std::string out = "Book1_";
    appendNumber(12, out);
    appendNumber(-2147483647 - 1, out);
    EXPECT_EQ(out, "Book1_12-2147483648");
}

struct ShownCase
{
    const char* name;
    std::string text;
    std::string shown;
};

TEST(QuotedText, EscapesWhatActsOnATerminalAndCutsLongText)
{
    const std::string ellipsis = "\u2026";
    const ShownCase cases[] = {
        {"Plain", "Q3 report", "\"Q3 report\""},
        {"OtherScripts", "Отчёт 報告", "\"Отчёт 報告\""},
        {"TitleAndClear", "\x1b]0;x\x07\x1b[2J", "\"\\x1b]0;x\\x07\\x1b[2J\""},
        {"ShortForms", std::string("a\0b\tc\nd\re", 9), "\"a\\0b\\tc\\nd\\re\""},
        {"DelAndC1", "\x7f\xc2\x9b", "\"\\x7f\\u009b\""},
        {"Reordering",
         "a\xe2\x80\xae"
         "b",
         "\"a\\u202eb\""},
        {"NotUtf8", "caf\xe9 \xc0\xaf \xed\xa0\x80", "\"caf\\xe9 \\xc0\\xaf \\xed\\xa0\\x80\""},
        {"CutShort", "\xe2\x82", "\"\\xe2\\x82\""},
        {"ExactlyTheMost", std::string(200, 'a'), "\"" + std::string(200, 'a') + "\""},
        {"OneMore", std::string(201, 'a'), "\"" + std::string(199, 'a') + ellipsis + "\""},
        {"CountsCharacters",
         [] {
             std::string s;
             for (int i = 0; i < 300; ++i) {
                 s += "\xc3\xa9";
             }
             return s;
         }(),
         [&] {
             std::string s = "\"";
             for (int i = 0; i < 199; ++i) {
                 s += "\xc3\xa9";
             }
             return s + ellipsis + "\"";
         }()},
        {"EscapesInTheCut",
         std::string(300, '\x1b'),
         [&] {
             std::string s = "\"";
             for (int i = 0; i < 199; ++i) {
                 s += "\\x1b";
             }
             return s + ellipsis + "\"";
         }()},
    };
    for (const ShownCase& c : cases) {
        EXPECT_EQ(quotedText(c.text), c.shown) << c.name;
    }
}

TEST(QuotedPath, KeepsTheFolderAndTheStartOfTheName)
{
    const std::string ellipsis = "\u2026";
    EXPECT_EQ(quotedPath("/out/a.txt"), "\"/out/a.txt\"");
    const std::string name(1 << 20, 'n');
    EXPECT_EQ(quotedPath("/out/" + name + ".txt"),
              "\"/out/" + std::string(194, 'n') + ellipsis + "\"");
    // A folder that takes the room alone keeps its start and leaves the name 40 characters.
    const std::string folder = "/" + std::string(300, 'f') + "/";
    EXPECT_EQ(quotedPath(folder + name),
              "\"/" + std::string(157, 'f') + ellipsis + "/" + std::string(39, 'n') + ellipsis
                  + "\"");
    EXPECT_EQ(quotedPath(folder + "a.txt"), "\"/" + std::string(192, 'f') + ellipsis + "/a.txt\"");
    EXPECT_EQ(quotedPath("/out/\x1b[2J.txt"), "\"/out/\\x1b[2J.txt\"");
}

} // namespace
} // namespace sheetfray::testing
