#include "engine/readers/XlsxReader.h"

#include "engine/CodePage.h"
#include "engine/readers/DateSerial.h"
#include "engine/readers/DecimalText.h"
#include "engine/readers/PackagePart.h"
#include "engine/readers/XmlStream.h"
#include "support/Error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sheetfray::engine::readers {

namespace {

using format::NumberFormat;

// Characters of XML whitespace, trimmed off values that are numbers.
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

template <typename T>
std::optional<T> parseInteger(std::string_view text)
{
    text = trim(text);
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

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

// The text after the last "/" of a relationship type: the same word in the transitional and
// the strict namespaces ("…/2006/relationships/worksheet", "…/relationships/worksheet").
std::string_view typeWord(std::string_view type)
{
    const auto slash = type.rfind('/');
    return slash == std::string_view::npos ? type : type.substr(slash + 1);
}

std::string columnName(std::int32_t column)
{
    std::string name;
    while (column > 0) {
        name.insert(name.begin(), static_cast<char>('A' + (column - 1) % 26));
        column = (column - 1) / 26;
    }
    return name;
}

std::string cellName(std::int32_t row, std::int32_t column)
{
    return columnName(column) + std::to_string(row);
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

// The UTF-16 code unit of an escape "_xHHHH_" at text[pos], if there is one.
std::optional<char32_t> escapeAt(std::string_view text, std::size_t pos)
{
    if (pos + 7 > text.size() || text[pos] != '_' || text[pos + 1] != 'x' || text[pos + 6] != '_') {
        return std::nullopt;
    }
    char32_t unit = 0;
    for (std::size_t i = pos + 2; i < pos + 6; ++i) {
        const char c = text[i];
        unit <<= 4;
        if (c >= '0' && c <= '9') {
            unit |= static_cast<char32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            unit |= static_cast<char32_t>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            unit |= static_cast<char32_t>(c - 'a' + 10);
        } else {
            return std::nullopt;
        }
    }
    return unit;
}

// Decodes the escapes of an ST_Xstring (ECMA-376 Part 1, 22.9.2.19): "_xHHHH_" is the
// UTF-16 code unit HHHH, so "_x000D_" is a carriage return and "_x005F_" a literal "_"
// (which keeps a following "x0041_" as text). A surrogate pair spans two escapes.
void decodeEscapes(std::string& text)
{
    if (text.find("_x") == std::string::npos) {
        return;
    }
    std::string out;
    out.reserve(text.size());
    const std::string_view in(text);
    std::size_t pos = 0;
    while (pos < in.size()) {
        const auto unit = in[pos] == '_' ? escapeAt(in, pos) : std::nullopt;
        if (!unit) {
            out += in[pos++];
            continue;
        }
        pos += 7;
        char32_t code = *unit;
        if (code >= 0xD800 && code <= 0xDBFF) {
            const auto low = escapeAt(in, pos);
            if (low && *low >= 0xDC00 && *low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
                pos += 7;
            } else {
                code = 0xFFFD;
            }
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        appendUtf8(code, out);
    }
    text = std::move(out);
}

// Resolves a relationship target against the folder of its source part (ECMA-376 Part 2,
// 9.3; RFC 3986 5.2): "worksheets/sheet1.xml" from "xl/workbook.xml" is
// "xl/worksheets/sheet1.xml", "/xl/styles.xml" is absolute, ".." climbs.
std::string resolveTarget(std::string_view sourcePart, std::string_view target)
{
    std::string path;
    std::string cleanTarget(target);
    for (char& c : cleanTarget) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (const auto cut = cleanTarget.find_first_of("?#"); cut != std::string::npos) {
        cleanTarget.resize(cut);
    }
    if (!cleanTarget.empty() && cleanTarget.front() == '/') {
        path = cleanTarget.substr(1);
    } else {
        const auto slash = sourcePart.rfind('/');
        if (slash != std::string_view::npos) {
            path = std::string(sourcePart.substr(0, slash + 1));
        }
        path += cleanTarget;
    }
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string segment = path.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& segment : segments) {
        if (!out.empty()) {
            out += '/';
        }
        out += segment;
    }
    return out;
}

// "xl/_rels/workbook.xml.rels" for "xl/workbook.xml" (ECMA-376 Part 2, 9.3.2).
std::string relationshipsPart(std::string_view part)
{
    const auto slash = part.rfind('/');
    if (slash == std::string_view::npos) {
        return "_rels/" + std::string(part) + ".rels";
    }
    return std::string(part.substr(0, slash + 1)) + "_rels/" + std::string(part.substr(slash + 1))
        + ".rels";
}

struct Relationship
{
    std::string id;
    std::string type; // the last word of the type ("worksheet")
    std::string target; // resolved part name; empty for an external target
};

class RelationshipsHandler final : public XmlHandler
{
public:
    explicit RelationshipsHandler(std::string sourcePart)
        : m_sourcePart(std::move(sourcePart))
    {}

    void startElement(std::string_view name, const XmlAttributes& attributes) override
    {
        if (!isName(name, "Relationship")) {
            return;
        }
        Relationship relationship;
        relationship.id = attributes.value("Id").value_or("");
        relationship.type = typeWord(attributes.value("Type").value_or(""));
        const auto target = attributes.value("Target").value_or("");
        if (attributes.value("TargetMode").value_or("") != "External" && !target.empty()) {
            relationship.target = resolveTarget(m_sourcePart, target);
        }
        relationships.push_back(std::move(relationship));
    }

    void endElement(std::string_view) override {}

    void characters(std::string_view) override {}

    std::vector<Relationship> relationships;

private:
    std::string m_sourcePart;
};

std::vector<Relationship> readRelationships(const ZipArchive& archive, const std::string& part)
{
    RelationshipsHandler handler(part);
    parsePart(archive, relationshipsPart(part), handler);
    return std::move(handler.relationships);
}

const Relationship* findType(const std::vector<Relationship>& relationships, std::string_view type)
{
    for (const Relationship& relationship : relationships) {
        if (relationship.type == type && !relationship.target.empty()) {
            return &relationship;
        }
    }
    return nullptr;
}

enum class SheetKind { Worksheet, Chartsheet, Dialogsheet };

struct SheetEntry
{
    std::string name;
    std::string relationshipId;
};

class WorkbookHandler final : public XmlHandler
{
public:
    void startElement(std::string_view name, const XmlAttributes& attributes) override
    {
        ++m_depth;
        if (m_depth == 1) {
            if (!isName(name, "workbook")) {
                throw ReadError(ReadError::Reason::NotSpreadsheet);
            }
        } else if (m_depth == 2 && isName(name, "workbookPr")) {
            const auto flag = attributes.value("date1904").value_or("");
            date1904 = flag == "1" || flag == "true";
        } else if (m_depth == 2 && isName(name, "sheets")) {
            m_inSheets = true;
        } else if (m_depth == 3 && m_inSheets && isName(name, "sheet")) {
            sheets.push_back({std::string(attributes.value("name").value_or("")),
                              std::string(attributes.value("id").value_or(""))});
        }
    }

    void endElement(std::string_view name) override
    {
        if (m_depth == 2 && isName(name, "sheets")) {
            m_inSheets = false;
        }
        --m_depth;
    }

    void characters(std::string_view) override {}

    std::vector<SheetEntry> sheets;
    bool date1904 = false;

private:
    int m_depth = 0;
    bool m_inSheets = false;
};

// The cell formats: numFmtId of each cellXfs entry and the custom format codes.
class StylesHandler final : public XmlHandler
{
public:
    void startElement(std::string_view name, const XmlAttributes& attributes) override
    {
        if (isName(name, "numFmts")) {
            m_inNumFmts = true;
        } else if (isName(name, "cellXfs")) {
            m_inCellXfs = true;
        } else if (m_inNumFmts && isName(name, "numFmt")) {
            const auto id = parseInteger<int>(attributes.value("numFmtId").value_or(""));
            if (id) {
                codes[*id] = std::string(attributes.value("formatCode").value_or(""));
            }
        } else if (m_inCellXfs && isName(name, "xf")) {
            // A style without a format id shows its numbers as General (id 0).
            cellFormatIds.push_back(
                parseInteger<int>(attributes.value("numFmtId").value_or("0")).value_or(0));
        }
    }

    void endElement(std::string_view name) override
    {
        if (isName(name, "numFmts")) {
            m_inNumFmts = false;
        } else if (isName(name, "cellXfs")) {
            m_inCellXfs = false;
        }
    }

    void characters(std::string_view) override {}

    std::map<int, std::string> codes;
    std::vector<int> cellFormatIds;

private:
    bool m_inNumFmts = false;
    bool m_inCellXfs = false;
};

// Collects the text of a string item (<si>, <is>): plain <t> and the <t> of rich-text runs,
// joined; phonetic runs (<rPh>) are reading aids the application does not display.
class StringItemCollector
{
public:
    void start(std::string_view name)
    {
        if (isName(name, "rPh")) {
            ++m_phonetic;
        } else if (isName(name, "t") && m_phonetic == 0) {
            m_capturing = true;
        }
    }

    void end(std::string_view name)
    {
        if (isName(name, "rPh")) {
            --m_phonetic;
        } else if (isName(name, "t")) {
            m_capturing = false;
        }
    }

    void characters(std::string_view text)
    {
        if (m_capturing) {
            m_text.append(text);
        }
    }

    void clear()
    {
        m_text.clear();
        m_phonetic = 0;
        m_capturing = false;
    }

    // The decoded text; the collector's buffer is reused for the next item.
    std::string& text()
    {
        decodeEscapes(m_text);
        return m_text;
    }

private:
    std::string m_text;
    int m_phonetic = 0;
    bool m_capturing = false;
};

class SharedStringsHandler final : public XmlHandler
{
public:
    explicit SharedStringsHandler(std::vector<std::string>& strings)
        : m_strings(strings)
    {}

    void startElement(std::string_view name, const XmlAttributes&) override
    {
        if (isName(name, "si")) {
            m_inItem = true;
            m_item.clear();
        } else if (m_inItem) {
            m_item.start(name);
        }
    }

    void endElement(std::string_view name) override
    {
        if (isName(name, "si")) {
            m_inItem = false;
            m_strings.push_back(m_item.text());
        } else if (m_inItem) {
            m_item.end(name);
        }
    }

    void characters(std::string_view text) override
    {
        if (m_inItem) {
            m_item.characters(text);
        }
    }

private:
    std::vector<std::string>& m_strings;
    StringItemCollector m_item;
    bool m_inItem = false;
};

// Reads <sheetData> into a SheetBuilder. The hot path of the reader: no allocation per cell
// (the value buffers are reused), numbers through from_chars, references by hand.
class SheetHandler final : public XmlHandler
{
public:
    SheetHandler(SheetBuilder& builder, const WorkbookStyles& styles, const std::string& sheetName)
        : m_builder(builder)
        , m_styles(styles)
        , m_sheetName(sheetName)
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
                throw damaged("a row is numbered \"" + std::string(*r) + "\"");
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
                        throw damaged("a cell has the reference \"" + std::string(value) + "\"");
                    }
                    positioned = true;
                }
            } else if (isName(name, "s")) {
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
        if (m_builder.cellCount() >= MaxCellsPerSheet) {
            throw ReadError(ReadError::Reason::TooManyCells,
                            std::to_string(MaxCellsPerSheet),
                            {.sheet = m_sheetName});
        }
        const std::string_view value = m_value;
        // A cell without a value is stored for its format (a blank cell), as is a formula
        // whose result was never calculated (scripts write them so); those are counted.
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
            m_builder.addBlank(m_row, m_column, m_style);
            return;
        }
        switch (m_type) {
        case Type::Number: {
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
        return damaged("cell " + cellName(m_row, m_column) + " holds \"" + std::string(m_value)
                       + "\", which is not " + what);
    }

    SheetBuilder& m_builder;
    const WorkbookStyles& m_styles;
    const std::string& m_sheetName;

    int m_depth = 0;
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

struct SheetInfo
{
    std::string name;
    SheetKind kind = SheetKind::Worksheet;
    std::string part; // empty: the sheet has no part, so no cells
};

class XlsxWorkbook final : public Workbook
{
public:
    XlsxWorkbook(ZipArchive archive,
                 std::vector<SheetInfo> sheets,
                 std::shared_ptr<const WorkbookStyles> styles)
        : m_archive(std::move(archive))
        , m_sheets(std::move(sheets))
        , m_styles(std::move(styles))
    {}

    std::string_view name() const override { return m_archive.fileName(); }

    std::int32_t sheetCount() const override { return static_cast<std::int32_t>(m_sheets.size()); }

    std::string_view sheetName(std::int32_t index) const override { return sheet(index).name; }

    Sheet loadSheet(std::int32_t index) override
    {
        const SheetInfo& info = sheet(index);
        try {
            return readSheet(info);
        } catch (ReadError& e) {
            // The sheet store's own limits have always come through this reader without the
            // file's name.
            if (e.reason() != ReadError::Reason::CellOutsideSheet
                && e.reason() != ReadError::Reason::TooMuchText) {
                e.nameFile(m_archive.fileName());
            }
            throw;
        }
    }

private:
    const SheetInfo& sheet(std::int32_t index) const
    {
        if (index < 1 || index > sheetCount()) {
            throw ReadError(ReadError::Reason::NoSuchSheet,
                            std::to_string(index),
                            {.file = m_archive.fileName()});
        }
        return m_sheets[static_cast<std::size_t>(index - 1)];
    }

    Sheet readSheet(const SheetInfo& info)
    {
        if (info.kind != SheetKind::Worksheet) {
            throw SheetWithoutCells(SheetHandler::noCellsReason(info.kind == SheetKind::Chartsheet),
                                    {},
                                    {.sheet = info.name});
        }
        SheetBuilder builder(info.name, m_styles);
        if (!info.part.empty()) {
            const auto part = m_archive.find(info.part);
            if (!part) {
                throw ReadError(
                    ReadError::Reason::PartMissing, {}, {.sheet = info.name, .part = info.part});
            }
            ZipEntry entry = m_archive.open(*part);
            // A cell takes some 35 bytes of sheet XML, which deflates to a fifth or less; the
            // compressed size bounds a directory that lies.
            builder.reserve(static_cast<std::size_t>(
                std::min(entry.declaredSize(), entry.compressedSize() * 20) / 32));
            SheetHandler handler(builder, *m_styles, info.name);
            parsePart(entry, info.part, handler);
        }
        return builder.finish();
    }

    ZipArchive m_archive;
    std::vector<SheetInfo> m_sheets;
    std::shared_ptr<const WorkbookStyles> m_styles;
};

// The part of the workbook: the package's office document, or where writers put it.
std::string findWorkbookPart(const ZipArchive& archive)
{
    const auto packageRelationships = readRelationships(archive, "");
    if (const Relationship* document = findType(packageRelationships, "officeDocument")) {
        if (archive.find(document->target)) {
            return document->target;
        }
    }
    return archive.find("xl/workbook.xml") ? "xl/workbook.xml" : "";
}

// Compiles each distinct format id once; styles share the compiled forms.
std::vector<NumberFormat> compileCellFormats(const StylesHandler& styles)
{
    std::map<int, NumberFormat> compiled;
    std::vector<NumberFormat> formats;
    formats.reserve(styles.cellFormatIds.size());
    for (const int id : styles.cellFormatIds) {
        auto found = compiled.find(id);
        if (found == compiled.end()) {
            NumberFormat format;
            const auto custom = styles.codes.find(id);
            if (custom != styles.codes.end()) {
                format = NumberFormat::compile(custom->second);
            } else if (const auto code = format::builtinFormatCode(id); !code.empty()) {
                format = NumberFormat::compile(code);
            }
            found = compiled.emplace(id, std::move(format)).first;
        }
        formats.push_back(found->second);
    }
    return formats;
}

std::unique_ptr<Workbook> readWorkbook(ZipArchive archive)
{
    if (archive.entryCount() == 0) {
        throw ReadError(ReadError::Reason::EmptyArchive);
    }
    const std::string workbookPart = findWorkbookPart(archive);
    if (workbookPart.empty()) {
        throw ReadError(ReadError::Reason::NoWorkbookPart);
    }
    if (workbookPart.ends_with(".bin")) {
        throw ReadError(ReadError::Reason::BinaryWorkbook);
    }

    WorkbookHandler workbook;
    parsePart(archive, workbookPart, workbook);
    const auto relationships = readRelationships(archive, workbookPart);

    auto styles = std::make_shared<WorkbookStyles>();
    styles->dateSystem =
        workbook.date1904 ? format::DateSystem::Date1904 : format::DateSystem::Date1900;

    const Relationship* stylesRelationship = findType(relationships, "styles");
    StylesHandler stylesHandler;
    parsePart(archive,
              stylesRelationship ? stylesRelationship->target
                                 : resolveTarget(workbookPart, "styles.xml"),
              stylesHandler);
    styles->cellFormats = compileCellFormats(stylesHandler);

    const Relationship* stringsRelationship = findType(relationships, "sharedStrings");
    SharedStringsHandler stringsHandler(styles->sharedStrings);
    parsePart(archive,
              stringsRelationship ? stringsRelationship->target
                                  : resolveTarget(workbookPart, "sharedStrings.xml"),
              stringsHandler);

    std::vector<SheetInfo> sheets;
    sheets.reserve(workbook.sheets.size());
    for (SheetEntry& entry : workbook.sheets) {
        SheetInfo info;
        info.name = std::move(entry.name);
        for (const Relationship& relationship : relationships) {
            if (relationship.id != entry.relationshipId || entry.relationshipId.empty()) {
                continue;
            }
            info.part = relationship.target;
            if (relationship.type == "chartsheet") {
                info.kind = SheetKind::Chartsheet;
            } else if (relationship.type == "dialogsheet") {
                info.kind = SheetKind::Dialogsheet;
            }
            break;
        }
        // A sheet without a relationship (r:id="" in ExcelDataReader issue 68) has no part
        // to read; it is shown as an empty sheet, as the application shows it.
        sheets.push_back(std::move(info));
    }
    return std::make_unique<XlsxWorkbook>(std::move(archive), std::move(sheets), std::move(styles));
}

} // namespace

std::unique_ptr<Workbook> openXlsxWorkbook(ZipArchive archive)
{
    const std::string fileName = archive.fileName();
    try {
        return readWorkbook(std::move(archive));
    } catch (ReadError& e) {
        e.nameFile(fileName);
        throw;
    }
}

} // namespace sheetfray::engine::readers