// Serial numbers of the 1900 and 1904 date systems split into calendar date and time of day.
#pragma once

#include "engine/format/NumberFormat.h"

#include <cstdint>
#include <optional>

namespace sheetfray::engine::format {

struct DateTimeParts
{
    int year = 1900;
    int month = 1; // 1 to 12
    int day = 0; // 0 only for serial 0 of the 1900 system, shown as 1/0/1900
    int weekday = 0; // 0 is Sunday
    int hour = 0;
    int minute = 0;
    int second = 0;
    int subSecond = 0; // the fraction of the second in units of 10^-subSecondDigits
    std::int64_t totalHours = 0; // elapsed time since serial 0, for [h]
    std::int64_t totalMinutes = 0;
    std::int64_t totalSeconds = 0;
};

// Splits a serial number, rounded to the nearest 10^-subSecondDigits second (0 to 3 digits).
// Empty for serials the date system cannot show: negative, or from the year 10000 on.
// In the 1900 system serial 0 is 0 January 1900 and serial 60 the 29 February 1900 that the
// application counts although it never was (ECMA-376 Part 1, 18.17.4.1).
[[nodiscard]] std::optional<DateTimeParts>
splitSerial(double serial, DateSystem system, int subSecondDigits);

} // namespace sheetfray::engine::format
