#include "engine/readers/OdsReader.h"

#include "engine/format/DisplayLocale.h"
#include "engine/readers/DateSerial.h"
#include "engine/readers/DecimalText.h"
#include "engine/readers/LiteralText.h"
#include "engine/readers/OdsStyles.h"
#include "engine/readers/PackagePart.h"
#include "engine/readers/SheetBands.h"
#include "engine/readers/XmlStream.h"
#include "support/Error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>

namespace sheetfray::engine::readers {

namespace {

// Copies of repeated cells that hold something, in one sheet. A row of a formula filled down
// the whole sheet stays well below; a few bytes that claim a full grid of values (17 billion
// cells) are refused instead of exhausting memory.
constexpr std::int64_t MaxRepeatedCells = std::int64_t{1} << 22;
// The same in all sheets together, which are read at once: four sheets at the most each, some
// 400 MB of cells.
constexpr std::int64_t MaxRepeatedCellsInWorkbook = MaxRepeatedCells * 4;

// Spaces one cell may gain from <text:s text:c="..."/> counts.
constexpr std::size_t MaxSpacesPerCell = 65536;

// Distinct displayed texts kept as literal number formats; beyond them numbers keep their
// displayed text as a text value.
constexpr std::size_t MaxLiteralFormats = 65536;

std::string readSmallPart(const ZipArchive& archive, std::string_view part)
{
    std::string text;
    const auto index = archive.find(part);
    if (!index) {
        return text;
    }
    ZipEntry entry = archive.open(*index);
    char buffer[256];
    while (text.size() < 1024) {
        const std::size_t got = entry.read(buffer, sizeof buffer);
        if (got == 0) {
            break;
        }
        text.append(buffer, got);
    }
    return text;
}

// Finds <manifest:encryption-data>: the parts it describes are encrypted (ODF 1.2 part 3, 4.8);
// and the media type of the package's root entry (full path "/"), which packages without a
// mimetype entry state only there.
class ManifestHandler final : public XmlHandler
{
public:
    bool encrypted = false;
    std::string mediaType;

    void startElement(std::string_view name, const XmlAttributes& attributes) override
    {
        encrypted = encrypted || isName(name, "encryption-data");
        if (isName(name, "file-entry") && attributes.value("full-path") == "/") {
            mediaType = attributes.value("media-type").value_or("");
        }
    }

    void endElement(std::string_view) override {}

    void characters(std::string_view) override {}
};

std::int64_t repeatCountOf(std::optional<std::string_view> text)
{
    if (!text) {
        return 1;
    }
    std::int64_t value = 1;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || value < 1) {
        return 1;
    }
    // Counts beyond the grid only ever cover empty space; the grid's size bounds them.
    return std::min<std::int64_t>(value, std::int64_t{MaxRows} * MaxColumns);
}

std::int64_t repeatCount(const XmlAttributes& attributes, std::string_view name)
{
    return repeatCountOf(attributes.value(name));
}

std::optional<double> parseNumber(std::optional<std::string_view> text)
{
    if (!text || text->empty()) {
        return std::nullopt;
    }
    double value = 0;
    const char* first = text->data();
    const char* last = first + text->size();
    if (*first == '+') {
        ++first;
    }
    if (readPlainDecimal(std::string_view(first, static_cast<std::size_t>(last - first)), value)) {
        return value;
    }
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// Whether General surely shows value as text, told without rendering it: text is a plain
// decimal ("-1893.79", "65532") that reads as value exactly and that General shows digit for
// digit: no leading or trailing zero to drop, at most 11 digits in all and at most 10 with
// decimals (General fills 11 characters, the point one of them), and an integer part, so
// that no value below 1 (whose General form may turn scientific) is told here. Such a text
// has fewer than 15 significant digits, which the value's shortest form gives back. False
// says nothing: render to know. valueText is the text value was read from: when it is text
// itself, the two agree without reading text again.
bool plainGeneralText(double value, std::string_view valueText, std::string_view text)
{
    std::string_view body = text;
    if (!body.empty() && body.front() == '-') {
        body.remove_prefix(1);
    }
    if (body.empty() || body.front() < '1' || body.front() > '9') {
        return false;
    }
    std::size_t integerDigits = 0;
    while (integerDigits < body.size() && body[integerDigits] >= '0'
           && body[integerDigits] <= '9') {
        ++integerDigits;
    }
    if (integerDigits == body.size()) {
        if (integerDigits > 11) {
            return false;
        }
    } else {
        const std::string_view decimals = body.substr(integerDigits + 1);
        if (body[integerDigits] != '.' || decimals.empty() || decimals.back() == '0'
            || integerDigits + decimals.size() > 10) {
            return false;
        }
        for (const char c : decimals) {
            if (c < '0' || c > '9') {
                return false;
            }
        }
    }
    if (text == valueText) {
        return true; // read by parseNumber as readPlainDecimal reads it
    }
    double read = 0;
    return readPlainDecimal(text, read) && read == value;
}

// An ISO 8601 duration such as "PT10H10M10.123456S" or "-P1DT2H" as a fraction of days.
// Years and months have no fixed length and are refused.
std::optional<double> parseDuration(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() != 'P') {
        return std::nullopt;
    }
    text.remove_prefix(1);
    double seconds = 0;
    bool inTime = false;
    bool any = false;
    while (!text.empty()) {
        if (text.front() == 'T') {
            inTime = true;
            text.remove_prefix(1);
            continue;
        }
        double amount = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), amount);
        if (error != std::errc() || end == text.data() + text.size()) {
            return std::nullopt;
        }
        const char unit = *end;
        text.remove_prefix(static_cast<std::size_t>(end - text.data()) + 1);
        if (unit == 'D' && !inTime) {
            seconds += amount * 86400;
        } else if (unit == 'W' && !inTime) {
            seconds += amount * 7 * 86400;
        } else if (unit == 'H' && inTime) {
            seconds += amount * 3600;
        } else if (unit == 'M' && inTime) {
            seconds += amount * 60;
        } else if (unit == 'S' && inTime) {
            seconds += amount;
        } else {
            return std::nullopt;
        }
        any = true;
    }
    if (!any) {
        return std::nullopt;
    }
    return (negative ? -seconds : seconds) / 86400;
}

// Numbers texts: the shared texts of a workbook, the texts of literal formats. Open
// addressing over one pool of text: one probe and one comparison for a text seen before,
// where a node-based map cost 9% of reading a large sheet. A text of up to 8 bytes (most
// cell texts: "item 86", "91.15%") is held in its slot itself, so that finding it reads
// nothing else: the text streaming through the cache evicts the table between lookups.
class TextIndex
{
public:
    // The number of text; when it is new, it gets next and added is true.
    std::pair<std::uint32_t, bool> insert(std::string_view text, std::uint32_t next)
    {
        if ((m_entries.size() + 1) * 2 > m_slots.size()) {
            grow();
        }
        const Key key = keyOf(text);
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = key.hash & mask;; i = (i + 1) & mask) {
            Slot& slot = m_slots[i];
            if (slot.entry == Empty) {
                slot = {key.tag, static_cast<std::uint32_t>(m_entries.size()) | key.inlined, next};
                m_entries.push_back({m_pool.size(), text.size(), key.hash});
                m_pool.append(text);
                return {next, true};
            }
            if (matches(slot, key, text)) {
                return {slot.value, false};
            }
        }
    }

    [[nodiscard]] std::optional<std::uint32_t> find(std::string_view text) const
    {
        if (m_slots.empty()) {
            return std::nullopt;
        }
        const Key key = keyOf(text);
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = key.hash & mask; m_slots[i].entry != Empty; i = (i + 1) & mask) {
            if (matches(m_slots[i], key, text)) {
                return m_slots[i].value;
            }
        }
        return std::nullopt;
    }

    [[nodiscard]] std::size_t size() const { return m_entries.size(); }

private:
    static constexpr std::uint32_t Empty = 0xFFFF'FFFFu;
    static constexpr std::uint32_t Inlined = 0x8000'0000u; // the tag is the text itself

    struct Slot
    {
        std::uint64_t tag = 0; // the text's bytes when inlined, else its hash
        std::uint32_t entry = Empty; // the entry's number, with Inlined
        std::uint32_t value = 0;
    };

    struct Entry
    {
        std::size_t offset = 0; // in m_pool
        std::size_t length = 0;
        std::uint64_t hash = 0;
    };

    struct Key
    {
        std::uint64_t tag;
        std::uint64_t hash;
        std::uint32_t inlined;
    };

    // Texts of up to 8 bytes with no zero byte (XML text has none) are their own tag: the
    // zero padding tells "ab" from "abc".
    static Key keyOf(std::string_view text)
    {
        if (text.size() <= 8 && text.find('\0') == std::string_view::npos) {
            std::uint64_t bytes = 0;
            std::memcpy(&bytes, text.data(), text.size());
            // Every byte reaches the low bits that pick the slot: texts that differ only in
            // their last bytes ("item 292", "item 297") would otherwise share a run of slots.
            std::uint64_t hash = (bytes ^ 0x9E3779B97F4A7C15u) * 0xFF51AFD7ED558CCDu;
            hash ^= hash >> 33;
            hash *= 0xC4CEB9FE1A85EC53u;
            hash ^= hash >> 33;
            return {bytes, hash, Inlined};
        }
        const std::uint64_t hash = hashOf(text);
        return {hash, hash, 0};
    }

    bool matches(const Slot& slot, const Key& key, std::string_view text) const
    {
        if (slot.tag != key.tag || (slot.entry & Inlined) != key.inlined) {
            return false;
        }
        if (key.inlined) {
            return true;
        }
        const Entry& entry = m_entries[slot.entry];
        return std::string_view(m_pool).substr(entry.offset, entry.length) == text;
    }

    static std::uint64_t hashOf(std::string_view text)
    {
        std::uint64_t hash = 0x9E3779B97F4A7C15u ^ text.size();
        std::size_t i = 0;
        for (; i + 8 <= text.size(); i += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, text.data() + i, 8);
            hash = (hash ^ word) * 0xFF51AFD7ED558CCDu;
            hash ^= hash >> 32;
        }
        std::uint64_t tail = 0;
        std::memcpy(&tail, text.data() + i, text.size() - i);
        hash = (hash ^ tail) * 0xC4CEB9FE1A85EC53u;
        return hash ^ (hash >> 29);
    }

    void grow()
    {
        std::vector<Slot> old = std::move(m_slots);
        m_slots.assign(std::max<std::size_t>(64, old.size() * 2), Slot{});
        const std::size_t mask = m_slots.size() - 1;
        for (const Slot& slot : old) {
            if (slot.entry == Empty) {
                continue;
            }
            std::size_t i = m_entries[slot.entry & ~Inlined].hash & mask;
            while (m_slots[i].entry != Empty) {
                i = (i + 1) & mask;
            }
            m_slots[i] = slot;
        }
    }

    std::vector<Slot> m_slots;
    std::vector<Entry> m_entries;
    std::string m_pool;
};

// A cell as read, before it is placed (once, or many times when repeated).
struct ResolvedCell
{
    CellKind kind = CellKind::Blank;
    double number = 0;
    bool boolean = false;
    std::uint32_t index = 0; // shared text
    std::uint32_t style = 0;
};

struct PlacedRun
{
    std::int64_t column = 0;
    std::int64_t repeat = 1;
    ResolvedCell cell;
};

// Columns with a default cell style, as runs (a style may cover all 16,384 columns).
struct ColumnStyleRun
{
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::string style;
};

class OdsWorkbook final : public Workbook
{
public:
    // Reads the whole document again, for a sheet loaded before; none for a flat document.
    using Reread = std::function<std::unique_ptr<OdsWorkbook>()>;

    explicit OdsWorkbook(std::string fileName)
        : m_fileName(std::move(fileName))
        , m_styles(std::make_shared<WorkbookStyles>())
    {
        m_styles->cellFormats.emplace_back(); // style 0: General
    }

    [[nodiscard]] std::string_view name() const override { return m_fileName; }

    [[nodiscard]] std::int32_t sheetCount() const override
    {
        return static_cast<std::int32_t>(m_sheets.size());
    }

    [[nodiscard]] std::string_view sheetName(std::int32_t index) const override
    {
        return m_names[slot(index)];
    }

    // A sheet is mostly loaded once: the first load takes it, and a later one reads the
    // package again, so that the cells are never held twice. A flat document, which cannot
    // be read again, gives a copy each time.
    [[nodiscard]] Sheet loadSheet(std::int32_t index) override
    {
        std::optional<Sheet>& held = m_sheets[slot(index)];
        if (!m_reread) {
            return *held;
        }
        if (held) {
            return std::exchange(held, std::nullopt).value();
        }
        if (m_readTable) {
            std::optional<Sheet> sheet = m_readTable(index, nullptr, {});
            if (!sheet) {
                throw ReadError::noSuchSheet(index, m_fileName);
            }
            return std::move(*sheet);
        }
        std::unique_ptr<OdsWorkbook> again = m_reread();
        if (index > again->sheetCount()) {
            throw ReadError::noSuchSheet(index, m_fileName);
        }
        return std::move(again->m_sheets[slot(index)]).value();
    }

    [[nodiscard]] bool isSheetHidden(std::int32_t index) const override
    {
        return m_hidden[slot(index)];
    }

    // A sheet whose cells the first reading did not keep is read again in bands of rows; the
    // others as loadSheet gives them.
    [[nodiscard]] std::unique_ptr<SheetParts> loadSheetInParts(std::int32_t index) override
    {
        const std::optional<SheetSummary>& summary = m_summaries[slot(index)];
        if (m_readTable && summary) {
            const UsedRange range = summary->usedRange;
            try {
                return std::make_unique<ThreadedSheetParts>(
                    *summary, [readTable = m_readTable, index, range](const HandOver& handOver) {
                        (void)readTable(index, &handOver, range);
                    });
            } catch (const std::system_error&) {
            }
        }
        return std::make_unique<WholeSheetParts>(loadSheet(index));
    }

    void addSheet(Sheet sheet, bool hidden)
    {
        m_names.push_back(sheet.name());
        m_sheets.emplace_back(std::move(sheet));
        m_summaries.emplace_back();
        m_hidden.push_back(hidden);
    }

    // A sheet read in bands, of which only the summary is kept.
    void addSummary(std::string name, const SheetSummary& summary, bool hidden)
    {
        m_names.push_back(std::move(name));
        m_sheets.emplace_back();
        m_summaries.emplace_back(summary);
        m_hidden.push_back(hidden);
    }

    void setReread(Reread reread) { m_reread = std::move(reread); }

    // Reads one table of the package again (index from 1): whole when handOver is none, else
    // in bands handed to it, each of a used range of at least atLeast. Nothing when the
    // document has no such table.
    using ReadTable = std::function<std::optional<Sheet>(
        std::int32_t index, const HandOver* handOver, UsedRange atLeast)>;

    void setReadTable(ReadTable readTable) { m_readTable = std::move(readTable); }

    [[nodiscard]] const std::shared_ptr<WorkbookStyles>& styles() const { return m_styles; }

    [[nodiscard]] const std::string& fileName() const { return m_fileName; }

private:
    std::size_t slot(std::int32_t index) const
    {
        if (index < 1 || index > sheetCount()) {
            throw ReadError::noSuchSheet(index, m_fileName);
        }
        return static_cast<std::size_t>(index - 1);
    }

    std::string m_fileName;
    std::shared_ptr<WorkbookStyles> m_styles;
    std::vector<std::optional<Sheet>> m_sheets; // empty once taken by a load
    std::vector<std::optional<SheetSummary>> m_summaries; // by sheet: those read in bands
    std::vector<std::string> m_names; // by sheet
    std::vector<bool> m_hidden; // by sheet
    Reread m_reread;
    ReadTable m_readTable;
};

// How a ContentHandler reads the tables: all of them into sheets (the whole document); at
// the opening of a large document, each in bands that are only counted, a table of one band
// kept; or one table of a document read before (whose workbook styles are complete by then),
// whole or in bands.
struct TableReading
{
    enum class Kind {
        All,
        Tally,
        One,
    };

    Kind kind = Kind::All;
    std::size_t bandCells = RowBands::BandCells;
    std::int32_t table = 0; // One: from 1
    const HandOver* handOver = nullptr; // One: where the bands go; none for the table whole
    UsedRange atLeast; // One: of every band
};

// Thrown once the one table read is whole, so that the rest of the document is not read.
struct TableRead
{};

// Streams content.xml: the automatic styles go to the style collection, the tables become
// sheets.
class ContentHandler final : public XmlHandler
{
public:
    // book gets the sheets; none when reading is One, whose table table() gives.
    ContentHandler(std::shared_ptr<WorkbookStyles> workbookStyles,
                   OdsStyles& styles,
                   OdsWorkbook* book,
                   TableReading reading = {})
        : m_book(book)
        , m_styles(styles)
        , m_workbookStylesHeld(std::move(workbookStyles))
        , m_workbookStyles(*m_workbookStylesHeld)
        , m_pointDecimal(format::displaySeparators().decimal == ".")
        , m_reading(reading)
        , m_replay(reading.kind == TableReading::Kind::One)
        , m_formatCount(static_cast<std::uint32_t>(m_workbookStyles.cellFormats.size()))
    {
        if (m_replay) {
            // The styles and texts of the whole document are there: the tables are read
            // again to give each cell the same numbers, none added.
            m_formatCount = 1;
        }
    }

    // The table a One reading read whole.
    [[nodiscard]] std::optional<Sheet>& table() { return m_one; }

    void startElement(std::string_view name, const XmlAttributes& attributes) override;
    void endElement(std::string_view name) override;
    void characters(std::string_view text) override;

    // Whether the document's root is an OpenDocument document (office:document-content, or
    // office:document in a flat file).
    [[nodiscard]] bool sawDocument() const { return m_sawDocument; }

private:
    void startTable(const XmlAttributes& attributes);
    void endTable();
    void startCell(const XmlAttributes& attributes);
    void endCell();
    void endRow();
    void placeRow(std::int64_t rows);
    void keepBand(Sheet part);
    [[nodiscard]] std::optional<ResolvedCell> resolveCell();
    [[nodiscard]] std::uint32_t sharedText(const std::string& text);
    [[nodiscard]] std::optional<std::uint32_t> literalStyleShowing(double value,
                                                                   const std::string& text);
    [[nodiscard]] bool shows(std::uint32_t style, double value, const std::string& text);
    [[nodiscard]] bool
    generalShows(double value, std::string_view valueText, const std::string& text);
    [[nodiscard]] std::optional<std::uint32_t> literalStyle(const std::string& text);
    [[nodiscard]] std::uint32_t codeStyle(const std::string& code);
    [[nodiscard]] std::uint32_t lookUpCodeStyle(const std::string& code);
    [[nodiscard]] std::string_view cellStyleAt(std::int64_t column) const;
    [[nodiscard]] const std::string& dateTimeCodeAt(std::int64_t column);
    [[nodiscard]] const std::string& numberCodeAt(std::int64_t column);

    OdsWorkbook* m_book;
    OdsStyles& m_styles;
    std::shared_ptr<WorkbookStyles> m_workbookStylesHeld;
    WorkbookStyles& m_workbookStyles;
    bool m_pointDecimal; // General shows a point before decimals
    TableReading m_reading;
    bool m_replay; // the workbook styles are complete: nothing is added to them
    std::uint32_t m_sharedCount = 0; // shared texts met, when replaying
    std::uint32_t m_formatCount; // cell formats, General and those met
    bool m_sawRoot = false;
    bool m_sawDocument = false;
    bool m_inBody = false;
    bool m_sawBodyKind = false;
    int m_tableDepth = 0;
    // Table styles that hide their tables (table:display="false"), and the table style read.
    std::set<std::string, std::less<>> m_hiddenTableStyles;
    std::string m_tableStyle;
    bool m_tableHidden = false;

    // The current sheet: a builder for the tables whose cells are kept, and its bands.
    std::int32_t m_table = 0; // from 1
    std::string m_tableName;
    std::optional<SheetBuilder> m_builder;
    std::optional<RowBands> m_bands;
    std::optional<BandTally> m_tally;
    HandOver m_tallyHandOver;
    std::optional<Sheet> m_firstBand; // while it is the only one
    std::optional<Sheet> m_one;
    std::uint64_t m_ownText = 0; // bytes of the sheet's own text (of error cells)
    std::vector<ColumnStyleRun> m_columnStyles;
    std::int64_t m_nextColumnStyle = 1;
    std::int64_t m_row = 1;
    std::int64_t m_rowRepeat = 1;
    std::int64_t m_column = 1;
    std::vector<PlacedRun> m_rowCells;
    std::int64_t m_repeatedCells = 0; // in the sheet being read
    std::int64_t m_repeatedInWorkbook = 0;

    // The current cell.
    bool m_inCell = false;
    std::int64_t m_cellRepeat = 1;
    std::string m_valueType;
    bool m_formula = false;
    bool m_error = false;
    std::optional<std::string> m_value;
    std::optional<std::string> m_dateValue;
    std::optional<std::string> m_timeValue;
    std::optional<std::string> m_booleanValue;
    std::optional<std::string> m_stringValue;
    std::string m_cellStyle;
    std::string m_text;
    bool m_hasParagraph = false;
    int m_paragraphDepth = 0;
    int m_skipDepth = 0; // inside an annotation or other content that is not displayed
    std::size_t m_spaces = 0;

    TextIndex m_sharedIndex;
    TextIndex m_literalStyles;
    std::vector<bool> m_fixedText; // by style: a literal format that shows its text always
    std::unordered_map<std::string, std::uint32_t> m_codeStyles;
    std::string m_lastCode; // the code codeStyle was last asked for, and its style
    std::optional<std::uint32_t> m_lastCodeStyle;

    // The date and time codes of the cell styles met in the tables (the styles are all read
    // by then), so that each is looked up once.
    struct DateTimeCode
    {
        std::string cellStyle;
        std::string code;
    };

    std::vector<DateTimeCode> m_dateTimeCodes;
    std::vector<DateTimeCode> m_numberCodes; // the same for number styles
    std::string m_uncachedCode;
};

void ContentHandler::startElement(std::string_view name, const XmlAttributes& attributes)
{
    if (!m_sawRoot) {
        m_sawRoot = true;
        m_sawDocument = isName(name, "document-content") || isName(name, "document");
    }
    if (m_inBody && !m_sawBodyKind) {
        // The body holds one element that says the document's kind (ODF 1.2 part 1, 3.4); a
        // package that states no media type is told by it.
        m_sawBodyKind = true;
        if (!isName(name, "spreadsheet")) {
            throw ReadError(ReadError::Reason::OtherOpenDocument,
                            "application/vnd.oasis.opendocument." + std::string(name));
        }
    }
    if (!m_inBody) {
        if (isName(name, "body")) {
            m_inBody = true;
        } else {
            // A hidden sheet is a table whose style says table:display="false" (ODF 1.2,
            // 20.347).
            if (isName(name, "style")) {
                m_tableStyle = attributes.value("family").value_or("") == "table"
                    ? std::string(attributes.value("name").value_or(""))
                    : std::string();
            } else if (isName(name, "table-properties") && !m_tableStyle.empty()
                       && attributes.value("display").value_or("") == "false") {
                m_hiddenTableStyles.insert(m_tableStyle);
            }
            m_styles.startElement(name, attributes);
        }
        return;
    }
    if (isName(name, "table")) {
        if (++m_tableDepth == 1 && !m_inCell) {
            startTable(attributes);
        }
        return;
    }
    if (m_tableDepth != 1) {
        return;
    }
    if (m_inCell) {
        if (m_skipDepth > 0 || isName(name, "annotation") || isName(name, "note")) {
            ++m_skipDepth;
            return;
        }
        if (isName(name, "p") || isName(name, "h")) {
            // Paragraphs of one cell are lines of its text.
            if (m_paragraphDepth == 0 && m_hasParagraph) {
                m_text += '\n';
            }
            m_hasParagraph = true;
            ++m_paragraphDepth;
        } else if (m_paragraphDepth > 0 && isName(name, "s")) {
            const auto count = static_cast<std::size_t>(repeatCount(attributes, "c"));
            const std::size_t allowed = std::min(count, MaxSpacesPerCell - m_spaces);
            m_text.append(allowed, ' ');
            m_spaces += allowed;
        } else if (m_paragraphDepth > 0 && isName(name, "tab")) {
            m_text += '\t';
        } else if (m_paragraphDepth > 0 && isName(name, "line-break")) {
            m_text += '\n';
        }
        return;
    }
    if (isName(name, "table-column")) {
        const std::int64_t count = repeatCount(attributes, "number-columns-repeated");
        const auto style = attributes.value("default-cell-style-name");
        if (style && *style != "Default") {
            m_columnStyles.push_back(
                {m_nextColumnStyle, m_nextColumnStyle + count - 1, std::string(*style)});
        }
        m_nextColumnStyle += count;
    } else if (isName(name, "table-row")) {
        m_rowRepeat = repeatCount(attributes, "number-rows-repeated");
        m_column = 1;
        m_rowCells.clear();
    } else if (isName(name, "table-cell") || isName(name, "covered-table-cell")) {
        startCell(attributes);
    }
}

void ContentHandler::endElement(std::string_view name)
{
    if (!m_inBody) {
        m_styles.endElement(name);
        return;
    }
    if (isName(name, "table")) {
        if (m_tableDepth-- == 1 && !m_inCell) {
            endTable();
        }
        return;
    }
    if (m_tableDepth != 1) {
        return;
    }
    if (m_inCell) {
        if (m_skipDepth > 0) {
            --m_skipDepth;
            return;
        }
        if ((isName(name, "p") || isName(name, "h")) && m_paragraphDepth > 0) {
            --m_paragraphDepth;
        } else if (isName(name, "table-cell") || isName(name, "covered-table-cell")) {
            endCell();
        }
        return;
    }
    if (isName(name, "table-row")) {
        endRow();
    }
}

void ContentHandler::characters(std::string_view text)
{
    if (!m_inBody) {
        m_styles.characters(text);
        return;
    }
    if (m_inCell && m_paragraphDepth > 0 && m_skipDepth == 0) {
        m_text += text;
    }
}

void ContentHandler::startTable(const XmlAttributes& attributes)
{
    ++m_table;
    m_tableName = attributes.value("name").value_or("");
    m_tableHidden = m_hiddenTableStyles.contains(attributes.value("style-name").value_or(""));
    m_columnStyles.clear();
    m_nextColumnStyle = 1;
    m_row = 1;
    m_repeatedCells = 0;
    m_ownText = 0;
    m_bands.reset();
    m_builder.reset();
    if (m_reading.kind == TableReading::Kind::One && m_table != m_reading.table) {
        return; // read for the numbers of its texts and formats, and its limits, only
    }
    m_builder.emplace(m_tableName, m_workbookStylesHeld);
    if (m_reading.kind == TableReading::Kind::Tally) {
        m_tally.emplace();
        m_tallyHandOver = m_tally->handOver();
        m_firstBand.reset();
        m_bands.emplace(
            *m_builder,
            [this](Sheet part) { keepBand(std::move(part)); },
            UsedRange{},
            m_reading.bandCells);
    } else if (m_reading.handOver != nullptr) {
        m_bands.emplace(*m_builder, *m_reading.handOver, m_reading.atLeast, m_reading.bandCells);
    }
}

void ContentHandler::keepBand(Sheet part)
{
    if (m_tally->bands() == 0) {
        m_firstBand.emplace(part);
    } else {
        m_firstBand.reset();
    }
    m_tallyHandOver(std::move(part));
}

void ContentHandler::endTable()
{
    if (!m_builder) {
        return;
    }
    switch (m_reading.kind) {
    case TableReading::Kind::All:
        m_book->addSheet(m_builder->finish(), m_tableHidden);
        break;
    case TableReading::Kind::Tally:
        m_bands->finish();
        if (m_tally->bands() == 1) {
            m_book->addSheet(std::move(*m_firstBand), m_tableHidden);
        } else {
            m_book->addSummary(m_tableName, m_tally->summary(), m_tableHidden);
        }
        m_firstBand.reset();
        m_tally.reset();
        break;
    case TableReading::Kind::One:
        if (m_bands) {
            m_bands->finish();
        } else {
            m_one = m_builder->finish();
        }
        throw TableRead{};
    }
    m_bands.reset();
    m_builder.reset();
}

void ContentHandler::startCell(const XmlAttributes& attributes)
{
    m_inCell = true;
    m_valueType.clear();
    m_formula = false;
    m_error = false;
    m_value.reset();
    m_dateValue.reset();
    m_timeValue.reset();
    m_booleanValue.reset();
    m_stringValue.reset();
    m_cellStyle.clear();
    m_text.clear();
    m_hasParagraph = false;
    m_paragraphDepth = 0;
    m_skipDepth = 0;
    m_spaces = 0;
    // office:value-type and the writer's own calcext:value-type share a local name; the
    // second says "error" for error results, which the first calls numbers. The repeat
    // count is taken in the same pass, the first of its name as elsewhere.
    std::optional<std::string_view> repeat;
    attributes.forEach([this, &repeat](std::string_view attribute, std::string_view value) {
        if (isName(attribute, "value-type")) {
            if (m_valueType.empty()) {
                m_valueType = value;
            }
            m_error = m_error || value == "error";
        } else if (isName(attribute, "value")) {
            m_value.emplace(value);
        } else if (isName(attribute, "date-value")) {
            m_dateValue.emplace(value);
        } else if (isName(attribute, "time-value")) {
            m_timeValue.emplace(value);
        } else if (isName(attribute, "boolean-value")) {
            m_booleanValue.emplace(value);
        } else if (isName(attribute, "string-value")) {
            m_stringValue.emplace(value);
        } else if (isName(attribute, "style-name")) {
            m_cellStyle = value;
        } else if (isName(attribute, "formula")) {
            m_formula = true;
        } else if (!repeat && isName(attribute, "number-columns-repeated")) {
            repeat = value;
        }
    });
    m_cellRepeat = repeatCountOf(repeat);
}

std::uint32_t ContentHandler::sharedText(const std::string& text)
{
    auto& strings = m_workbookStyles.sharedStrings;
    const auto next = m_replay ? m_sharedCount : static_cast<std::uint32_t>(strings.size());
    const auto [index, added] = m_sharedIndex.insert(text, next);
    if (added) {
        if (m_replay) {
            ++m_sharedCount;
        } else {
            strings.push_back(text);
        }
    }
    return index;
}

bool ContentHandler::shows(std::uint32_t style, double value, const std::string& text)
{
    if (style < m_fixedText.size() && m_fixedText[style]) {
        return true;
    }
    std::string shown;
    m_workbookStyles.formatOf(style).render(value, format::DateSystem::Date1900, shown);
    return shown == text;
}

std::uint32_t ContentHandler::codeStyle(const std::string& code)
{
    // Cells of one column mostly share their code: the last one answers without hashing.
    if (m_lastCodeStyle && code == m_lastCode) {
        return *m_lastCodeStyle;
    }
    m_lastCode = code;
    m_lastCodeStyle = lookUpCodeStyle(code);
    return *m_lastCodeStyle;
}

std::uint32_t ContentHandler::lookUpCodeStyle(const std::string& code)
{
    auto it = m_codeStyles.find(code);
    if (it == m_codeStyles.end()) {
        if (!m_replay) {
            m_workbookStyles.cellFormats.push_back(format::NumberFormat::compile(code));
        }
        it = m_codeStyles.emplace(code, m_formatCount++).first;
    }
    return it->second;
}

// The literal format made of text (its index), made when first asked for; nothing when
// there are too many.
std::optional<std::uint32_t> ContentHandler::literalStyle(const std::string& text)
{
    if (m_literalStyles.size() >= MaxLiteralFormats) {
        return m_literalStyles.find(text);
    }
    const auto [index, added] = m_literalStyles.insert(text, m_formatCount);
    if (!added) {
        return index;
    }
    ++m_formatCount;
    // The text in all three number sections, so that no minus sign is added.
    std::string literal = "\"";
    for (const char c : text) {
        literal += c == '"' ? std::string("\"\\\"\"") : std::string(1, c);
    }
    literal += '"';
    if (!m_replay) {
        m_workbookStyles.cellFormats.push_back(
            format::NumberFormat::compile(literal + ";" + literal + ";" + literal));
    }
    // Such a format shows its text whatever the value; checked once on values of each
    // section, so that later cells need not render it.
    m_fixedText.resize(m_formatCount);
    m_fixedText[index] =
        shows(index, 1.5, text) && shows(index, -2.25, text) && shows(index, 0, text);
    return index;
}

bool ContentHandler::generalShows(double value, std::string_view valueText, const std::string& text)
{
    // General shows only digits, signs, a point and an exponent: other texts need no render.
    for (const char c : text) {
        if ((c < '0' || c > '9') && c != '-' && c != '+' && c != '.' && c != 'E') {
            return false;
        }
    }
    if (m_pointDecimal && plainGeneralText(value, valueText, text)) {
        return true;
    }
    return shows(0, value, text);
}

// The style index of a literal format made of text, when it shows value as text.
std::optional<std::uint32_t> ContentHandler::literalStyleShowing(double value,
                                                                 const std::string& text)
{
    const auto style = literalStyle(text);
    return style && shows(*style, value, text) ? style : std::nullopt;
}

std::string_view ContentHandler::cellStyleAt(std::int64_t column) const
{
    if (!m_cellStyle.empty()) {
        return m_cellStyle;
    }
    for (const ColumnStyleRun& run : m_columnStyles) {
        if (column >= run.first && column <= run.last) {
            return run.style;
        }
    }
    return {};
}

const std::string& ContentHandler::dateTimeCodeAt(std::int64_t column)
{
    const std::string_view style = cellStyleAt(column);
    for (const DateTimeCode& known : m_dateTimeCodes) {
        if (known.cellStyle == style) {
            return known.code;
        }
    }
    // A few styles show dates in a workbook; a file of thousands is not worth remembering.
    if (m_dateTimeCodes.size() >= 32) {
        m_uncachedCode = m_styles.dateTimeCode(style);
        return m_uncachedCode;
    }
    m_dateTimeCodes.push_back({std::string(style), m_styles.dateTimeCode(style)});
    return m_dateTimeCodes.back().code;
}

const std::string& ContentHandler::numberCodeAt(std::int64_t column)
{
    const std::string_view style = cellStyleAt(column);
    for (const DateTimeCode& known : m_numberCodes) {
        if (known.cellStyle == style) {
            return known.code;
        }
    }
    if (m_numberCodes.size() >= 32) {
        m_uncachedCode = m_styles.numberCode(style);
        return m_uncachedCode;
    }
    m_numberCodes.push_back({std::string(style), m_styles.numberCode(style)});
    return m_numberCodes.back().code;
}

std::optional<ResolvedCell> ContentHandler::resolveCell()
{
    ResolvedCell cell;
    if (!m_hasParagraph && m_stringValue) {
        // A text result written without its paragraph (some writers store formula results
        // so): the value attribute is the text.
        m_text = *m_stringValue;
        m_hasParagraph = true;
    }
    const auto asText = [&] {
        cell.kind = CellKind::SharedText;
        cell.index = sharedText(m_text);
        return cell;
    };
    if (m_error) {
        cell.kind = CellKind::Error;
        cell.index = sharedText(m_text);
        return cell;
    }
    std::optional<double> number;
    const std::string* code = nullptr; // a date or time style's code, empty when none
    if (isName(m_valueType, "float") || isName(m_valueType, "percentage")
        || isName(m_valueType, "currency")) {
        number = parseNumber(m_value);
    } else if (isName(m_valueType, "date")) {
        if (m_dateValue) {
            number = isoDateSerial(*m_dateValue, format::DateSystem::Date1900);
        }
        code = &dateTimeCodeAt(m_column);
    } else if (isName(m_valueType, "time")) {
        if (m_timeValue) {
            number = parseDuration(*m_timeValue);
        }
        code = &dateTimeCodeAt(m_column);
    } else if (isName(m_valueType, "boolean")) {
        const bool value = m_booleanValue == "true" || m_booleanValue == "1";
        if (!m_hasParagraph || m_text == (value ? "TRUE" : "FALSE")) {
            cell.kind = CellKind::Boolean;
            cell.boolean = value;
            return cell;
        }
        return asText();
    } else if (m_valueType.empty() || isName(m_valueType, "void")) {
        if (!m_hasParagraph || m_text.empty()) {
            return std::nullopt; // an empty cell, perhaps formatted: not stored
        }
        return asText();
    } else {
        return asText(); // "string", and types this reader does not know
    }
    if (!number) {
        return m_hasParagraph ? std::optional(asText()) : std::nullopt;
    }
    cell.kind = CellKind::Number;
    cell.number = *number;
    if (!m_hasParagraph) {
        // No stored text: the value is shown through the style's own format, if any.
        if (!code) {
            code = &numberCodeAt(m_column);
        }
        if (!code->empty()) {
            cell.style = codeStyle(*code);
        }
        return cell;
    }
    // A date or time is kept only through a date format that shows its text; numbers may
    // also take a literal format of their text, or, where one surely shows it, keep the
    // text itself.
    std::optional<std::uint32_t> style;
    if (!code) {
        // Without a date or time code the number was read from the value attribute.
        if (generalShows(
                *number, m_value ? std::string_view(*m_value) : std::string_view(), m_text)) {
            style = 0;
        } else if (isPlainLiteral(m_text)) {
            cell.kind = CellKind::ShownNumber;
            cell.index = sharedText(m_text);
            return cell;
        } else {
            style = literalStyleShowing(*number, m_text);
        }
    } else if (!code->empty()) {
        const std::uint32_t shown = codeStyle(*code);
        if (shows(shown, *number, m_text)) {
            style = shown;
        }
    }
    if (!style) {
        // No format shows the stored text: the text wins, as it is what the user saw.
        return asText();
    }
    cell.style = *style;
    return cell;
}

void ContentHandler::endCell()
{
    m_inCell = false;
    if (const auto cell = resolveCell()) {
        m_rowCells.push_back({m_column, m_cellRepeat, *cell});
    } else if (m_formula) {
        // A formula stored without its result (no value, or none that can be read) is read
        // as an empty cell, and counted; copies past the grid's end are not.
        const std::int64_t rows = std::clamp<std::int64_t>(MaxRows - m_row + 1, 0, m_rowRepeat);
        const std::int64_t columns =
            std::clamp<std::int64_t>(MaxColumns - m_column + 1, 0, m_cellRepeat);
        if (m_builder) {
            m_builder->countFormulaWithoutResult(static_cast<std::uint64_t>(rows * columns));
        }
    }
    m_column += m_cellRepeat;
}

void ContentHandler::endRow()
{
    // Empty rows and cells may run past the grid (writers pad to its end); values there
    // would be lost, so they make the file unreadable instead.
    if (!m_rowCells.empty() && m_row + m_rowRepeat - 1 > MaxRows) {
        throw ReadError(ReadError::Reason::Damaged,
                        "a sheet has values below row " + std::to_string(MaxRows)
                            + ", the last a sheet holds");
    }
    const std::int64_t rows = m_rowCells.empty() ? 0 : m_rowRepeat;
    if (rows > 0) {
        for (const PlacedRun& run : m_rowCells) {
            if (run.column + run.repeat - 1 > MaxColumns) {
                throw ReadError(ReadError::Reason::Damaged,
                                "a sheet has values right of column " + std::to_string(MaxColumns)
                                    + ", the last a sheet holds");
            }
            const std::int64_t columns = run.repeat;
            m_repeatedCells += rows * columns - 1;
            m_repeatedInWorkbook += rows * columns - 1;
            if (m_repeatedCells > MaxRepeatedCells) {
                throw ReadError(ReadError::Reason::TooManyRepeats,
                                std::to_string(MaxRepeatedCells));
            }
            if (m_repeatedInWorkbook > MaxRepeatedCellsInWorkbook) {
                throw ReadError(ReadError::Reason::TooManyRepeatsInWorkbook,
                                std::to_string(MaxRepeatedCellsInWorkbook));
            }
            if (run.cell.kind == CellKind::Error) {
                // The sheet keeps the texts of error cells itself, up to its limit: counted
                // here, as the copies of this run would fill it before the next run is
                // looked at, and as a sheet read in bands never holds them all.
                const std::uint64_t bytes = static_cast<std::uint64_t>(rows * columns)
                    * m_workbookStyles.sharedStrings[run.cell.index].size();
                if (m_ownText + bytes > std::numeric_limits<std::uint32_t>::max()) {
                    throw ReadError(ReadError::Reason::TooMuchText);
                }
                m_ownText += bytes;
            }
        }
        if (m_builder) {
            placeRow(rows);
        }
    }
    m_row = std::min<std::int64_t>(m_row + m_rowRepeat, std::int64_t{MaxRows} + 1);
    m_rowCells.clear();
}

// Places the row's cells, rows copies of it, row by row so that bands may end between
// copies.
void ContentHandler::placeRow(std::int64_t rows)
{
    for (std::int64_t r = 0; r < rows; ++r) {
        const auto row = static_cast<std::int32_t>(m_row + r);
        if (m_bands) {
            m_bands->beforeCell(row);
        }
        for (const PlacedRun& run : m_rowCells) {
            for (std::int64_t c = 0; c < run.repeat; ++c) {
                const auto column = static_cast<std::int32_t>(run.column + c);
                const ResolvedCell& cell = run.cell;
                switch (cell.kind) {
                case CellKind::Number:
                    m_builder->addNumber(row, column, cell.number, cell.style);
                    break;
                case CellKind::Boolean:
                    m_builder->addBoolean(row, column, cell.boolean, cell.style);
                    break;
                case CellKind::ShownNumber:
                    m_builder->addShownNumber(row, column, cell.number, cell.index);
                    break;
                case CellKind::Error:
                    m_builder->addError(
                        row, column, m_workbookStyles.sharedStrings[cell.index], cell.style);
                    break;
                default:
                    m_builder->addSharedText(row, column, cell.index, cell.style);
                    break;
                }
            }
        }
    }
}

} // namespace

namespace {

constexpr std::string_view OpenDocumentType = "application/vnd.oasis.opendocument";
constexpr std::string_view SpreadsheetType = "application/vnd.oasis.opendocument.spreadsheet";

// Stops parsing at the document's root element, keeping its name and one attribute.
class RootHandler final : public XmlHandler
{
public:
    struct Found
    {};

    explicit RootHandler(std::string_view attributeName)
        : m_attribute(attributeName)
    {}

    std::string name;
    std::optional<std::string> attribute;

    void startElement(std::string_view element, const XmlAttributes& attributes) override
    {
        name = element;
        if (const auto value = attributes.value(m_attribute)) {
            attribute = std::string(*value);
        }
        throw Found();
    }

    void endElement(std::string_view) override {}

    void characters(std::string_view) override {}

private:
    std::string_view m_attribute;
};

// The root element of an XML document read by read; nothing when the document is not XML,
// or ends (or errs) before its root's start tag is whole.
std::optional<RootHandler> rootElement(const ByteReader& read, std::string_view attribute)
{
    RootHandler root(attribute);
    try {
        parseXml(read, root, "root");
    } catch (const RootHandler::Found&) {
        return root;
    } catch (const ReadError&) {
    }
    return std::nullopt;
}

std::optional<RootHandler>
rootElement(const ZipArchive& archive, std::string_view part, std::string_view attribute)
{
    const auto index = archive.find(part);
    if (!index) {
        return std::nullopt;
    }
    try {
        ZipEntry entry = archive.open(*index);
        return rootElement(
            [&entry](char* buffer, std::size_t size) { return entry.read(buffer, size); },
            attribute);
    } catch (const ReadError&) {
        return std::nullopt;
    }
}

std::string manifestMediaType(const ZipArchive& archive)
{
    ManifestHandler manifest;
    try {
        parsePart(archive, "META-INF/manifest.xml", manifest);
    } catch (const ReadError&) {
        return {};
    }
    return manifest.mediaType;
}

void checkSpreadsheetType(std::string_view mediaType)
{
    if (!mediaType.empty() && !mediaType.starts_with(SpreadsheetType)) {
        throw ReadError(ReadError::Reason::OtherOpenDocument, std::string(mediaType));
    }
}

// Reads the document's tables; content is the whole document of a flat file, or the
// package's content.xml after its styles.xml went to styles.
void readContent(ContentHandler& content, const ByteReader& read, std::string_view part)
{
    parseXml(read, content, part);
    if (!content.sawDocument()) {
        throw ReadError(ReadError::Reason::UntypedOpenDocument);
    }
}

} // namespace

bool isOpenDocument(const ZipArchive& archive)
{
    // The mimetype entry comes first in every OpenDocument package (ODF 1.2 part 3, 3.3);
    // Office Open XML packages have a content-types part instead. Some writers leave the
    // mimetype entry out: their manifest or content part still tells.
    if (archive.find("[Content_Types].xml")) {
        return false;
    }
    if (archive.find("mimetype")) {
        return true;
    }
    if (manifestMediaType(archive).starts_with(OpenDocumentType)) {
        return true;
    }
    const auto root = rootElement(archive, "content.xml", "");
    return root && root->name == "document-content";
}

namespace {

// A cell takes some 130 bytes of content.xml, which deflates to a twentieth or less; the
// compressed size bounds a directory that lies.
std::size_t cellEstimate(const ZipEntry& entry)
{
    return static_cast<std::size_t>(std::min(entry.declaredSize(), entry.compressedSize() * 20)
                                    / 128);
}

ZipEntry openContent(const ZipArchive& archive)
{
    const auto index = archive.find("content.xml");
    if (!index) {
        throw ReadError(ReadError::Reason::PartMissing, {}, {.part = "content.xml"});
    }
    return archive.open(*index);
}

// Reads the package's styles and content into a workbook; ReadError names no file. A large
// content (more than about bands.wholeCells cells) is read in bands that are only counted,
// its tables of more than one band not kept.
std::unique_ptr<OdsWorkbook> readPackage(const ZipArchive& archive, const OdsBands& bands = {})
{
    ManifestHandler manifest;
    parsePart(archive, "META-INF/manifest.xml", manifest);
    std::string mimetype = readSmallPart(archive, "mimetype");
    if (mimetype.empty()) {
        // Without a mimetype entry the manifest's root entry states the type; without
        // that too, the content part's body shows the kind.
        mimetype = manifest.mediaType;
    }
    checkSpreadsheetType(mimetype);
    if (manifest.encrypted) {
        throw ReadError(ReadError::Reason::PasswordProtected);
    }
    OdsStyles styles;
    parsePart(archive, "styles.xml", styles);
    auto book = std::make_unique<OdsWorkbook>(archive.fileName());
    ZipEntry entry = openContent(archive);
    TableReading reading;
    if (cellEstimate(entry) > bands.wholeCells) {
        reading.kind = TableReading::Kind::Tally;
        reading.bandCells = bands.bandCells;
    }
    ContentHandler content(book->styles(), styles, book.get(), reading);
    readContent(
        content,
        [&entry](char* buffer, std::size_t size) { return entry.read(buffer, size); },
        "content.xml");
    return book;
}

// Reads one table of a package read before, whose workbook styles are complete.
std::optional<Sheet> readTable(const ZipArchive& archive,
                               const std::shared_ptr<WorkbookStyles>& workbookStyles,
                               const TableReading& reading)
{
    OdsStyles styles;
    parsePart(archive, "styles.xml", styles);
    ContentHandler content(workbookStyles, styles, nullptr, reading);
    ZipEntry entry = openContent(archive);
    try {
        readContent(
            content,
            [&entry](char* buffer, std::size_t size) { return entry.read(buffer, size); },
            "content.xml");
    } catch (const TableRead&) {
        return std::move(content.table());
    }
    return std::nullopt;
}

} // namespace

std::unique_ptr<Workbook> openOdsWorkbook(ZipArchive archive, const OdsBands& bands)
{
    const std::string fileName = archive.fileName();
    try {
        auto package = std::make_shared<const ZipArchive>(std::move(archive));
        std::unique_ptr<OdsWorkbook> book = readPackage(*package, bands);
        book->setReread([package, fileName] {
            try {
                return readPackage(*package);
            } catch (ReadError& e) {
                e.nameFile(fileName);
                throw;
            }
        });
        if (cellEstimate(openContent(*package)) > bands.wholeCells) {
            // A large content is read again one table at a time, with the styles and texts
            // of the first reading.
            book->setReadTable(
                [package, fileName, styles = book->styles(), bands](
                    std::int32_t index, const HandOver* handOver, UsedRange atLeast) {
                    try {
                        return readTable(*package,
                                         styles,
                                         {.kind = TableReading::Kind::One,
                                          .bandCells = bands.bandCells,
                                          .table = index,
                                          .handOver = handOver,
                                          .atLeast = atLeast});
                    } catch (ReadError& e) {
                        e.nameFile(fileName);
                        throw;
                    }
                });
        }
        return book;
    } catch (ReadError& e) {
        e.nameFile(fileName);
        throw;
    }
}

std::optional<std::string> flatOpenDocumentType(std::span<const std::byte> head)
{
    std::size_t offset = 0;
    const auto root = rootElement(
        [&](char* buffer, std::size_t size) {
            const std::size_t count = std::min(size, head.size() - offset);
            std::memcpy(buffer, head.data() + offset, count);
            offset += count;
            return count;
        },
        "mimetype");
    if (!root || root->name != "document") {
        return std::nullopt;
    }
    return root->attribute.value_or("");
}

std::unique_ptr<Workbook> openFlatOdsWorkbook(std::string fileName, const ByteReader& read)
{
    try {
        OdsStyles styles;
        auto book = std::make_unique<OdsWorkbook>(fileName);
        ContentHandler content(book->styles(), styles, book.get());
        readContent(content, read, "the document");
        return book;
    } catch (ReadError& e) {
        e.nameFile(fileName);
        throw;
    }
}

} // namespace sheetfray::engine::readers
