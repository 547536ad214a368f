#include "engine/format/GeneralNumber.h"

#include "engine/format/DisplayLocale.h"

#include <cmath>

namespace sheetfray::engine::format {

namespace {

// General fills at most 11 characters (the sign not counted): 11 integer digits, or
// "0." and nine decimals, or "d.dddddE+XX".
constexpr int MaxWidth = 11;
constexpr int ScientificDecimals = 5;

char digitChar(const DecimalDigits& number, int power)
{
    return static_cast<char>('0' + number.digitAt(power));
}

// Plain positional notation of the digits, no sign.
void appendFixed(const DecimalDigits& number, std::string_view decimal, std::string& out)
{
    if (number.count == 0) {
        out += '0';
        return;
    }
    const int lastPower = number.exponent - number.count + 1;
    if (number.exponent < 0) {
        out += '0';
    }
    for (int power = number.exponent; power >= 0; --power) {
        out += digitChar(number, power);
    }
    if (lastPower < 0) {
        appendSeparator(decimal, out);
        for (int power = -1; power >= lastPower; --power) {
            out += digitChar(number, power);
        }
    }
}

int lastPower(const DecimalDigits& number)
{
    return number.exponent - number.count + 1;
}

} // namespace

void appendShortScientific(DecimalDigits number,
                           int decimals,
                           std::string_view decimal,
                           std::string& out)
{
    roundToSignificant(number, decimals + 1);
    if (number.count == 0) {
        out += "0E+00";
        return;
    }
    out += static_cast<char>('0' + number.digits[0]);
    if (number.count > 1) {
        appendSeparator(decimal, out);
        for (int i = 1; i < number.count; ++i) {
            out += static_cast<char>('0' + number.digits[static_cast<std::size_t>(i)]);
        }
    }
    int exponent = number.exponent;
    out += exponent < 0 ? "E-" : "E+";
    exponent = std::abs(exponent);
    if (exponent >= 100) {
        out += static_cast<char>('0' + exponent / 100);
    }
    out += static_cast<char>('0' + exponent / 10 % 10);
    out += static_cast<char>('0' + exponent % 10);
}

void appendGeneralMagnitude(const DecimalDigits& number, std::string_view decimal, std::string& out)
{
    if (number.count == 0) {
        out += '0';
        return;
    }
    if (number.exponent >= MaxWidth) {
        appendShortScientific(number, ScientificDecimals, decimal, out);
        return;
    }
    if (number.exponent >= 0) {
        // Integer digits, the point, then the decimals that still fit.
        DecimalDigits fixed = number;
        const int decimals = number.exponent >= MaxWidth - 2 ? 0 : MaxWidth - 2 - number.exponent;
        roundToDecimals(fixed, decimals);
        if (fixed.exponent >= MaxWidth) {
            appendShortScientific(number, ScientificDecimals, decimal, out);
        } else {
            appendFixed(fixed, decimal, out);
        }
        return;
    }
    // Below 1: "0." and nine decimals, unless scientific keeps more of the digits
    // (1.2E-08 shows as 0.000000012, but 1.23E-08 stays scientific).
    DecimalDigits fixed = number;
    roundToDecimals(fixed, MaxWidth - 2);
    DecimalDigits scientific = number;
    roundToSignificant(scientific, ScientificDecimals + 1);
    if (fixed.count > 0 && fixed.exponent < 0 && lastPower(fixed) <= lastPower(scientific)) {
        appendFixed(fixed, decimal, out);
    } else if (fixed.count > 0 && fixed.exponent >= 0) {
        out += '1';
    } else {
        appendShortScientific(number, ScientificDecimals, decimal, out);
    }
}

void appendGeneralNumber(double value, std::string_view decimal, std::string& out)
{
    if (!std::isfinite(value)) {
        out += "#NUM!";
        return;
    }
    const DecimalDigits number = toDecimalDigits(value);
    if (number.negative && number.count > 0) {
        out += '-';
    }
    appendGeneralMagnitude(number, decimal, out);
}

} // namespace sheetfray::engine::format
