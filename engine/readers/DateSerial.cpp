#include "engine/readers/DateSerial.h"

#include <charconv>
#include <cstdint>

namespace sheetfray::engine::readers {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant, "chrono-compatible
// low-level date algorithms", days_from_civil).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : Days[month - 1];
}

// Reads exactly `digits` decimal digits at pos.
bool readFixed(std::string_view text, std::size_t& pos, std::size_t digits, int& out)
{
    if (pos + digits > text.size()) {
        return false;
    }
    out = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9') {
            return false;
        }
        out = out * 10 + (c - '0');
    }
    pos += digits;
    return true;
}

bool expect(std::string_view text, std::size_t& pos, char c)
{
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

// hh:mm[:ss[.fff]] at pos; seconds of the day in out.
bool readTime(std::string_view text, std::size_t& pos, double& out)
{
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (!readFixed(text, pos, 2, hour) || !expect(text, pos, ':')
        || !readFixed(text, pos, 2, minute)) {
        return false;
    }
    double fraction = 0;
    if (expect(text, pos, ':')) {
        if (!readFixed(text, pos, 2, second)) {
            return false;
        }
        if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
            const std::size_t start = pos;
            ++pos;
            while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
                ++pos;
            }
            std::string digits = "0.";
            digits.append(text.substr(start + 1, pos - start - 1));
            std::from_chars(digits.data(), digits.data() + digits.size(), fraction);
        }
    }
    // 24:00:00 is the end of a day (ISO 8601); a leap second is not a time of day here.
    if (hour > 24 || minute > 59 || second > 59
        || (hour == 24 && (minute != 0 || second != 0 || fraction != 0))) {
        return false;
    }
    out = hour * 3600.0 + minute * 60.0 + second + fraction;
    return true;
}

// Z, +hh:mm, -hh:mm, +hhmm or +hh; the spreadsheet has no zones, so it is only skipped.
bool skipZone(std::string_view text, std::size_t& pos)
{
    if (expect(text, pos, 'Z') || expect(text, pos, 'z')) {
        return true;
    }
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        ++pos;
        int value = 0;
        if (!readFixed(text, pos, 2, value)) {
            return false;
        }
        expect(text, pos, ':');
        if (pos < text.size()) {
            return readFixed(text, pos, 2, value);
        }
    }
    return true;
}

} // namespace

double dateSerial(int year, int month, int day, double secondsOfDay, format::DateSystem system)
{
    const std::int64_t days =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    double serial = 0;
    if (system == format::DateSystem::Date1904) {
        serial = static_cast<double>(days - daysFromCivil(1904, 1, 1));
    } else {
        serial = static_cast<double>(days - daysFromCivil(1899, 12, 30));
        // Before 1 March 1900 the application's count lacks the day it later invents.
        if (serial < 61) {
            serial -= 1;
        }
    }
    return serial + secondsOfDay / 86400.0;
}

std::optional<double> isoDateSerial(std::string_view text, format::DateSystem system)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    std::size_t pos = 0;
    double seconds = 0;
    // A time alone: "10:10:10" or "T10:10:10".
    if (text.size() >= 3 && (text[2] == ':' || text[0] == 'T')) {
        expect(text, pos, 'T');
        if (!readTime(text, pos, seconds) || !skipZone(text, pos) || pos != text.size()) {
            return std::nullopt;
        }
        return seconds / 86400.0;
    }
    int year = 0;
    int month = 0;
    int day = 0;
    if (!readFixed(text, pos, 4, year) || !expect(text, pos, '-') || !readFixed(text, pos, 2, month)
        || !expect(text, pos, '-') || !readFixed(text, pos, 2, day)) {
        return std::nullopt;
    }
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)) {
        return std::nullopt;
    }
    if (expect(text, pos, 'T') || expect(text, pos, ' ')) {
        if (!readTime(text, pos, seconds)) {
            return std::nullopt;
        }
    }
    if (!skipZone(text, pos) || pos != text.size()) {
        return std::nullopt;
    }
    return dateSerial(year, month, day, seconds, system);
}

} // namespace sheetfray::engine::readers
