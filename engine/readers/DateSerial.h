// Calendar dates and times as serial numbers of a workbook's date system.
#pragma once

#include "engine/format/NumberFormat.h"

#include <optional>
#include <string_view>

namespace sheetfray::engine::readers {

// The serial of a date (proleptic Gregorian calendar) and time of day. In the 1900 system
// serial 1 is 1 January 1900 and serial 60 the 29 February 1900 the spreadsheet application
// counts although it never was, so dates from 1 March 1900 on lie one day further.
[[nodiscard]] double
dateSerial(int year, int month, int day, double secondsOfDay, format::DateSystem system);

// Parses an ISO 8601 date, date and time, or time ("2021-01-01", "2021-01-01T10:10:10.5Z",
// "10:10:10"); a zone designator is accepted and ignored. A time alone gives its day
// fraction. Empty when the text is not such a date or names an impossible day or time.
[[nodiscard]] std::optional<double> isoDateSerial(std::string_view text, format::DateSystem system);

} // namespace sheetfray::engine::readers
