#include "platform/LocaleSetup.h"

#include "support/Error.h"
#include "support/Text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>
#include <vector>

namespace sheetfray::platform {

namespace {

bool isUtf8Name(std::string_view codeset)
{
    std::string letters;
    for (char ch : codeset) {
        if (ch != '-' && ch != '_') {
            letters += ch;
        }
    }
    return equalsIgnoringAsciiCase(letters, "utf8");
}

// The number-format code for one strftime conversion; empty for those a date form lacks.
std::string_view codeFor(char conversion)
{
    switch (conversion) {
    case 'd':
        return "dd";
    case 'e':
        return "d";
    case 'm':
        return "mm";
    case 'y':
        return "yy";
    case 'Y':
        return "yyyy";
    case 'b':
    case 'h':
        return "mmm";
    case 'B':
        return "mmmm";
    case 'a':
        return "ddd";
    case 'A':
        return "dddd";
    case 'D':
        return "mm/dd/yy";
    case 'F':
        return "yyyy-mm-dd";
    case 'H':
    case 'I':
        return "hh";
    case 'k':
    case 'l':
        return "h";
    case 'M':
        return "mm";
    case 'S':
        return "ss";
    case 'p':
        return "AM/PM";
    case 'r':
        return "hh:mm:ss AM/PM";
    case 'T':
        return "hh:mm:ss";
    case 'R':
        return "hh:mm";
    case '%':
        return "%";
    default:
        return "";
    }
}

// Conversions that show part of a time of day, or its zone.
bool isTimeConversion(char conversion)
{
    return std::string_view("HIklMSpPrRTzZs").find(conversion) != std::string_view::npos;
}

// A pattern's conversions ("%-d" with its flags) and literal characters, in order.
struct PatternItem
{
    std::string_view text;
    char conversion = 0; // 0 for a literal character
};

std::vector<PatternItem> splitPattern(std::string_view pattern)
{
    std::vector<PatternItem> items;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            items.push_back({pattern.substr(i, 1), 0});
            continue;
        }
        const std::size_t start = i++;
        while (i + 1 < pattern.size()
               && std::string_view("EO-_0^#").find(pattern[i]) != std::string_view::npos) {
            ++i;
        }
        items.push_back({pattern.substr(start, i - start + 1), pattern[i]});
    }
    return items;
}

// A language and region other than en_US: its forms replace the en-US built-in ones.
bool hasOwnForms(const LocaleInfo& locale)
{
    return !locale.isPosix && locale.name.rfind("en_US", 0) != 0;
}

// A separator or name of a single-byte locale in UTF-8.
std::string inUtf8(const std::string& text, const engine::CodePage& codePage)
{
    if (codePage.isUtf8()) {
        return text;
    }
    try {
        return codePage.decode(text);
    } catch (const Error&) {
        return "";
    }
}

// The locale's names where it gives every one of them; the English ones otherwise.
template <std::size_t N>
void copyNames(const std::array<std::string, N>& names,
               const engine::CodePage& codePage,
               std::array<std::string, N>& out)
{
    std::array<std::string, N> converted;
    for (std::size_t i = 0; i < N; ++i) {
        converted[i] = inUtf8(names[i], codePage);
        if (converted[i].empty()) {
            return;
        }
    }
    out = std::move(converted);
}

engine::format::DisplayLocale displayLocaleFor(const LocaleInfo& locale,
                                               const engine::CodePage& codePage)
{
    engine::format::DisplayLocale display = engine::format::DisplayLocale::enUS();
    if (locale.isPosix) {
        return display;
    }
    if (const std::string decimal = inUtf8(locale.decimalPoint, codePage); !decimal.empty()) {
        display.decimalSeparator = decimal;
    }
    display.thousandsSeparator = inUtf8(locale.thousandsSeparator, codePage);
    if (!hasOwnForms(locale)) {
        return display;
    }
    // The date separator is the mark between the first two parts of the short date (a
    // pattern of words, "%Y年%m月%d日", keeps "/").
    const std::vector<PatternItem> dateItems = splitPattern(locale.dateFormat);
    if (dateItems.size() >= 3 && dateItems[0].conversion != 0 && dateItems[1].conversion == 0
        && dateItems[2].conversion != 0 && dateItems[1].text.find_first_of("./-") == 0) {
        display.dateSeparator = std::string(dateItems[1].text);
    }
    if (const std::string date = formatCodeFromStrftime(locale.dateFormat); !date.empty()) {
        display.shortDate = date;
    }
    if (const std::string time = formatCodeFromStrftime(locale.timeFormat); !time.empty()) {
        display.time = time;
        display.longTime = time;
        display.shortTime = formatCodeFromStrftime(strftimeWithoutSeconds(locale.timeFormat));
    }
    copyNames(locale.months, codePage, display.names.months);
    copyNames(locale.monthAbbreviations, codePage, display.names.monthAbbreviations);
    copyNames(locale.days, codePage, display.names.days);
    copyNames(locale.dayAbbreviations, codePage, display.names.dayAbbreviations);
    const std::string longDate = formatCodeFromStrftime(strftimeLongDate(locale.longDateFormat));
    display.longDate = longDate.empty() ? display.shortDate : longDate;
    return display;
}

} // namespace

std::string strftimeWithoutSeconds(std::string_view pattern)
{
    std::string expanded;
    for (const PatternItem& item : splitPattern(pattern)) {
        if (item.conversion == 'T') {
            expanded += "%H:%M:%S";
        } else if (item.conversion == 'r') {
            expanded += "%I:%M:%S %p";
        } else {
            expanded += item.text;
        }
    }
    std::string out;
    for (const PatternItem& item : splitPattern(expanded)) {
        if (item.conversion == 'S') {
            // The seconds go with the separator before them.
            while (!out.empty() && (out.back() == ':' || out.back() == '.')) {
                out.pop_back();
            }
            continue;
        }
        out += item.text;
    }
    return out;
}

std::string strftimeLongDate(std::string_view pattern)
{
    const std::vector<PatternItem> items = splitPattern(pattern);
    std::string out;
    std::size_t k = 0;
    while (k < items.size()) {
        // A run of time conversions with the blanks and colons between them becomes one blank.
        std::size_t end = k;
        bool hasTime = false;
        while (end < items.size()
               && (isTimeConversion(items[end].conversion) || items[end].text == " "
                   || items[end].text == ":")) {
            hasTime = hasTime || items[end].conversion != 0;
            ++end;
        }
        if (hasTime) {
            if (!out.empty() && end < items.size()) {
                out += ' ';
            }
            k = end;
            continue;
        }
        const std::size_t stop = std::max(end, k + 1);
        for (; k < stop; ++k) {
            const char conversion = items[k].conversion;
            if (conversion == 'a') {
                out += "%A";
            } else if (conversion == 'b' || conversion == 'h') {
                out += "%B";
            } else {
                out += items[k].text;
            }
        }
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

std::string formatCodeFromStrftime(std::string_view pattern)
{
    std::string code;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char ch = pattern[i];
        if (ch == '%' && i + 1 < pattern.size()) {
            char conversion = pattern[++i];
            // Flags and the E and O modifiers change nothing a number format can show, but
            // "-" drops the padding of a day, month or hour.
            bool unpadded = false;
            while ((conversion == 'E' || conversion == 'O' || conversion == '-' || conversion == '_'
                    || conversion == '0' || conversion == '^' || conversion == '#')
                   && i + 1 < pattern.size()) {
                unpadded = unpadded || conversion == '-';
                conversion = pattern[++i];
            }
            const std::string_view converted = codeFor(conversion);
            const bool padded =
                converted == "dd" || converted == "hh" || (converted == "mm" && conversion == 'm');
            code += unpadded && padded ? converted.substr(1) : converted;
        } else if (std::isalpha(static_cast<unsigned char>(ch)) || ch == '"' || ch == '\\') {
            // Letters would be read as format codes: show them literally.
            code += '\\';
            code += ch;
        } else {
            code += ch;
        }
    }
    return code;
}

TextSetup textSetupFor(const LocaleInfo& locale)
{
    TextSetup setup{engine::CodePage::utf8(),
                    engine::format::ValueLocale::enUS(),
                    engine::format::DisplayLocale::enUS(),
                    {}};
    if (locale.isPosix) {
        return setup;
    }
    if (!isUtf8Name(locale.codeset)) {
        try {
            setup.codePage = engine::CodePage::singleByte(locale.codeset);
        } catch (const Error& e) {
            setup.warning = std::string(e.what()) + "; writing UTF-8 instead";
        }
    }
    setup.valueLocale.decimalSeparator = locale.decimalPoint;
    if (const std::string date = formatCodeFromStrftime(locale.dateFormat); !date.empty()) {
        setup.valueLocale.shortDate = date;
    }
    if (const std::string time = formatCodeFromStrftime(locale.timeFormat); !time.empty()) {
        setup.valueLocale.longTime = time;
    }
    setup.displayLocale = displayLocaleFor(locale, setup.codePage);
    return setup;
}

TextSetup adoptTextSetup()
{
    TextSetup setup = textSetupFor(adoptSystemLocale());
    engine::format::setDisplayLocale(setup.displayLocale);
    return setup;
}

} // namespace sheetfray::platform
