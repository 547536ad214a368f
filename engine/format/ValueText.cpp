// Value texts of numbers and dates (appendNumberValueText, appendDateValueText of
// NumberFormat.h): what a cell file holds, in the user's locale.
#include "engine/format/DecimalDigits.h"
#include "engine/format/NumberFormat.h"
#include "engine/format/SerialDate.h"

#include <cmath>
#include <cstdlib>

namespace sheetfray::engine::format {

namespace {

// Positional notation for 1E-5 <= |x| < 1E15, as the general number form of the platform
// shows a value: 0.00001, 123456789012345, but 1E+15 and 1E-06.
constexpr int SmallestPositionalExponent = -5;
constexpr int LargestPositionalExponent = 14;

char digitChar(const DecimalDigits& number, int power)
{
    return static_cast<char>('0' + number.digitAt(power));
}

} // namespace

void appendNumberValueText(double value, const ValueLocale& locale, std::string& out)
{
    if (!std::isfinite(value)) {
        out += "#NUM!";
        return;
    }
    const DecimalDigits number = toDecimalDigits(value);
    if (number.isZero()) {
        out += '0';
        return;
    }
    if (number.negative) {
        out += '-';
    }
    const int lastPower = number.exponent - number.count + 1;
    if (number.exponent >= SmallestPositionalExponent
        && number.exponent <= LargestPositionalExponent) {
        if (number.exponent < 0) {
            out += '0';
        }
        for (int power = number.exponent; power >= 0; --power) {
            out += digitChar(number, power);
        }
        if (lastPower < 0) {
            out += locale.decimalSeparator;
            for (int power = -1; power >= lastPower; --power) {
                out += digitChar(number, power);
            }
        }
        return;
    }
    out += digitChar(number, number.exponent);
    if (number.count > 1) {
        out += locale.decimalSeparator;
        for (int i = 1; i < number.count; ++i) {
            out += static_cast<char>('0' + number.digits[static_cast<std::size_t>(i)]);
        }
    }
    out += number.exponent < 0 ? "E-" : "E+";
    const int exponent = std::abs(number.exponent);
    if (exponent >= 100) {
        out += static_cast<char>('0' + exponent / 100);
    }
    out += static_cast<char>('0' + exponent / 10 % 10);
    out += static_cast<char>('0' + exponent % 10);
}

void appendDateValueText(double serial,
                         DateSystem system,
                         const ValueLocale& locale,
                         std::string& out)
{
    const auto parts = splitSerial(serial, system, 0);
    if (!parts) {
        // Outside the calendar the value is only a number.
        appendNumberValueText(serial, locale, out);
        return;
    }
    // Day 0 of the 1900 system, 0 January 1900, never was: a serial on it is a time of day
    // alone, midnight included.
    if (parts->day == 0) {
        NumberFormat::compile(locale.longTime).render(serial, system, out);
        return;
    }
    NumberFormat::compile(locale.shortDate).render(serial, system, out);
    if (parts->hour != 0 || parts->minute != 0 || parts->second != 0) {
        out += ' ';
        NumberFormat::compile(locale.longTime).render(serial, system, out);
    }
}

} // namespace sheetfray::engine::format
