// The text of SpreadsheetML values: numbers written with white space around them, escaped
// characters, and the string items of shared and inline strings.
#pragma once

#include "engine/readers/XmlStream.h"

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

namespace sheetfray::engine::readers {

// Characters of XML whitespace, trimmed off values that are numbers.
inline bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

inline std::string_view trim(std::string_view text)
{
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

template <typename T>
inline std::optional<T> parseInteger(std::string_view text)
{
    text = trim(text);
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// Decodes the escapes of an ST_Xstring (ECMA-376 Part 1, 22.9.2.19): "_xHHHH_" is the
// UTF-16 code unit HHHH, so "_x000D_" is a carriage return and "_x005F_" a literal "_"
// (which keeps a following "x0041_" as text). A surrogate pair spans two escapes.
void decodeEscapes(std::string& text);

// Collects the text of a string item (<si>, <is>): plain <t> and the <t> of rich-text runs,
// joined; phonetic runs (<rPh>) are reading aids the application does not display.
class StringItemCollector
{
public:
    void start(std::string_view name)
    {
        if (isName(name, "rPh")) {
            ++m_phonetic;
        } else if (isName(name, "t") && m_phonetic == 0) {
            m_capturing = true;
        }
    }

    void end(std::string_view name)
    {
        if (isName(name, "rPh")) {
            --m_phonetic;
        } else if (isName(name, "t")) {
            m_capturing = false;
        }
    }

    void characters(std::string_view text)
    {
        if (m_capturing) {
            m_text.append(text);
        }
    }

    void clear()
    {
        m_text.clear();
        m_phonetic = 0;
        m_capturing = false;
    }

    // The decoded text; the collector's buffer is reused for the next item.
    std::string& text()
    {
        decodeEscapes(m_text);
        return m_text;
    }

private:
    std::string m_text;
    int m_phonetic = 0;
    bool m_capturing = false;
};

} // namespace sheetfray::engine::readers
