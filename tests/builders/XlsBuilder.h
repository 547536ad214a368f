// Writes small .xls workbooks (BIFF8 or BIFF5 records in a compound file) for reader tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sheetfray::testing {

using Bytes = std::vector<std::byte>;

// Little-endian byte building for records.
class RecordData
{
public:
    RecordData& u8(unsigned value);
    RecordData& u16(unsigned value);
    RecordData& u32(std::uint32_t value);
    RecordData& f64(double value);
    RecordData& bytes(const Bytes& more);
    // A BIFF8 string: count (8- or 16-bit), option byte, characters (8-bit when they all fit).
    RecordData& unicode(const std::string& utf8, bool shortCount = false);
    // A BIFF5 string: 8- or 16-bit count and the bytes as given (already in the code page).
    RecordData& byteString(const std::string& raw, bool shortCount = false);

    [[nodiscard]] const Bytes& data() const { return m_data; }

private:
    Bytes m_data;
};

// UTF-16 code units of a UTF-8 text.
[[nodiscard]] std::u16string toUtf16(const std::string& utf8);

// One compound file from named streams, version 3 (512-byte sectors). Streams under 4096 bytes
// go to the mini stream, as real writers store them.
[[nodiscard]] Bytes compoundFile(const std::vector<std::pair<std::string, Bytes>>& streams);

// The position in a compound-file image of the allocation-table entry of a sector, so that
// tests can damage chains.
[[nodiscard]] std::size_t fatEntryOffset(const Bytes& image, std::uint32_t sector);

enum class SheetKind : std::uint8_t { Worksheet = 0, MacroSheet = 1, Chart = 2 };

// Builds a workbook stream: globals (code page, date mode, formats, cell formats, sheets,
// shared strings) and one substream per sheet holding the records a test adds.
class XlsBuilder
{
public:
    explicit XlsBuilder(bool biff8 = true);

    // Adds a cell format whose number format is a custom code; returns its XF index.
    std::uint16_t addFormat(const std::string& code);
    // Adds a cell format using a built-in number format id; returns its XF index.
    std::uint16_t addBuiltinFormat(std::uint16_t id);
    std::uint32_t addSharedString(const std::string& text);
    // Largest body of the SST record and its CONTINUE records (8224 in real files).
    XlsBuilder& setSstRecordLimit(std::size_t limit);
    XlsBuilder& setDate1904(bool on);
    XlsBuilder& setCodePage(std::uint16_t codePage);
    // A record placed in the globals before the sheets (FILEPASS, for one).
    XlsBuilder& addGlobalRecord(std::uint16_t type, const Bytes& data);

    // Adds a sheet; hiddenState 0 visible, 1 hidden, 2 very hidden. Returns its index from 0.
    std::size_t addSheet(const std::string& name,
                         SheetKind kind = SheetKind::Worksheet,
                         std::uint8_t hiddenState = 0);
    // Appends a record to a sheet's substream (between its BOF and EOF).
    XlsBuilder& addRecord(std::size_t sheet, std::uint16_t type, const Bytes& data);

    // Cell records; rows and columns from 0 as in the file.
    XlsBuilder&
    number(std::size_t sheet, unsigned row, unsigned col, double value, unsigned xf = 0);
    XlsBuilder& label(std::size_t sheet, unsigned row, unsigned col, const std::string& text);
    XlsBuilder& labelSst(std::size_t sheet, unsigned row, unsigned col, std::uint32_t index);

    [[nodiscard]] Bytes workbookStream() const;
    // The whole file: the stream as "Workbook" (BIFF8) or "Book" (BIFF5) in a compound file.
    [[nodiscard]] Bytes build() const;

private:
    struct SheetEntry
    {
        std::string name;
        SheetKind kind;
        std::uint8_t hiddenState;
        std::vector<std::pair<std::uint16_t, Bytes>> records;
    };

    [[nodiscard]] Bytes sstRecords() const;

    bool m_biff8;
    std::uint16_t m_codePage;
    bool m_date1904 = false;
    std::size_t m_sstLimit = 8224;
    std::vector<std::pair<std::uint16_t, std::string>> m_formats;
    std::vector<std::uint16_t> m_xfFormats;
    std::vector<std::string> m_strings;
    std::vector<std::pair<std::uint16_t, Bytes>> m_globalRecords;
    std::vector<SheetEntry> m_sheets;
};

// Appends one record (type, length, body) to a stream.
void appendRecord(Bytes& stream, std::uint16_t type, const Bytes& data);

} // namespace sheetfray::testing
