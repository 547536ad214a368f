#include "engine/readers/TextDecoding.h"

#include "engine/CodePage.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <string_view>

namespace sheetfray::engine::readers {

namespace {

constexpr char32_t Replacement = 0xFFFD;

bool isHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

void appendUtf16(std::span<const char16_t> units, std::string& out)
{
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        if (isHighSurrogate(unit) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            const char32_t ch = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10)
                + (static_cast<char32_t>(units[i + 1]) - 0xDC00);
            appendUtf8(ch, out);
            ++i;
        } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            appendUtf8(Replacement, out);
        } else {
            appendUtf8(unit, out);
        }
    }
}

void appendUtf16Bytes(std::span<const std::byte> bytes, bool bigEndian, std::string& out)
{
    // Block by block, so that a file's text is never held as UTF-16 units as well.
    std::array<char16_t, 4096> units{};
    std::size_t count = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = std::to_integer<unsigned>(bytes[i]);
        const auto second = std::to_integer<unsigned>(bytes[i + 1]);
        units[count++] =
            static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
        if (count == units.size()) {
            // A high surrogate at the end waits for the block that holds its pair.
            const bool carry = isHighSurrogate(units[count - 1]) && i + 3 < bytes.size();
            appendUtf16(std::span(units.data(), carry ? count - 1 : count), out);
            count = 0;
            if (carry) {
                units[count++] = units[units.size() - 1];
            }
        }
    }
    appendUtf16(std::span(units.data(), count), out);
}

bool isUtf8(std::span<const std::byte> bytes)
{
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        if (decodeUtf8(text, pos) == Replacement) {
            // decodeUtf8 also returns U+FFFD for malformed input; a real U+FFFD is 3 bytes.
            if (pos - start != 3) {
                return false;
            }
        }
    }
    return true;
}

struct CodePageDecoder::Converter
{
    iconv_t handle = reinterpret_cast<iconv_t>(-1);

    ~Converter()
    {
        if (handle != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(handle);
        }
    }
};

std::string_view CodePageDecoder::iconvName(std::uint16_t codePage)
{
    switch (codePage) {
    case 367: // US-ASCII; writers that declare it still store Windows-1252 bytes
    case 1252:
    case 32769: // MS-XLS: "Windows-1252 (Latin I), BIFF2 and BIFF3"
        return "CP1252";
    case 437:
        return "CP437";
    case 720:
        return "CP720";
    case 737:
        return "CP737";
    case 775:
        return "CP775";
    case 850:
        return "CP850";
    case 852:
        return "CP852";
    case 855:
        return "CP855";
    case 857:
        return "CP857";
    case 858:
        return "CP858";
    case 860:
        return "CP860";
    case 861:
        return "CP861";
    case 862:
        return "CP862";
    case 863:
        return "CP863";
    case 864:
        return "CP864";
    case 865:
        return "CP865";
    case 866:
        return "CP866";
    case 869:
        return "CP869";
    case 874:
        return "CP874";
    case 932:
        return "CP932";
    case 936:
        return "CP936";
    case 949:
        return "CP949";
    case 950:
        return "CP950";
    case 1250:
        return "CP1250";
    case 1251:
        return "CP1251";
    case 1253:
        return "CP1253";
    case 1254:
        return "CP1254";
    case 1255:
        return "CP1255";
    case 1256:
        return "CP1256";
    case 1257:
        return "CP1257";
    case 1258:
        return "CP1258";
    case 1361:
        return "JOHAB";
    case 10000:
    case 32768: // MS-XLS: Apple Roman
        return "MACINTOSH";
    case 10006:
        return "MACGREEK";
    case 10007:
        return "MACCYRILLIC";
    case 10029:
        return "MACCENTRALEUROPE";
    case 10079:
        return "MACICELAND";
    case 10081:
        return "MACTURKISH";
    default:
        return "CP1252";
    }
}

CodePageDecoder::CodePageDecoder(std::uint16_t codePage)
    : m_converter(std::make_unique<Converter>())
{
    m_converter->handle = iconv_open("UTF-8", std::string(iconvName(codePage)).c_str());
    if (m_converter->handle == reinterpret_cast<iconv_t>(-1)) {
        m_converter->handle = iconv_open("UTF-8", "CP1252");
    }
}

CodePageDecoder::~CodePageDecoder() = default;
CodePageDecoder::CodePageDecoder(CodePageDecoder&&) noexcept = default;
CodePageDecoder& CodePageDecoder::operator=(CodePageDecoder&&) noexcept = default;

void CodePageDecoder::append(std::span<const std::byte> bytes, std::string& out)
{
    iconv_t handle = m_converter->handle;
    if (handle == reinterpret_cast<iconv_t>(-1)) {
        // No converter at all (a C library without these tables): keep ASCII, mark the rest.
        for (const std::byte b : bytes) {
            const auto ch = std::to_integer<unsigned char>(b);
            appendUtf8(ch < 0x80 ? ch : Replacement, out);
        }
        return;
    }
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    // iconv takes a non-const input pointer but does not write through it.
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
    std::size_t inLeft = bytes.size();
    std::array<char, 1024> buffer{};
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t result = iconv(handle, &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.append(buffer.data(), buffer.size() - outLeft);
        if (result != static_cast<std::size_t>(-1)) {
            break;
        }
        if (error == E2BIG) {
            continue;
        }
        // An invalid or incomplete sequence: mark it and go on after its first byte.
        appendUtf8(Replacement, out);
        ++in;
        --inLeft;
        iconv(handle, nullptr, nullptr, nullptr, nullptr);
    }
}

} // namespace sheetfray::engine::readers
