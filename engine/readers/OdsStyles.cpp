#include "engine/readers/OdsStyles.h"

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

} // namespace

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
        m_elapsedHours =
            name == "time-style" && attributes.value("truncate-on-overflow") == "false";
        return;
    }
    if (!m_inDataStyle || !m_data.dateOrTime) {
        return;
    }
    if (name == "map") {
        // Conditions choose another style; the cell's paragraph decides what is shown.
        ++m_mapDepth;
        return;
    }
    if (m_mapDepth > 0) {
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
    } else if (name == "text") {
        m_inText = false;
    }
}

void OdsStyles::characters(std::string_view text)
{
    if (m_inDataStyle && m_inText && m_mapDepth == 0) {
        appendLiteral(text);
    }
}

std::string OdsStyles::dateTimeCode(std::string_view cellStyle) const
{
    // Follow the parent styles up to the first that names a data style; the chain is
    // bounded so that styles naming each other as parents cannot loop.
    std::string name(cellStyle);
    for (int depth = 0; depth < 16; ++depth) {
        const auto it = m_cellStyles.find(name);
        if (it == m_cellStyles.end()) {
            return {};
        }
        if (!it->second.dataStyle.empty()) {
            const auto data = m_dataStyles.find(it->second.dataStyle);
            if (data == m_dataStyles.end() || !data->second.dateOrTime
                || !data->second.expressible) {
                return {};
            }
            return data->second.code;
        }
        name = it->second.parent;
    }
    return {};
}

} // namespace sheetfray::engine::readers
