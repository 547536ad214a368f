// Number formats: a value rendered through its format code as the spreadsheet shows it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace sheetfray::engine::format {

// The workbook's date system: serial 1 is 1 January 1900, or 2 January 1904.
enum class DateSystem : std::uint8_t { Date1900, Date1904 };

struct CompiledFormat; // the parsed sections, private to the renderer

// One compiled format code. Cheap to copy (the compiled form is shared).
class NumberFormat
{
public:
    NumberFormat(); // General

    // Compiles a code. A code that cannot be parsed, or that exceeds the bounds on length,
    // sections and nesting, gives General: this never throws for bad input.
    static NumberFormat compile(std::string_view code);

    // True for a date or time format: a number shown through it is a date value.
    [[nodiscard]] bool isDate() const;
    [[nodiscard]] bool isGeneral() const;
    // The code this format renders: as compiled, or "General" when it could not be.
    [[nodiscard]] std::string_view code() const;

    // Appends the displayed text of a number, as a wide enough column shows it.
    void render(double value, DateSystem system, std::string& out) const;

    // Appends the displayed text of a text cell: the text section when the code has one
    // ("@" and literals around it), otherwise the text unchanged.
    void renderText(std::string_view text, std::string& out) const;

private:
    std::shared_ptr<const CompiledFormat> m_compiled;
};

// The code of a built-in format id, as the display locale shows it (en-US unless
// setDisplayLocale chose another; the text lives until then); empty when the id has no
// built-in code.
[[nodiscard]] std::string_view builtinFormatCode(int id);

// True when a number shown through the code is a date value (NumberFormat::isDate).
[[nodiscard]] bool isDateFormatCode(std::string_view code);

// How value texts look in the user's locale (a cell file holds the value's own text).
// The date and time patterns are number-format codes.
struct ValueLocale
{
    std::string decimalSeparator = ".";
    std::string shortDate = "m/d/yyyy";
    std::string longTime = "h:mm:ss AM/PM";

    static ValueLocale enUS() { return {}; }
};

// Appends a number's own text: up to 15 significant digits, no formatting, the locale's
// decimal separator (0.125 for a cell that shows 12.5%).
void appendNumberValueText(double value, const ValueLocale& locale, std::string& out);

// Appends a date value's text: the locale's short date, followed by a blank and the time
// when the serial has a time of day. A serial on day 0 of the 1900 system (below 1) is a time
// of day and gives the time alone.
void appendDateValueText(double serial,
                         DateSystem system,
                         const ValueLocale& locale,
                         std::string& out);

} // namespace sheetfray::engine::format
