#include "engine/readers/BiffRecords.h"

#include "engine/readers/LittleEndian.h"
#include "engine/readers/TextDecoding.h"
#include "support/Error.h"

namespace sheetfray::engine::readers {

namespace {

[[noreturn]] void cutShort()
{
    throw ReadError(ReadError::Reason::Damaged, "a record ends before its data");
}

} // namespace

BiffRecordReader::BiffRecordReader(std::span<const std::byte> stream, std::size_t offset)
    : m_stream(stream)
    , m_offset(offset)
{}

bool BiffRecordReader::next(BiffRecord& record)
{
    // A few writers pad the stream after the last record; fewer than four bytes cannot hold
    // a record header and end the stream.
    if (m_offset + 4 > m_stream.size()) {
        return false;
    }
    const std::uint16_t type = le16(m_stream, m_offset);
    const std::size_t length = le16(m_stream, m_offset + 2);
    if (m_offset + 4 + length > m_stream.size()) {
        throw ReadError(ReadError::Reason::Damaged,
                        "a record runs past the end of the workbook stream");
    }
    record.type = type;
    record.offset = m_offset;
    record.data = m_stream.subspan(m_offset + 4, length);
    m_offset += 4 + length;
    return true;
}

std::uint16_t BiffRecordReader::peekType() const
{
    if (m_offset + 4 > m_stream.size()) {
        return 0;
    }
    return le16(m_stream, m_offset);
}

BiffSegments::BiffSegments(std::span<const std::byte> first)
{
    m_segments.push_back(first);
}

void BiffSegments::addContinues(BiffRecordReader& reader)
{
    BiffRecord record;
    while (reader.peekType() == biff::Continue && reader.next(record)) {
        m_segments.push_back(record.data);
    }
}

void BiffSegments::ensure()
{
    while (m_segment < m_segments.size() && m_pos >= m_segments[m_segment].size()) {
        ++m_segment;
        m_pos = 0;
    }
    if (m_segment >= m_segments.size()) {
        cutShort();
    }
}

bool BiffSegments::atEnd() const
{
    for (std::size_t s = m_segment; s < m_segments.size(); ++s) {
        if ((s == m_segment ? m_pos : 0) < m_segments[s].size()) {
            return false;
        }
    }
    return true;
}

std::uint8_t BiffSegments::u8()
{
    ensure();
    return le8(m_segments[m_segment], m_pos++);
}

std::uint16_t BiffSegments::u16()
{
    const std::uint8_t low = u8();
    return static_cast<std::uint16_t>(low | (u8() << 8));
}

std::uint32_t BiffSegments::u32()
{
    const std::uint16_t low = u16();
    return low | (static_cast<std::uint32_t>(u16()) << 16);
}

void BiffSegments::skip(std::size_t count)
{
    while (count > 0) {
        ensure();
        const std::size_t step = std::min(count, m_segments[m_segment].size() - m_pos);
        m_pos += step;
        count -= step;
    }
}

void BiffSegments::appendCharacters(std::size_t count, bool highByte, std::string& out)
{
    std::u16string units;
    units.reserve(count);
    while (units.size() < count) {
        if (m_segment < m_segments.size() && m_pos >= m_segments[m_segment].size()
            && m_segment + 1 < m_segments.size()) {
            ++m_segment;
            m_pos = 0;
            highByte = (u8() & 0x01) != 0;
            continue;
        }
        if (m_segment >= m_segments.size() || m_pos >= m_segments[m_segment].size()) {
            cutShort();
        }
        const std::span<const std::byte> data = m_segments[m_segment];
        if (highByte) {
            if (m_pos + 2 > data.size()) {
                cutShort();
            }
            units += static_cast<char16_t>(le16(data, m_pos));
            m_pos += 2;
        } else {
            // Compressed characters are the low bytes of UTF-16 code units (MS-XLS 2.5.294),
            // that is Latin-1, whatever the code page.
            units += static_cast<char16_t>(le8(data, m_pos));
            ++m_pos;
        }
    }
    appendUtf16(units, out);
}

void BiffSegments::appendUnicodeString(std::string& out)
{
    const std::uint16_t count = u16();
    const std::uint8_t flags = u8();
    appendCharacters(count, (flags & 0x01) != 0, out);
}

void BiffSegments::appendShortUnicodeString(std::string& out)
{
    const std::uint8_t count = u8();
    const std::uint8_t flags = u8();
    appendCharacters(count, (flags & 0x01) != 0, out);
}

void BiffSegments::appendRichExtendedString(std::string& out)
{
    const std::uint16_t count = u16();
    const std::uint8_t flags = u8();
    const bool rich = (flags & 0x08) != 0;
    const bool extended = (flags & 0x04) != 0;
    const std::uint16_t runs = rich ? u16() : std::uint16_t{0};
    const std::uint32_t extSize = extended ? u32() : 0;
    appendCharacters(count, (flags & 0x01) != 0, out);
    // Formatting runs and phonetic data are not part of the displayed text.
    skip(std::size_t{runs} * 4);
    skip(extSize);
}

void BiffSegments::appendByteString(bool wideCount, CodePageDecoder& decoder, std::string& out)
{
    const std::size_t count = wideCount ? u16() : u8();
    std::vector<std::byte> bytes;
    bytes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes.push_back(std::byte{u8()});
    }
    decoder.append(bytes, out);
}

} // namespace sheetfray::engine::readers
