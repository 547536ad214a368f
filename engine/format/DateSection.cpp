#include "engine/format/DateSection.h"

#include "engine/format/SerialDate.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace sheetfray::engine::format {

namespace {

// The first character of a name (one UTF-8 sequence).
std::string_view firstLetter(std::string_view name)
{
    std::size_t length = name.empty() ? 0 : 1;
    while (length < name.size() && (static_cast<unsigned char>(name[length]) & 0xC0U) == 0x80U) {
        ++length;
    }
    return name.substr(0, length);
}

// Appends n in decimal, padded with zeros to at least `width` digits.
void appendPadded(std::int64_t n, int width, std::string& out)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, n < 0 ? -n : n);
    const auto length = static_cast<int>(result.ptr - buffer);
    if (length < width) {
        out.append(static_cast<std::size_t>(width - length), '0');
    }
    out.append(buffer, result.ptr);
}

bool hasToken(const Section& section, TokenKind kind)
{
    return std::any_of(section.tokens.begin(), section.tokens.end(), [kind](const Token& token) {
        return token.kind == kind;
    });
}

} // namespace

bool renderDateSection(const CompiledFormat& format,
                       const Section& section,
                       double serial,
                       bool minus,
                       DateSystem system,
                       std::string& out)
{
    const auto parts = splitSerial(serial, system, section.subSecondDigits);
    if (!parts) {
        return false;
    }
    // An elapsed unit shows the whole time in that unit; the smaller units stay within it,
    // and plain tokens of the same unit follow it ([s] ss: both the total seconds).
    const bool elapsedHours = hasToken(section, TokenKind::ElapsedHours);
    const bool elapsedMinutes = !elapsedHours && hasToken(section, TokenKind::ElapsedMinutes);
    const bool elapsedSeconds =
        !elapsedHours && !elapsedMinutes && hasToken(section, TokenKind::ElapsedSeconds);
    const std::int64_t hours = elapsedHours ? parts->totalHours : parts->hour;
    const std::int64_t minutes = elapsedMinutes ? parts->totalMinutes : parts->minute;
    const std::int64_t seconds = elapsedSeconds ? parts->totalSeconds : parts->second;

    if (minus) {
        out += '-';
    }
    for (const Token& token : section.tokens) {
        switch (token.kind) {
        case TokenKind::Literal:
            out.append(format.literals, token.offset, token.length);
            break;
        case TokenKind::Year2:
            appendPadded(parts->year % 100, 2, out);
            break;
        case TokenKind::Year4:
            appendPadded(parts->year, 4, out);
            break;
        case TokenKind::BuddhistYear2:
            appendPadded((parts->year + 543) % 100, 2, out);
            break;
        case TokenKind::BuddhistYear4:
            appendPadded(parts->year + 543, 4, out);
            break;
        case TokenKind::Month:
            appendPadded(parts->month, token.count, out);
            break;
        case TokenKind::MonthAbbr:
            out += section.names->monthAbbreviations[static_cast<std::size_t>(parts->month - 1)];
            break;
        case TokenKind::MonthName:
            out += section.names->months[static_cast<std::size_t>(parts->month - 1)];
            break;
        case TokenKind::MonthLetter:
            out += firstLetter(section.names->months[static_cast<std::size_t>(parts->month - 1)]);
            break;
        case TokenKind::Day:
            appendPadded(parts->day, token.count, out);
            break;
        case TokenKind::DayAbbr:
            out += section.names->dayAbbreviations[static_cast<std::size_t>(parts->weekday)];
            break;
        case TokenKind::DayName:
            out += section.names->days[static_cast<std::size_t>(parts->weekday)];
            break;
        case TokenKind::Hour:
            if (section.twelveHour && !elapsedHours) {
                const int hour12 = parts->hour % 12;
                appendPadded(hour12 == 0 ? 12 : hour12, token.count, out);
            } else {
                appendPadded(hours, token.count, out);
            }
            break;
        case TokenKind::Minute:
            appendPadded(minutes, token.count, out);
            break;
        case TokenKind::Second:
            appendPadded(seconds, token.count, out);
            break;
        case TokenKind::SubSecond: {
            // The time was rounded to the finest fraction shown; coarser ones cut it short.
            std::int64_t fraction = parts->subSecond;
            for (int k = token.count; k < section.subSecondDigits; ++k) {
                fraction /= 10;
            }
            appendPadded(fraction, token.count, out);
            break;
        }
        case TokenKind::ElapsedHours:
            appendPadded(parts->totalHours, token.count, out);
            break;
        case TokenKind::ElapsedMinutes:
            appendPadded(elapsedMinutes ? parts->totalMinutes : parts->minute, token.count, out);
            break;
        case TokenKind::ElapsedSeconds:
            appendPadded(elapsedSeconds ? parts->totalSeconds : parts->second, token.count, out);
            break;
        case TokenKind::AmPm:
            out += parts->hour < 12 ? "AM" : "PM";
            break;
        case TokenKind::AP:
            out += format.literals[token.offset + (parts->hour < 12 ? 0 : 1)];
            break;
        default:
            break;
        }
    }
    return true;
}

} // namespace sheetfray::engine::format
