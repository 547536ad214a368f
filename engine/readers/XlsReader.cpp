#include "engine/readers/XlsReader.h"

#include "engine/readers/BiffDecryption.h"
#include "engine/readers/BiffRecords.h"
#include "engine/readers/CompoundFile.h"
#include "engine/readers/LittleEndian.h"
#include "engine/readers/SheetBands.h"
#include "engine/readers/TextDecoding.h"
#include "support/Error.h"

#include <algorithm>
#include <bit>
#include <map>
#include <optional>
#include <system_error>
#include <utility>

namespace sheetfray::engine::readers {

namespace {

enum class SheetType { Worksheet, Chart, MacroSheet, Module };

// The BIFF version of the stream; BIFF7 reads as BIFF5.
enum class Biff : std::uint8_t { V2, V3, V4, V5, V8 };

struct SheetEntry
{
    std::string name;
    std::size_t offset = 0; // of the sheet's BOF record in the workbook stream
    SheetType type = SheetType::Worksheet;
    bool hidden = false; // hidden or very hidden
    // The sheet's own cell formats (a BIFF4 workbook's sheets carry their XF records); empty
    // when it uses the workbook's.
    std::shared_ptr<WorkbookStyles> styles;
};

// Substream types in the BOF record (MS-XLS 2.4.21).
constexpr std::uint16_t GlobalsSubstream = 0x0005;
constexpr std::uint16_t WorksheetSubstream = 0x0010;
constexpr std::uint16_t ChartSubstream = 0x0020;
constexpr std::uint16_t MacroSubstream = 0x0040;
constexpr std::uint16_t Biff4WorkbookSubstream = 0x0100;

constexpr std::uint16_t Biff8Version = 0x0600;
constexpr std::uint16_t Biff5Version = 0x0500;

[[noreturn]] void damaged(const std::string& what)
{
    throw ReadError(ReadError::Reason::Damaged, what);
}

[[noreturn]] void unsupportedVersion(std::string_view version)
{
    throw ReadError(ReadError::Reason::OldFormat, std::string(version));
}

bool isBof(std::uint16_t type)
{
    return type == biff::Bof || type == biff::Bof2 || type == biff::Bof3 || type == biff::Bof4;
}

SheetType sheetTypeOf(std::uint16_t substream)
{
    switch (substream) {
    case ChartSubstream:
        return SheetType::Chart;
    case MacroSubstream:
        return SheetType::MacroSheet;
    default:
        return SheetType::Worksheet;
    }
}

void requireSize(const BiffRecord& record, std::size_t size)
{
    if (record.data.size() < size) {
        damaged("a record is shorter than its contents");
    }
}

// The error values of BOOLERR and cached formula results (MS-XLS 2.5.10 BErr).
std::string_view errorText(std::uint8_t code)
{
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    case 0x2A:
        return "#N/A";
    case 0x2B:
        return "#GETTING_DATA";
    default:
        return "#N/A";
    }
}

// An RK number (MS-XLS 2.5.217): a 30-bit integer or the upper 30 bits of a double, either of
// them possibly multiplied by 100.
double decodeRk(std::uint32_t rk)
{
    double value = 0;
    if ((rk & 0x02) != 0) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        value = std::bit_cast<double>(static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32);
    }
    if ((rk & 0x01) != 0) {
        value /= 100;
    }
    return value;
}

// Where a sheet's records put their cells: a builder, and when the sheet is read in bands,
// the bands first learn each cell's row.
class CellSink
{
public:
    CellSink(SheetBuilder& builder, RowBands* bands)
        : m_builder(builder)
        , m_bands(bands)
    {}

    void addBlank(std::int32_t row, std::int32_t column, std::uint16_t xf)
    {
        before(row);
        m_builder.addBlank(row, column, xf);
    }

    void addNumber(std::int32_t row, std::int32_t column, double value, std::uint16_t xf)
    {
        before(row);
        m_builder.addNumber(row, column, value, xf);
    }

    void addSharedText(std::int32_t row, std::int32_t column, std::uint32_t index, std::uint16_t xf)
    {
        before(row);
        m_builder.addSharedText(row, column, index, xf);
    }

    void addText(std::int32_t row, std::int32_t column, std::string_view text, std::uint16_t xf)
    {
        before(row);
        m_builder.addText(row, column, text, xf);
    }

    void addBoolean(std::int32_t row, std::int32_t column, bool value, std::uint16_t xf)
    {
        before(row);
        m_builder.addBoolean(row, column, value, xf);
    }

    void addError(std::int32_t row, std::int32_t column, std::string_view text, std::uint16_t xf)
    {
        before(row);
        m_builder.addError(row, column, text, xf);
    }

private:
    void before(std::int32_t row)
    {
        if (m_bands != nullptr) {
            m_bands->beforeCell(row);
        }
    }

    SheetBuilder& m_builder;
    RowBands* m_bands;
};

class XlsWorkbook final : public Workbook
{
public:
    XlsWorkbook(std::string fileName,
                std::vector<std::byte> stream,
                bool biff8Expected,
                const XlsBands& bands)
        : m_fileName(std::move(fileName))
        , m_stream(std::move(stream))
        , m_bands(bands)
        , m_biff(biff8Expected ? Biff::V8 : Biff::V5)
        , m_decoder(1252)
        , m_styles(std::make_shared<WorkbookStyles>())
    {
        readGlobals();
    }

    [[nodiscard]] std::string_view name() const override { return m_fileName; }

    [[nodiscard]] std::int32_t sheetCount() const override
    {
        return static_cast<std::int32_t>(m_sheets.size());
    }

    [[nodiscard]] std::string_view sheetName(std::int32_t index) const override
    {
        return entry(index).name;
    }

    [[nodiscard]] bool isSheetHidden(std::int32_t index) const override
    {
        return entry(index).hidden;
    }

    [[nodiscard]] Sheet loadSheet(std::int32_t index) override
    {
        const SheetEntry& sheet = entry(index);
        try {
            return readSheet(sheet);
        } catch (ReadError& e) {
            nameIn(e, sheet);
            throw;
        }
    }

    [[nodiscard]] std::unique_ptr<SheetParts> loadSheetInParts(std::int32_t index) override
    {
        const SheetEntry& sheet = entry(index);
        try {
            return readSheetInParts(sheet);
        } catch (ReadError& e) {
            nameIn(e, sheet);
            throw;
        }
    }

private:
    void nameIn(ReadError& e, const SheetEntry& sheet) const
    {
        e.nameSheet(sheet.name);
        e.nameFile(m_fileName);
    }

    const SheetEntry& entry(std::int32_t index) const
    {
        if (index < 1 || index > sheetCount()) {
            throw ReadError::noSuchSheet(index, m_fileName);
        }
        return m_sheets[static_cast<std::size_t>(index - 1)];
    }

    void readGlobals();
    void readOldStream(BiffRecordReader& reader, const BiffRecord& bof);
    void readWorksheetFile(BiffRecordReader& reader);
    void readBiff4Workbook(BiffRecordReader& reader);
    void readGlobalRecord(const BiffRecord& record, BiffRecordReader& reader);
    void readFormat(const BiffRecord& record);
    void readBoundSheet(const BiffRecord& record);

    void buildCellFormats() { buildCellFormats(m_styles->cellFormats); }

    // Compiles the number formats of the XF records read so far into formats, and forgets
    // the XF records.
    void buildCellFormats(std::vector<format::NumberFormat>& formats);
    [[nodiscard]] std::string_view formatCode(std::uint16_t id) const;
    [[nodiscard]] std::optional<std::uint16_t> builtinFormatId(std::uint16_t id) const;
    [[nodiscard]] BiffRecordReader sheetRecords(const SheetEntry& sheet) const;
    [[nodiscard]] std::size_t sheetBytes(const SheetEntry& sheet) const;

    [[nodiscard]] std::shared_ptr<const WorkbookStyles> stylesOf(const SheetEntry& sheet) const
    {
        return sheet.styles ? sheet.styles : m_styles;
    }

    [[nodiscard]] Sheet readSheet(const SheetEntry& sheet) const;
    [[nodiscard]] std::unique_ptr<SheetParts> readSheetInParts(const SheetEntry& sheet) const;
    void readCells(BiffRecordReader& reader, CellSink& cells) const;
    void readLabel(const BiffRecord& record, CodePageDecoder& decoder, CellSink& cells) const;

    [[nodiscard]] bool isBiff8() const { return m_biff == Biff::V8; }

    [[nodiscard]] bool isBeforeBiff5() const { return m_biff < Biff::V5; }

    std::string m_fileName;
    std::vector<std::byte> m_stream;
    XlsBands m_bands;
    Biff m_biff;
    bool m_decrypted = false;
    // BIFF2 files without XF records: the cells name their number format themselves.
    bool m_formatsInCells = false;
    std::uint16_t m_nextFormat = 0; // the id of the next FORMAT record before BIFF5
    CodePageDecoder m_decoder;
    // The page of m_decoder: each reading of a sheet decodes with a decoder of its own, since
    // a sheet read in parts is read on a thread of its own.
    std::uint16_t m_codePage = 1252;
    std::shared_ptr<WorkbookStyles> m_styles;
    std::vector<SheetEntry> m_sheets;
    std::map<std::uint16_t, std::string> m_formatCodes; // FORMAT records by id
    std::vector<std::uint16_t> m_xfFormats; // format id of each XF record, in order
};

void XlsWorkbook::readGlobals()
{
    BiffRecordReader reader(m_stream, 0);
    BiffRecord record;
    if (!reader.next(record)) {
        damaged("the workbook stream is empty");
    }
    if (record.type == biff::Bof2 || record.type == biff::Bof3 || record.type == biff::Bof4) {
        readOldStream(reader, record);
        return;
    }
    if (record.type != biff::Bof || record.data.size() < 4) {
        damaged("the workbook stream does not begin with a beginning-of-file record");
    }
    const std::uint16_t version = le16(record.data, 0);
    if (version == Biff8Version) {
        m_biff = Biff::V8;
    } else if (version == Biff5Version) {
        m_biff = Biff::V5;
    } else if (version != 0 && version < Biff5Version) {
        unsupportedVersion("BIFF4");
    }
    const std::uint16_t substream = le16(record.data, 2);
    if (substream == WorksheetSubstream) {
        readWorksheetFile(reader);
        return;
    }
    if (substream != GlobalsSubstream) {
        throw ReadError(ReadError::Reason::SingleSheetFile);
    }

    while (reader.next(record)) {
        if (record.type == biff::Eof) {
            buildCellFormats();
            return;
        }
        readGlobalRecord(record, reader);
    }
    damaged("the workbook part has no end-of-file record");
}

// BIFF2, BIFF3 and BIFF4 files are bare record streams: one worksheet, or a BIFF4 workbook.
void XlsWorkbook::readOldStream(BiffRecordReader& reader, const BiffRecord& bof)
{
    m_biff = bof.type == biff::Bof2 ? Biff::V2 : bof.type == biff::Bof3 ? Biff::V3 : Biff::V4;
    if (bof.data.size() < 4) {
        damaged("the workbook stream does not begin with a beginning-of-file record");
    }
    const std::uint16_t substream = le16(bof.data, 2);
    if (m_biff == Biff::V4 && substream == Biff4WorkbookSubstream) {
        readBiff4Workbook(reader);
        return;
    }
    if (substream == ChartSubstream || substream == MacroSubstream) {
        throw ReadError(ReadError::Reason::SingleSheetFile);
    }
    if (substream != WorksheetSubstream) {
        // A workspace, or a workbook of a version that has none.
        unsupportedVersion(m_biff == Biff::V2 ? "BIFF2" : m_biff == Biff::V3 ? "BIFF3" : "BIFF4");
    }
    readWorksheetFile(reader);
}

// A worksheet saved alone (BIFF2 to BIFF5): its formats, code page and date system are among
// its own records. The sheet takes the file's name, as the spreadsheet application shows it.
void XlsWorkbook::readWorksheetFile(BiffRecordReader& reader)
{
    const std::size_t dot = m_fileName.rfind('.');
    m_sheets.push_back({m_fileName.substr(0, dot), 0, SheetType::Worksheet, false, {}});
    BiffRecord record;
    int depth = 1;
    while (depth > 0 && reader.next(record)) {
        if (isBof(record.type)) {
            ++depth;
        } else if (record.type == biff::Eof) {
            --depth;
        } else if (depth == 1) {
            readGlobalRecord(record, reader);
        }
    }
    buildCellFormats();
}

// A BIFF4 workbook: the globals hold the sheets, each a SHEETHDR record (the size of the
// sheet's records and its name) followed by the sheet's own BOF to EOF records, which carry
// the sheet's formats and XF records.
void XlsWorkbook::readBiff4Workbook(BiffRecordReader& reader)
{
    std::vector<std::vector<format::NumberFormat>> sheetFormats;
    BiffRecord record;
    bool ended = false;
    while (!ended && reader.next(record)) {
        if (record.type == biff::Eof) {
            ended = true;
            continue;
        }
        if (isBof(record.type)) {
            // A sheet without its SHEETHDR: not a layout this reader knows.
            unsupportedVersion("BIFF4");
        }
        if (record.type != biff::BundleHeader4) {
            readGlobalRecord(record, reader);
            continue;
        }
        requireSize(record, 5);
        SheetEntry sheet;
        BiffSegments name(record.data.subspan(4));
        name.appendByteString(false, m_decoder, sheet.name);
        BiffRecord bof;
        if (reader.peekType() != biff::Bof4 || !reader.next(bof) || bof.data.size() < 4) {
            unsupportedVersion("BIFF4");
        }
        sheet.offset = bof.offset;
        sheet.type = sheetTypeOf(le16(bof.data, 2));
        m_sheets.push_back(std::move(sheet));

        auto globalCodes = std::exchange(m_formatCodes, {});
        auto globalXfs = std::exchange(m_xfFormats, {});
        const std::uint16_t globalNext = std::exchange(m_nextFormat, std::uint16_t{0});
        int depth = 1;
        while (depth > 0 && reader.next(record)) {
            if (isBof(record.type)) {
                ++depth;
            } else if (record.type == biff::Eof) {
                --depth;
            } else if (depth == 1) {
                switch (record.type) {
                case biff::Format:
                case biff::Format2:
                case biff::Xf:
                case biff::Xf3:
                case biff::Xf4:
                    readGlobalRecord(record, reader);
                    break;
                default:
                    break;
                }
            }
        }
        sheetFormats.emplace_back();
        buildCellFormats(sheetFormats.back());
        m_formatCodes = std::move(globalCodes);
        m_xfFormats = std::move(globalXfs);
        m_nextFormat = globalNext;
    }
    if (!ended) {
        damaged("the workbook part has no end-of-file record");
    }
    buildCellFormats(m_styles->cellFormats);
    for (std::size_t i = 0; i < sheetFormats.size(); ++i) {
        if (!sheetFormats[i].empty()) {
            auto styles = std::make_shared<WorkbookStyles>(*m_styles);
            styles->cellFormats = std::move(sheetFormats[i]);
            m_sheets[i].styles = std::move(styles);
        }
    }
}

void XlsWorkbook::readGlobalRecord(const BiffRecord& record, BiffRecordReader& reader)
{
    switch (record.type) {
    case biff::FilePass:
        // Only the first FILEPASS counts; the records after it are decrypted once.
        if (!m_decrypted) {
            decryptWithDefaultPassword(
                m_stream, record, isBiff8() ? FilePassLayout::Biff8 : FilePassLayout::BeforeBiff8);
            m_decrypted = true;
        }
        break;
    case biff::CodePage:
        requireSize(record, 2);
        // BIFF8 text is UTF-16 whatever this says; the page matters before BIFF8.
        m_codePage = le16(record.data, 0);
        m_decoder = CodePageDecoder(m_codePage);
        break;
    case biff::DateMode:
        requireSize(record, 2);
        m_styles->dateSystem =
            le16(record.data, 0) != 0 ? format::DateSystem::Date1904 : format::DateSystem::Date1900;
        break;
    case biff::Format:
    case biff::Format2:
        readFormat(record);
        break;
    case biff::Xf:
        requireSize(record, 4);
        m_xfFormats.push_back(le16(record.data, 2));
        break;
    case biff::Xf2:
        if (m_biff == Biff::V2) {
            requireSize(record, 3);
            m_xfFormats.push_back(le8(record.data, 2) & 0x3F);
        }
        break;
    case biff::Xf3:
    case biff::Xf4:
        if (isBeforeBiff5()) {
            requireSize(record, 2);
            m_xfFormats.push_back(le8(record.data, 1));
        }
        break;
    case biff::BoundSheet:
        readBoundSheet(record);
        break;
    case biff::Sst: {
        BiffSegments segments(record.data);
        segments.addContinues(reader);
        // The stated counts are not trusted (writers get them wrong); the strings present
        // are read until the data ends.
        segments.skip(8);
        auto& strings = m_styles->sharedStrings;
        std::string text;
        while (!segments.atEnd()) {
            text.clear();
            segments.appendRichExtendedString(text);
            strings.push_back(text);
        }
        break;
    }
    default:
        break;
    }
}

void XlsWorkbook::readFormat(const BiffRecord& record)
{
    BiffSegments segments(record.data);
    std::uint16_t id = 0;
    if (isBeforeBiff5()) {
        // BIFF2 to BIFF4 number the formats in the order of their records, built-in ones
        // included; the index field of BIFF4's record is not used.
        if (record.type == biff::Format) {
            requireSize(record, 3);
            segments.skip(2);
        }
        id = m_nextFormat++;
    } else {
        requireSize(record, 3);
        id = segments.u16();
    }
    std::string code;
    if (isBiff8()) {
        segments.appendUnicodeString(code);
    } else {
        segments.appendByteString(false, m_decoder, code);
    }
    m_formatCodes[id] = std::move(code);
}

void XlsWorkbook::readBoundSheet(const BiffRecord& record)
{
    requireSize(record, 7);
    SheetEntry sheet;
    sheet.offset = le32(record.data, 0);
    // hsState, the low two bits of the next byte: 0 visible, 1 hidden, 2 very hidden
    // (MS-XLS 2.4.28).
    sheet.hidden = (le8(record.data, 4) & 0x03) != 0;
    switch (le8(record.data, 5)) {
    case 0x01:
        sheet.type = SheetType::MacroSheet;
        break;
    case 0x02:
        sheet.type = SheetType::Chart;
        break;
    case 0x06:
        sheet.type = SheetType::Module;
        break;
    default:
        sheet.type = SheetType::Worksheet;
        break;
    }
    BiffSegments segments(record.data.subspan(6));
    if (isBiff8()) {
        segments.appendShortUnicodeString(sheet.name);
    } else {
        segments.appendByteString(false, m_decoder, sheet.name);
    }
    m_sheets.push_back(std::move(sheet));
}

// The id of the built-in format (as BIFF5 and later number them) that a format id of this
// file stands for. BIFF2 and BIFF3 lack the two fraction formats 12 and 13, so their dates and
// times come two places earlier; BIFF4 numbers them as later versions do.
std::optional<std::uint16_t> XlsWorkbook::builtinFormatId(std::uint16_t id) const
{
    switch (m_biff) {
    case Biff::V2:
    case Biff::V3:
        if (id < 12) {
            return id;
        }
        return id <= 20 ? std::optional<std::uint16_t>(id + 2) : std::nullopt;
    case Biff::V4:
        return id <= 22 ? std::optional<std::uint16_t>(id) : std::nullopt;
    case Biff::V5:
    case Biff::V8:
        break;
    }
    return id;
}

std::string_view XlsWorkbook::formatCode(std::uint16_t id) const
{
    const std::optional<std::uint16_t> builtinId = builtinFormatId(id);
    const std::string_view builtin =
        builtinId ? format::builtinFormatCode(*builtinId) : std::string_view();
    // Formats 14 and 22 are the system's short date (and time); files carry the writer's
    // locale form of them, while the displayed text follows the reader's locale.
    if ((builtinId == 14 || builtinId == 22) && !builtin.empty()) {
        return builtin;
    }
    const auto it = m_formatCodes.find(id);
    return it != m_formatCodes.end() ? std::string_view(it->second) : builtin;
}

void XlsWorkbook::buildCellFormats(std::vector<format::NumberFormat>& formats)
{
    if (m_biff == Biff::V2 && m_xfFormats.empty()) {
        // Without XF records, each BIFF2 cell names its number format (six bits) itself.
        m_formatsInCells = true;
        for (std::uint16_t id = 0; id < 64; ++id) {
            m_xfFormats.push_back(id);
        }
    }
    std::map<std::uint16_t, format::NumberFormat> compiled;
    formats.reserve(m_xfFormats.size());
    for (const std::uint16_t id : m_xfFormats) {
        auto it = compiled.find(id);
        if (it == compiled.end()) {
            const std::string_view code = formatCode(id);
            it = compiled
                     .emplace(id,
                              code.empty() ? format::NumberFormat()
                                           : format::NumberFormat::compile(code))
                     .first;
        }
        formats.push_back(it->second);
    }
    m_xfFormats.clear();
}

void XlsWorkbook::readLabel(const BiffRecord& record,
                            CodePageDecoder& decoder,
                            CellSink& cells) const
{
    requireSize(record, 8);
    const std::int32_t row = le16(record.data, 0) + 1;
    const std::int32_t column = le16(record.data, 2) + 1;
    const std::uint16_t xf = le16(record.data, 4);
    BiffSegments segments(record.data.subspan(6));
    std::string text;
    if (isBiff8()) {
        segments.appendUnicodeString(text);
    } else {
        segments.appendByteString(true, decoder, text);
    }
    cells.addText(row, column, text, xf);
}

// The records of a worksheet after its BOF record. Throws for a sheet of no cells, as
// loadSheet does.
BiffRecordReader XlsWorkbook::sheetRecords(const SheetEntry& sheet) const
{
    switch (sheet.type) {
    case SheetType::Chart:
        throw SheetWithoutCells(ReadError::Reason::ChartSheet);
    case SheetType::MacroSheet:
        throw ReadError(ReadError::Reason::MacroSheet);
    case SheetType::Module:
        throw ReadError(ReadError::Reason::MacroModule);
    case SheetType::Worksheet:
        break;
    }
    if (sheet.offset >= m_stream.size()) {
        damaged("the sheet's position lies past the end of the workbook stream");
    }
    BiffRecordReader reader(m_stream, sheet.offset);
    BiffRecord record;
    if (!reader.next(record) || !isBof(record.type) || record.data.size() < 4) {
        damaged("the sheet does not begin with a beginning-of-file record");
    }
    const std::uint16_t substream = le16(record.data, 2);
    if (substream == ChartSubstream) {
        throw SheetWithoutCells(ReadError::Reason::ChartSheet);
    }
    if (substream == MacroSubstream) {
        throw ReadError(ReadError::Reason::MacroSheet);
    }
    return reader;
}

// The bytes of a sheet's records, which run to the next sheet's.
std::size_t XlsWorkbook::sheetBytes(const SheetEntry& sheet) const
{
    std::size_t end = m_stream.size();
    for (const SheetEntry& other : m_sheets) {
        if (other.offset > sheet.offset) {
            end = std::min(end, other.offset);
        }
    }
    return end - sheet.offset;
}

// A cell record takes 10 to 20 bytes.
constexpr std::size_t CellRecordBytes = 14;

Sheet XlsWorkbook::readSheet(const SheetEntry& sheet) const
{
    BiffRecordReader reader = sheetRecords(sheet);
    SheetBuilder builder(sheet.name, stylesOf(sheet));
    builder.reserve(sheetBytes(sheet) / CellRecordBytes);
    CellSink cells(builder, nullptr);
    readCells(reader, cells);
    return builder.finish();
}

// A first reading of the records finds the used range and counts, holding no more than a
// band of rows; a second on its own thread hands the bands over as the walk asks for them.
// Both read the workbook stream, which is held anyway. A sheet whose rows go back is read
// whole instead, and so is a small one: reading it twice would cost more time than holding
// it costs memory.
std::unique_ptr<SheetParts> XlsWorkbook::readSheetInParts(const SheetEntry& sheet) const
{
    BiffRecordReader first = sheetRecords(sheet);
    if (sheetBytes(sheet) / CellRecordBytes <= m_bands.wholeCells) {
        return std::make_unique<WholeSheetParts>(readSheet(sheet));
    }
    BandTally tally;
    try {
        SheetBuilder builder(sheet.name, stylesOf(sheet));
        RowBands bands(builder, tally.handOver(), {}, m_bands.bandCells);
        CellSink cells(builder, &bands);
        readCells(first, cells);
        bands.finish();
    } catch (const RowBands::OutOfOrder&) {
        return std::make_unique<WholeSheetParts>(readSheet(sheet));
    }
    if (tally.bands() == 1) {
        return std::make_unique<WholeSheetParts>(readSheet(sheet));
    }
    const UsedRange range = tally.summary().usedRange;
    try {
        return std::make_unique<ThreadedSheetParts>(
            tally.summary(), [this, &sheet, range](const HandOver& handOver) {
                try {
                    BiffRecordReader again = sheetRecords(sheet);
                    SheetBuilder builder(sheet.name, stylesOf(sheet));
                    RowBands bands(builder, handOver, range, m_bands.bandCells);
                    CellSink cells(builder, &bands);
                    readCells(again, cells);
                    bands.finish();
                } catch (ReadError& e) {
                    nameIn(e, sheet);
                    throw;
                }
            });
    } catch (const std::system_error&) {
        return std::make_unique<WholeSheetParts>(readSheet(sheet));
    }
}

void XlsWorkbook::readCells(BiffRecordReader& reader, CellSink& cells) const
{
    CodePageDecoder decoder(m_codePage);

    // A formula with a text result keeps its text in the STRING record that follows it.
    struct PendingText
    {
        bool waiting = false;
        std::int32_t row = 0;
        std::int32_t column = 0;
        std::uint16_t xf = 0;
    };

    PendingText pending;
    // The cached result of a formula (MS-XLS 2.5.133 FormulaValue), eight bytes from `at`: a
    // double, or a tagged value when the last two bytes are 0xFFFF. Every FORMULA record has
    // one, so no formula of an .xls file lacks its result.
    const auto addResult = [&](std::span<const std::byte> data,
                               std::size_t at,
                               std::int32_t row,
                               std::int32_t column,
                               std::uint16_t xf) {
        if (le16(data, at + 6) != 0xFFFF) {
            cells.addNumber(row, column, leDouble(data, at), xf);
            return;
        }
        switch (le8(data, at)) {
        case 0x00:
            pending = PendingText{true, row, column, xf};
            break;
        case 0x01:
            cells.addBoolean(row, column, le8(data, at + 2) != 0, xf);
            break;
        case 0x02:
            cells.addError(row, column, errorText(le8(data, at + 2)), xf);
            break;
        default: // 0x03, an empty text
            cells.addText(row, column, "", xf);
            break;
        }
    };
    // A BIFF2 cell's XF index is six bits of its attributes; 63 defers to the IXFE record
    // before it. Without XF records the attributes' number format index stands in.
    std::uint16_t ixfe = 0;
    const auto biff2Xf = [&](std::span<const std::byte> data) -> std::uint16_t {
        if (m_formatsInCells) {
            return le8(data, 5) & 0x3F;
        }
        const std::uint16_t xf = le8(data, 4) & 0x3F;
        return xf == 63 ? ixfe : xf;
    };
    // Embedded charts are whole BOF..EOF substreams inside the sheet's; their records are not
    // cells of the sheet.
    int depth = 1;
    BiffRecord record;
    while (depth > 0 && reader.next(record)) {
        const std::span<const std::byte> data = record.data;
        if (isBof(record.type)) {
            ++depth;
            continue;
        }
        if (record.type == biff::Eof) {
            --depth;
            continue;
        }
        if (depth != 1) {
            continue;
        }
        // The BIFF2 cell records share their numbers with nothing in BIFF5 and later, except
        // FORMULA, whose header there is a byte shorter.
        const bool biff2Cell =
            isBeforeBiff5() && record.type >= biff::Blank2 && record.type <= biff::Formula;
        if (pending.waiting && record.type != biff::String && record.type != biff::String2
            && record.type != biff::Continue) {
            // STRING may follow after ARRAY or SHRFMLA records; any cell record ends the wait.
            const bool isCell = biff2Cell || record.type == biff::Number || record.type == biff::Rk
                || record.type == biff::MulRk || record.type == biff::LabelSst
                || record.type == biff::Label || record.type == biff::Blank
                || record.type == biff::MulBlank || record.type == biff::BoolErr
                || record.type == biff::Formula || record.type == biff::Formula3
                || record.type == biff::Formula4 || record.type == biff::RString;
            if (isCell) {
                cells.addText(pending.row, pending.column, "", pending.xf);
                pending.waiting = false;
            }
        }
        if (biff2Cell) {
            requireSize(record, 7);
            const std::int32_t row = le16(data, 0) + 1;
            const std::int32_t column = le16(data, 2) + 1;
            const std::uint16_t xf = biff2Xf(data);
            switch (record.type) {
            case biff::Blank2:
                cells.addBlank(row, column, xf);
                break;
            case biff::Integer2:
                requireSize(record, 9);
                cells.addNumber(row, column, le16(data, 7), xf);
                break;
            case biff::Number2:
                requireSize(record, 15);
                cells.addNumber(row, column, leDouble(data, 7), xf);
                break;
            case biff::Label2: {
                requireSize(record, 8);
                BiffSegments segments(data.subspan(7));
                std::string text;
                segments.appendByteString(false, decoder, text);
                cells.addText(row, column, text, xf);
                break;
            }
            case biff::BoolErr2:
                requireSize(record, 9);
                if (le8(data, 8) != 0) {
                    cells.addError(row, column, errorText(le8(data, 7)), xf);
                } else {
                    cells.addBoolean(row, column, le8(data, 7) != 0, xf);
                }
                break;
            default: // FORMULA
                requireSize(record, 15);
                addResult(data, 7, row, column, xf);
                break;
            }
            continue;
        }
        switch (record.type) {
        case biff::Ixfe2:
            requireSize(record, 2);
            ixfe = le16(data, 0);
            break;
        case biff::WsBool:
            requireSize(record, 1);
            if ((le8(data, 0) & 0x10) != 0) {
                throw SheetWithoutCells(ReadError::Reason::DialogSheet);
            }
            break;
        case biff::Blank:
            requireSize(record, 6);
            cells.addBlank(le16(data, 0) + 1, le16(data, 2) + 1, le16(data, 4));
            break;
        case biff::MulBlank: {
            requireSize(record, 6);
            const std::int32_t row = le16(data, 0) + 1;
            const std::int32_t first = le16(data, 2) + 1;
            // The cell count comes from the record size; the stated last column may lie.
            const std::size_t count = (data.size() - 6) / 2;
            for (std::size_t i = 0; i < count; ++i) {
                cells.addBlank(row, first + static_cast<std::int32_t>(i), le16(data, 4 + 2 * i));
            }
            break;
        }
        case biff::Number:
            requireSize(record, 14);
            cells.addNumber(le16(data, 0) + 1, le16(data, 2) + 1, leDouble(data, 6), le16(data, 4));
            break;
        case biff::Rk:
            requireSize(record, 10);
            cells.addNumber(
                le16(data, 0) + 1, le16(data, 2) + 1, decodeRk(le32(data, 6)), le16(data, 4));
            break;
        case biff::MulRk: {
            requireSize(record, 6);
            const std::int32_t row = le16(data, 0) + 1;
            const std::int32_t first = le16(data, 2) + 1;
            const std::size_t count = (data.size() - 6) / 6;
            for (std::size_t i = 0; i < count; ++i) {
                const std::size_t at = 4 + 6 * i;
                cells.addNumber(row,
                                first + static_cast<std::int32_t>(i),
                                decodeRk(le32(data, at + 2)),
                                le16(data, at));
            }
            break;
        }
        case biff::LabelSst:
            requireSize(record, 10);
            cells.addSharedText(le16(data, 0) + 1, le16(data, 2) + 1, le32(data, 6), le16(data, 4));
            break;
        case biff::Label:
        case biff::RString:
            readLabel(record, decoder, cells);
            break;
        case biff::BoolErr: {
            requireSize(record, 8);
            const std::int32_t row = le16(data, 0) + 1;
            const std::int32_t column = le16(data, 2) + 1;
            const std::uint16_t xf = le16(data, 4);
            if (le8(data, 7) != 0) {
                cells.addError(row, column, errorText(le8(data, 6)), xf);
            } else {
                cells.addBoolean(row, column, le8(data, 6) != 0, xf);
            }
            break;
        }
        case biff::Formula:
        case biff::Formula3:
        case biff::Formula4:
            requireSize(record, 14);
            addResult(data, 6, le16(data, 0) + 1, le16(data, 2) + 1, le16(data, 4));
            break;
        case biff::String:
        case biff::String2:
            if (pending.waiting) {
                BiffSegments segments(data);
                segments.addContinues(reader);
                std::string text;
                if (isBiff8()) {
                    segments.appendUnicodeString(text);
                } else {
                    // BIFF2's STRING counts its characters in one byte.
                    segments.appendByteString(record.type == biff::String, decoder, text);
                }
                cells.addText(pending.row, pending.column, text, pending.xf);
                pending.waiting = false;
            }
            break;
        default:
            break;
        }
    }
    if (pending.waiting) {
        cells.addText(pending.row, pending.column, "", pending.xf);
    }
}

} // namespace

bool looksLikeBareBiff(std::span<const std::byte> bytes)
{
    if (bytes.size() < 8) {
        return false;
    }
    const std::uint16_t type = le16(bytes, 0);
    const std::uint16_t length = le16(bytes, 2);
    const bool bofType =
        type == biff::Bof2 || type == biff::Bof3 || type == biff::Bof4 || type == biff::Bof;
    // BOF records are 4 to 20 bytes long in every version, and the substream type of BIFF3
    // and later is one of a few small flags.
    return bofType && length >= 4 && length <= 20;
}

std::unique_ptr<Workbook>
openXlsWorkbook(std::string fileName, std::vector<std::byte> bytes, const XlsBands& bands)
{
    const std::string shownName = fileName;
    try {
        if (!CompoundFile::hasSignature(bytes)) {
            if (!looksLikeBareBiff(bytes)) {
                throw ReadError(ReadError::Reason::NotSpreadsheet);
            }
            return std::make_unique<XlsWorkbook>(
                std::move(fileName), std::move(bytes), true, bands);
        }
        CompoundFile file(std::move(bytes));
        // An encrypted Office Open XML package is a compound file holding the encrypted
        // package and its key data (MS-OFFCRYPTO 2.3.4.1).
        if (file.hasStream("EncryptedPackage") && file.hasStream("EncryptionInfo")) {
            throw ReadError(ReadError::Reason::PasswordProtected);
        }
        if (file.hasStream("Workbook")) {
            return std::make_unique<XlsWorkbook>(
                std::move(fileName), std::move(file).takeStream("Workbook"), true, bands);
        }
        if (file.hasStream("Book")) {
            return std::make_unique<XlsWorkbook>(
                std::move(fileName), std::move(file).takeStream("Book"), false, bands);
        }
        throw ReadError(ReadError::Reason::NoWorkbookStream);
    } catch (ReadError& e) {
        e.nameFile(shownName);
        throw;
    }
}

} // namespace sheetfray::engine::readers
