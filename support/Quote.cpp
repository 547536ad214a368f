#include "support/Quote.h"

#include <algorithm>
#include <cstdint>

namespace sheetfray {

namespace {

constexpr std::string_view Ellipsis = "\u2026";

// The next character of the text as its code and its length in bytes; a byte that does not
// start valid UTF-8 (stray continuation, overlong form, surrogate, past U+10FFFF, cut short)
// gives length 1 and no code.
struct Character
{
    char32_t code = 0;
    std::size_t length = 1;
    bool valid = false;
};

Character nextCharacter(std::string_view text, std::size_t pos)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byteAt(pos);
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    std::size_t length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        least = 0x10000;
    } else {
        return {};
    }
    if (text.size() - pos < length) {
        return {};
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byteAt(pos + i);
        if ((next & 0xC0u) != 0x80) {
            return {};
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return {};
    }
    return {code, length, true};
}

// Characters that act on a terminal or the order of text on screen rather than show.
bool needsEscape(char32_t code)
{
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || (code >= 0x202A && code <= 0x202E)
        || (code >= 0x2066 && code <= 0x2069) || code == 0x200E || code == 0x200F || code == 0x061C
        || code == 0x2028 || code == 0x2029;
}

void appendHex(std::uint32_t value, int digits, std::string& out)
{
    constexpr std::string_view Digits = "0123456789abcdef";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out += Digits[(value >> shift) & 0xFu];
    }
}

void appendEscape(char32_t code, std::string& out)
{
    switch (code) {
    case 0:
        out += "\\0";
        return;
    case '\t':
        out += "\\t";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    default:
        break;
    }
    if (code < 0x80) {
        out += "\\x";
        appendHex(code, 2, out);
    } else {
        out += "\\u";
        appendHex(code, 4, out);
    }
}

// Appends up to most characters of the text, escaped; true when all of it fitted.
bool appendShown(std::string_view text, std::size_t most, std::string& out)
{
    std::size_t pos = 0;
    std::size_t count = 0;
    while (pos < text.size()) {
        if (count == most) {
            return false;
        }
        const Character ch = nextCharacter(text, pos);
        if (!ch.valid) {
            out += "\\x";
            appendHex(static_cast<unsigned char>(text[pos]), 2, out);
        } else if (needsEscape(ch.code)) {
            appendEscape(ch.code, out);
        } else {
            out.append(text, pos, ch.length);
        }
        pos += ch.length;
        ++count;
    }
    return true;
}

// How many characters the text holds, counted as appendShown counts them, up to limit.
std::size_t characterCount(std::string_view text, std::size_t limit)
{
    std::size_t pos = 0;
    std::size_t count = 0;
    while (pos < text.size() && count < limit) {
        pos += nextCharacter(text, pos).length;
        ++count;
    }
    return count;
}

} // namespace

std::string shownText(std::string_view text, std::size_t most)
{
    std::string out;
    // Decide first whether the text fits, so the cut text keeps room for the "…".
    const bool fits = characterCount(text, most + 1) <= most;
    if (fits) {
        appendShown(text, most, out);
    } else if (most > 0) {
        appendShown(text, most - 1, out);
        out += Ellipsis;
    }
    return out;
}

std::string quotedText(std::string_view text)
{
    std::string out = "\"";
    out += shownText(text);
    out += '"';
    return out;
}

std::string quotedPath(std::string_view path)
{
    constexpr std::size_t Most = MostQuotedCharacters;
    // A name keeps at least this many of its characters, however long its folder.
    constexpr std::size_t LeastOfName = 40;
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string_view folder = path.substr(0, nameStart);
    const std::string_view name = path.substr(nameStart);
    const std::size_t folderLength = characterCount(folder, Most + 1);
    const std::size_t nameLength = characterCount(name, Most + 1);
    if (folderLength + nameLength <= Most) {
        return quotedText(path);
    }
    std::string out = "\"";
    const std::size_t nameRoom =
        std::min(nameLength, std::max(LeastOfName, Most > folderLength ? Most - folderLength : 0));
    const std::size_t folderRoom = Most - nameRoom;
    if (folderLength <= folderRoom) {
        appendShown(folder, folderRoom, out);
    } else {
        // The start of the folder, "…" and its last separator.
        appendShown(folder, folderRoom - 2, out);
        out += Ellipsis;
        out += '/';
    }
    out += shownText(name, nameRoom);
    out += '"';
    return out;
}

} // namespace sheetfray
