// Turns the user's locale into the engine's code page and value-text forms.
#pragma once

#include "engine/CodePage.h"
#include "engine/format/NumberFormat.h"
#include "platform/SystemLocale.h"

#include <string>
#include <string_view>

namespace sheetfray::platform {

struct TextSetup
{
    engine::CodePage codePage;
    engine::format::ValueLocale valueLocale;
    std::string warning; // non-empty when the locale's character set could not be used
};

// The C locale and UTF-8 locales give UTF-8 (a locale that chose nothing should not turn
// every letter beyond ASCII into "?"); single-byte character sets are used as they are.
[[nodiscard]] TextSetup textSetupFor(const LocaleInfo& locale);

// A strftime pattern ("%m/%d/%Y") as a number-format code ("mm/dd/yyyy").
[[nodiscard]] std::string formatCodeFromStrftime(std::string_view pattern);

} // namespace sheetfray::platform
