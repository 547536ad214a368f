// Writes small .xls workbooks for reader tests: BIFF8 or BIFF5 records in a compound file,
// bare BIFF2, BIFF3 and BIFF4 streams, each of them perhaps encrypted.
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

// How a stream is encrypted: a FILEPASS record right after the first BOF, and the records after
// it encrypted as the spreadsheet application encrypts them.
struct Encryption
{
    enum class Method : std::uint8_t { None, Xor, Rc4, CryptoApiRc4 };
    Method method = Method::None;
    // For RC4 and CryptoAPI RC4. XOR obfuscation always writes the default password's key and
    // verifier; a test changes the verifier to stand for another password.
    std::string password = "VelvetSweatshop";
    unsigned keyBits = 128; // CryptoAPI RC4: 40 to 128
};

// The FILEPASS body for a method; biff8 says whether it starts with the method's number.
[[nodiscard]] Bytes filePassBody(const Encryption& encryption, bool biff8);
// Encrypts the bodies of the records from offset `from` (the record after FILEPASS) to the end
// of the stream.
void encryptRecords(Bytes& stream, std::size_t from, const Encryption& encryption);

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
    XlsBuilder& encrypt(const Encryption& encryption);

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
    Encryption m_encryption;
    std::size_t m_sstLimit = 8224;
    std::vector<std::pair<std::uint16_t, std::string>> m_formats;
    std::vector<std::uint16_t> m_xfFormats;
    std::vector<std::string> m_strings;
    std::vector<std::pair<std::uint16_t, Bytes>> m_globalRecords;
    std::vector<SheetEntry> m_sheets;
};

enum class OldBiff : std::uint8_t { V2, V3, V4 };

// Builds a bare BIFF2, BIFF3 or BIFF4 stream: one worksheet saved alone, or a BIFF4 workbook
// whose sheets each follow a BUNDLEHEADER record. Code page, date system, FORMAT records
// (numbered in order from 0) and XF records come first.
class OldBiffBuilder
{
public:
    explicit OldBiffBuilder(OldBiff version, bool workbook = false);

    // Adds a FORMAT record; returns its id.
    std::uint16_t addFormat(const std::string& code);
    // Adds an XF record naming a format id; returns its index.
    std::uint16_t addXf(std::uint16_t formatId);
    OldBiffBuilder& setDate1904(bool on);
    OldBiffBuilder& setCodePage(std::uint16_t codePage);
    // XOR obfuscation with the default password; a different verifier stands for another one.
    OldBiffBuilder& encryptXor(bool defaultPassword = true);

    // A sheet of a BIFF4 workbook; a worksheet file has sheet 0 alone.
    std::size_t addSheet(const std::string& name, SheetKind kind = SheetKind::Worksheet);
    OldBiffBuilder& addRecord(std::size_t sheet, std::uint16_t type, const Bytes& data);
    // The start of a cell record: row, column and XF (in BIFF2 three attribute bytes: the XF,
    // or 63 after an IXFE record that this adds to the sheet, and the XF's number format).
    [[nodiscard]] Bytes cell(std::size_t sheet, unsigned row, unsigned col, unsigned xf);

    // NUMBER and LABEL (text as given, already in the code page) of this version.
    OldBiffBuilder&
    number(std::size_t sheet, unsigned row, unsigned col, double value, unsigned xf = 0);
    OldBiffBuilder&
    label(std::size_t sheet, unsigned row, unsigned col, const std::string& raw, unsigned xf = 0);

    [[nodiscard]] Bytes build() const;

private:
    struct Sheet
    {
        std::string name;
        SheetKind kind;
        std::vector<std::pair<std::uint16_t, Bytes>> records;
    };

    [[nodiscard]] Bytes bof(unsigned substream) const;

    OldBiff m_version;
    bool m_workbook;
    std::uint16_t m_codePage = 1252;
    bool m_date1904 = false;
    bool m_encrypted = false;
    bool m_defaultPassword = true;
    std::vector<std::string> m_formats;
    std::vector<std::uint16_t> m_xfFormats;
    std::vector<Sheet> m_sheets;
};

// Appends one record (type, length, body) to a stream.
void appendRecord(Bytes& stream, std::uint16_t type, const Bytes& data);

} // namespace sheetfray::testing
