// Turning the character encodings found in workbook files (UTF-16, legacy code pages) into UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace sheetfray::engine::readers {

// Appends UTF-16 code units as UTF-8; an unpaired surrogate becomes U+FFFD.
void appendUtf16(std::span<const char16_t> units, std::string& out);

// Appends UTF-16 text held as little- or big-endian bytes; a trailing odd byte is dropped.
void appendUtf16Bytes(std::span<const std::byte> bytes, bool bigEndian, std::string& out);

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
