// The user's locale as displayed texts follow it: separators, and the forms that the built-in
// date and time formats and the system date and time codes take there.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sheetfray::engine::format {

// What a number format's "." and "," show as, and a date's "/".
struct Separators
{
    std::string_view decimal = ".";
    std::string_view thousands = ",";
    std::string_view date = "/";
};

// The names a date shows for its month and weekday (Sunday first).
struct DateNames
{
    std::array<std::string, 12> months{"January",
                                       "February",
                                       "March",
                                       "April",
                                       "May",
                                       "June",
                                       "July",
                                       "August",
                                       "September",
                                       "October",
                                       "November",
                                       "December"};
    std::array<std::string, 12> monthAbbreviations{
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 7> days{
        "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    std::array<std::string, 7> dayAbbreviations{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
};

// Appends a separator; most are one byte, which a push takes fastest.
inline void appendSeparator(std::string_view separator, std::string& out)
{
    if (separator.size() == 1) {
        out.push_back(separator.front());
    } else {
        out.append(separator);
    }
}

// The display forms of one locale. Date and time forms are number-format codes.
struct DisplayLocale
{
    std::string decimalSeparator = ".";
    std::string thousandsSeparator = ",";
    std::string dateSeparator = "/";
    std::string shortDate = "m/d/yyyy"; // built-in 14 and the date of 22
    std::string shortTime = "h:mm"; // built-in 20 and the time of 22
    std::string time = "h:mm:ss"; // built-in 21
    std::string longDate = "dddd, mmmm d, yyyy"; // [$-F800]
    std::string longTime = "h:mm:ss AM/PM"; // [$-F400]
    DateNames names;

    static DisplayLocale enUS() { return {}; }
};

// Sets the locale of displayed texts for the run: formats compiled from now on take its date
// and time forms, and every number shown takes its separators. Call it before any workbook is
// read and never while one is: rendering reads it from every thread without a lock.
void setDisplayLocale(const DisplayLocale& locale);

[[nodiscard]] const DisplayLocale& displayLocale();

// The display locale's separators (valid until the next setDisplayLocale).
[[nodiscard]] const Separators& displaySeparators();

// The names a locale tag asks for: English for an English tag ([$-409], [$-809]), else
// nullptr, for the display locale's.
[[nodiscard]] const DateNames* namesOfLocaleId(std::uint32_t id);

// The built-in codes that follow the display locale: 14, 20, 21, 22 and the East Asian ids
// that show as them; empty for every other id.
[[nodiscard]] std::string_view localeBuiltinCode(int id);

// The separators of a locale id from a [$-407] tag (its low 16 bits name the language and
// region); nullptr for ids this program does not know, which show the display locale's.
[[nodiscard]] const Separators* separatorsOfLocaleId(std::uint32_t id);

} // namespace sheetfray::engine::format
