#include "platform/LocaleSetup.h"

#include <gtest/gtest.h>

namespace sheetfray::testing {
namespace {

using platform::formatCodeFromStrftime;
using platform::LocaleInfo;
using platform::strftimeLongDate;
using platform::strftimeWithoutSeconds;
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
    EXPECT_EQ(formatCodeFromStrftime("%-d.%-m.%Y %-H:%M"), "d.m.yyyy h:mm");
}

TEST(LocaleSetup, TimePatternsLoseTheirSeconds)
{
    EXPECT_EQ(strftimeWithoutSeconds("%H:%M:%S"), "%H:%M");
    EXPECT_EQ(strftimeWithoutSeconds("%T"), "%H:%M");
    EXPECT_EQ(strftimeWithoutSeconds("%r"), "%I:%M %p");
    EXPECT_EQ(strftimeWithoutSeconds("%H.%M.%S"), "%H.%M");
    EXPECT_EQ(strftimeWithoutSeconds("%l:%M:%S %P %Z"), "%l:%M %P %Z");
}

TEST(LocaleSetup, LongDateIsDateOfDateCommandPattern)
{
    EXPECT_EQ(strftimeLongDate("%a %-d. %b %H:%M:%S %Z %Y"), "%A %-d. %B %Y"); // de_DE
    EXPECT_EQ(strftimeLongDate("%a %d %b %Y %T %Z"), "%A %d %B %Y"); // fr_FR
    EXPECT_EQ(strftimeLongDate("%a %b %e %r %Z %Y"), "%A %B %e %Y"); // en_US
    EXPECT_EQ(strftimeLongDate("%Y年 %m月 %d日 %A %H:%M:%S %Z"), "%Y年 %m月 %d日 %A"); // ja_JP
    EXPECT_EQ(strftimeLongDate(""), "");
}

TEST(LocaleSetup, PosixLocaleGivesUtf8AndEnUsForms)
{
    const LocaleInfo posix{.codeset = "ANSI_X3.4-1968",
                           .decimalPoint = ".",
                           .dateFormat = "%m/%d/%y",
                           .timeFormat = "%H:%M:%S",
                           .isPosix = true,
                           .thousandsSeparator = "",
                           .longDateFormat = "%a %b %e %H:%M:%S %Z %Y",
                           .name = "C"};
    const TextSetup setup = textSetupFor(posix);
    EXPECT_TRUE(setup.codePage.isUtf8());
    EXPECT_EQ(setup.valueLocale.shortDate, "m/d/yyyy");
    EXPECT_EQ(setup.displayLocale.thousandsSeparator, ",");
    EXPECT_EQ(setup.displayLocale.shortDate, "m/d/yyyy");
    EXPECT_EQ(setup.displayLocale.longTime, "h:mm:ss AM/PM");
}

// Displayed texts take a locale's separators and its date and time forms, except that en_US
// keeps the built-in forms the application shows there (the C library pads its month and day).
TEST(LocaleSetup, DisplayFormsFollowTheLocale)
{
    const LocaleInfo german{.codeset = "UTF-8",
                            .decimalPoint = ",",
                            .dateFormat = "%d.%m.%Y",
                            .timeFormat = "%T",
                            .isPosix = false,
                            .thousandsSeparator = ".",
                            .longDateFormat = "%a %-d. %b %H:%M:%S %Z %Y",
                            .name = "de_DE.UTF-8"};
    const auto de = textSetupFor(german).displayLocale;
    EXPECT_EQ(de.decimalSeparator, ",");
    EXPECT_EQ(de.thousandsSeparator, ".");
    EXPECT_EQ(de.dateSeparator, ".");
    EXPECT_EQ(de.shortDate, "dd.mm.yyyy");
    EXPECT_EQ(de.shortTime, "hh:mm");
    EXPECT_EQ(de.time, "hh:mm:ss");
    EXPECT_EQ(de.longTime, "hh:mm:ss");
    EXPECT_EQ(de.longDate, "dddd d. mmmm yyyy");

    const LocaleInfo american{.codeset = "UTF-8",
                              .decimalPoint = ".",
                              .dateFormat = "%m/%d/%Y",
                              .timeFormat = "%r",
                              .isPosix = false,
                              .thousandsSeparator = ",",
                              .longDateFormat = "%a %b %e %r %Z %Y",
                              .name = "en_US.UTF-8"};
    const auto us = textSetupFor(american).displayLocale;
    const auto enUS = engine::format::DisplayLocale::enUS();
    EXPECT_EQ(us.decimalSeparator, enUS.decimalSeparator);
    EXPECT_EQ(us.thousandsSeparator, enUS.thousandsSeparator);
    EXPECT_EQ(us.dateSeparator, enUS.dateSeparator);
    EXPECT_EQ(us.shortDate, enUS.shortDate);
    EXPECT_EQ(us.shortTime, enUS.shortTime);
    EXPECT_EQ(us.time, enUS.time);
    EXPECT_EQ(us.longDate, enUS.longDate);
    EXPECT_EQ(us.longTime, enUS.longTime);
}

TEST(LocaleSetup, SingleByteLocaleKeepsItsCharacterSet)
{
    const LocaleInfo german{.codeset = "ISO-8859-1",
                            .decimalPoint = ",",
                            .dateFormat = "%d.%m.%Y",
                            .timeFormat = "%T",
                            .isPosix = false,
                            .thousandsSeparator = ".",
                            .longDateFormat = "%a %-d. %b %H:%M:%S %Z %Y",
                            .name = "de_DE.ISO-8859-1"};
    const TextSetup setup = textSetupFor(german);
    EXPECT_FALSE(setup.codePage.isUtf8());
    EXPECT_EQ(setup.valueLocale.decimalSeparator, ",");
    EXPECT_EQ(setup.valueLocale.shortDate, "dd.mm.yyyy");
    EXPECT_EQ(setup.displayLocale.thousandsSeparator, ".");
    const LocaleInfo unknown{.codeset = "NO-SUCH-SET",
                             .decimalPoint = ".",
                             .dateFormat = "",
                             .timeFormat = "",
                             .isPosix = false,
                             .thousandsSeparator = ",",
                             .longDateFormat = "",
                             .name = "xx_XX"};
    const TextSetup fallback = textSetupFor(unknown);
    EXPECT_TRUE(fallback.codePage.isUtf8());
    EXPECT_FALSE(fallback.warning.empty());
}

} // namespace
} // namespace sheetfray::testing
