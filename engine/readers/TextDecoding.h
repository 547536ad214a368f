// Turning the character encodings found in workbook files (UTF-16, legacy code pages) into UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sheetfray::engine::readers {

// Appends UTF-16 code units as UTF-8; an unpaired surrogate becomes U+FFFD.
void appendUtf16(std::span<const char16_t> units, std::string& out);

// The Unicode forms a text file may be stored in besides UTF-8.
enum class UnitEncoding : std::uint8_t { Utf16Le, Utf16Be, Utf32Le, Utf32Be };

// Bytes a unit: 2 or 4.
[[nodiscard]] std::size_t unitSize(UnitEncoding encoding);

// How a text file's bytes are told apart: by a byte-order mark, or without one by the pattern
// of zero bytes that UTF-16 and UTF-32 give text of mostly Latin letters, digits and
// delimiters.
struct TextEncoding
{
    std::optional<UnitEncoding> units; // nothing: UTF-8 or a single-byte code page
    std::size_t bomSize = 0; // bytes of the byte-order mark, 0 when there is none
};

// The encoding of a text from its first bytes (a few kilobytes are enough). UTF-16 or UTF-32
// without a byte-order mark is taken only when the evidence is clear: at least two units, no
// NUL unit, zero bytes where that form puts them and nowhere else, and hardly any control
// characters.
[[nodiscard]] TextEncoding detectTextEncoding(std::span<const std::byte> head);

// Decodes UTF-16 or UTF-32 bytes to UTF-8 piece by piece, so that a large file is never held
// whole as units: a unit or a surrogate pair split between two pieces is joined. Unpaired
// surrogates and values beyond U+10FFFF become U+FFFD; a last incomplete unit is dropped.
class UnitDecoder
{
public:
    explicit UnitDecoder(UnitEncoding encoding);

    void append(std::span<const std::byte> bytes, std::string& out);
    // Ends the text: a high surrogate still waiting for its pair becomes U+FFFD.
    void finish(std::string& out);

private:
    void appendUnit(std::uint32_t unit, std::string& out);

    std::size_t m_unitSize;
    bool m_bigEndian;
    bool m_utf16;
    std::array<std::byte, 4> m_partial{};
    std::size_t m_partialSize = 0;
    char16_t m_highSurrogate = 0; // 0 when none waits
};

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
[[nodiscard]] bool isUtf8(std::span<const std::byte> bytes);

// Decodes text in a Windows code page, as numbered in workbook files (1252, 932, 10000, ...).
// Unknown pages fall back to Windows-1252, the page most such files were written in; bytes
// the page does not define become U+FFFD.
class CodePageDecoder
{
public:
    explicit CodePageDecoder(std::uint16_t codePage);
    ~CodePageDecoder();
    CodePageDecoder(CodePageDecoder&&) noexcept;
    CodePageDecoder& operator=(CodePageDecoder&&) noexcept;

    void append(std::span<const std::byte> bytes, std::string& out);

    // The iconv name used for a code page number.
    [[nodiscard]] static std::string_view iconvName(std::uint16_t codePage);

private:
    struct Converter;
    std::unique_ptr<Converter> m_converter;
};

} // namespace sheetfray::engine::readers
