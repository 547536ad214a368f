#include "engine/format/FormatSections.h"

#include "engine/format/FormatParser.h"

#include <algorithm>

namespace sheetfray::engine::format {

namespace {

bool isDigitLiteral(const RawToken& token)
{
    return token.kind == RawKind::Literal && !token.quoted && token.text.size() == 1
        && token.text[0] >= '1' && token.text[0] <= '9';
}

class SectionBuilder
{
public:
    SectionBuilder(CompiledFormat& format, Section& section)
        : m_format(format)
        , m_section(section)
    {}

    void literal(std::string_view text)
    {
        if (text.empty()) {
            return;
        }
        auto& tokens = m_section.tokens;
        // Adjacent literals become one token, so rendering copies runs of text at once.
        if (!tokens.empty() && tokens.back().kind == TokenKind::Literal
            && tokens.back().offset + tokens.back().length == m_format.literals.size()
            && !m_lastLiteralSealed) {
            tokens.back().length += static_cast<std::uint32_t>(text.size());
        } else {
            Token token;
            token.kind = TokenKind::Literal;
            token.offset = static_cast<std::uint32_t>(m_format.literals.size());
            token.length = static_cast<std::uint32_t>(text.size());
            tokens.push_back(token);
        }
        m_format.literals += text;
        m_lastLiteralSealed = false;
    }

    // Starts a new literal token even after a literal (fraction parts are blanked per token).
    void sealLiteral() { m_lastLiteralSealed = true; }

    // Keeps text that a token other than a literal refers to; returns its offset.
    std::uint32_t store(std::string_view text)
    {
        const auto offset = static_cast<std::uint32_t>(m_format.literals.size());
        m_format.literals += text;
        m_lastLiteralSealed = true;
        return offset;
    }

    Token& add(TokenKind kind)
    {
        m_section.tokens.push_back({});
        m_section.tokens.back().kind = kind;
        return m_section.tokens.back();
    }

    Token& digit(char placeholder, DigitRole role)
    {
        Token& token = add(TokenKind::Digit);
        token.placeholder = placeholder;
        token.role = role;
        return token;
    }

    std::uint16_t size() const { return static_cast<std::uint16_t>(m_section.tokens.size()); }

private:
    CompiledFormat& m_format;
    Section& m_section;
    bool m_lastLiteralSealed = false;
};

bool hasKind(const RawSection& raw, RawKind kind)
{
    return std::any_of(raw.tokens.begin(), raw.tokens.end(), [kind](const RawToken& token) {
        return token.kind == kind;
    });
}

bool isDateToken(const RawToken& token)
{
    return token.kind == RawKind::Date || token.kind == RawKind::AmPm || token.kind == RawKind::AP
        || token.kind == RawKind::Elapsed;
}

// Positions integer placeholders from the right and the others from the left.
void numberPlaceholders(Section& section)
{
    int integer = 0;
    int decimal = 0;
    int exponent = 0;
    int numerator = 0;
    int denominator = 0;
    for (const Token& token : section.tokens) {
        if (token.kind != TokenKind::Digit) {
            continue;
        }
        switch (token.role) {
        case DigitRole::Integer:
            ++integer;
            break;
        case DigitRole::Decimal:
            ++decimal;
            break;
        case DigitRole::Exponent:
            ++exponent;
            break;
        case DigitRole::Numerator:
            ++numerator;
            break;
        case DigitRole::Denominator:
            ++denominator;
            break;
        case DigitRole::Trailing:
            break;
        }
    }
    section.integerDigits = integer;
    section.decimalDigits = decimal;
    section.exponentDigits = exponent;
    section.numeratorDigits = numerator;
    section.denominatorDigits = denominator;
    int seenInteger = 0;
    int seenExponent = 0;
    int seenNumerator = 0;
    int seenDecimal = 0;
    int seenDenominator = 0;
    for (Token& token : section.tokens) {
        if (token.kind != TokenKind::Digit) {
            continue;
        }
        switch (token.role) {
        case DigitRole::Integer:
            token.position = static_cast<std::uint16_t>(integer - 1 - seenInteger++);
            break;
        case DigitRole::Exponent:
            token.position = static_cast<std::uint16_t>(exponent - 1 - seenExponent++);
            break;
        case DigitRole::Numerator:
            token.position = static_cast<std::uint16_t>(numerator - 1 - seenNumerator++);
            break;
        case DigitRole::Decimal:
            token.position = static_cast<std::uint16_t>(seenDecimal++);
            break;
        case DigitRole::Denominator:
            token.position = static_cast<std::uint16_t>(seenDenominator++);
            break;
        case DigitRole::Trailing:
            break;
        }
    }
}

// Plain numbers: integer and decimal placeholders, thousands and scaling commas, percent.
void buildNumber(const RawSection& raw, SectionBuilder& out, Section& section)
{
    const auto& tokens = raw.tokens;
    const std::size_t point = static_cast<std::size_t>(
        std::find_if(tokens.begin(),
                     tokens.end(),
                     [](const RawToken& token) { return token.kind == RawKind::Point; })
        - tokens.begin());
    const auto placeholderIn = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && k < tokens.size(); ++k) {
            if (tokens[k].kind == RawKind::Placeholder) {
                return true;
            }
        }
        return false;
    };
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const RawToken& token = tokens[k];
        switch (token.kind) {
        case RawKind::Placeholder:
            out.digit(token.letter, k < point ? DigitRole::Integer : DigitRole::Decimal);
            break;
        case RawKind::Point:
            if (k == point) {
                out.add(TokenKind::DecimalPoint);
            } else {
                out.literal(token.text);
            }
            break;
        case RawKind::Percent:
            section.scale += 2;
            out.literal(token.text);
            break;
        case RawKind::Comma: {
            std::size_t end = k;
            while (end < tokens.size() && tokens[end].kind == RawKind::Comma) {
                ++end;
            }
            const RawToken* previous = k > 0 ? &tokens[k - 1] : nullptr;
            // A comma counts only right after a placeholder or the decimal point (a digit
            // written as a literal counts too: "0 1," scales); anywhere else it is text.
            const bool afterNumber = previous != nullptr
                && (previous->kind == RawKind::Placeholder || previous->kind == RawKind::Point
                    || isDigitLiteral(*previous));
            if (!afterNumber) {
                // A run of commas as text shows one ("0 ,," gives "1234568 ,").
                out.literal(token.text);
            } else if (k < point) {
                if (end < tokens.size() && tokens[end].kind == RawKind::Placeholder) {
                    section.thousands = true;
                } else if (!placeholderIn(end, point)) {
                    // Commas after the last integer placeholder divide by a thousand each.
                    section.scale -= 3 * static_cast<int>(end - k);
                }
            } else if (!placeholderIn(end, tokens.size())) {
                section.scale -= 3 * static_cast<int>(end - k);
            }
            k = end - 1;
            break;
        }
        default:
            out.literal(token.text);
            break;
        }
    }
}

void buildScientific(const RawSection& raw, SectionBuilder& out)
{
    const auto& tokens = raw.tokens;
    bool inExponent = false;
    bool pointSeen = false;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const RawToken& token = tokens[k];
        switch (token.kind) {
        case RawKind::Placeholder:
            out.digit(token.letter,
                      inExponent      ? DigitRole::Exponent
                          : pointSeen ? DigitRole::Decimal
                                      : DigitRole::Integer);
            break;
        case RawKind::Point:
            if (!pointSeen && !inExponent) {
                pointSeen = true;
                out.add(TokenKind::DecimalPoint);
            } else {
                out.literal(token.text);
            }
            break;
        case RawKind::Exponent:
            if (!inExponent) {
                inExponent = true;
                Token& exponent = out.add(TokenKind::Exponent);
                exponent.placeholder = token.letter;
                exponent.plusSign = token.plusSign;
            }
            break;
        case RawKind::Comma:
            // Only a comma between integer placeholders means something here: grouping.
            break;
        default:
            // A percent sign is shown but does not scale a mantissa.
            out.literal(token.text);
            break;
        }
    }
}

bool buildThousandsInWholePart(const std::vector<RawToken>& tokens, std::size_t k)
{
    return k > 0 && k + 1 < tokens.size() && tokens[k - 1].kind == RawKind::Placeholder
        && tokens[k + 1].kind == RawKind::Placeholder;
}

// Fractions: [whole number, separator] numerator / denominator [trailing placeholders].
// Returns false when the slash does not make a fraction.
bool buildFraction(const RawSection& raw, SectionBuilder& out, Section& section)
{
    const auto& tokens = raw.tokens;
    std::size_t slash = tokens.size();
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        if (tokens[k].kind == RawKind::Slash) {
            slash = k;
            break;
        }
    }
    if (slash == tokens.size()) {
        return false;
    }
    // The numerator is the run of placeholders nearest before the bar.
    std::size_t numeratorEnd = slash;
    while (numeratorEnd > 0 && tokens[numeratorEnd - 1].kind != RawKind::Placeholder) {
        --numeratorEnd;
    }
    if (numeratorEnd == 0) {
        return false;
    }
    std::size_t numeratorBegin = numeratorEnd;
    while (numeratorBegin > 0 && tokens[numeratorBegin - 1].kind == RawKind::Placeholder) {
        --numeratorBegin;
    }
    // The denominator: the next run of placeholders, or a number written after the bar.
    std::size_t denominatorBegin = slash + 1;
    while (denominatorBegin < tokens.size() && tokens[denominatorBegin].kind != RawKind::Placeholder
           && !isDigitLiteral(tokens[denominatorBegin])) {
        if (tokens[denominatorBegin].kind != RawKind::Literal) {
            return false;
        }
        ++denominatorBegin;
    }
    if (denominatorBegin == tokens.size()) {
        return false;
    }
    std::size_t denominatorEnd = denominatorBegin;
    std::uint32_t fixed = 0;
    if (isDigitLiteral(tokens[denominatorBegin])) {
        while (denominatorEnd < tokens.size()
               && (isDigitLiteral(tokens[denominatorEnd])
                   || (tokens[denominatorEnd].kind == RawKind::Placeholder
                       && tokens[denominatorEnd].letter == '0'))
               && fixed < 100000000) {
            const char digit = tokens[denominatorEnd].kind == RawKind::Placeholder
                ? '0'
                : tokens[denominatorEnd].text[0];
            fixed = fixed * 10 + static_cast<std::uint32_t>(digit - '0');
            ++denominatorEnd;
        }
    } else {
        while (denominatorEnd < tokens.size()
               && tokens[denominatorEnd].kind == RawKind::Placeholder) {
            ++denominatorEnd;
        }
    }
    std::size_t wholeEnd = 0; // one past the last placeholder of the whole number
    for (std::size_t k = 0; k < numeratorBegin; ++k) {
        if (tokens[k].kind == RawKind::Placeholder) {
            wholeEnd = k + 1;
        }
    }
    section.hasWholePart = wholeEnd > 0;
    section.fixedDenominator = fixed;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const RawToken& token = tokens[k];
        if (section.hasWholePart && k == wholeEnd) {
            out.sealLiteral();
            section.fractionBegin = out.size();
        }
        if (k == numeratorBegin) {
            out.sealLiteral();
            section.numeratorBegin = out.size();
            if (!section.hasWholePart) {
                section.fractionBegin = out.size();
            }
        }
        if (k == denominatorEnd) {
            out.sealLiteral();
            section.fractionEnd = out.size();
        }
        if (k == slash) {
            out.add(TokenKind::FractionBar);
            continue;
        }
        if (k >= denominatorBegin && k < denominatorEnd) {
            if (fixed != 0) {
                if (k == denominatorBegin) {
                    Token& denominator = out.add(TokenKind::FixedDenominator);
                    denominator.number = fixed;
                    denominator.count =
                        static_cast<std::uint8_t>(denominatorEnd - denominatorBegin);
                }
            } else {
                out.digit(token.letter, DigitRole::Denominator);
            }
            continue;
        }
        switch (token.kind) {
        case RawKind::Placeholder:
            out.digit(token.letter,
                      k < numeratorBegin        ? DigitRole::Integer
                          : k < numeratorEnd    ? DigitRole::Numerator
                          : k >= denominatorEnd ? DigitRole::Trailing
                                                : DigitRole::Integer);
            break;
        case RawKind::Comma:
            if (k < wholeEnd && buildThousandsInWholePart(tokens, k)) {
                section.thousands = true;
            } else {
                out.literal(token.text);
            }
            break;
        default:
            out.literal(token.text);
            break;
        }
    }
    out.sealLiteral();
    if (denominatorEnd == tokens.size()) {
        section.fractionEnd = out.size();
    }
    return true;
}

bool isHourToken(const RawToken& token)
{
    return (token.kind == RawKind::Date || token.kind == RawKind::Elapsed) && token.letter == 'h';
}

bool isSecondToken(const RawToken& token)
{
    return (token.kind == RawKind::Date || token.kind == RawKind::Elapsed) && token.letter == 's';
}

// Dates and times. False when the section mixes in number placeholders.
bool buildDate(const RawSection& raw, SectionBuilder& out, Section& section)
{
    const auto& tokens = raw.tokens;
    section.twelveHour = hasKind(raw, RawKind::AmPm) || hasKind(raw, RawKind::AP);
    bool minuteSeen = false;
    const RawToken* previousDate = nullptr;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const RawToken& token = tokens[k];
        switch (token.kind) {
        case RawKind::Point: {
            // ".0", ".00", ".000": fractions of the second.
            std::size_t end = k + 1;
            while (end < tokens.size() && tokens[end].kind == RawKind::Placeholder
                   && tokens[end].letter == '0') {
                ++end;
            }
            const int digits = static_cast<int>(end - k - 1);
            if (digits == 0) {
                out.literal(token.text);
                break;
            }
            out.literal(section.separators->decimal);
            Token& subSecond = out.add(TokenKind::SubSecond);
            subSecond.count = static_cast<std::uint8_t>(std::min(digits, 3));
            section.subSecondDigits = std::max<int>(section.subSecondDigits, subSecond.count);
            for (int extra = 3; extra < digits; ++extra) {
                out.literal("0");
            }
            k = end - 1;
            break;
        }
        case RawKind::Placeholder:
        case RawKind::Exponent:
        case RawKind::General:
            return false;
        case RawKind::Date: {
            const int count = token.count;
            switch (token.letter) {
            case 'y':
                out.add(count <= 2 ? TokenKind::Year2 : TokenKind::Year4);
                break;
            case 'e':
                out.add(TokenKind::Year4);
                break;
            case 'b':
                out.add(count <= 2 ? TokenKind::BuddhistYear2 : TokenKind::BuddhistYear4);
                break;
            case 'd':
            case 'a':
                // aaa and aaaa are the day names too.
                if (token.letter == 'd' && count <= 2) {
                    out.add(TokenKind::Day).count = static_cast<std::uint8_t>(count);
                } else {
                    out.add(count == 3 ? TokenKind::DayAbbr : TokenKind::DayName);
                }
                break;
            case 'h':
                out.add(TokenKind::Hour).count = static_cast<std::uint8_t>(std::min(count, 2));
                break;
            case 's':
                out.add(TokenKind::Second).count = static_cast<std::uint8_t>(std::min(count, 2));
                break;
            case 'm': {
                if (count >= 3) {
                    out.add(count == 3       ? TokenKind::MonthAbbr
                                : count == 5 ? TokenKind::MonthLetter
                                             : TokenKind::MonthName);
                    break;
                }
                // m and mm are minutes right after an hour or right before a second, and after a
                // second while no minute has been shown (s-m gives the minute, m-s-m the month).
                const RawToken* nextDate = nullptr;
                for (std::size_t n = k + 1; n < tokens.size(); ++n) {
                    if (isDateToken(tokens[n])) {
                        nextDate = &tokens[n];
                        break;
                    }
                }
                const bool minute = (previousDate != nullptr && isHourToken(*previousDate))
                    || (nextDate != nullptr && isSecondToken(*nextDate))
                    || (previousDate != nullptr && isSecondToken(*previousDate) && !minuteSeen);
                if (minute) {
                    minuteSeen = true;
                    out.add(TokenKind::Minute).count = static_cast<std::uint8_t>(count);
                } else {
                    out.add(TokenKind::Month).count = static_cast<std::uint8_t>(count);
                }
                break;
            }
            default:
                break;
            }
            previousDate = &token;
            break;
        }
        case RawKind::Elapsed: {
            const TokenKind kind = token.letter == 'h' ? TokenKind::ElapsedHours
                : token.letter == 'm'                  ? TokenKind::ElapsedMinutes
                                                       : TokenKind::ElapsedSeconds;
            if (token.letter == 'm') {
                minuteSeen = true;
            }
            out.add(kind).count = static_cast<std::uint8_t>(token.count);
            previousDate = &token;
            break;
        }
        case RawKind::AmPm:
            out.add(TokenKind::AmPm);
            previousDate = &token;
            break;
        case RawKind::AP: {
            // The letters keep the case written: a/p shows a or p.
            const char letters[2] = {token.text[0], token.text[2]};
            const std::uint32_t offset = out.store(std::string_view(letters, 2));
            Token& ap = out.add(TokenKind::AP);
            ap.offset = offset;
            ap.length = 2;
            previousDate = &token;
            break;
        }
        case RawKind::Slash:
            // "/" in a date is the locale's date separator.
            out.literal(section.separators->date);
            break;
        default:
            out.literal(token.text);
            break;
        }
    }
    return true;
}

bool buildSystemSection(std::string_view code,
                        const Condition& condition,
                        CompiledFormat& format,
                        Section& section)
{
    auto sections = scanFormatCode(code);
    if (!sections || sections->size() != 1) {
        return false;
    }
    RawSection& raw = sections->front();
    raw.condition = condition;
    // The locale's form is never itself a system code.
    raw.systemDate = false;
    raw.systemTime = false;
    return buildSection(raw, format, section);
}

} // namespace

bool buildSection(RawSection& raw, CompiledFormat& format, Section& section)
{
    if (raw.systemDate) {
        return buildSystemSection(displayLocale().longDate, raw.condition, format, section);
    }
    if (raw.systemTime) {
        return buildSystemSection(displayLocale().longTime, raw.condition, format, section);
    }
    section.condition = raw.condition;
    if (raw.separators) {
        section.separators = raw.separators;
    }
    if (raw.names) {
        section.names = raw.names;
    }
    SectionBuilder out(format, section);
    const bool hasDate = std::any_of(raw.tokens.begin(), raw.tokens.end(), isDateToken);
    const bool hasPlaceholder = hasKind(raw, RawKind::Placeholder);
    if (hasKind(raw, RawKind::At)) {
        section.kind = SectionKind::Text;
        for (const RawToken& token : raw.tokens) {
            if (token.kind == RawKind::At) {
                out.add(TokenKind::Text);
            } else if (token.kind != RawKind::Placeholder && !isDateToken(token)
                       && token.kind != RawKind::General) {
                out.literal(token.text);
            }
        }
        return true;
    }
    if (hasDate) {
        section.kind = SectionKind::Date;
        return buildDate(raw, out, section);
    }
    if (hasKind(raw, RawKind::General)) {
        if (hasPlaceholder) {
            return false;
        }
        section.kind = SectionKind::General;
        for (const RawToken& token : raw.tokens) {
            if (token.kind == RawKind::General) {
                out.add(TokenKind::General);
            } else {
                out.literal(token.text);
            }
        }
        return true;
    }
    if (!hasPlaceholder) {
        section.kind = SectionKind::Literal;
        for (const RawToken& token : raw.tokens) {
            out.literal(token.text);
        }
        return true;
    }
    if (hasKind(raw, RawKind::Exponent)) {
        section.kind = SectionKind::Scientific;
        buildScientific(raw, out);
    } else {
        section.kind = SectionKind::Fraction;
        if (!buildFraction(raw, out, section)) {
            section = Section{};
            section.condition = raw.condition;
            if (raw.separators) {
                section.separators = raw.separators;
            }
            if (raw.names) {
                section.names = raw.names;
            }
            section.kind = SectionKind::Number;
            SectionBuilder plain(format, section);
            buildNumber(raw, plain, section);
        }
    }
    if (section.kind == SectionKind::Scientific) {
        // Thousands grouping of the mantissa: a comma between two integer placeholders.
        for (std::size_t k = 1; k + 1 < raw.tokens.size(); ++k) {
            if (raw.tokens[k].kind == RawKind::Exponent) {
                break;
            }
            if (raw.tokens[k].kind == RawKind::Comma
                && raw.tokens[k - 1].kind == RawKind::Placeholder
                && raw.tokens[k + 1].kind == RawKind::Placeholder) {
                section.thousands = true;
            }
        }
    }
    numberPlaceholders(section);
    return true;
}

} // namespace sheetfray::engine::format
