// The character set that output files and their names are written in.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace sheetfray::engine {

// Either UTF-8, where every character can be written, or a single-byte code page such as
// Windows-1252, where a character the page lacks becomes "?". Text inside the engine is
// always UTF-8; a code page only decides which characters survive and how files are encoded.
class CodePage
{
public:
    static CodePage utf8();
    // A single-byte character set by its iconv name ("WINDOWS-1252", "ISO-8859-5").
    // Throws Error when iconv does not know it or it is not a single-byte set.
    static CodePage singleByte(const std::string& name);

    [[nodiscard]] bool isUtf8() const { return m_utf8; }

    [[nodiscard]] const std::string& name() const { return m_name; }

    // The character's code: its code point in UTF-8, its byte in a single-byte page, and the
    // code of "?" (63) when the page lacks the character.
    [[nodiscard]] std::uint32_t codeOf(char32_t ch) const;
    // The character a code stands for (the inverse of codeOf for codes the page has).
    [[nodiscard]] char32_t charOf(std::uint32_t code) const;

    // The text's bytes in this character set, "?" for each character it lacks.
    [[nodiscard]] std::string encode(std::string_view utf8) const;
    // The UTF-8 text of bytes in this character set (a file name as the system holds it).
    [[nodiscard]] std::string decode(std::string_view bytes) const;

private:
    CodePage() = default;

    bool m_utf8 = true;
    std::string m_name = "UTF-8";
    std::array<char32_t, 256> m_toUnicode{};
    std::unordered_map<char32_t, std::uint8_t> m_fromUnicode;
};

// Decodes one character of UTF-8 at pos and advances pos; a malformed byte decodes as
// U+FFFD and advances by one, so no input can stall a loop.
char32_t decodeUtf8(std::string_view text, std::size_t& pos);
void appendUtf8(char32_t ch, std::string& out);

} // namespace sheetfray::engine
