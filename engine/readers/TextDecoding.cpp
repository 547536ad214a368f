#include "engine/readers/TextDecoding.h"

#include "engine/CodePage.h"

#include <iconv.h>

#include <algorithm>
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

namespace {

std::uint32_t unitAt(const std::byte* bytes, std::size_t size, bool bigEndian)
{
    std::uint32_t unit = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const auto b = std::to_integer<std::uint32_t>(bytes[bigEndian ? i : size - 1 - i]);
        unit = (unit << 8) | b;
    }
    return unit;
}

bool isBigEndian(UnitEncoding encoding)
{
    return encoding == UnitEncoding::Utf16Be || encoding == UnitEncoding::Utf32Be;
}

// Whether the head reads as text in this encoding: at least two units, none NUL, none beyond
// U+10FFFF, at most one in a hundred a control character other than those text files hold
// or (in UTF-16) with a zero low byte, and the units of one script: nine in ten have the
// same bits above the lowest eight, zero (Latin letters, digits, delimiters and line ends)
// or those of one other block (Cyrillic, Greek), and a unit in eight is of the first kind.
bool zeroBytesFit(std::span<const std::byte> head, UnitEncoding encoding)
{
    const std::size_t bytesPerUnit = unitSize(encoding);
    const bool bigEndian = isBigEndian(encoding);
    const std::size_t units = head.size() / bytesPerUnit;
    if (units < 2) {
        return false;
    }
    std::size_t zeroLowBytes = 0;
    std::size_t controls = 0;
    std::array<std::size_t, 256> blocks{}; // units by their bits above the lowest eight
    for (std::size_t i = 0; i < units; ++i) {
        const std::byte* at = head.data() + i * bytesPerUnit;
        const std::uint32_t unit = unitAt(at, bytesPerUnit, bigEndian);
        if (unit == 0 || unit > 0x10FFFF) {
            return false;
        }
        // In UTF-16 a zero byte belongs at the high end of a unit; a zero low byte (U+0100,
        // U+4E00) is rare in text, and common in the other byte order or binary data.
        if (bytesPerUnit == 2 && (unit & 0xFF) == 0) {
            ++zeroLowBytes;
        }
        if ((unit >> 8) < blocks.size()) {
            ++blocks[unit >> 8];
        }
        const bool usual = (unit >= 0x09 && unit <= 0x0D) || unit == 0x1A || unit == 0x1B;
        if (unit < 0x20 && !usual) {
            ++controls;
        }
    }
    const std::size_t mostOther = *std::max_element(blocks.begin() + 1, blocks.end());
    return blocks[0] >= 2 && blocks[0] * 8 >= units && (blocks[0] + mostOther) * 10 >= units * 9
        && zeroLowBytes * 100 <= units && controls * 100 <= units;
}

} // namespace

std::size_t unitSize(UnitEncoding encoding)
{
    return encoding == UnitEncoding::Utf32Le || encoding == UnitEncoding::Utf32Be ? 4 : 2;
}

TextEncoding detectTextEncoding(std::span<const std::byte> head)
{
    const auto at = [&](std::size_t i) { return std::to_integer<unsigned>(head[i]); };
    // UTF-32 first: its little-endian mark begins with UTF-16's.
    if (head.size() >= 4 && at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0) {
        return {UnitEncoding::Utf32Le, 4};
    }
    if (head.size() >= 4 && at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF) {
        return {UnitEncoding::Utf32Be, 4};
    }
    if (head.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
        return {std::nullopt, 3};
    }
    if (head.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
        return {UnitEncoding::Utf16Le, 2};
    }
    if (head.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) {
        return {UnitEncoding::Utf16Be, 2};
    }
    for (const UnitEncoding encoding : {UnitEncoding::Utf32Le,
                                        UnitEncoding::Utf32Be,
                                        UnitEncoding::Utf16Le,
                                        UnitEncoding::Utf16Be}) {
        if (zeroBytesFit(head, encoding)) {
            return {encoding, 0};
        }
    }
    return {};
}

UnitDecoder::UnitDecoder(UnitEncoding encoding)
    : m_unitSize(unitSize(encoding))
    , m_bigEndian(isBigEndian(encoding))
    , m_utf16(m_unitSize == 2)
{}

void UnitDecoder::append(std::span<const std::byte> bytes, std::string& out)
{
    // The rest of a unit the last piece began.
    while (m_partialSize > 0 && !bytes.empty()) {
        m_partial[m_partialSize++] = bytes.front();
        bytes = bytes.subspan(1);
        if (m_partialSize == m_unitSize) {
            appendUnit(unitAt(m_partial.data(), m_unitSize, m_bigEndian), out);
            m_partialSize = 0;
        }
    }
    const std::size_t whole = bytes.size() / m_unitSize * m_unitSize;
    // ASCII, most of a delimited file, is gathered and appended a block at a time; the
    // rest goes unit by unit.
    std::array<char, 4096> ascii{};
    std::size_t gathered = 0;
    const std::size_t high = m_bigEndian ? 0 : m_unitSize - 1;
    const std::size_t low = m_bigEndian ? m_unitSize - 1 : 0;
    for (std::size_t i = 0; i < whole; i += m_unitSize) {
        const std::byte* unit = bytes.data() + i;
        const bool isAscii = std::to_integer<unsigned>(unit[low]) < 0x80
            && (m_unitSize == 2 ? unit[high] == std::byte{0}
                                : unitAt(unit, m_unitSize, m_bigEndian) < 0x80);
        if (isAscii && m_highSurrogate == 0) {
            ascii[gathered++] = static_cast<char>(unit[low]);
            if (gathered == ascii.size()) {
                out.append(ascii.data(), gathered);
                gathered = 0;
            }
            continue;
        }
        out.append(ascii.data(), gathered);
        gathered = 0;
        appendUnit(unitAt(unit, m_unitSize, m_bigEndian), out);
    }
    out.append(ascii.data(), gathered);
    for (std::size_t i = whole; i < bytes.size(); ++i) {
        m_partial[m_partialSize++] = bytes[i];
    }
}

void UnitDecoder::finish(std::string& out)
{
    if (m_highSurrogate != 0) {
        appendUtf8(Replacement, out);
        m_highSurrogate = 0;
    }
    m_partialSize = 0;
}

void UnitDecoder::appendUnit(std::uint32_t unit, std::string& out)
{
    if (!m_utf16) {
        const bool valid = unit <= 0x10FFFF && (unit < 0xD800 || unit > 0xDFFF);
        appendUtf8(valid ? static_cast<char32_t>(unit) : Replacement, out);
        return;
    }
    const auto u = static_cast<char16_t>(unit);
    if (m_highSurrogate != 0) {
        const char16_t high = m_highSurrogate;
        m_highSurrogate = 0;
        if (isLowSurrogate(u)) {
            appendUtf8(0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10)
                           + (static_cast<char32_t>(u) - 0xDC00),
                       out);
            return;
        }
        appendUtf8(Replacement, out);
    }
    if (isHighSurrogate(u)) {
        m_highSurrogate = u;
    } else {
        appendUtf8(isLowSurrogate(u) ? Replacement : static_cast<char32_t>(u), out);
    }
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
