#include "engine/format/SerialDate.h"

#include <cmath>

namespace sheetfray::engine::format {

namespace {

// Serials of 1 January 10000: the first day neither system shows.
constexpr std::int64_t EndOfDays1900 = 2958466;
constexpr std::int64_t EndOfDays1904 = 2957004;

// Days from 1970-01-01 to the serial's day 0 (1899-12-30 for the 1900 system from 1 March 1900
// on, 1904-01-01 for the 1904 system).
constexpr std::int64_t Epoch1900 = -25569;
constexpr std::int64_t Epoch1904 = -24107;

constexpr std::int64_t TicksPerSecond[] = {1, 10, 100, 1000};

struct CivilDate
{
    int year;
    int month;
    int day;
};

// Proleptic Gregorian date of a day count from 1970-01-01 (H. Hinnant's days_from_civil inverse).
CivilDate civilFromDays(std::int64_t days)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return {static_cast<int>(year), static_cast<int>(month), static_cast<int>(day)};
}

} // namespace

std::optional<DateTimeParts> splitSerial(double serial, DateSystem system, int subSecondDigits)
{
    const bool system1900 = system == DateSystem::Date1900;
    const std::int64_t endOfDays = system1900 ? EndOfDays1900 : EndOfDays1904;
    if (!(serial >= 0) || serial >= static_cast<double>(endOfDays)) {
        return std::nullopt;
    }
    const int digits = subSecondDigits < 0 ? 0 : subSecondDigits > 3 ? 3 : subSecondDigits;
    const std::int64_t ticksPerSecond = TicksPerSecond[digits];
    const std::int64_t ticksPerDay = 86400 * ticksPerSecond;
    // The time is rounded to the finest unit shown, so 23:59:59.6 shown as h:mm:ss is the next
    // day's 0:00:00. Below 2^53 ticks the product is exact enough for whole ticks.
    const auto ticks = static_cast<std::int64_t>(
        std::floor(serial * 86400.0 * static_cast<double>(ticksPerSecond) + 0.5));
    const std::int64_t days = ticks / ticksPerDay;
    if (days >= endOfDays) {
        return std::nullopt;
    }
    const std::int64_t timeTicks = ticks % ticksPerDay;
    DateTimeParts parts;
    const std::int64_t secondsOfDay = timeTicks / ticksPerSecond;
    parts.subSecond = static_cast<int>(timeTicks % ticksPerSecond);
    parts.hour = static_cast<int>(secondsOfDay / 3600);
    parts.minute = static_cast<int>(secondsOfDay / 60 % 60);
    parts.second = static_cast<int>(secondsOfDay % 60);
    parts.totalSeconds = ticks / ticksPerSecond;
    parts.totalMinutes = parts.totalSeconds / 60;
    parts.totalHours = parts.totalSeconds / 3600;

    if (system1900) {
        // Serial 1 is a Sunday in this system, serial 0 the Saturday before.
        parts.weekday = static_cast<int>((days + 6) % 7);
        if (days == 0) {
            parts.year = 1900;
            parts.month = 1;
            parts.day = 0;
        } else if (days == 60) {
            parts.year = 1900;
            parts.month = 2;
            parts.day = 29;
        } else {
            const CivilDate date = civilFromDays(days + Epoch1900 + (days < 60 ? 1 : 0));
            parts.year = date.year;
            parts.month = date.month;
            parts.day = date.day;
        }
    } else {
        parts.weekday = static_cast<int>((days + 5) % 7); // 1 January 1904 was a Friday
        const CivilDate date = civilFromDays(days + Epoch1904);
        parts.year = date.year;
        parts.month = date.month;
        parts.day = date.day;
    }
    return parts;
}

} // namespace sheetfray::engine::format
