// The compiled form of a number-format code: sections of tokens, shared by parser and renderers.
#pragma once

#include "engine/format/DisplayLocale.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sheetfray::engine::format {

enum class TokenKind : std::uint8_t {
    Literal, // text: CompiledFormat::literals[offset, offset + length)
    Digit, // a digit placeholder; placeholder is '0', '#' or '?'
    DecimalPoint,
    Exponent, // 'E' or 'e' (letter); plusSign when written E+
    FractionBar,
    FixedDenominator, // the denominator written as a number (# ?/8); value in number
    Text, // '@'
    General,
    // Dates and times; count is the padded width where it varies.
    Year2,
    Year4,
    BuddhistYear2,
    BuddhistYear4,
    Month, // count 1 or 2
    MonthAbbr,
    MonthName,
    MonthLetter,
    Day, // count 1 or 2
    DayAbbr,
    DayName,
    Hour, // count 1 or 2
    Minute, // count 1 or 2
    Second, // count 1 or 2
    SubSecond, // count digits after the decimal point of the seconds
    ElapsedHours, // count: minimum width
    ElapsedMinutes,
    ElapsedSeconds,
    AmPm, // "AM"/"PM"
    AP, // "A"/"P" in the case written: literal offset holds the two letters
};

// Where a digit placeholder belongs in the number it shows.
enum class DigitRole : std::uint8_t {
    Integer, // integer part, mantissa, or the whole number of a fraction
    Decimal,
    Exponent,
    Numerator,
    Denominator,
    Trailing, // placeholders after a fraction's denominator
};

struct Token
{
    TokenKind kind = TokenKind::Literal;
    DigitRole role = DigitRole::Integer;
    char placeholder = 0; // '0', '#', '?' for Digit; the letter for Exponent
    bool plusSign = false; // Exponent written E+
    std::uint8_t count = 0;
    std::uint16_t position = 0; // Digit: index from the right (integer) or left (others)
    std::uint32_t offset = 0; // Literal, AP: into CompiledFormat::literals
    std::uint32_t length = 0;
    std::uint32_t number = 0; // FixedDenominator
};

enum class SectionKind : std::uint8_t {
    Literal, // no digit placeholders: literal text only
    Number,
    Scientific,
    Fraction,
    Date,
    General, // the General format, possibly with literals around it
    Text, // holds '@': the section for text values
};

enum class CompareOp : std::uint8_t {
    None,
    Less,
    LessEqual,
    Equal,
    NotEqual,
    Greater,
    GreaterEqual
};

struct Condition
{
    CompareOp op = CompareOp::None;
    double operand = 0;

    [[nodiscard]] bool matches(double value) const
    {
        switch (op) {
        case CompareOp::None:
            return true;
        case CompareOp::Less:
            return value < operand;
        case CompareOp::LessEqual:
            return value <= operand;
        case CompareOp::Equal:
            return value == operand;
        case CompareOp::NotEqual:
            return value != operand;
        case CompareOp::Greater:
            return value > operand;
        case CompareOp::GreaterEqual:
            return value >= operand;
        }
        return false;
    }

    // True when every value the condition accepts is negative: the section then shows the
    // magnitude, as the negative section of a plain code does ([<0], [<=-1], [=-5]).
    [[nodiscard]] bool acceptsNegativeOnly() const
    {
        return (op == CompareOp::Less && operand <= 0)
            || ((op == CompareOp::LessEqual || op == CompareOp::Equal) && operand < 0);
    }
};

struct Section
{
    SectionKind kind = SectionKind::Literal;
    Condition condition;
    std::vector<Token> tokens;
    // What "." and "," show: an explicit locale tag's, else the display locale's.
    const Separators* separators = &displaySeparators();
    const DateNames* names = &displayLocale().names; // of months and days

    // Numbers, scientific and fractions.
    int integerDigits = 0; // placeholders of the integer part (mantissa, whole number)
    int decimalDigits = 0;
    int exponentDigits = 0;
    int scale = 0; // power of ten applied before rendering: +2 per '%', -3 per scaling ','
    bool thousands = false;

    // Fractions.
    int numeratorDigits = 0;
    int denominatorDigits = 0; // placeholders of the denominator: its largest value has as many
    std::uint32_t fixedDenominator = 0; // 0: the denominator is chosen
    bool hasWholePart = false;
    // Token ranges: [fractionBegin, fractionEnd) is the part after the whole number that a
    // zero fraction blanks; [fractionBegin, numeratorBegin) separates it from the whole number.
    std::uint16_t fractionBegin = 0;
    std::uint16_t numeratorBegin = 0;
    std::uint16_t fractionEnd = 0;

    // Dates and times.
    int subSecondDigits = 0; // finest fraction of a second shown (0 to 3)
    bool twelveHour = false;
};

struct CompiledFormat
{
    std::vector<Section> sections; // numeric sections, in order (at most four with the text one)
    int textSection = -1; // index into sections of the section for text values, or -1
    int numericSections = 0; // sections before the text section
    std::string literals;
    bool date = false; // a section for numbers shows a date or time
    std::string code; // the code as written, for writers that store the format
};

} // namespace sheetfray::engine::format
