#include "support/Text.h"

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

} // namespace
} // namespace sheetfray::testing
