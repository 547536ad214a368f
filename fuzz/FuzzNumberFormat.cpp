// Fuzzes the number-format parser and renderer: any code, any value, both date systems.
#include "engine/format/DisplayLocale.h"
#include "engine/format/NumberFormat.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sheetfray::engine::format;
    // Eight bytes of value, then the code. Fixed values add the edges a fuzzer rarely
    // builds from bytes: zero, negatives, the date limits, the largest finite numbers.
    double fromInput = 0;
    if (size >= sizeof fromInput) {
        std::memcpy(&fromInput, data, sizeof fromInput);
        data += sizeof fromInput;
        size -= sizeof fromInput;
    }
    const std::string_view code(reinterpret_cast<const char*>(data), size);
    const NumberFormat format = NumberFormat::compile(code);
    (void)format.isDate();
    (void)format.isGeneral();
    (void)isDateFormatCode(code);
    const double values[] = {fromInput,
                             0.0,
                             -0.0,
                             1.5,
                             -1234.5678,
                             0.000123,
                             60.0,
                             2958465.999999,
                             2958466.0,
                             -1.0,
                             1e15,
                             1e-300,
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::lowest(),
                             std::numeric_limits<double>::denorm_min()};
    std::string out;
    for (const double value : values) {
        if (!std::isfinite(value)) {
            continue; // readers never store infinities or NaN
        }
        for (const DateSystem system : {DateSystem::Date1900, DateSystem::Date1904}) {
            out.clear();
            format.render(value, system, out);
            out.clear();
            appendDateValueText(value, system, ValueLocale::enUS(), out);
        }
        out.clear();
        appendNumberValueText(value, ValueLocale::enUS(), out);
    }
    out.clear();
    format.renderText(code, out);
    // The code as a locale's date pattern, as the value text of a date cell uses it.
    ValueLocale locale;
    locale.shortDate = std::string(code);
    locale.longTime = std::string(code);
    out.clear();
    if (std::isfinite(fromInput)) {
        appendDateValueText(fromInput, DateSystem::Date1900, locale, out);
        // The code as a display locale's forms, with separators and names of several bytes.
        DisplayLocale display;
        display.decimalSeparator = ",";
        display.thousandsSeparator = "\u202F";
        display.dateSeparator = ".";
        display.shortDate = std::string(code);
        display.shortTime = std::string(code);
        display.time = std::string(code);
        display.longDate = std::string(code);
        display.longTime = std::string(code);
        display.names.months[2] = "M\u00E4rz";
        display.names.days[0] = "";
        setDisplayLocale(display);
        for (const int id : {14, 20, 21, 22}) {
            out.clear();
            NumberFormat::compile(builtinFormatCode(id))
                .render(fromInput, DateSystem::Date1900, out);
        }
        out.clear();
        NumberFormat::compile(code).render(fromInput, DateSystem::Date1904, out);
        out.clear();
        NumberFormat::compile("[$-F800]dddd;[$-F400]h")
            .render(fromInput, DateSystem::Date1900, out);
        setDisplayLocale(DisplayLocale::enUS());
    }
    return 0;
}
