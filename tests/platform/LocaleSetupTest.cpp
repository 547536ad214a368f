#include "platform/LocaleSetup.h"

#include <gtest/gtest.h>

namespace sheetfray::testing {
namespace {

using platform::formatCodeFromStrftime;
using platform::LocaleInfo;
using platform::TextSetup;
using platform::textSetupFor;

TEST(LocaleSetup, StrftimePatternsBecomeFormatCodes)
{
    EXPECT_EQ(formatCodeFromStrftime("%m/%d/%Y"), "mm/dd/yyyy");
    EXPECT_EQ(formatCodeFromStrftime("%d.%m.%Y"), "dd.mm.yyyy");
    EXPECT_EQ(formatCodeFromStrftime("%Y-%m-%d"), "yyyy-mm-dd");
    EXPECT_EQ(formatCodeFromStrftime("%r"), "hh:mm:ss AM/PM");
    EXPECT_EQ(formatCodeFromStrftime("%H:%M:%S"), "hh:mm:ss");
    EXPECT_EQ(formatCodeFromStrftime("%e de %B"), "d \\d\\e mmmm");
}

TEST(LocaleSetup, PosixLocaleGivesUtf8AndEnUsForms)
{
    LocaleInfo posix{"ANSI_X3.4-1968", ".", "%m/%d/%y", "%H:%M:%S", true};
    const TextSetup setup = textSetupFor(posix);
    EXPECT_TRUE(setup.codePage.isUtf8());
    EXPECT_EQ(setup.valueLocale.shortDate, "m/d/yyyy");
}

TEST(LocaleSetup, SingleByteLocaleKeepsItsCharacterSet)
{
    LocaleInfo german{"ISO-8859-1", ",", "%d.%m.%Y", "%T", false};
    const TextSetup setup = textSetupFor(german);
    EXPECT_FALSE(setup.codePage.isUtf8());
    EXPECT_EQ(setup.valueLocale.decimalSeparator, ",");
    EXPECT_EQ(setup.valueLocale.shortDate, "dd.mm.yyyy");
    LocaleInfo unknown{"NO-SUCH-SET", ".", "", "", false};
    const TextSetup fallback = textSetupFor(unknown);
    EXPECT_TRUE(fallback.codePage.isUtf8());
    EXPECT_FALSE(fallback.warning.empty());
}

} // namespace
} // namespace sheetfray::testing
