#include "engine/format/DisplayLocale.h"

namespace sheetfray::engine::format {

namespace {

struct State
{
    DisplayLocale locale;
    std::string dateTime = "m/d/yyyy h:mm"; // built-in 22
    Separators separators;
};

State& state()
{
    static State s;
    return s;
}

struct LocaleSeparators
{
    std::uint16_t id;
    Separators separators;
};

// Windows' separators for the locales whose tags workbooks carry most. The narrow no-break
// space is French grouping in current systems and office suites.
constexpr std::array<LocaleSeparators, 14> KnownLocales = {{
    {0x0407, {",", ".", "."}}, // de-DE
    {0x0409, {".", ",", "/"}}, // en-US
    {0x040A, {",", ".", "/"}}, // es-ES (traditional sort)
    {0x040C, {",", "\u202F", "/"}}, // fr-FR
    {0x0410, {",", ".", "/"}}, // it-IT
    {0x0413, {",", ".", "-"}}, // nl-NL
    {0x0416, {",", ".", "/"}}, // pt-BR
    {0x0809, {".", ",", "/"}}, // en-GB
    {0x0C07, {",", ".", "."}}, // de-AT
    {0x0C09, {".", ",", "/"}}, // en-AU
    {0x0C0A, {",", ".", "/"}}, // es-ES
    {0x1009, {".", ",", "-"}}, // en-CA
    {0x1409, {".", ",", "/"}}, // en-NZ
    {0x1809, {".", ",", "/"}}, // en-IE
}};

} // namespace

void setDisplayLocale(const DisplayLocale& locale)
{
    State& s = state();
    s.locale = locale;
    s.dateTime = locale.shortDate + ' ' + locale.shortTime;
    s.separators = {s.locale.decimalSeparator, s.locale.thousandsSeparator, s.locale.dateSeparator};
}

const DisplayLocale& displayLocale()
{
    return state().locale;
}

const Separators& displaySeparators()
{
    return state().separators;
}

std::string_view localeBuiltinCode(int id)
{
    const State& s = state();
    switch (id) {
    case 14:
    case 27:
    case 28:
    case 29:
    case 30:
    case 31:
    case 36:
        return s.locale.shortDate;
    case 20:
        return s.locale.shortTime;
    case 21:
    case 32:
    case 33:
    case 34:
    case 35:
        return s.locale.time;
    case 22:
        return s.dateTime;
    default:
        return {};
    }
}

const DateNames* namesOfLocaleId(std::uint32_t id)
{
    // The low ten bits name the language; 0x09 is English.
    static const DateNames english;
    return (id & 0x3FFU) == 0x09 ? &english : nullptr;
}

const Separators* separatorsOfLocaleId(std::uint32_t id)
{
    const auto language = static_cast<std::uint16_t>(id & 0xFFFFU);
    for (const LocaleSeparators& known : KnownLocales) {
        if (known.id == language) {
            return &known.separators;
        }
    }
    return nullptr;
}

} // namespace sheetfray::engine::format
