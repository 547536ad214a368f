#include "engine/format/FormatParser.h"

#include "engine/format/FormatSections.h"
#include "support/Text.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace sheetfray::engine::format {

namespace {

constexpr std::size_t MaxSections = 4;

// Length of the UTF-8 sequence starting with byte c (1 for stray continuation bytes).
std::size_t utf8Length(unsigned char c)
{
    if (c >= 0xF0) {
        return 4;
    }
    if (c >= 0xE0) {
        return 3;
    }
    if (c >= 0xC0) {
        return 2;
    }
    return 1;
}

// Format codes are case-insensitive for their ASCII letters, whatever the C locale.
bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view word)
{
    if (text.size() - at < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (asciiLower(text[at + i]) != word[i]) {
            return false;
        }
    }
    return true;
}

std::optional<Condition> parseCondition(std::string_view text)
{
    Condition condition;
    std::size_t i = 0;
    const auto next = [&](char c) {
        if (i < text.size() && text[i] == c) {
            ++i;
            return true;
        }
        return false;
    };
    if (next('<')) {
        condition.op = next('=') ? CompareOp::LessEqual
            : next('>')          ? CompareOp::NotEqual
                                 : CompareOp::Less;
    } else if (next('>')) {
        condition.op = next('=') ? CompareOp::GreaterEqual : CompareOp::Greater;
    } else if (next('=')) {
        condition.op = CompareOp::Equal;
    } else {
        return std::nullopt;
    }
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    const auto result = std::from_chars(first, last, condition.operand);
    if (result.ec != std::errc() || result.ptr != last) {
        return std::nullopt;
    }
    return condition;
}

// Reads the bracket [content] into the section. False when the content is not valid.
bool readBracket(std::string_view content, RawSection& section)
{
    if (content.empty()) {
        return false;
    }
    if (content[0] == '$') {
        // [$symbol-locale]: the symbol is shown; the locale only changes names and digits.
        const std::string_view rest = content.substr(1);
        const std::size_t dash = rest.find('-');
        const std::string_view symbol = rest.substr(0, dash);
        const std::string_view locale =
            dash == std::string_view::npos ? std::string_view() : rest.substr(dash + 1);
        if (!symbol.empty()) {
            section.tokens.push_back({RawKind::Literal, 0, false, true, 0, symbol});
        }
        // F800 and F400 stand for the system's long date and time (the display locale's).
        if (startsWithNoCase(locale, 0, "f800") || startsWithNoCase(locale, 0, "x-sysdate")) {
            section.systemDate = true;
        } else if (startsWithNoCase(locale, 0, "f400")
                   || startsWithNoCase(locale, 0, "x-systime")) {
            section.systemTime = true;
        } else if (symbol.empty()) {
            // A bare tag ([$-407]) shows numbers as that locale does; beside a currency
            // symbol ([$€-407]) it names only the symbol's locale.
            std::uint32_t id = 0;
            const char* last = locale.data() + locale.size();
            const auto parsed = std::from_chars(locale.data(), last, id, 16);
            if (parsed.ec == std::errc() && parsed.ptr == last) {
                section.separators = separatorsOfLocaleId(id);
                section.names = namesOfLocaleId(id);
            }
        }
        return true;
    }
    if (content[0] == '<' || content[0] == '>' || content[0] == '=') {
        const auto condition = parseCondition(content);
        if (!condition || section.condition.op != CompareOp::None) {
            return false;
        }
        section.condition = *condition;
        return true;
    }
    const char letter = asciiLower(content[0]);
    if (letter == 'h' || letter == 'm' || letter == 's') {
        const bool same = std::all_of(
            content.begin(), content.end(), [letter](char c) { return asciiLower(c) == letter; });
        if (same) {
            section.tokens.push_back({RawKind::Elapsed,
                                      letter,
                                      false,
                                      false,
                                      static_cast<int>(std::min<std::size_t>(content.size(), 9)),
                                      {}});
            return true;
        }
    }
    // Colours ([Red], [Color 10]) and other display hints carry nothing for the text.
    return true;
}

} // namespace

std::optional<std::vector<RawSection>> scanFormatCode(std::string_view code)
{
    std::vector<RawSection> sections(1);
    bool placeholderSeen = false; // in the current section: decides between E+ and the year e
    std::size_t i = 0;
    while (i < code.size()) {
        RawSection& section = sections.back();
        auto& tokens = section.tokens;
        const char c = code[i];
        const auto literal = [&](std::size_t at, bool quoted) {
            const std::size_t length =
                std::min(utf8Length(static_cast<unsigned char>(code[at])), code.size() - at);
            tokens.push_back({RawKind::Literal, 0, false, quoted, 0, code.substr(at, length)});
            return at + length;
        };
        switch (c) {
        case ';':
            if (sections.size() == MaxSections) {
                return std::nullopt;
            }
            sections.emplace_back();
            placeholderSeen = false;
            ++i;
            continue;
        case '"': {
            const std::size_t end = code.find('"', i + 1);
            if (end == std::string_view::npos) {
                return std::nullopt;
            }
            if (end > i + 1) {
                tokens.push_back(
                    {RawKind::Literal, 0, false, true, 0, code.substr(i + 1, end - i - 1)});
            }
            i = end + 1;
            continue;
        }
        case '\\':
            if (i + 1 >= code.size()) {
                return std::nullopt;
            }
            i = literal(i + 1, true);
            continue;
        case '_':
            // _x leaves the room of x: one blank in a text.
            if (i + 1 >= code.size()) {
                return std::nullopt;
            }
            tokens.push_back({RawKind::Literal, 0, false, true, 0, " "});
            i += 1 + utf8Length(static_cast<unsigned char>(code[i + 1]));
            continue;
        case '*':
            // *x repeats x to fill the column; a text of its own has no column to fill.
            if (i + 1 >= code.size()) {
                return std::nullopt;
            }
            i += 1 + utf8Length(static_cast<unsigned char>(code[i + 1]));
            continue;
        case '[': {
            const std::size_t end = code.find(']', i + 1);
            if (end == std::string_view::npos
                || !readBracket(code.substr(i + 1, end - i - 1), section)) {
                return std::nullopt;
            }
            i = end + 1;
            continue;
        }
        case '0':
        case '#':
        case '?':
            tokens.push_back({RawKind::Placeholder, c, false, false, 0, {}});
            placeholderSeen = true;
            ++i;
            continue;
        case '.':
            tokens.push_back({RawKind::Point, 0, false, false, 0, code.substr(i, 1)});
            ++i;
            continue;
        case ',':
            tokens.push_back({RawKind::Comma, 0, false, false, 0, code.substr(i, 1)});
            ++i;
            continue;
        case '%':
            tokens.push_back({RawKind::Percent, 0, false, false, 0, code.substr(i, 1)});
            ++i;
            continue;
        case '/':
            tokens.push_back({RawKind::Slash, 0, false, false, 0, code.substr(i, 1)});
            ++i;
            continue;
        case '@':
            tokens.push_back({RawKind::At, 0, false, false, 0, {}});
            ++i;
            continue;
        default:
            break;
        }
        const char letter = asciiLower(c);
        if (letter == 'g' && startsWithNoCase(code, i, "general")) {
            tokens.push_back({RawKind::General, 0, false, false, 0, {}});
            i += 7;
            continue;
        }
        if (letter == 'e' && placeholderSeen && i + 1 < code.size()
            && (code[i + 1] == '+' || code[i + 1] == '-')) {
            tokens.push_back({RawKind::Exponent, c, code[i + 1] == '+', false, 0, {}});
            i += 2;
            continue;
        }
        if (letter == 'a') {
            if (startsWithNoCase(code, i, "am/pm")) {
                tokens.push_back({RawKind::AmPm, 0, false, false, 0, {}});
                i += 5;
                continue;
            }
            if (startsWithNoCase(code, i, "a/p")) {
                tokens.push_back({RawKind::AP, 0, false, false, 0, code.substr(i, 3)});
                i += 3;
                continue;
            }
        }
        if (letter == 'b' && i + 1 < code.size() && (code[i + 1] == '1' || code[i + 1] == '2')) {
            // B1/B2 switch the calendar (Gregorian, Hijri); only the Gregorian one is shown.
            i += 2;
            continue;
        }
        if (letter == 'y' || letter == 'm' || letter == 'd' || letter == 'h' || letter == 's'
            || letter == 'e' || letter == 'b' || letter == 'g' || letter == 'a') {
            std::size_t end = i;
            while (end < code.size() && asciiLower(code[end]) == letter) {
                ++end;
            }
            const int count = static_cast<int>(std::min<std::size_t>(end - i, 9));
            if (letter == 'a' && count < 3) {
                // "a" and "aa" are plain letters; "aaa" and "aaaa" are day names.
                for (std::size_t k = i; k < end; ++k) {
                    tokens.push_back({RawKind::Literal, 0, false, false, 0, code.substr(k, 1)});
                }
            } else if (letter != 'g') {
                // g is the era, which en-US does not show.
                tokens.push_back({RawKind::Date, letter, false, false, count, {}});
            }
            i = end;
            continue;
        }
        i = literal(i, false);
    }
    return sections;
}

std::shared_ptr<const CompiledFormat> parseFormatCode(std::string_view code)
{
    if (code.empty() || code.size() > MaxFormatCodeLength) {
        return nullptr;
    }
    auto rawSections = scanFormatCode(code);
    if (!rawSections) {
        return nullptr;
    }
    auto format = std::make_shared<CompiledFormat>();
    format->code = code;
    format->sections.resize(rawSections->size());
    for (std::size_t k = 0; k < rawSections->size(); ++k) {
        if (!buildSection((*rawSections)[k], *format, format->sections[k])) {
            return nullptr;
        }
    }
    // The text section is the fourth, or a last section that holds '@' ("0;-0;@").
    const int count = static_cast<int>(format->sections.size());
    if (count == 4) {
        format->textSection = 3;
    } else if (format->sections.back().kind == SectionKind::Text) {
        format->textSection = count - 1;
    }
    format->numericSections = format->textSection >= 0 ? format->textSection : count;
    // A code is a date code when a section for numbers shows a date or time; conditional
    // codes such as "[=0]?;[<4.2][hh]:mm:ss" keep the date in a later section.
    format->date =
        std::any_of(format->sections.begin(),
                    format->sections.begin() + format->numericSections,
                    [](const Section& section) { return section.kind == SectionKind::Date; });
    return format;
}

} // namespace sheetfray::engine::format
