#include "engine/readers/XlsxText.h"

#include "engine/CodePage.h"

namespace sheetfray::engine::readers {

namespace {

// The UTF-16 code unit of an escape "_xHHHH_" at text[pos], if there is one.
std::optional<char32_t> escapeAt(std::string_view text, std::size_t pos)
{
    if (pos + 7 > text.size() || text[pos] != '_' || text[pos + 1] != 'x' || text[pos + 6] != '_') {
        return std::nullopt;
    }
    char32_t unit = 0;
    for (std::size_t i = pos + 2; i < pos + 6; ++i) {
        const char c = text[i];
        unit <<= 4;
        if (c >= '0' && c <= '9') {
            unit |= static_cast<char32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            unit |= static_cast<char32_t>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            unit |= static_cast<char32_t>(c - 'a' + 10);
        } else {
            return std::nullopt;
        }
    }
    return unit;
}

} // namespace

void decodeEscapes(std::string& text)
{
    if (text.find("_x") == std::string::npos) {
        return;
    }
    std::string out;
    out.reserve(text.size());
    const std::string_view in(text);
    std::size_t pos = 0;
    while (pos < in.size()) {
        const auto unit = in[pos] == '_' ? escapeAt(in, pos) : std::nullopt;
        if (!unit) {
            out += in[pos++];
            continue;
        }
        pos += 7;
        char32_t code = *unit;
        if (code >= 0xD800 && code <= 0xDBFF) {
            const auto low = escapeAt(in, pos);
            if (low && *low >= 0xDC00 && *low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
                pos += 7;
            } else {
                code = 0xFFFD;
            }
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        appendUtf8(code, out);
    }
    text = std::move(out);
}

} // namespace sheetfray::engine::readers
