// The record layer of BIFF workbook streams (MS-XLS 2.1.4): records, CONTINUE records and the
// string structures that may be split across them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sheetfray::engine::readers {

class CodePageDecoder;

// Record types this reader acts on (MS-XLS 2.3; BIFF2 to BIFF4 from the older BIFF documents).
namespace biff {
// BIFF2 cells: a 7-byte header (row, column, three bytes of cell attributes), then the value.
inline constexpr std::uint16_t Blank2 = 0x0001;
inline constexpr std::uint16_t Integer2 = 0x0002;
inline constexpr std::uint16_t Number2 = 0x0003;
inline constexpr std::uint16_t Label2 = 0x0004;
inline constexpr std::uint16_t BoolErr2 = 0x0005;
inline constexpr std::uint16_t Formula = 0x0006; // BIFF5 and later; BIFF2's own FORMULA
inline constexpr std::uint16_t String2 = 0x0007;
inline constexpr std::uint16_t Format2 = 0x001E; // BIFF2 and BIFF3: numbered in file order
inline constexpr std::uint16_t Xf2 = 0x0043;
inline constexpr std::uint16_t Ixfe2 = 0x0044; // the XF index of the next BIFF2 cell
inline constexpr std::uint16_t BundleHeader4 = 0x008F; // precedes each sheet of a BIFF4 workbook
inline constexpr std::uint16_t Formula3 = 0x0206;
inline constexpr std::uint16_t Xf3 = 0x0243;
inline constexpr std::uint16_t Formula4 = 0x0406;
inline constexpr std::uint16_t Xf4 = 0x0443;
inline constexpr std::uint16_t Eof = 0x000A;
inline constexpr std::uint16_t DateMode = 0x0022; // the 1904 flag
inline constexpr std::uint16_t FilePass = 0x002F;
inline constexpr std::uint16_t Continue = 0x003C;
inline constexpr std::uint16_t CodePage = 0x0042;
inline constexpr std::uint16_t WsBool = 0x0081;
inline constexpr std::uint16_t BoundSheet = 0x0085;
inline constexpr std::uint16_t MulRk = 0x00BD;
inline constexpr std::uint16_t MulBlank = 0x00BE;
inline constexpr std::uint16_t RString = 0x00D6;
inline constexpr std::uint16_t Xf = 0x00E0;
inline constexpr std::uint16_t Sst = 0x00FC;
inline constexpr std::uint16_t LabelSst = 0x00FD;
inline constexpr std::uint16_t Blank = 0x0201;
inline constexpr std::uint16_t Number = 0x0203;
inline constexpr std::uint16_t Label = 0x0204;
inline constexpr std::uint16_t BoolErr = 0x0205;
inline constexpr std::uint16_t String = 0x0207;
inline constexpr std::uint16_t Rk = 0x027E;
inline constexpr std::uint16_t Format = 0x041E;
inline constexpr std::uint16_t Bof = 0x0809;
// Beginning-of-file records of BIFF2, BIFF3 and BIFF4.
inline constexpr std::uint16_t Bof2 = 0x0009;
inline constexpr std::uint16_t Bof3 = 0x0209;
inline constexpr std::uint16_t Bof4 = 0x0409;
} // namespace biff

struct BiffRecord
{
    std::uint16_t type = 0;
    std::span<const std::byte> data;
    std::size_t offset = 0; // of the record header in the stream
};

// Walks the records of a workbook stream from a given offset.
class BiffRecordReader
{
public:
    BiffRecordReader(std::span<const std::byte> stream, std::size_t offset);

    // Reads the next record; false at the end of the stream. Throws ReadError when a record
    // claims more bytes than the stream holds.
    [[nodiscard]] bool next(BiffRecord& record);
    // The type of the record that next() would return; 0 at the end of the stream.
    [[nodiscard]] std::uint16_t peekType() const;

private:
    std::span<const std::byte> m_stream;
    std::size_t m_offset;
};

// The body of a record and the bodies of the CONTINUE records after it, read as one sequence.
// Reads past the end throw ReadError.
class BiffSegments
{
public:
    explicit BiffSegments(std::span<const std::byte> first);

    // Appends the bodies of the CONTINUE records that follow in the reader.
    void addContinues(BiffRecordReader& reader);

    [[nodiscard]] bool atEnd() const;
    [[nodiscard]] std::uint8_t u8();
    [[nodiscard]] std::uint16_t u16();
    [[nodiscard]] std::uint32_t u32();
    void skip(std::size_t count);

    // BIFF8 strings (MS-XLS 2.5.294 XLUnicodeString, 2.5.293 XLUnicodeRichExtendedString),
    // appended as UTF-8.
    void appendUnicodeString(std::string& out); // 16-bit count
    void appendShortUnicodeString(std::string& out); // 8-bit count
    void appendRichExtendedString(std::string& out);
    // BIFF5/BIFF7 byte strings in the workbook's code page, with an 8- or 16-bit count.
    void appendByteString(bool wideCount, CodePageDecoder& decoder, std::string& out);

private:
    // Reads count characters; when they run on into a CONTINUE record, that record starts
    // with a fresh option byte that says whether the rest is 8- or 16-bit (MS-XLS 2.4.58).
    void appendCharacters(std::size_t count, bool highByte, std::string& out);
    void ensure();

    std::vector<std::span<const std::byte>> m_segments;
    std::size_t m_segment = 0;
    std::size_t m_pos = 0;
};

} // namespace sheetfray::engine::readers
