#include "platform/LocaleSetup.h"

#include "support/Error.h"
#include "support/Text.h"

#include <cctype>

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

} // namespace

std::string formatCodeFromStrftime(std::string_view pattern)
{
    std::string code;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char ch = pattern[i];
        if (ch == '%' && i + 1 < pattern.size()) {
            char conversion = pattern[++i];
            // Flags and the E and O modifiers change nothing a number format can show.
            while ((conversion == 'E' || conversion == 'O' || conversion == '-' || conversion == '_'
                    || conversion == '0' || conversion == '^' || conversion == '#')
                   && i + 1 < pattern.size()) {
                conversion = pattern[++i];
            }
            code += codeFor(conversion);
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
    TextSetup setup{engine::CodePage::utf8(), engine::format::ValueLocale::enUS(), {}};
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
    return setup;
}

} // namespace sheetfray::platform
