// Turns the user's locale into the engine's code page and value-text forms.
#pragma once

#include "engine/CodePage.h"
#include "engine/format/DisplayLocale.h"
#include "engine/format/NumberFormat.h"
#include "platform/SystemLocale.h"

#include <string>
#include <string_view>

namespace sheetfray::platform {

struct TextSetup
{
    engine::CodePage codePage;
    engine::format::ValueLocale valueLocale;
    engine::format::DisplayLocale displayLocale;
    std::string warning; // non-empty when the locale's character set could not be used
};

// The C locale and UTF-8 locales give UTF-8 (a locale that chose nothing should not turn
// every letter beyond ASCII into "?"); single-byte character sets are used as they are.
// Displayed texts take the locale's separators and date and time forms; the C and POSIX
// locales and en_US keep the en-US forms of the built-in formats.
[[nodiscard]] TextSetup textSetupFor(const LocaleInfo& locale);

// Adopts the environment's locale for the run: its text setup, with the displayed texts'
// locale already in force (engine::format::setDisplayLocale). Call it before any workbook
// is read.
[[nodiscard]] TextSetup adoptTextSetup();

// A strftime pattern ("%m/%d/%Y") as a number-format code ("mm/dd/yyyy").
[[nodiscard]] std::string formatCodeFromStrftime(std::string_view pattern);

// A time pattern without its seconds ("%H:%M:%S" gives "%H:%M", "%r" "%I:%M %p").
[[nodiscard]] std::string strftimeWithoutSeconds(std::string_view pattern);

// The date alone of date(1)'s pattern, with full day and month names ("%a %-d. %b %H:%M:%S
// %Z %Y" gives "%A %-d. %B %Y"): the long date as far as the C library tells it.
[[nodiscard]] std::string strftimeLongDate(std::string_view pattern);

} // namespace sheetfray::platform
