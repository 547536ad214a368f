// A double reduced to the 15 significant decimal digits the spreadsheet keeps, and its rounding.
#pragma once

#include <array>
#include <cstdint>

namespace sheetfray::engine::format {

// |value| = d[0].d[1]d[2]... * 10^exponent; digits are 0..9 (not characters), the last one is
// never 0, and count is 0 for zero. At most 15 digits; rounding may leave 16 digits' room.
struct DecimalDigits
{
    std::array<std::uint8_t, 17> digits{};
    int count = 0;
    int exponent = 0;
    bool negative = false;

    // The digit at the given power of ten (0 for positions outside the digits).
    [[nodiscard]] int digitAt(int power) const
    {
        const int index = exponent - power;
        return index >= 0 && index < count ? digits[static_cast<std::size_t>(index)] : 0;
    }

    [[nodiscard]] bool isZero() const { return count == 0; }
};

// The value to 15 significant digits, the precision of a cell value. value must be finite.
[[nodiscard]] DecimalDigits toDecimalDigits(double value);

// Keeps the digits at powers of ten >= -decimals, rounding half away from zero (a decimal tie,
// since the digits are already decimal). May carry into a new leading digit or give zero.
void roundToDecimals(DecimalDigits& number, int decimals);

// Keeps at most n significant digits (n >= 1), rounding half away from zero.
void roundToSignificant(DecimalDigits& number, int n);

// The value of the digits as a double (for conditions and fractions that need arithmetic).
[[nodiscard]] double toDouble(const DecimalDigits& number);

} // namespace sheetfray::engine::format
