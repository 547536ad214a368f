// The raw tokens of a number-format code: what the scanner (FormatParser.cpp) hands to the
// section builders (FormatSections.cpp).
#pragma once

#include "engine/format/DisplayLocale.h"
#include "engine/format/FormatCode.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace sheetfray::engine::format {

// A token as the scanner sees it, before the section decides what the characters mean.
enum class RawKind : std::uint8_t {
    Literal, // one character (UTF-8 sequence) or a quoted string
    Placeholder, // '0' '#' '?'
    Point,
    Comma,
    Percent,
    Exponent,
    Slash,
    At,
    General,
    Date, // letter and count: y m d h s, e (year), b (Buddhist year), a (day names)
    AmPm,
    AP,
    Elapsed, // letter and count: [h] [mm] [ss]
};

struct RawToken
{
    RawKind kind = RawKind::Literal;
    char letter = 0; // Placeholder char, Date/Elapsed letter (lower case), Exponent letter
    bool plusSign = false;
    bool quoted = false; // Literal from quotes or a backslash: never a digit for commas
    int count = 0;
    std::string_view text; // Literal text, AP letters
};

struct RawSection
{
    std::vector<RawToken> tokens;
    Condition condition;
    bool systemDate = false; // [$-F800]: the system's long date replaces the section
    bool systemTime = false; // [$-F400]: the system's long time replaces the section
    const Separators* separators = nullptr; // a [$-407] tag's; nullptr: the display locale's
    const DateNames* names = nullptr; // likewise
};

} // namespace sheetfray::engine::format
