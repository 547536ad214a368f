#include "platform/LocaleSetup.h"

#include <gtest/gtest.h>

#include <string>

namespace sheetfray::testing {
namespace {

using platform::formatCodeFromStrftime;
using platform::LocaleInfo;
using platform::strftimeLongDate;
using platform::strftimeWithoutSeconds;
using platform::TextSetup;
using platform::textSetupFor;

// A locale as the C library describes it, without names of months and days.
LocaleInfo describe(const std::string& name,
                    const std::string& codeset,
                    const std::string& decimalPoint,
                    const std::string& thousandsSeparator,
                    const std::string& dateFormat,
                    const std::string& timeFormat,
                    const std::string& longDateFormat)
{
    LocaleInfo info;
    info.codeset = codeset;
    info.decimalPoint = decimalPoint;
    info.dateFormat = dateFormat;
    info.timeFormat = timeFormat;
    info.isPosix = name == "C";
    info.thousandsSeparator = thousandsSeparator;
    info.longDateFormat = longDateFormat;
    info.name = name;
    return info;
}

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
    const LocaleInfo posix =
        describe("C", "ANSI_X3.4-1968", ".", "", "%m/%d/%y", "%H:%M:%S", "%a %b %e %H:%M:%S %Z %Y");
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
    LocaleInfo german =
        describe("de_DE.UTF-8", "UTF-8", ",", ".", "%d.%m.%Y", "%T", "%a %-d. %b %H:%M:%S %Z %Y");
    german.months[2] = "März";
    const auto withoutAllNames = textSetupFor(german).displayLocale;
    EXPECT_EQ(withoutAllNames.names.months[2], "March");
    german.months = {"Januar",
                     "Februar",
                     "März",
                     "April",
                     "Mai",
                     "Juni",
                     "Juli",
                     "August",
                     "September",
                     "Oktober",
                     "November",
                     "Dezember"};
    const auto de = textSetupFor(german).displayLocale;
    EXPECT_EQ(de.names.months[2], "März");
    EXPECT_EQ(de.names.days[0], "Sunday"); // none given
    EXPECT_EQ(de.decimalSeparator, ",");
    EXPECT_EQ(de.thousandsSeparator, ".");
    EXPECT_EQ(de.dateSeparator, ".");
    EXPECT_EQ(de.shortDate, "dd.mm.yyyy");
    EXPECT_EQ(de.shortTime, "hh:mm");
    EXPECT_EQ(de.time, "hh:mm:ss");
    EXPECT_EQ(de.longTime, "hh:mm:ss");
    EXPECT_EQ(de.longDate, "dddd d. mmmm yyyy");

    LocaleInfo american =
        describe("en_US.UTF-8", "UTF-8", ".", ",", "%m/%d/%Y", "%r", "%a %b %e %r %Z %Y");
    american.months = german.months;
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
    EXPECT_EQ(us.names.months, enUS.names.months);
}

TEST(LocaleSetup, SingleByteLocaleKeepsItsCharacterSet)
{
    const LocaleInfo german = describe(
        "de_DE.ISO-8859-1", "ISO-8859-1", ",", ".", "%d.%m.%Y", "%T", "%a %-d. %b %H:%M:%S %Z %Y");
    const TextSetup setup = textSetupFor(german);
    EXPECT_FALSE(setup.codePage.isUtf8());
    EXPECT_EQ(setup.valueLocale.decimalSeparator, ",");
    EXPECT_EQ(setup.valueLocale.shortDate, "dd.mm.yyyy");
    EXPECT_EQ(setup.displayLocale.thousandsSeparator, ".");
    const LocaleInfo unknown = describe("xx_XX", "NO-SUCH-SET", ".", ",", "", "", "");
    const TextSetup fallback = textSetupFor(unknown);
    EXPECT_TRUE(fallback.codePage.isUtf8());
    EXPECT_FALSE(fallback.warning.empty());
}

} // namespace
} // namespace sheetfray::testing
