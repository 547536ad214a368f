#include "engine/CodePage.h"

#include "support/Error.h"
#include "support/Quote.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace sheetfray::engine {

namespace {

struct IconvCloser
{
    void operator()(iconv_t handle) const { iconv_close(handle); }
};

using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle openIconv(const char* to, const char* from)
{
    iconv_t handle = iconv_open(to, from);
    if (handle == reinterpret_cast<iconv_t>(-1)) {
        return nullptr;
    }
    return IconvHandle(handle);
}

// Converts one byte of the code page to its code point; nothing when the byte is unassigned.
bool byteToUnicode(iconv_t handle, std::uint8_t byte, char32_t& out)
{
    char in[1] = {static_cast<char>(byte)};
    char32_t result[2] = {};
    char* inPtr = in;
    std::size_t inLeft = 1;
    char* outPtr = reinterpret_cast<char*>(result);
    std::size_t outLeft = sizeof result;
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    if (iconv(handle, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)
        || inLeft != 0 || outLeft != sizeof(char32_t)) {
        return false;
    }
    out = result[0];
    return true;
}

} // namespace

char32_t decodeUtf8(std::string_view text, std::size_t& pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(pos);
    if (first < 0x80) {
        ++pos;
        return first;
    }
    int length = 0;
    char32_t ch = 0;
    if ((first & 0xE0) == 0xC0) {
        length = 2;
        ch = first & 0x1Fu;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3;
        ch = first & 0x0Fu;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4;
        ch = first & 0x07u;
    } else {
        ++pos;
        return 0xFFFD;
    }
    if (pos + static_cast<std::size_t>(length) > text.size()) {
        ++pos;
        return 0xFFFD;
    }
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + static_cast<std::size_t>(i));
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return 0xFFFD;
        }
        ch = (ch << 6) | (next & 0x3Fu);
    }
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (ch < smallest[length] || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) {
        ++pos;
        return 0xFFFD;
    }
    pos += static_cast<std::size_t>(length);
    return ch;
}

void appendUtf8(char32_t ch, std::string& out)
{
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

CodePage CodePage::utf8()
{
    return CodePage();
}

CodePage CodePage::singleByte(const std::string& name)
{
    IconvHandle handle = openIconv("UTF-32LE", name.c_str());
    if (!handle) {
        throw Error("the character set " + quotedText(name) + " is not known");
    }
    CodePage page;
    page.m_utf8 = false;
    page.m_name = name;
    int assigned = 0;
    for (unsigned code = 0; code < 256; ++code) {
        const auto byte = static_cast<std::uint8_t>(code);
        char32_t ch = 0;
        if (byteToUnicode(handle.get(), byte, ch)) {
            page.m_toUnicode[code] = ch;
            page.m_fromUnicode.emplace(ch, byte);
            ++assigned;
        } else {
            // An unassigned byte (0x81 in Windows-1252) stands for itself, as the platform's
            // conversion functions treat it.
            page.m_toUnicode[code] = static_cast<char32_t>(code);
        }
    }
    // ASCII must map to itself, or the page is not a single-byte extension of ASCII.
    for (unsigned code = 0; code < 128; ++code) {
        if (page.m_toUnicode[code] != code) {
            throw Error("the character set " + quotedText(name)
                        + " is not a single-byte character set");
        }
    }
    if (assigned < 128) {
        throw Error("the character set " + quotedText(name)
                    + " is not a single-byte character set");
    }
    return page;
}

std::uint32_t CodePage::codeOf(char32_t ch) const
{
    if (m_utf8) {
        return static_cast<std::uint32_t>(ch);
    }
    if (ch < 0x80) {
        return static_cast<std::uint32_t>(ch);
    }
    const auto it = m_fromUnicode.find(ch);
    return it == m_fromUnicode.end() ? std::uint32_t{'?'} : it->second;
}

char32_t CodePage::charOf(std::uint32_t code) const
{
    if (m_utf8 || code > 255) {
        return static_cast<char32_t>(code);
    }
    return m_toUnicode[code];
}

std::string CodePage::encode(std::string_view utf8) const
{
    if (m_utf8) {
        return std::string(utf8);
    }
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t ch = decodeUtf8(utf8, pos);
        out += static_cast<char>(static_cast<std::uint8_t>(codeOf(ch)));
    }
    return out;
}

std::string CodePage::decode(std::string_view bytes) const
{
    if (m_utf8) {
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size());
    for (const char byte : bytes) {
        appendUtf8(m_toUnicode[static_cast<std::uint8_t>(byte)], out);
    }
    return out;
}

} // namespace sheetfray::engine
