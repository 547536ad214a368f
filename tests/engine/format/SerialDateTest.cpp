// Calendar dates of serial numbers and the decimal digits the renderers round.
#include "engine/format/SerialDate.h"

#include "engine/format/DecimalDigits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace sheetfray::engine::format {
namespace {

struct SerialCase
{
    double serial;
    DateSystem system;
    int year;
    int month;
    int day;
    int weekday; // 0 is Sunday
};

// Names the case in a failure message.
void PrintTo(const SerialCase& c, std::ostream* os)
{
    *os << "serial " << c.serial << (c.system == DateSystem::Date1904 ? " (1904)" : " (1900)");
}

class SplitSerial : public ::testing::TestWithParam<SerialCase>
{};

TEST_P(SplitSerial, GivesTheCalendarDay)
{
    const SerialCase& c = GetParam();
    const auto parts = splitSerial(c.serial, c.system, 0);
    ASSERT_TRUE(parts.has_value());
    EXPECT_EQ(parts->year, c.year);
    EXPECT_EQ(parts->month, c.month);
    EXPECT_EQ(parts->day, c.day);
    EXPECT_EQ(parts->weekday, c.weekday);
}

// Days from a proleptic Gregorian calendar (Python's datetime), except serials 0 to 60 of the
// 1900 system, which follow the application's count with its 29 February 1900.
INSTANTIATE_TEST_SUITE_P(
    Days,
    SplitSerial,
    ::testing::Values(SerialCase{0, DateSystem::Date1900, 1900, 1, 0, 6},
                      SerialCase{1, DateSystem::Date1900, 1900, 1, 1, 0},
                      SerialCase{59, DateSystem::Date1900, 1900, 2, 28, 2},
                      SerialCase{60, DateSystem::Date1900, 1900, 2, 29, 3},
                      SerialCase{61, DateSystem::Date1900, 1900, 3, 1, 4},
                      SerialCase{36526, DateSystem::Date1900, 2000, 1, 1, 6},
                      SerialCase{45351, DateSystem::Date1900, 2024, 2, 29, 4},
                      SerialCase{73051, DateSystem::Date1900, 2100, 1, 1, 5},
                      SerialCase{2958465, DateSystem::Date1900, 9999, 12, 31, 5},
                      SerialCase{0, DateSystem::Date1904, 1904, 1, 1, 5},
                      SerialCase{1462, DateSystem::Date1904, 1908, 1, 2, 4},
                      SerialCase{2957003, DateSystem::Date1904, 9999, 12, 31, 5}));

TEST(SplitSerial, RoundsTheTimeToTheFinestFractionShown)
{
    // 0.70707 days is 16:58:10.848.
    const auto seconds = splitSerial(0.70707, DateSystem::Date1900, 0);
    ASSERT_TRUE(seconds.has_value());
    EXPECT_EQ(seconds->hour, 16);
    EXPECT_EQ(seconds->minute, 58);
    EXPECT_EQ(seconds->second, 11);
    const auto hundredths = splitSerial(0.70707, DateSystem::Date1900, 2);
    ASSERT_TRUE(hundredths.has_value());
    EXPECT_EQ(hundredths->second, 10);
    EXPECT_EQ(hundredths->subSecond, 85);
    EXPECT_EQ(hundredths->totalSeconds, 61090);
}

TEST(SplitSerial, RefusesSerialsOutsideTheCalendar)
{
    EXPECT_FALSE(splitSerial(-0.5, DateSystem::Date1900, 0).has_value());
    EXPECT_FALSE(splitSerial(2958466, DateSystem::Date1900, 0).has_value());
    EXPECT_FALSE(splitSerial(2957004, DateSystem::Date1904, 0).has_value());
    // The last second of 9999 rounds into the year 10000.
    EXPECT_FALSE(splitSerial(2958465.999999999, DateSystem::Date1900, 0).has_value());
}

std::string digitsOf(const DecimalDigits& number)
{
    std::string text = number.negative ? "-" : "";
    for (int i = 0; i < number.count; ++i) {
        text += static_cast<char>('0' + number.digits[static_cast<std::size_t>(i)]);
    }
    return text + "e" + std::to_string(number.exponent);
}

TEST(DecimalDigits, KeepsFifteenSignificantDigits)
{
    EXPECT_EQ(digitsOf(toDecimalDigits(0.1 + 0.2)), "3e-1");
    EXPECT_EQ(digitsOf(toDecimalDigits(-1234.5)), "-12345e3");
    EXPECT_EQ(digitsOf(toDecimalDigits(1.0 / 3)), "333333333333333e-1");
    EXPECT_EQ(digitsOf(toDecimalDigits(0.0)), "e0");
}

// The digits as printf's "%.14e" gives them, trailing zeros dropped: what toDecimalDigits
// must give for normal values, however it finds them.
std::string printedDigits(double value)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
    std::string digits;
    const char* p = buffer;
    for (; *p != 'e'; ++p) {
        if (*p != '.') {
            digits += *p;
        }
    }
    while (!digits.empty() && digits.back() == '0') {
        digits.pop_back();
    }
    const int exponent = digits.empty() ? 0 : std::atoi(p + 1);
    return (std::signbit(value) && value != 0 ? "-" : "") + digits + "e" + std::to_string(exponent);
}

TEST(DecimalDigits, ShortDecimalsHaveTheDigitsOfTheirFifteenDigitRounding)
{
    // Integers and few-decimal numbers (read without the general conversion), their
    // neighbours one unit in the last place away, and values at the edges.
    std::mt19937_64 random(7);
    const double powers[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    std::vector<double> values = {1e15 - 1,
                                  1e15,
                                  999999999999999.9,
                                  0.1 + 0.2,
                                  9.995,
                                  0.5,
                                  1e-8,
                                  1.5e-9,
                                  4503599627370495.5,
                                  123456789012345.6};
    for (int i = 0; i < 300'000; ++i) {
        const auto m = static_cast<double>(random() % (std::uint64_t{1} << (1 + random() % 50)));
        const double value = m / powers[random() % 10] * (random() % 2 ? 1 : -1);
        values.push_back(value);
        values.push_back(std::nextafter(value, 1e300));
        values.push_back(std::nextafter(value, -1e300));
    }
    for (const double value : values) {
        if (!std::isnormal(value)) {
            continue; // subnormal values keep their shortest form instead
        }
        ASSERT_EQ(digitsOf(toDecimalDigits(value)), printedDigits(value)) << value;
    }
}

TEST(DecimalDigits, RoundsHalfAwayFromZeroWithCarry)
{
    DecimalDigits number = toDecimalDigits(9.995);
    roundToDecimals(number, 2);
    EXPECT_EQ(digitsOf(number), "1e1");
    number = toDecimalDigits(0.0005);
    roundToDecimals(number, 3);
    EXPECT_EQ(digitsOf(number), "1e-3");
    number = toDecimalDigits(0.0004999);
    roundToDecimals(number, 3);
    EXPECT_EQ(digitsOf(number), "e0");
    number = toDecimalDigits(-2.5);
    roundToDecimals(number, 0);
    EXPECT_EQ(digitsOf(number), "-3e0");
    number = toDecimalDigits(123456);
    roundToSignificant(number, 2);
    EXPECT_EQ(digitsOf(number), "12e5");
}

} // namespace
} // namespace sheetfray::engine::format
