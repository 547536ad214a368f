#include "engine/readers/OdsStyles.h"

#include <charconv>

namespace sheetfray::engine::readers {

namespace {

bool isLong(const XmlAttributes& attributes)
{
    return attributes.value("style") == "long";
}

bool isDataStyle(std::string_view name)
{
    return name == "number-style" || name == "currency-style" || name == "percentage-style"
        || name == "date-style" || name == "time-style" || name == "boolean-style"
        || name == "text-style";
}

// A small count attribute ("2" decimal places); fallback when absent or not a count.
std::size_t countOf(const XmlAttributes& attributes, std::string_view name, std::size_t fallback)
{
    const auto text = attributes.value(name);
    if (!text) {
        return fallback;
    }
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size()) {
        return fallback;
    }
    // More digits than a double holds say nothing more.
    return std::min<std::size_t>(value, 30);
}

// The integer digits of a code: "0" per required digit, "#" when none is, grouped as
// "#,##0" when asked.
std::string integerDigits(std::size_t required, bool grouping)
{
    std::string digits = required == 0 ? std::string("#") : std::string(required, '0');
    if (grouping) {
        if (digits.size() < 4) {
            digits.insert(0, 4 - digits.size(), '#');
        }
        digits.insert(digits.size() - 3, 1, ',');
    }
    return digits;
}

std::string decimalDigits(std::size_t places, std::size_t required)
{
    if (places == 0) {
        return {};
    }
    required = std::min(required, places);
    return "." + std::string(required, '0') + std::string(places - required, '#');
}

} // namespace

void OdsStyles::startNumberPart(std::string_view name, const XmlAttributes& attributes)
{
    std::string& code = m_data.code;
    if (name == "number") {
        const auto places = attributes.value("decimal-places");
        if (!places) {
            // Without a count of places the number shows as many as it needs: General.
            m_data.expressible = false;
            return;
        }
        const std::size_t decimals = countOf(attributes, "decimal-places", 0);
        code += integerDigits(countOf(attributes, "min-integer-digits", 1),
                              attributes.value("grouping") == "true");
        code += decimalDigits(decimals, countOf(attributes, "min-decimal-places", decimals));
    } else if (name == "scientific-number") {
        const std::size_t decimals = countOf(attributes, "decimal-places", 0);
        code += integerDigits(countOf(attributes, "min-integer-digits", 1), false);
        code += decimalDigits(decimals, countOf(attributes, "min-decimal-places", decimals));
        code += "E+"
            + std::string(std::max<std::size_t>(1, countOf(attributes, "min-exponent-digits", 2)),
                          '0');
    } else if (name == "fraction") {
        code += integerDigits(countOf(attributes, "min-integer-digits", 0), false) + " ";
        code += std::string(
                    std::max<std::size_t>(1, countOf(attributes, "min-numerator-digits", 1)), '?')
            + "/";
        const auto denominator = attributes.value("denominator-value");
        if (denominator && !denominator->empty()
            && denominator->find_first_not_of("0123456789") == std::string_view::npos
            && denominator->size() <= 9) {
            code += *denominator;
        } else {
            code += std::string(
                std::max<std::size_t>(1, countOf(attributes, "min-denominator-digits", 1)), '?');
        }
    } else if (name == "text" || name == "currency-symbol") {
        m_inText = true;
    } else if (name != "map" && name != "text-properties") {
        // Embedded text, fill characters, booleans and text content: not in a code.
        m_data.expressible = false;
    }
}

void OdsStyles::appendLiteral(std::string_view text)
{
    // A quoted literal of a format code cannot hold a quote; it is written as \" between
    // two quoted pieces.
    std::string& code = m_data.code;
    code += '"';
    for (const char c : text) {
        if (c == '"') {
            code += "\"\\\"\"";
        } else {
            code += c;
        }
    }
    code += '"';
}

void OdsStyles::startElement(std::string_view name, const XmlAttributes& attributes)
{
    if (name == "style") {
        m_styleName = std::string(attributes.value("name").value_or(""));
        m_styleFamily = std::string(attributes.value("family").value_or(""));
        if (m_styleFamily == "table-cell") {
            CellStyle& style = m_cellStyles[m_styleName];
            style.parent = std::string(attributes.value("parent-style-name").value_or(""));
            style.dataStyle = std::string(attributes.value("data-style-name").value_or(""));
        }
        return;
    }
    if (isDataStyle(name)) {
        m_inDataStyle = true;
        m_styleName = std::string(attributes.value("name").value_or(""));
        m_data = DataStyle{};
        m_data.dateOrTime = name == "date-style" || name == "time-style";
        m_data.percentage = name == "percentage-style";
        if (name == "boolean-style" || name == "text-style") {
            m_data.expressible = false;
        }
        m_elapsedHours =
            name == "time-style" && attributes.value("truncate-on-overflow") == "false";
        return;
    }
    if (!m_inDataStyle) {
        return;
    }
    if (name == "map" && m_mapDepth == 0 && !m_data.dateOrTime) {
        m_data.maps.push_back({std::string(attributes.value("condition").value_or("")),
                               std::string(attributes.value("apply-style-name").value_or(""))});
    }
    if (name == "map") {
        // Conditions choose another style; the cell's paragraph decides what is shown.
        ++m_mapDepth;
        return;
    }
    if (m_mapDepth > 0) {
        return;
    }
    if (!m_data.dateOrTime) {
        startNumberPart(name, attributes);
        return;
    }
    std::string& code = m_data.code;
    if (name == "day") {
        code += isLong(attributes) ? "dd" : "d";
    } else if (name == "month") {
        const bool textual = attributes.value("textual") == "true";
        code += textual ? (isLong(attributes) ? "mmmm" : "mmm") : (isLong(attributes) ? "mm" : "m");
    } else if (name == "year") {
        code += isLong(attributes) ? "yyyy" : "yy";
    } else if (name == "day-of-week") {
        code += isLong(attributes) ? "dddd" : "ddd";
    } else if (name == "hours") {
        const std::string_view hours = isLong(attributes) ? "hh" : "h";
        if (m_elapsedHours) {
            code += '[';
            code += hours;
            code += ']';
            m_elapsedHours = false;
        } else {
            code += hours;
        }
    } else if (name == "minutes") {
        code += isLong(attributes) ? "mm" : "m";
    } else if (name == "seconds") {
        code += isLong(attributes) ? "ss" : "s";
        const std::string_view places = attributes.value("decimal-places").value_or("0");
        if (!places.empty() && places.size() <= 1 && places[0] > '0' && places[0] <= '9') {
            code += '.';
            code.append(static_cast<std::size_t>(places[0] - '0'), '0');
        }
    } else if (name == "am-pm") {
        code += "AM/PM";
    } else if (name == "text") {
        m_inText = true;
    } else if (name == "era" || name == "quarter" || name == "week-of-year") {
        m_data.expressible = false;
    }
}

void OdsStyles::endElement(std::string_view name)
{
    if (name == "style") {
        m_styleFamily.clear();
        return;
    }
    if (isDataStyle(name)) {
        m_dataStyles[m_styleName] = std::move(m_data);
        m_data = DataStyle{};
        m_inDataStyle = false;
        m_mapDepth = 0;
        return;
    }
    if (name == "map" && m_mapDepth > 0) {
        --m_mapDepth;
    } else if (name == "text" || name == "currency-symbol") {
        m_inText = false;
    }
}

void OdsStyles::characters(std::string_view text)
{
    if (!m_inDataStyle || !m_inText || m_mapDepth > 0) {
        return;
    }
    // A percent sign of a percentage style scales the value, as "%" does in a code.
    while (m_data.percentage && !text.empty()) {
        const std::size_t percent = text.find('%');
        if (percent == std::string_view::npos) {
            break;
        }
        if (percent > 0) {
            appendLiteral(text.substr(0, percent));
        }
        m_data.code += '%';
        text.remove_prefix(percent + 1);
    }
    if (!text.empty()) {
        appendLiteral(text);
    }
}

const OdsStyles::DataStyle* OdsStyles::dataStyleOf(std::string_view cellStyle) const
{
    // Follow the parent styles up to the first that names a data style; the chain is
    // bounded so that styles naming each other as parents cannot loop.
    std::string name(cellStyle);
    for (int depth = 0; depth < 16; ++depth) {
        const auto it = m_cellStyles.find(name);
        if (it == m_cellStyles.end()) {
            return nullptr;
        }
        if (!it->second.dataStyle.empty()) {
            const auto data = m_dataStyles.find(it->second.dataStyle);
            return data == m_dataStyles.end() || !data->second.expressible ? nullptr
                                                                           : &data->second;
        }
        name = it->second.parent;
    }
    return nullptr;
}

std::string OdsStyles::dateTimeCode(std::string_view cellStyle) const
{
    const DataStyle* data = dataStyleOf(cellStyle);
    return data && data->dateOrTime ? data->code : std::string();
}

std::string OdsStyles::numberCode(std::string_view cellStyle) const
{
    const DataStyle* data = dataStyleOf(cellStyle);
    if (!data || data->dateOrTime || data->code.empty()) {
        return {};
    }
    if (data->maps.empty()) {
        return data->code;
    }
    // Maps send values by sign to other styles (the style itself takes the rest): as the
    // sections of a code, for values above, below and at zero.
    const std::string* sections[3] = {&data->code, &data->code, &data->code};
    for (const Map& map : data->maps) {
        const auto target = m_dataStyles.find(map.style);
        if (target == m_dataStyles.end() || !target->second.expressible || target->second.dateOrTime
            || target->second.code.empty()) {
            return {};
        }
        const std::string* code = &target->second.code;
        if (map.condition == "value()>=0") {
            sections[0] = sections[2] = code;
        } else if (map.condition == "value()>0") {
            sections[0] = code;
        } else if (map.condition == "value()<0") {
            sections[1] = code;
        } else if (map.condition == "value()<=0") {
            sections[1] = sections[2] = code;
        } else if (map.condition == "value()=0") {
            sections[2] = code;
        } else {
            return {};
        }
    }
    if (sections[2] == sections[0]) {
        return *sections[0] + ";" + *sections[1];
    }
    return *sections[0] + ";" + *sections[1] + ";" + *sections[2];
}

} // namespace sheetfray::engine::readers
