// Number formats beyond the shared vectors: rounding of binary values, the date systems,
// built-in ids, bad and hostile codes, and the value texts of cell files.
#include "engine/format/NumberFormat.h"

#include "engine/format/DisplayLocale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>

namespace sheetfray::engine::format {
namespace {

struct RenderCase
{
    const char* name;
    const char* code;
    double value;
    DateSystem system;
    const char* expected;
};

// Names the case in a failure message.
void PrintTo(const RenderCase& c, std::ostream* os)
{
    *os << c.name << ": " << c.code << " with " << c.value;
}

std::string render(std::string_view code, double value, DateSystem system = DateSystem::Date1900)
{
    std::string out;
    NumberFormat::compile(code).render(value, system, out);
    return out;
}

class NumberFormatRender : public ::testing::TestWithParam<RenderCase>
{};

TEST_P(NumberFormatRender, ShowsTheApplicationsText)
{
    const RenderCase& c = GetParam();
    EXPECT_EQ(render(c.code, c.value, c.system), c.expected) << c.code << " with " << c.value;
}

constexpr auto D1900 = DateSystem::Date1900;
constexpr auto D1904 = DateSystem::Date1904;

// Expected texts as the application shows them; where a case restates a rule, the rule is the
// application's (ECMA-376 Part 1, 18.8.31 for the codes; 18.17.4.1 for the date systems).
INSTANTIATE_TEST_SUITE_P(
    Rules,
    NumberFormatRender,
    ::testing::Values(
        // 1.005 is 1.00499999999999989... in binary; at 15 digits it is 1.005, a decimal tie.
        RenderCase{"BinaryTieRoundsUpAfter15Digits", "0.00", 1.005, D1900, "1.01"},
        RenderCase{"HalfAwayFromZeroNegative", "0.00", -0.125, D1900, "-0.13"},
        RenderCase{"HalfAwayFromZeroInteger", "0", 2.5, D1900, "3"},
        RenderCase{"PercentShiftsDecimalDigits", "0.0%", 0.0295, D1900, "3.0%"},
        RenderCase{"GeneralElevenCharacters", "General", 0.3129617963, D1900, "0.312961796"},
        RenderCase{"GeneralCarriesToScientific", "General", 99999999999.7, D1900, "1E+11"},
        RenderCase{"Builtin14IsLongYear", "m/d/yyyy", 42663, D1900, "10/20/2016"},
        RenderCase{"SerialZeroIsJanuaryZero", "m/d/yyyy", 0, D1900, "1/0/1900"},
        RenderCase{"Serial60IsTheFictitiousLeapDay", "m/d/yyyy", 60, D1900, "2/29/1900"},
        RenderCase{"Serial59IsFebruary28", "m/d/yyyy", 59, D1900, "2/28/1900"},
        RenderCase{"Serial61IsMarch1", "m/d/yyyy ddd", 61, D1900, "3/1/1900 Thu"},
        RenderCase{"Serial1IsASunday", "dddd", 1, D1900, "Sunday"},
        RenderCase{"System1904StartsIn1904", "m/d/yyyy", 0, D1904, "1/1/1904"},
        RenderCase{"System1904LeapDayIsReal", "m/d/yyyy", 59, D1904, "2/29/1904"},
        RenderCase{"System1904NegativeTime", "[h]:mm", -0.5, D1904, "-12:00"},
        RenderCase{"System1900NegativeDate", "m/d/yyyy", -1, D1900, "######"},
        RenderCase{"LastDay", "yyyy-mm-dd", 2958465, D1900, "9999-12-31"},
        RenderCase{"PastLastDay", "yyyy-mm-dd", 2958466, D1900, "######"},
        RenderCase{"TimeRoundsToTheSecondShown", "h:mm:ss", 0.99999999, D1900, "0:00:00"},
        RenderCase{"ElapsedHoursPastADay", "[h]:mm:ss", 1.5, D1900, "36:00:00"},
        RenderCase{"MinutesAfterHours", "h:mm", 0.75, D1900, "18:00"},
        RenderCase{"MonthBeforeDay", "m/d", 45351, D1900, "2/29"},
        RenderCase{"TwelveHourClock", "h:mm AM/PM", 0.5, D1900, "12:00 PM"},
        RenderCase{"CurrencyTagShowsSymbol", "[$€-407] #,##0.00", 1234.5, D1900, "€ 1,234.50"},
        RenderCase{"SystemLongDateTag",
                   "[$-F800]dddd\\,\\ mmmm\\ dd\\,\\ yyyy",
                   42663,
                   D1900,
                   "Thursday, October 20, 2016"},
        RenderCase{"SystemTimeTag", "[$-F400]h:mm:ss\\ AM/PM", 0.75, D1900, "6:00:00 PM"},
        RenderCase{"ColourIgnored", "[Color 10]0.0", 1.25, D1900, "1.3"},
        RenderCase{"FillDropped", "*-0", 7, D1900, "7"},
        RenderCase{"SkipIsOneBlank", "0_)", 7, D1900, "7 "},
        RenderCase{"NoSectionTakesTheValue", "[>100]0;[<-100]0", 5, D1900, "######"},
        RenderCase{"HugeNumberAllDigits", "#,##0", 1e20, D1900, "100,000,000,000,000,000,000"},
        RenderCase{"SubnormalIsZero", "0.0", 5e-324, D1900, "0.0"},
        RenderCase{"FixedDenominatorCarries", "# ?/8", 0.99, D1900, "1    "}),
    [](const ::testing::TestParamInfo<RenderCase>& param) {
        return std::string(param.param.name);
    });

// Displayed texts under a German display locale, and explicit locale tags under any.
struct LocaleCase
{
    const char* name;
    bool german; // the display locale: de_DE's forms, else en-US
    int builtin; // a built-in id, or -1 for the code
    const char* code;
    double value;
    const char* expected;
};

void PrintTo(const LocaleCase& c, std::ostream* os)
{
    *os << c.name;
}

DisplayLocale germanDisplay()
{
    return {
        .decimalSeparator = ",",
        .thousandsSeparator = ".",
        .dateSeparator = ".",
        .shortDate = "dd.mm.yyyy",
        .shortTime = "hh:mm",
        .time = "hh:mm:ss",
        .longDate = "dddd d. mmmm yyyy",
        .longTime = "hh:mm:ss",
        .names = {
            .months = {"Januar",
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
                       "Dezember"},
            .monthAbbreviations = {"Jan",
                                   "Feb",
                                   "Mär",
                                   "Apr",
                                   "Mai",
                                   "Jun",
                                   "Jul",
                                   "Aug",
                                   "Sep",
                                   "Okt",
                                   "Nov",
                                   "Dez"},
            .days =
                {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"},
            .dayAbbreviations = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"}}};
}

// Sets the display locale for one test and restores en-US after it.
class DisplayLocaleScope
{
public:
    explicit DisplayLocaleScope(const DisplayLocale& locale) { setDisplayLocale(locale); }

    ~DisplayLocaleScope() { setDisplayLocale(DisplayLocale::enUS()); }

    DisplayLocaleScope(const DisplayLocaleScope&) = delete;
    DisplayLocaleScope& operator=(const DisplayLocaleScope&) = delete;
};

class LocaleRender : public ::testing::TestWithParam<LocaleCase>
{};

TEST_P(LocaleRender, ShowsTheLocalesText)
{
    const LocaleCase& c = GetParam();
    const DisplayLocaleScope scope(c.german ? germanDisplay() : DisplayLocale::enUS());
    const std::string code = c.builtin >= 0 ? std::string(builtinFormatCode(c.builtin)) : c.code;
    EXPECT_EQ(render(code, c.value), c.expected) << code;
}

INSTANTIATE_TEST_SUITE_P(
    Locales,
    LocaleRender,
    ::testing::Values(
        LocaleCase{"GeneralDecimal", true, -1, "General", 1234.5, "1234,5"},
        LocaleCase{"DefaultFormatIsGeneral", true, 0, "", -0.25, "-0,25"},
        LocaleCase{"GeneralScientific", true, -1, "General", 123456789012, "1,23457E+11"},
        LocaleCase{"GeneralInSection", true, -1, "General\\ \\k\\g", 2.5, "2,5 kg"},
        LocaleCase{"Grouping", true, 4, "", 1234.5, "1.234,50"},
        LocaleCase{"GroupingEveryThreeDigits", true, -1, "#,##0", 1234567, "1.234.567"},
        LocaleCase{"GroupingBeyondPlaceholders", true, -1, "#,##0", 1e9, "1.000.000.000"},
        LocaleCase{"PercentDecimal", true, -1, "0.00%", 0.1234, "12,34%"},
        LocaleCase{"ScientificDecimal", true, -1, "0.00E+00", 12345, "1,23E+04"},
        LocaleCase{"PointWithoutIntegerPlaceholders", true, -1, ".00", 12.5, "12,50"},
        LocaleCase{"FractionHasNoSeparator", true, -1, "# ?/?", 1.5, "1 1/2"},
        LocaleCase{"Builtin14ShortDate", true, 14, "", 44439, "31.08.2021"},
        LocaleCase{"Builtin20ShortTime", true, 20, "", 0.75, "18:00"},
        LocaleCase{"Builtin21Time", true, 21, "", 0.75, "18:00:00"},
        LocaleCase{"Builtin22DateAndTime", true, 22, "", 44439.75, "31.08.2021 18:00"},
        LocaleCase{"EastAsianDateAsBuiltin14", true, 30, "", 44439, "31.08.2021"},
        LocaleCase{"CustomDateTakesTheDateSeparator", true, -1, "m/d/yyyy", 44439, "8.31.2021"},
        LocaleCase{"EscapedSlashStays", true, -1, "m\\/d", 44439, "8/31"},
        LocaleCase{"MonthNamesOfTheLocale", true, -1, "mmmm mmm mmmmm", 45361, "März Mär M"},
        LocaleCase{"DayNamesOfTheLocale", true, -1, "dddd ddd", 45361, "Sonntag So"},
        LocaleCase{"UsTagKeepsEnglishNames", true, -1, "[$-409]dddd mmmm", 45361, "Sunday March"},
        LocaleCase{"UsTagKeepsTheSlash", true, -1, "[$-409]m/d/yyyy", 44439, "8/31/2021"},
        LocaleCase{"SubSecondDecimal", true, -1, "mm:ss.0", 1.5 / 86400, "00:01,5"},
        LocaleCase{"SystemLongDate",
                   true,
                   -1,
                   "[$-F800]dddd\\,\\ mmmm\\ dd\\,\\ yyyy",
                   44439,
                   "Dienstag 31. August 2021"},
        LocaleCase{"SystemTime", true, -1, "[$-F400]h:mm:ss\\ AM/PM", 0.75, "18:00:00"},
        LocaleCase{"UsTagKeepsUsSeparators", true, -1, "[$-409]#,##0.00", 1234.5, "1,234.50"},
        LocaleCase{"UsTagWithCalendarBits", true, -1, "[$-1010409]0.0", 2.5, "2.5"},
        LocaleCase{"UsTagOnGeneral", true, -1, "[$-409]General", 1234.5, "1234.5"},
        LocaleCase{"FrenchTag", true, -1, "[$-40C]#,##0.00", 1234.5, "1\u202F234,50"},
        LocaleCase{"GermanTagUnderUs", false, -1, "[$-407]#,##0.00", 1234.5, "1.234,50"},
        LocaleCase{"BritishTagUnderGerman", true, -1, "[$-809]#,##0.00", 1234.5, "1,234.50"},
        LocaleCase{"UnknownTagShowsTheUsers", true, -1, "[$-FFFF]0.0", 2.5, "2,5"},
        LocaleCase{
            "CurrencyTagNamesOnlyTheSymbol", false, -1, "[$€-407] #,##0.00", 1234.5, "€ 1,234.50"},
        LocaleCase{"CurrencyTagUnderGerman", true, -1, "#,##0.00\\ [$€-407]", 1234.5, "1.234,50 €"},
        LocaleCase{"TagOfOneSectionOnly", true, -1, "[$-409]0.0;0.0", -2.5, "2,5"},
        LocaleCase{"UsBuiltins", false, 22, "", 44439.75, "8/31/2021 18:00"}),
    [](const ::testing::TestParamInfo<LocaleCase>& param) {
        return std::string(param.param.name);
    });

TEST(NumberFormat, NonFiniteValuesShowAnError)
{
    for (const char* code : {"General", "0.00", "m/d/yyyy", "# ?/?", "0.0E+0", "\"x\""}) {
        EXPECT_EQ(render(code, std::numeric_limits<double>::quiet_NaN()), "#NUM!") << code;
        EXPECT_EQ(render(code, std::numeric_limits<double>::infinity()), "#NUM!") << code;
        EXPECT_EQ(render(code, -std::numeric_limits<double>::infinity()), "#NUM!") << code;
    }
}

TEST(NumberFormat, ExtremeMagnitudesStayBounded)
{
    const double extremes[] = {std::numeric_limits<double>::max(),
                               -std::numeric_limits<double>::max(),
                               std::numeric_limits<double>::denorm_min(),
                               1e-300};
    for (const char* code : {"0.00", "#,##0", "0.00E+00", "# ?\?/?\?", "?/?", "0%", "[h]:mm"}) {
        for (const double value : extremes) {
            const std::string text = render(code, value);
            EXPECT_FALSE(text.empty()) << code;
            EXPECT_LT(text.size(), 500U) << code;
        }
    }
    EXPECT_EQ(render("0", 1e308).size(), 309U);
}

// Codes that cannot be parsed, or that exceed the bounds, fall back to General.
TEST(NumberFormat, BadCodesFallBackToGeneral)
{
    const std::string longCode(5000, '0');
    const std::string deepBrackets(300, '[');
    const std::string manySections(1000, ';');
    for (const std::string& code : {std::string("\"unterminated"),
                                    std::string("0.0\\"),
                                    std::string("[Red"),
                                    std::string("0_"),
                                    std::string("0;0;0;0;0"),
                                    std::string("yyyy 0"),
                                    std::string("[<abc]0"),
                                    std::string("[<1][>2]0"),
                                    longCode,
                                    deepBrackets,
                                    manySections}) {
        const NumberFormat format = NumberFormat::compile(code);
        EXPECT_TRUE(format.isGeneral()) << code.substr(0, 40);
        std::string out;
        format.render(0.5, DateSystem::Date1900, out);
        EXPECT_EQ(out, "0.5");
    }
}

TEST(NumberFormat, EmptyAndGeneralCodesAreGeneral)
{
    EXPECT_TRUE(NumberFormat().isGeneral());
    EXPECT_TRUE(NumberFormat::compile("").isGeneral());
    EXPECT_TRUE(NumberFormat::compile("GENERAL").isGeneral());
    EXPECT_FALSE(NumberFormat::compile("0").isGeneral());
}

TEST(NumberFormat, BuiltinDateAndTimeIdsAreDates)
{
    for (int id = 0; id < 50; ++id) {
        const bool date =
            (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47);
        EXPECT_EQ(NumberFormat::compile(builtinFormatCode(id)).isDate(), date) << "id " << id;
    }
}

TEST(NumberFormat, TextSectionWrapsText)
{
    std::string out;
    NumberFormat::compile("0;-0;0;\"<\"@\">\"").renderText("a|b", out);
    EXPECT_EQ(out, "<a|b>");
    out.clear();
    NumberFormat::compile("0.00").renderText("plain", out);
    EXPECT_EQ(out, "plain");
}

TEST(NumberFormat, RenderAppendsToTheCallersText)
{
    std::string out = "x=";
    NumberFormat::compile("0.0").render(2, DateSystem::Date1900, out);
    EXPECT_EQ(out, "x=2.0");
}

struct ValueTextCase
{
    const char* name;
    double value;
    const char* decimalSeparator;
    const char* expected;
};

// Names the case in a failure message.
void PrintTo(const ValueTextCase& c, std::ostream* os)
{
    *os << c.name << ": " << c.value;
}

class NumberValueText : public ::testing::TestWithParam<ValueTextCase>
{};

TEST_P(NumberValueText, HoldsFifteenDigitsWithoutFormatting)
{
    const ValueTextCase& c = GetParam();
    ValueLocale locale = ValueLocale::enUS();
    locale.decimalSeparator = c.decimalSeparator;
    std::string out;
    appendNumberValueText(c.value, locale, out);
    EXPECT_EQ(out, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers,
    NumberValueText,
    ::testing::Values(ValueTextCase{"PercentCellHoldsFraction", 0.125, ".", "0.125"},
                      ValueTextCase{"Zero", 0, ".", "0"},
                      ValueTextCase{"FifteenDigits", 1.0 / 3, ".", "0.333333333333333"},
                      ValueTextCase{"BinaryNoiseRemoved", 0.1 + 0.2, ".", "0.3"},
                      ValueTextCase{"NegativeWithComma", -2.5, ",", "-2,5"},
                      ValueTextCase{"LargestPositional", 123456789012345, ".", "123456789012345"},
                      ValueTextCase{"LargeIsScientific", 1.5e20, ".", "1.5E+20"},
                      ValueTextCase{"SmallIsScientific", 1.25e-7, ".", "1.25E-07"}),
    [](const ::testing::TestParamInfo<ValueTextCase>& param) {
        return std::string(param.param.name);
    });

TEST(DateValueText, ShortDateAndTimeWhenNotMidnight)
{
    const ValueLocale locale = ValueLocale::enUS();
    std::string out;
    appendDateValueText(42663, DateSystem::Date1900, locale, out);
    EXPECT_EQ(out, "10/20/2016");
    out.clear();
    appendDateValueText(42663.75, DateSystem::Date1900, locale, out);
    EXPECT_EQ(out, "10/20/2016 6:00:00 PM");
    out.clear();
    appendDateValueText(0, DateSystem::Date1904, locale, out);
    EXPECT_EQ(out, "1/1/1904");
}

// Serials below 1 of the 1900 system fall on 0 January 1900, a day that never was: only the
// time is written, midnight included.
TEST(DateValueText, TimeOfDayAloneHasNoDate)
{
    const double afternoon = (13 * 3600 + 5 * 60 + 9) / 86400.0;
    const ValueLocale english = ValueLocale::enUS();
    ValueLocale german;
    german.shortDate = "dd.mm.yyyy";
    german.longTime = "hh:mm:ss";

    const struct
    {
        double serial;
        const ValueLocale& locale;
        const char* expected;
    } cases[] = {
        {afternoon, english, "1:05:09 PM"},
        {afternoon, german, "13:05:09"},
        {0, english, "12:00:00 AM"},
        {1, english, "1/1/1900"},
        {1 + afternoon, german, "01.01.1900 13:05:09"},
        // 23:59:59.9 rounds to the next day's midnight, which exists.
        {0.9999999, english, "1/1/1900"},
    };

    for (const auto& c : cases) {
        std::string out;
        appendDateValueText(c.serial, DateSystem::Date1900, c.locale, out);
        EXPECT_EQ(out, c.expected) << c.serial;
    }
}

TEST(DateValueText, FollowsTheLocalePatterns)
{
    ValueLocale locale;
    locale.shortDate = "dd.mm.yyyy";
    locale.longTime = "hh:mm:ss";
    std::string out;
    appendDateValueText(45351.5, DateSystem::Date1900, locale, out);
    EXPECT_EQ(out, "29.02.2024 12:00:00");
}

TEST(DateValueText, OutsideTheCalendarIsANumber)
{
    std::string out;
    appendDateValueText(-3.5, DateSystem::Date1900, ValueLocale::enUS(), out);
    EXPECT_EQ(out, "-3.5");
}

} // namespace
} // namespace sheetfray::engine::format
