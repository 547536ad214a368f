#include "engine/readers/XlsxReader.h"

#include "engine/Naming.h"
#include "engine/readers/CellTally.h"
#include "engine/readers/DateSerial.h"
#include "engine/readers/DecimalText.h"
#include "engine/readers/PackagePart.h"
#include "engine/readers/SheetBands.h"
#include "engine/readers/XlsxPackage.h"
#include "engine/readers/XlsxText.h"
#include "engine/readers/XmlStream.h"
#include "support/Error.h"
#include "support/Quote.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <system_error>
#include <type_traits>
#include <vector>

namespace sheetfray::engine::readers {

namespace {

std::optional<double> parseNumber(std::string_view text)
{
    text = trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0;
    if (readPlainDecimal(text, value)) {
        return value;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()
        || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// Whether text is [-]digits[.digits], of fewer integer digits than a double's largest: what
// parseNumber reads whatever the digits, told without working out the number.
bool isPlainNumber(std::string_view text)
{
    std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    const std::size_t integerStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        ++i;
    }
    if (i == integerStart || i - integerStart > 300) {
        return false;
    }
    if (i < text.size() && text[i] == '.') {
        const std::size_t fractionStart = ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
        }
        if (i == fractionStart) {
            return false;
        }
    }
    return i == text.size();
}

std::string cellName(std::int32_t row, std::int32_t column)
{
    return ColumnLetters(column) + std::to_string(row);
}

// "B12": column 2, row 12. Parsed by hand: it is done for every cell.
bool parseCellReference(std::string_view ref, std::int32_t& row, std::int32_t& column)
{
    std::size_t i = 0;
    std::int32_t col = 0;
    while (i < ref.size() && i < 4) {
        char c = ref[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c < 'A' || c > 'Z') {
            break;
        }
        col = col * 26 + (c - 'A' + 1);
        ++i;
    }
    if (i == 0 || col > MaxColumns || i == ref.size() || ref.size() - i > 7) {
        return false;
    }
    std::int32_t r = 0;
    for (; i < ref.size(); ++i) {
        const char c = ref[i];
        if (c < '0' || c > '9') {
            return false;
        }
        r = r * 10 + (c - '0');
    }
    if (r < 1 || r > MaxRows) {
        return false;
    }
    row = r;
    column = col;
    return true;
}

// Reads <sheetData> into a SheetBuilder, or into a CellTally for the first reading of a sheet
// read in parts, which checks every value as the builder's reading does but keeps none and
// skips the styles. The hot path of the reader: no allocation per cell (the value buffers
// are reused), numbers through from_chars, references by hand.
template <typename Cells>
class SheetHandler final : public XmlHandler
{
    static constexpr bool Tallies = std::is_same_v<Cells, CellTally>;

public:
    SheetHandler(Cells& builder,
                 const WorkbookStyles& styles,
                 const std::string& sheetName,
                 RowBands* bands = nullptr)
        : m_builder(builder)
        , m_styles(styles)
        , m_sheetName(sheetName)
        , m_bands(bands)
    {}

    void startElement(std::string_view name, const XmlAttributes& attributes) override
    {
        if (m_inCell) {
            startInCell(name);
        } else if (m_inSheetData) {
            if (isName(name, "row")) {
                startRow(attributes);
            } else if (isName(name, "c")) {
                startCell(attributes);
            }
        } else if (isName(name, "sheetData")) {
            m_inSheetData = true;
        } else if (m_depth == 0 && (isName(name, "chartsheet") || isName(name, "dialogsheet"))) {
            throw SheetWithoutCells(
                noCellsReason(isName(name, "chartsheet")), {}, {.sheet = m_sheetName});
        }
        ++m_depth;
    }

    void endElement(std::string_view name) override
    {
        --m_depth;
        if (m_inCell) {
            if (isName(name, "c")) {
                m_inCell = false;
                finishCell();
            } else if (isName(name, "v")) {
                m_inValue = false;
            } else if (isName(name, "is")) {
                m_inInline = false;
            } else if (m_inInline) {
                m_inline.end(name);
            }
        } else if (isName(name, "sheetData")) {
            m_inSheetData = false;
        }
    }

    void characters(std::string_view text) override
    {
        if (m_inValue) {
            m_value.append(text);
        } else if (m_inInline) {
            m_inline.characters(text);
        }
    }

    static ReadError::Reason noCellsReason(bool chart)
    {
        return chart ? ReadError::Reason::ChartSheet : ReadError::Reason::DialogSheet;
    }

private:
    enum class Type : std::uint8_t {
        Number,
        Shared,
        InlineString,
        FormulaString,
        Boolean,
        Error,
        Date,
        Unknown
    };

    void startRow(const XmlAttributes& attributes)
    {
        const auto r = attributes.value("r");
        if (r && !r->empty()) {
            const auto row = parseInteger<std::int32_t>(*r);
            if (!row || *row < 1 || *row > MaxRows) {
                throw damaged("a row is numbered " + quotedText(*r));
            }
            m_row = *row;
        } else {
            // Rows without a number follow the previous row (ECMA-376 Part 1, 18.3.1.73).
            if (++m_row > MaxRows) {
                throw damaged("it has more rows than a sheet holds");
            }
        }
        m_column = 0;
    }

    void startCell(const XmlAttributes& attributes)
    {
        m_inCell = true;
        m_type = Type::Number;
        m_style = 0;
        m_hasValue = false;
        m_hasInline = false;
        m_hasFormula = false;
        m_value.clear();
        bool positioned = false;
        attributes.forEach([&](std::string_view name, std::string_view value) {
            if (isName(name, "r")) {
                if (!value.empty()) {
                    if (!parseCellReference(value, m_row, m_column)) {
                        throw damaged("a cell has the reference " + quotedText(value));
                    }
                    positioned = true;
                }
            } else if (!Tallies && isName(name, "s")) {
                m_style = parseInteger<std::uint32_t>(value).value_or(0);
            } else if (isName(name, "t")) {
                m_type = cellType(value);
            }
        });
        if (!positioned) {
            // Cells without a reference follow the previous cell of their row.
            ++m_column;
            if (m_row < 1) {
                m_row = 1;
            }
            if (m_column > MaxColumns) {
                throw damaged("a row has more cells than a sheet has columns");
            }
        }
    }

    static Type cellType(std::string_view t)
    {
        if (isName(t, "s")) {
            return Type::Shared;
        }
        if (isName(t, "n") || t.empty()) {
            return Type::Number;
        }
        if (isName(t, "str")) {
            return Type::FormulaString;
        }
        if (isName(t, "inlineStr")) {
            return Type::InlineString;
        }
        if (isName(t, "b")) {
            return Type::Boolean;
        }
        if (isName(t, "e")) {
            return Type::Error;
        }
        if (isName(t, "d")) {
            return Type::Date;
        }
        return Type::Unknown;
    }

    void startInCell(std::string_view name)
    {
        if (m_inInline) {
            m_inline.start(name);
        } else if (isName(name, "v")) {
            m_inValue = true;
            m_hasValue = true;
            m_value.clear();
        } else if (isName(name, "is")) {
            m_inInline = true;
            m_hasInline = true;
            m_inline.clear();
        } else if (isName(name, "f")) {
            m_hasFormula = true;
        }
    }

    void finishCell()
    {
        // Every cell counts, the empty ones too, though those are not stored.
        if (++m_cells > MaxCellsPerSheet) {
            throw ReadError(ReadError::Reason::TooManyCells,
                            std::to_string(MaxCellsPerSheet),
                            {.sheet = m_sheetName});
        }
        if constexpr (Tallies) {
            m_builder.beforeCell(m_row);
        } else if (m_bands) {
            m_bands->beforeCell(m_row);
        }
        const std::string_view value = m_value;
        // A cell without a value (a blank cell, there for its format) holds nothing to show,
        // nor does a formula whose result was never calculated (scripts write them so; those
        // are counted): either only widens the used range.
        if (m_type == Type::InlineString && m_hasInline) {
            m_builder.addText(m_row, m_column, m_inline.text(), m_style);
            return;
        }
        if (!m_hasValue
            || (m_type != Type::FormulaString && m_type != Type::InlineString
                && m_type != Type::Unknown && trim(value).empty())) {
            if (m_hasFormula) {
                m_builder.countFormulaWithoutResult();
            }
            m_builder.addEmpty(m_row, m_column);
            return;
        }
        switch (m_type) {
        case Type::Number: {
            if constexpr (Tallies) {
                if (isPlainNumber(value)) {
                    m_builder.addNumber(m_row, m_column, 0, m_style);
                    return;
                }
            }
            const auto number = parseNumber(value);
            if (!number) {
                throw badValue("a number");
            }
            m_builder.addNumber(m_row, m_column, *number, m_style);
            return;
        }
        case Type::Shared: {
            const auto index = parseInteger<std::uint32_t>(value);
            if (!index || *index >= m_styles.sharedStrings.size()) {
                throw badValue("a shared string");
            }
            m_builder.addSharedText(m_row, m_column, *index, m_style);
            return;
        }
        case Type::Boolean: {
            const std::string_view flag = trim(value);
            if (flag != "1" && flag != "0" && flag != "true" && flag != "false") {
                throw badValue("a boolean");
            }
            m_builder.addBoolean(m_row, m_column, flag == "1" || flag == "true", m_style);
            return;
        }
        case Type::Error:
            m_builder.addError(m_row, m_column, trim(value), m_style);
            return;
        case Type::Date: {
            const auto serial = isoDateSerial(value, m_styles.dateSystem);
            if (!serial) {
                throw badValue("a date");
            }
            m_builder.addNumber(m_row, m_column, *serial, m_style);
            return;
        }
        case Type::InlineString:
        case Type::FormulaString:
        case Type::Unknown:
            decodeEscapes(m_value);
            m_builder.addText(m_row, m_column, m_value, m_style);
            return;
        }
    }

    ReadError damaged(const std::string& detail) const
    {
        return ReadError(ReadError::Reason::SheetDamaged, detail, {.sheet = m_sheetName});
    }

    ReadError badValue(const std::string& what) const
    {
        return damaged("cell " + cellName(m_row, m_column) + " holds " + quotedText(m_value)
                       + ", which is not " + what);
    }

    Cells& m_builder;
    const WorkbookStyles& m_styles;
    const std::string& m_sheetName;
    RowBands* m_bands;

    int m_depth = 0;
    std::size_t m_cells = 0; // <c> elements read
    bool m_inSheetData = false;
    bool m_inCell = false;
    bool m_inInline = false;
    std::int32_t m_row = 0;
    std::int32_t m_column = 0;
    Type m_type = Type::Number;
    std::uint32_t m_style = 0;
    bool m_hasValue = false;
    bool m_hasInline = false;
    bool m_hasFormula = false;
    bool m_inValue = false;
    std::string m_value;
    StringItemCollector m_inline;
};

class XlsxWorkbook final : public Workbook
{
public:
    XlsxWorkbook(ZipArchive archive,
                 std::vector<XlsxSheet> sheets,
                 std::shared_ptr<const WorkbookStyles> styles)
        : m_archive(std::move(archive))
        , m_sheets(std::move(sheets))
        , m_styles(std::move(styles))
    {}

    std::string_view name() const override { return m_archive.fileName(); }

    std::int32_t sheetCount() const override { return static_cast<std::int32_t>(m_sheets.size()); }

    std::string_view sheetName(std::int32_t index) const override { return sheet(index).name; }

    bool isSheetHidden(std::int32_t index) const override { return sheet(index).hidden; }

    Sheet loadSheet(std::int32_t index) override
    {
        const XlsxSheet& info = sheet(index);
        try {
            return readSheet(info);
        } catch (ReadError& e) {
            nameFileIn(e);
            throw;
        }
    }

    std::unique_ptr<SheetParts> loadSheetInParts(std::int32_t index) override
    {
        const XlsxSheet& info = sheet(index);
        try {
            return readSheetInParts(info);
        } catch (ReadError& e) {
            nameFileIn(e);
            throw;
        }
    }

private:
    void nameFileIn(ReadError& e) const
    {
        // The sheet store's own limits have always come through this reader without the
        // file's name.
        if (e.reason() != ReadError::Reason::CellOutsideSheet
            && e.reason() != ReadError::Reason::TooMuchText) {
            e.nameFile(m_archive.fileName());
        }
    }

    const XlsxSheet& sheet(std::int32_t index) const
    {
        if (index < 1 || index > sheetCount()) {
            throw ReadError(ReadError::Reason::NoSuchSheet,
                            std::to_string(index),
                            {.file = m_archive.fileName()});
        }
        return m_sheets[static_cast<std::size_t>(index - 1)];
    }

    // A cell takes some 35 bytes of sheet XML, which deflates to a fifth or less; the
    // compressed size bounds a directory that lies.
    static std::size_t cellEstimate(const ZipEntry& entry)
    {
        return static_cast<std::size_t>(std::min(entry.declaredSize(), entry.compressedSize() * 20)
                                        / 32);
    }

    // A sheet of up to about this many cells (48 MB of them) is read once and held whole:
    // reading it twice would cost more time than holding it costs memory.
    static constexpr std::size_t WholeCells = std::size_t{2} << 20;

    // The sheet's part; nothing for a worksheet without one.
    std::optional<ZipEntry> openSheet(const XlsxSheet& info) const
    {
        if (info.kind != XlsxSheetKind::Worksheet) {
            throw SheetWithoutCells(
                SheetHandler<SheetBuilder>::noCellsReason(info.kind == XlsxSheetKind::Chartsheet),
                {},
                {.sheet = info.name});
        }
        if (info.part.empty()) {
            return std::nullopt;
        }
        const auto part = m_archive.find(info.part);
        if (!part) {
            throw ReadError(
                ReadError::Reason::PartMissing, {}, {.sheet = info.name, .part = info.part});
        }
        return m_archive.open(*part);
    }

    // A first reading finds the used range and counts, band by band, holding no more than a
    // band; a second on its own thread hands the bands over as the walk asks for them. A
    // sheet whose rows are out of order is read whole instead.
    std::unique_ptr<SheetParts> readSheetInParts(const XlsxSheet& info)
    {
        std::optional<ZipEntry> entry = openSheet(info);
        if (!entry || cellEstimate(*entry) <= WholeCells) {
            return std::make_unique<WholeSheetParts>(readSheet(info));
        }
        CellTally tally;
        try {
            SheetHandler handler(tally, *m_styles, info.name);
            parsePart(*entry, info.part, handler);
            tally.finish();
        } catch (const RowBands::OutOfOrder&) {
            return std::make_unique<WholeSheetParts>(readSheet(info));
        }
        if (tally.bands() == 1) {
            return std::make_unique<WholeSheetParts>(readSheet(info));
        }
        const UsedRange range = tally.summary().usedRange;
        try {
            return std::make_unique<ThreadedSheetParts>(
                tally.summary(), [this, &info, range](const HandOver& handOver) {
                    try {
                        std::optional<ZipEntry> again = openSheet(info);
                        SheetBuilder builder(info.name, m_styles);
                        RowBands bands(builder, handOver, range);
                        SheetHandler handler(builder, *m_styles, info.name, &bands);
                        parsePart(*again, info.part, handler);
                        bands.finish();
                    } catch (ReadError& e) {
                        nameFileIn(e);
                        throw;
                    }
                });
        } catch (const std::system_error&) {
            return std::make_unique<WholeSheetParts>(readSheet(info));
        }
    }

    Sheet readSheet(const XlsxSheet& info)
    {
        std::optional<ZipEntry> entry = openSheet(info);
        SheetBuilder builder(info.name, m_styles);
        if (entry) {
            builder.reserve(cellEstimate(*entry));
            SheetHandler handler(builder, *m_styles, info.name);
            parsePart(*entry, info.part, handler);
        }
        return builder.finish();
    }

    ZipArchive m_archive;
    std::vector<XlsxSheet> m_sheets;
    std::shared_ptr<const WorkbookStyles> m_styles;
};

} // namespace

std::unique_ptr<Workbook> openXlsxWorkbook(ZipArchive archive)
{
    const std::string fileName = archive.fileName();
    try {
        XlsxPackage package = readXlsxPackage(archive);
        return std::make_unique<XlsxWorkbook>(
            std::move(archive), std::move(package.sheets), std::move(package.styles));
    } catch (ReadError& e) {
        e.nameFile(fileName);
        throw;
    }
}

} // namespace sheetfray::engine::readers