// What the user's locale says about text: character set, separators, date and time forms.
#pragma once

#include <array>
#include <string>

namespace sheetfray::platform {

struct LocaleInfo
{
    std::string codeset; // "UTF-8", "ISO-8859-1", "ANSI_X3.4-1968" for the C locale
    std::string decimalPoint; // "." or ","
    std::string dateFormat; // strftime form of the short date ("%m/%d/%Y")
    std::string timeFormat; // strftime form of the time ("%r")
    bool isPosix = true; // the C or POSIX locale, where nothing was chosen
    std::string thousandsSeparator; // "," or "." or empty where numbers are not grouped
    std::string longDateFormat; // strftime form of date(1)'s output, time parts included
    std::string name; // the name of the time locale ("de_DE.UTF-8")
    // Names of months and weekdays (Sunday first), in the locale's character set; empty
    // where the locale gives none.
    std::array<std::string, 12> months;
    std::array<std::string, 12> monthAbbreviations;
    std::array<std::string, 7> days;
    std::array<std::string, 7> dayAbbreviations;
};

// Adopts the environment's locale (LANG, LC_ALL, ...) for the process and describes it.
[[nodiscard]] LocaleInfo adoptSystemLocale();

// True when the stream is a terminal (progress is shown only there).
[[nodiscard]] bool isTerminal(int fileDescriptor);

} // namespace sheetfray::platform
