#include "engine/format/NumberSection.h"

#include "engine/format/DecimalDigits.h"
#include "engine/format/GeneralNumber.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace sheetfray::engine::format {

namespace {

// Fraction search: the largest denominator placeholders can ask for (nine digits), the
// continued-fraction steps taken at most, and the error at which a convergent is taken as
// exact (480894/3901729 for 0.123251512342345, not a later, longer one).
constexpr int MaxDenominatorDigits = 9;
constexpr int MaxFractionSteps = 64;
constexpr double FractionTolerance = 1e-14;

// The grouping separator a section shows; empty when it groups no thousands.
std::string_view thousandsOf(const Section& section)
{
    return section.thousands ? section.separators->thousands : std::string_view();
}

// What a placeholder showed, which decides the thousands separator after it.
enum class Shown : std::uint8_t { Nothing, Digit, Blank };

Shown appendPad(char placeholder, std::string& out)
{
    switch (placeholder) {
    case '0':
        out += '0';
        return Shown::Digit;
    case '?':
        out += ' ';
        return Shown::Blank;
    default:
        return Shown::Nothing;
    }
}

char digitChar(const DecimalDigits& number, int power)
{
    return static_cast<char>('0' + number.digitAt(power));
}

// Digits at powers >= 0 of a number that is shown as an integer (0 digits for zero).
int integerDigitCount(const DecimalDigits& number)
{
    return number.isZero() || number.exponent < 0 ? 0 : number.exponent + 1;
}

// An integer placeholder at `position` from the right: the digit there or its pad. The first
// placeholder also takes every digit beyond the last position, as the application does.
void appendIntegerPlaceholder(const Token& token,
                              const DecimalDigits& number,
                              int digitCount,
                              int placeholders,
                              std::string_view thousands,
                              std::string& out)
{
    const int position = token.position;
    if (position == placeholders - 1) {
        for (int power = digitCount - 1; power >= placeholders; --power) {
            out += digitChar(number, power);
            if (!thousands.empty() && power % 3 == 0) {
                appendSeparator(thousands, out);
            }
        }
    }
    Shown shown = Shown::Digit;
    if (position < digitCount) {
        out += digitChar(number, position);
    } else {
        shown = appendPad(token.placeholder, out);
    }
    if (!thousands.empty() && position > 0 && position % 3 == 0) {
        if (shown == Shown::Digit) {
            appendSeparator(thousands, out);
        } else if (shown == Shown::Blank) {
            out += ' ';
        }
    }
}

void appendAllIntegerDigits(const DecimalDigits& number,
                            int digitCount,
                            std::string_view thousands,
                            std::string& out)
{
    for (int power = digitCount - 1; power >= 0; --power) {
        out += digitChar(number, power);
        if (!thousands.empty() && power > 0 && power % 3 == 0) {
            appendSeparator(thousands, out);
        }
    }
}

void appendLiteral(const CompiledFormat& format, const Token& token, std::string& out)
{
    out.append(format.literals, token.offset, token.length);
}

// Appends what a token of the number's own part shows: literals, the decimal point, and the
// integer and decimal placeholders. False for an exponent's tokens, which the caller shows.
bool appendNumberToken(const CompiledFormat& format,
                       const Section& section,
                       const Token& token,
                       const DecimalDigits& number,
                       int digitCount,
                       int shownDecimals,
                       std::string& out)
{
    switch (token.kind) {
    case TokenKind::Literal:
        appendLiteral(format, token, out);
        return true;
    case TokenKind::DecimalPoint:
        // Without integer placeholders the integer digits still show, before the point.
        if (section.integerDigits == 0) {
            appendAllIntegerDigits(number, digitCount, thousandsOf(section), out);
        }
        appendSeparator(section.separators->decimal, out);
        return true;
    case TokenKind::Digit:
        if (token.role == DigitRole::Integer) {
            appendIntegerPlaceholder(
                token, number, digitCount, section.integerDigits, thousandsOf(section), out);
            return true;
        }
        if (token.role == DigitRole::Decimal) {
            if (token.position < shownDecimals) {
                out += digitChar(number, -1 - token.position);
            } else {
                appendPad(token.placeholder, out);
            }
            return true;
        }
        return false;
    default:
        return false;
    }
}

void renderPlain(const CompiledFormat& format,
                 const Section& section,
                 double magnitude,
                 bool minus,
                 std::string& out)
{
    DecimalDigits number = toDecimalDigits(magnitude);
    if (!number.isZero()) {
        // Percent and scaling commas shift the decimal digits, so 2.95% stays exact.
        number.exponent += section.scale;
    }
    roundToDecimals(number, section.decimalDigits);
    if (minus && !number.isZero()) {
        out += '-';
    }
    const int digitCount = integerDigitCount(number);
    const int shownDecimals = number.isZero() ? 0 : std::max(0, number.count - 1 - number.exponent);
    for (const Token& token : section.tokens) {
        appendNumberToken(format, section, token, number, digitCount, shownDecimals, out);
    }
}

int floorDiv(int a, int b)
{
    const int q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The exponent shown for a number whose leading digit is at 10^leading: with n integer
// placeholders the exponent is a multiple of n (engineering forms such as ##0.0E+0).
int scientificExponent(int leading, int integerPlaceholders)
{
    if (integerPlaceholders == 0) {
        return leading + 1; // mantissa below one: .123E+4
    }
    if (integerPlaceholders == 1) {
        return leading;
    }
    return floorDiv(leading, integerPlaceholders) * integerPlaceholders;
}

void renderScientific(const CompiledFormat& format,
                      const Section& section,
                      double magnitude,
                      bool minus,
                      std::string& out)
{
    DecimalDigits mantissa = toDecimalDigits(magnitude);
    int exponent = 0;
    if (!mantissa.isZero()) {
        const int leading = mantissa.exponent;
        exponent = scientificExponent(leading, section.integerDigits);
        mantissa.exponent -= exponent;
        roundToDecimals(mantissa, section.decimalDigits);
        const int rounded = mantissa.exponent + exponent;
        if (rounded != leading) {
            // Rounding carried (9.99 to 10.0): the mantissa may need the next exponent.
            const int next = scientificExponent(rounded, section.integerDigits);
            mantissa.exponent += exponent - next;
            exponent = next;
        }
    }
    if (minus && !mantissa.isZero()) {
        out += '-';
    }
    // Zero fills every integer placeholder with 0 ("0000.E+0" for ####.####E+0), where a
    // plain number shows none.
    const int digitCount = mantissa.isZero() ? section.integerDigits : integerDigitCount(mantissa);
    const int shownDecimals =
        mantissa.isZero() ? 0 : std::max(0, mantissa.count - 1 - mantissa.exponent);
    const DecimalDigits exponentDigits = toDecimalDigits(std::abs(exponent));
    const int exponentDigitCount = exponentDigits.isZero() ? 1 : exponentDigits.exponent + 1;
    char sign = 0;
    for (const Token& token : section.tokens) {
        if (appendNumberToken(format, section, token, mantissa, digitCount, shownDecimals, out)) {
            continue;
        }
        if (token.kind == TokenKind::Exponent) {
            out += token.placeholder;
            sign = exponent < 0 ? '-' : token.plusSign ? '+' : 0;
            // The sign goes right before the exponent digits; with none, after the letter.
            if (section.exponentDigits == 0 && sign != 0) {
                out += sign;
            }
        } else if (token.kind == TokenKind::Digit) {
            if (token.position == section.exponentDigits - 1 && sign != 0) {
                out += sign;
            }
            appendIntegerPlaceholder(
                token, exponentDigits, exponentDigitCount, section.exponentDigits, {}, out);
        }
    }
}

struct Fraction
{
    double numerator = 0;
    double denominator = 1;
};

// The last convergent of the continued fraction of x whose denominator fits. The application
// takes convergents only, not the intermediate fractions: 0.91 with one digit is 1, not 8/9.
Fraction approximate(double x, double maxDenominator)
{
    double p2 = 0;
    double p1 = 1;
    double q2 = 1;
    double q1 = 0;
    double rest = x;
    for (int step = 0; step < MaxFractionSteps; ++step) {
        const double a = std::floor(rest);
        const double p = a * p1 + p2;
        const double q = a * q1 + q2;
        if (q > maxDenominator) {
            return {p1, q1};
        }
        const double remainder = rest - a;
        if (remainder == 0 || std::fabs(x - p / q) < FractionTolerance) {
            return {p, q};
        }
        rest = 1 / remainder;
        p2 = p1;
        p1 = p;
        q2 = q1;
        q1 = q;
    }
    return {p1, q1 > 0 ? q1 : 1};
}

int displayWidth(const CompiledFormat& format, const Token& token)
{
    switch (token.kind) {
    case TokenKind::Literal: {
        int width = 0;
        for (std::uint32_t k = 0; k < token.length; ++k) {
            const auto byte = static_cast<unsigned char>(format.literals[token.offset + k]);
            if ((byte & 0xC0) != 0x80) {
                ++width;
            }
        }
        return width;
    }
    case TokenKind::FixedDenominator:
        return token.count;
    default:
        return 1;
    }
}

bool anyPlaceholder(const Section& section, DigitRole role, char placeholder)
{
    return std::any_of(section.tokens.begin(), section.tokens.end(), [&](const Token& token) {
        return token.kind == TokenKind::Digit && token.role == role
            && token.placeholder == placeholder;
    });
}

char unitsPlaceholder(const Section& section)
{
    for (const Token& token : section.tokens) {
        if (token.kind == TokenKind::Digit && token.role == DigitRole::Integer
            && token.position == 0) {
            return token.placeholder;
        }
    }
    return '#';
}

void renderFraction(const CompiledFormat& format,
                    const Section& section,
                    double magnitude,
                    bool minus,
                    std::string& out)
{
    const double value = toDouble(toDecimalDigits(magnitude));
    double whole = section.hasWholePart ? std::floor(value) : 0;
    const double rest = value - whole;
    Fraction fraction;
    if (section.fixedDenominator != 0) {
        fraction.denominator = section.fixedDenominator;
        fraction.numerator = std::floor(rest * fraction.denominator + 0.5);
    } else {
        const int digits = std::clamp(section.denominatorDigits, 1, MaxDenominatorDigits);
        fraction = approximate(rest, std::pow(10.0, digits) - 1);
    }
    if (section.hasWholePart && fraction.numerator >= fraction.denominator) {
        whole += 1;
        fraction.numerator = 0;
    }
    // A whole number with a zero fraction hides the fraction: blanks where the code asks for
    // '?' padding, nothing otherwise; a '0' numerator shows 0/1.
    const bool hideFraction = section.hasWholePart && fraction.numerator == 0
        && !anyPlaceholder(section, DigitRole::Numerator, '0');
    const bool questionInWhole = anyPlaceholder(section, DigitRole::Integer, '?');
    const bool questionInNumerator = anyPlaceholder(section, DigitRole::Numerator, '?');
    const bool blankFraction = hideFraction
        && (questionInWhole || questionInNumerator
            || anyPlaceholder(section, DigitRole::Denominator, '?'));
    if (fraction.numerator == 0 && section.fixedDenominator == 0) {
        fraction.denominator = 1;
    }
    // The whole number is empty below one, but 0 itself shows when nothing else does. A zero
    // shown as 0/1 keeps the 0 in a '?' or '0' units place ("?\:0/#" gives "0:0/1"), not
    // in a '#' one.
    const DecimalDigits wholeDigits = toDecimalDigits(whole);
    int wholeCount = integerDigitCount(wholeDigits);
    if (whole == 0) {
        wholeCount =
            hideFraction || (fraction.numerator == 0 && unitsPlaceholder(section) != '#') ? 1 : 0;
    }
    const bool wholeEmpty = wholeCount == 0 && !anyPlaceholder(section, DigitRole::Integer, '0');
    // The separator after an empty whole number turns to blanks when either number pads
    // with '?' ("# ?/?" shows " 3/4"); otherwise only its spaces stay.
    const bool wholeBlank = wholeEmpty && (questionInWhole || questionInNumerator);
    const DecimalDigits numerator = toDecimalDigits(fraction.numerator);
    const int numeratorCount = fraction.numerator == 0 ? 1 : integerDigitCount(numerator);
    const DecimalDigits denominator = toDecimalDigits(fraction.denominator);
    const int denominatorCount = integerDigitCount(denominator);

    if (minus) {
        out += '-';
    }
    const auto& tokens = section.tokens;
    for (std::size_t index = 0; index < tokens.size(); ++index) {
        const Token& token = tokens[index];
        if (hideFraction && index >= section.fractionBegin && index < section.fractionEnd) {
            if (blankFraction) {
                out.append(static_cast<std::size_t>(displayWidth(format, token)), ' ');
            }
            continue;
        }
        if (section.hasWholePart && wholeEmpty && token.kind == TokenKind::Literal
            && index >= section.fractionBegin && index < section.numeratorBegin) {
            for (std::uint32_t k = 0; k < token.length; ++k) {
                const char c = format.literals[token.offset + k];
                if (wholeBlank) {
                    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
                        out += ' ';
                    }
                } else if (c == ' ') {
                    out += ' ';
                }
            }
            continue;
        }
        switch (token.kind) {
        case TokenKind::Literal:
            appendLiteral(format, token, out);
            break;
        case TokenKind::FractionBar:
            out += '/';
            break;
        case TokenKind::FixedDenominator:
            appendAllIntegerDigits(denominator, denominatorCount, {}, out);
            break;
        case TokenKind::Digit:
            switch (token.role) {
            case DigitRole::Integer:
                appendIntegerPlaceholder(token,
                                         wholeDigits,
                                         wholeCount,
                                         section.integerDigits,
                                         thousandsOf(section),
                                         out);
                break;
            case DigitRole::Numerator:
                appendIntegerPlaceholder(
                    token, numerator, numeratorCount, section.numeratorDigits, {}, out);
                break;
            case DigitRole::Denominator:
                // Digits from the left: '0' pads before them, '?' after, so bars line up.
                if (token.position == 0) {
                    const int pads = std::max(0, section.denominatorDigits - denominatorCount);
                    int blanks = 0;
                    for (std::size_t k = index; k < tokens.size() && pads > 0; ++k) {
                        const Token& pad = tokens[k];
                        if (pad.kind != TokenKind::Digit || pad.role != DigitRole::Denominator
                            || pad.position >= pads) {
                            break;
                        }
                        if (pad.placeholder == '0') {
                            out += '0';
                        } else if (pad.placeholder == '?') {
                            ++blanks;
                        }
                    }
                    appendAllIntegerDigits(denominator, denominatorCount, {}, out);
                    out.append(static_cast<std::size_t>(blanks), ' ');
                }
                break;
            case DigitRole::Trailing:
                out += token.placeholder == '?' ? ' ' : '0';
                break;
            default:
                break;
            }
            break;
        default:
            break;
        }
    }
}

void renderWithGeneral(const CompiledFormat& format,
                       const Section& section,
                       double magnitude,
                       bool minus,
                       std::string& out)
{
    const DecimalDigits number = toDecimalDigits(magnitude);
    if (minus && !number.isZero()) {
        out += '-';
    }
    for (const Token& token : section.tokens) {
        if (token.kind == TokenKind::Literal) {
            appendLiteral(format, token, out);
        } else if (token.kind == TokenKind::General) {
            appendGeneralMagnitude(number, section.separators->decimal, out);
        }
    }
}

} // namespace

void renderNumberSection(const CompiledFormat& format,
                         const Section& section,
                         double magnitude,
                         bool minus,
                         std::string& out)
{
    switch (section.kind) {
    case SectionKind::Number:
        renderPlain(format, section, magnitude, minus, out);
        break;
    case SectionKind::Scientific:
        renderScientific(format, section, magnitude, minus, out);
        break;
    case SectionKind::Fraction:
        renderFraction(format, section, magnitude, minus, out);
        break;
    case SectionKind::General:
        renderWithGeneral(format, section, magnitude, minus, out);
        break;
    case SectionKind::Literal:
        if (minus) {
            out += '-';
        }
        for (const Token& token : section.tokens) {
            appendLiteral(format, token, out);
        }
        break;
    case SectionKind::Text:
    case SectionKind::Date:
        // A number in a text-only section shows as General.
        if (minus && magnitude != 0) {
            out += '-';
        }
        appendGeneralMagnitude(toDecimalDigits(magnitude), section.separators->decimal, out);
        break;
    }
}

} // namespace sheetfray::engine::format
