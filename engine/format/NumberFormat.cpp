#include "engine/format/NumberFormat.h"

#include "engine/format/GeneralNumber.h"

#include <cstdio>

namespace sheetfray::engine::format {

struct CompiledFormat
{
    bool date = false;
};

NumberFormat::NumberFormat() = default;

NumberFormat NumberFormat::compile(std::string_view)
{
    return {};
}

bool NumberFormat::isDate() const
{
    return m_compiled && m_compiled->date;
}

bool NumberFormat::isGeneral() const
{
    return !m_compiled;
}

void NumberFormat::render(double value, DateSystem, std::string& out) const
{
    appendGeneralNumber(value, out);
}

void NumberFormat::renderText(std::string_view text, std::string& out) const
{
    out += text;
}

std::string_view builtinFormatCode(int id)
{
    return id == 0 ? "General" : "";
}

void appendNumberValueText(double value, const ValueLocale&, std::string& out)
{
    char buffer[32];
    const int n = std::snprintf(buffer, sizeof buffer, "%.15g", value);
    out.append(buffer, static_cast<std::size_t>(n));
}

void appendDateValueText(double serial, DateSystem, const ValueLocale& locale, std::string& out)
{
    appendNumberValueText(serial, locale, out);
}

} // namespace sheetfray::engine::format
