#include "engine/format/NumberFormat.h"

#include "engine/format/DateSection.h"
#include "engine/format/DecimalDigits.h"
#include "engine/format/DisplayLocale.h"
#include "engine/format/FormatCode.h"
#include "engine/format/FormatParser.h"
#include "engine/format/GeneralNumber.h"
#include "engine/format/NumberSection.h"
#include "support/Text.h"

#include <cmath>

namespace sheetfray::engine::format {

namespace {

// What the application shows when no section takes the value or a date is out of range: it
// fills the cell with '#' (TEXT() fails with #VALUE!). The test vectors record six of them.
constexpr std::string_view Overflow = "######";

struct SectionChoice
{
    int index = -1; // -1: General, for a code without a section for numbers
    bool minus = false; // a "-" leads the text
    bool overflow = false; // no section takes the value
};

// Picks the section for a number. Without conditions: one section takes all numbers (with a
// minus for negatives), two split at zero, three give zero its own. With conditions the
// first matching of the first two sections wins and the third takes the rest; a section whose
// condition accepts only negatives shows the magnitude, as the negative section does. The
// sign rules for the implied "else" section follow the application's output for
// [<-6]\A0 (-5 shows 5) and [=-6]\A0 (-5 shows -5).
SectionChoice chooseSection(const CompiledFormat& format, double value)
{
    const int count = format.numericSections;
    const bool negative = value < 0;
    if (count == 0) {
        return {-1, negative, false};
    }
    const Condition& first = format.sections[0].condition;
    const Condition& second = count >= 2 ? format.sections[1].condition : Condition{};
    if (first.op == CompareOp::None && second.op == CompareOp::None) {
        if (count == 1) {
            return {0, negative, false};
        }
        if (value > 0 || (value == 0 && count == 2)) {
            return {0, false, false};
        }
        if (negative) {
            return {1, false, false};
        }
        return {2, false, false};
    }
    const Condition firstCondition = first.op != CompareOp::None
        ? first
        : Condition{count >= 3 ? CompareOp::Greater : CompareOp::GreaterEqual, 0};
    if (firstCondition.matches(value)) {
        return {0, negative && !firstCondition.acceptsNegativeOnly(), false};
    }
    const bool elseShowsMagnitude = first.op == CompareOp::Less || first.op == CompareOp::LessEqual
        || first.op == CompareOp::NotEqual;
    if (count == 1) {
        return {-1, negative && !elseShowsMagnitude, false};
    }
    if (second.op != CompareOp::None) {
        if (second.matches(value)) {
            return {1, negative && !second.acceptsNegativeOnly(), false};
        }
        if (count >= 3) {
            return {2, negative, false};
        }
        return {-1, false, true};
    }
    if (count == 2) {
        return {1, negative && !elseShowsMagnitude, false};
    }
    return negative ? SectionChoice{1, false, false} : SectionChoice{2, false, false};
}

} // namespace

NumberFormat::NumberFormat() = default;

NumberFormat NumberFormat::compile(std::string_view code)
{
    NumberFormat format;
    if (!equalsIgnoringAsciiCase(code, "general")) {
        format.m_compiled = parseFormatCode(code);
    }

    return format;
}

bool NumberFormat::isDate() const
{
    return m_compiled && m_compiled->date;
}

bool NumberFormat::isGeneral() const
{
    return !m_compiled;
}

std::string_view NumberFormat::code() const
{
    return m_compiled ? std::string_view(m_compiled->code) : std::string_view("General");
}

void NumberFormat::render(double value, DateSystem system, std::string& out) const
{
    if (!m_compiled || !std::isfinite(value)) {
        appendGeneralNumber(value, displaySeparators().decimal, out);
        return;
    }
    const CompiledFormat& format = *m_compiled;
    const SectionChoice choice = chooseSection(format, value);
    if (choice.overflow) {
        out += Overflow;
        return;
    }
    const double magnitude = std::fabs(value);
    if (choice.index < 0) {
        if (choice.minus) {
            out += '-';
        }
        appendGeneralMagnitude(toDecimalDigits(magnitude), displaySeparators().decimal, out);
        return;
    }
    const Section& section = format.sections[static_cast<std::size_t>(choice.index)];
    if (section.kind == SectionKind::Date) {
        // Only the 1904 system shows negative dates and times, as the magnitude with a minus.
        if ((value < 0 && system == DateSystem::Date1900)
            || !renderDateSection(format, section, magnitude, choice.minus, system, out)) {
            out += Overflow;
        }
        return;
    }
    renderNumberSection(format, section, magnitude, choice.minus, out);
}

void NumberFormat::renderText(std::string_view text, std::string& out) const
{
    // An empty text stays empty: the text section's padding does not make a blank cell show.
    if (!m_compiled || m_compiled->textSection < 0 || text.empty()) {
        out += text;
        return;
    }
    const CompiledFormat& format = *m_compiled;
    const Section& section = format.sections[static_cast<std::size_t>(format.textSection)];
    for (const Token& token : section.tokens) {
        if (token.kind == TokenKind::Literal) {
            out.append(format.literals, token.offset, token.length);
        } else if (token.kind == TokenKind::Text || token.kind == TokenKind::General) {
            // General in the text section shows the text as it is.
            out += text;
        }
    }
}

bool isDateFormatCode(std::string_view code)
{
    return NumberFormat::compile(code).isDate();
}

} // namespace sheetfray::engine::format
