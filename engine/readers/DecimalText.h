// Numbers as workbook parts write them ("-58641", "307.96"), read without the general parser.
#pragma once

#include <cstdint>
#include <string_view>

namespace sheetfray::engine::readers {

// Reads text of the form [-]digits[.digits] whose digits, without the point, make an integer
// below 2^53 and whose fraction has at most 22 digits. Such an integer and such a power of ten
// are exact doubles, so one correctly rounded division gives what std::from_chars gives.
// False for any other text (exponents, long mantissas, "1.", ".5"): read it with from_chars.
inline bool readPlainDecimal(std::string_view text, double& value)
{
    constexpr double PowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr std::uint64_t Exact = std::uint64_t{1} << 53;
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    i += negative ? 1 : 0;
    std::uint64_t mantissa = 0;
    std::size_t digits = 0;
    std::size_t fraction = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (digits == 16) {
                return false; // 17 digits may pass 2^53; leave them to from_chars
            }
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
            digits += mantissa != 0 ? 1 : 0; // leading zeros do not count
            fraction += point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
            if (i == (negative ? 1u : 0u) || i + 1 == text.size()) {
                return false;
            }
        } else {
            return false;
        }
    }
    if (i == (negative ? 1u : 0u) || mantissa >= Exact || fraction > 22) {
        return false;
    }
    const double magnitude = static_cast<double>(mantissa) / PowersOfTen[fraction];
    value = negative ? -magnitude : magnitude;
    return true;
}

} // namespace sheetfray::engine::readers
