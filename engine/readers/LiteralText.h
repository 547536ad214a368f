// Texts that a format code can show as they are, whatever the value.
#pragma once

#include <cstddef>
#include <string_view>

namespace sheetfray::engine::readers {

// True when text, quoted in each of three sections ("\"t\";\"t\";\"t\""), makes a format
// that shows text for every value: a text of up to 300 bytes with no quote and no control
// character (a quote would need escaping; a longer text passes the bound on code length).
// A reader can then keep a number with its shown text without compiling that format.
[[nodiscard]] inline bool isPlainLiteral(std::string_view text)
{
    constexpr std::size_t MaxLength = 300;
    if (text.empty() || text.size() > MaxLength) {
        return false;
    }
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '"') {
            return false;
        }
    }
    return true;
}

} // namespace sheetfray::engine::readers
