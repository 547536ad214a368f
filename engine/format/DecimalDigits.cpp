#include "engine/format/DecimalDigits.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace sheetfray::engine::format {

namespace {

void trimTrailingZeros(DecimalDigits& number)
{
    while (number.count > 0 && number.digits[static_cast<std::size_t>(number.count - 1)] == 0) {
        --number.count;
    }
    if (number.count == 0) {
        number.exponent = 0;
    }
}

// Keeps the first `keep` digits and rounds on the next one.
void roundAtIndex(DecimalDigits& number, int keep)
{
    if (keep >= number.count) {
        return;
    }
    if (keep < 0) {
        number.count = 0;
        number.exponent = 0;
        return;
    }
    const bool up = number.digits[static_cast<std::size_t>(keep)] >= 5;
    number.count = keep;
    if (up) {
        int i = keep - 1;
        while (i >= 0 && number.digits[static_cast<std::size_t>(i)] == 9) {
            number.digits[static_cast<std::size_t>(i)] = 0;
            --i;
        }
        if (i >= 0) {
            ++number.digits[static_cast<std::size_t>(i)];
        } else {
            // All kept digits were nines (or none were kept): the carry makes a new leading 1.
            number.digits[0] = 1;
            number.count = 1;
            ++number.exponent;
            return;
        }
    }
    trimTrailingZeros(number);
}

// The digits of a value that is an integer of at most 15 digits divided by 10^k (k <= 8),
// such as 58641 or 307.96: false for any other. The double nearest to m / 10^k is within half
// a unit in the last place of it, far less than half a step of 15 significant digits, so its
// exact value rounds to the digits of m, as the general path below would find.
bool shortDecimalDigits(double magnitude, DecimalDigits& number)
{
    constexpr double PowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
    constexpr double Limit = 1e15;
    if (!(magnitude < Limit)) {
        return false;
    }
    for (int k = 0; k <= 8; ++k) {
        const double scaled = magnitude * PowersOfTen[k];
        if (scaled >= Limit) {
            return false;
        }
        const double whole = std::nearbyint(scaled);
        if (whole == 0 || whole / PowersOfTen[k] != magnitude) {
            continue;
        }
        auto m = static_cast<std::uint64_t>(whole);
        char reversed[16];
        int length = 0;
        while (m > 0) {
            reversed[length++] = static_cast<char>(m % 10);
            m /= 10;
        }
        for (int i = 0; i < length; ++i) {
            number.digits[static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(reversed[length - 1 - i]);
        }
        number.count = length;
        number.exponent = length - 1 - k;
        trimTrailingZeros(number);
        return true;
    }
    return false;
}

} // namespace

DecimalDigits toDecimalDigits(double value)
{
    DecimalDigits number;
    number.negative = std::signbit(value) && value != 0.0;
    if (value == 0.0 || !std::isfinite(value)) {
        return number;
    }
    if (shortDecimalDigits(std::fabs(value), number)) {
        return number;
    }
    // Scientific with 14 decimals is exactly 15 significant digits: "d.ddddddddddddddde+XXX".
    char buffer[32];
    // Subnormal values carry fewer than 15 digits of precision: their shortest round-trip
    // form is what the application stores and shows (2.33E-321, not 2.33199E-321).
    const double magnitude = std::fabs(value);
    const auto result = std::isnormal(magnitude)
        ? std::to_chars(
            buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 14)
        : std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
    const char* p = buffer;
    int count = 0;
    for (; p != result.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9') {
            number.digits[static_cast<std::size_t>(count++)] = static_cast<std::uint8_t>(*p - '0');
        }
    }
    number.count = count;
    int exponent = 0;
    if (p != result.ptr) {
        ++p;
        const bool negativeExponent = *p == '-';
        if (*p == '-' || *p == '+') {
            ++p;
        }
        std::from_chars(p, result.ptr, exponent);
        if (negativeExponent) {
            exponent = -exponent;
        }
    }
    number.exponent = exponent;
    trimTrailingZeros(number);
    roundAtIndex(number, 15);
    return number;
}

void roundToDecimals(DecimalDigits& number, int decimals)
{
    if (number.count == 0) {
        return;
    }
    // Digit i sits at power exponent - i; keep the powers >= -decimals.
    const long keep = static_cast<long>(number.exponent) + decimals + 1;
    if (keep < 0) {
        number.count = 0;
        number.exponent = 0;
        return;
    }
    if (keep == 0) {
        // Only the first dropped digit decides: 0.5 at that place rounds up to one unit.
        if (number.digits[0] >= 5) {
            number.digits[0] = 1;
            number.count = 1;
            number.exponent = -decimals;
        } else {
            number.count = 0;
            number.exponent = 0;
        }
        return;
    }
    roundAtIndex(number, static_cast<int>(keep < 100 ? keep : 100));
}

void roundToSignificant(DecimalDigits& number, int n)
{
    roundAtIndex(number, n);
}

double toDouble(const DecimalDigits& number)
{
    if (number.count == 0) {
        return 0.0;
    }
    char buffer[40];
    char* p = buffer;
    if (number.negative) {
        *p++ = '-';
    }
    for (int i = 0; i < number.count; ++i) {
        *p++ = static_cast<char>('0' + number.digits[static_cast<std::size_t>(i)]);
    }
    *p++ = 'e';
    const auto end = std::to_chars(p, buffer + sizeof buffer, number.exponent - number.count + 1);
    double value = 0.0;
    std::from_chars(buffer, end.ptr, value);
    return value;
}

} // namespace sheetfray::engine::format
