// Small text helpers that must not depend on the C locale: ASCII letter case, blanks and
// decimal numbers.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace sheetfray {

// An ASCII capital in lower case; every other byte, UTF-8 included, stays as it is.
[[nodiscard]] constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text with its ASCII capitals in lower case.
[[nodiscard]] inline std::string asciiLowered(std::string_view text)
{
    std::string lowered(text);
    std::ranges::transform(lowered, lowered.begin(), asciiLower);
    return lowered;
}

// True when the texts differ at most in the case of ASCII letters.
[[nodiscard]] constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, {}, asciiLower, asciiLower);
}

// The text without blanks at either end. Blanks are spaces unless others are named.
[[nodiscard]] constexpr std::string_view trimBlanks(std::string_view text,
                                                    std::string_view blanks = " ")
{
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Appends the number in decimal digits, with a "-" when negative and no group separators.
inline void appendNumber(std::int32_t number, std::string& out)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    out.append(buffer, result.ptr);
}

} // namespace sheetfray
