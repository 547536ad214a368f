#include "engine/XlsxWriter.h"

#include "engine/ByteOutput.h"

#include <zlib.h>

#include <charconv>

namespace sheetfray::engine {

namespace {

constexpr std::string_view XmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view MainNamespace =
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view SheetPart = "xl/worksheets/sheet1.xml";
constexpr std::string_view SheetStart =
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
constexpr std::string_view SheetEnd = "</sheetData></worksheet>";

// Every entry bears the same time, so that equal content gives equal files: 1 January 1980.
constexpr std::uint16_t ZipDate = (0 << 9) | (1 << 5) | 1;

std::uint32_t crcOf(std::string_view data)
{
    return static_cast<std::uint32_t>(crc32(crc32(0, nullptr, 0),
                                            reinterpret_cast<const Bytef*>(data.data()),
                                            static_cast<uInt>(data.size())));
}

// The fields local and central headers share, from "version needed" to the name's length.
void putCommon(std::string& out, std::string_view name, std::uint32_t crc, std::uint32_t size)
{
    put16(out, 20); // version needed: 2.0
    put16(out, 0x0800); // names are UTF-8
    put16(out, 0); // stored
    put16(out, 0); // time
    put16(out, ZipDate);
    put32(out, crc);
    put32(out, size);
    put32(out, size);
    put16(out, static_cast<unsigned>(name.size()));
    put16(out, 0); // extra field
}

void putLocalHeader(std::string& out, std::string_view name, std::uint32_t crc, std::uint32_t size)
{
    put32(out, 0x04034B50);
    putCommon(out, name, crc, size);
    out += name;
}

void putCentralHeader(std::string& out,
                      std::string_view name,
                      std::uint32_t crc,
                      std::uint32_t size,
                      std::uint32_t offset)
{
    put32(out, 0x02014B50);
    put16(out, 20); // made by: 2.0, MS-DOS
    putCommon(out, name, crc, size);
    put16(out, 0); // comment
    put16(out, 0); // disk
    put16(out, 0); // internal attributes
    put32(out, 0); // external attributes
    put32(out, offset);
    out += name;
}

// Text as XML character data (inAttribute: an attribute's value). Characters XML cannot hold, and a
// carriage return that a parser would turn into a line feed, take the "_xHHHH_" escape; a
// "_x" that would read as one takes it for its "_".
void appendEscaped(std::string_view text, bool inAttribute, std::string& out)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"' && inAttribute) {
            out += "&quot;";
        } else if (inAttribute && (c == '\t' || c == '\n' || c == '\r')) {
            // A parser turns white space in an attribute into blanks unless it is a reference.
            out += c == '\t' ? "&#9;" : c == '\n' ? "&#10;" : "&#13;";
        } else if ((byte < 0x20 && c != '\t' && c != '\n') || c == 0x7F
                   || (c == '_' && !inAttribute && i + 1 < text.size() && text[i + 1] == 'x')) {
            out += "_x00";
            out += Hex[byte >> 4];
            out += Hex[byte & 0xF];
            out += '_';
        } else {
            out += c;
        }
    }
}

void appendNumber(std::int64_t value, std::string& out)
{
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, end);
}

void appendReference(std::int32_t row, std::int32_t column, std::string& out)
{
    char letters[4];
    std::size_t count = 0;
    for (auto c = static_cast<unsigned>(column); c > 0; c = (c - 1) / 26) {
        letters[count++] = static_cast<char>('A' + (c - 1) % 26);
    }
    while (count > 0) {
        out += letters[--count];
    }
    appendNumber(row, out);
}

// Adds one fixed part: its local entry to entries, its central entry to directory.
void addFixedPart(std::string_view name,
                  std::string_view content,
                  std::string& entries,
                  std::string& directory)
{
    const std::uint32_t crc = crcOf(content);
    const auto size = static_cast<std::uint32_t>(content.size());
    putCentralHeader(directory, name, crc, size, static_cast<std::uint32_t>(entries.size()));
    putLocalHeader(entries, name, crc, size);
    entries += content;
}

std::string stylesPart(const UsedFormats& formats)
{
    std::string xml(XmlDeclaration);
    xml += "<styleSheet xmlns=\"";
    xml += MainNamespace;
    xml += "\">";
    std::string own;
    std::size_t ownCount = 0;
    for (std::size_t k = 1; k < formats.codes().size(); ++k) {
        if (formats.formatId(k) >= 164) {
            ++ownCount;
            own += "<numFmt numFmtId=\"";
            appendNumber(formats.formatId(k), own);
            own += "\" formatCode=\"";
            appendEscaped(formats.codes()[k], true, own);
            own += "\"/>";
        }
    }
    if (ownCount > 0) {
        xml += "<numFmts count=\"";
        appendNumber(static_cast<std::int64_t>(ownCount), xml);
        xml += "\">" + own + "</numFmts>";
    }
    xml += "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
           "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
           "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
           "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border>"
           "</borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
           "borderId=\"0\"/></cellStyleXfs><cellXfs count=\"";
    appendNumber(static_cast<std::int64_t>(formats.codes().size()), xml);
    xml += "\">";
    for (std::size_t k = 0; k < formats.codes().size(); ++k) {
        xml += "<xf numFmtId=\"";
        appendNumber(formats.formatId(k), xml);
        xml += "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"";
        xml += k == 0 ? "/>" : " applyNumberFormat=\"1\"/>";
    }
    xml += "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
           "builtinId=\"0\"/></cellStyles></styleSheet>";
    return xml;
}

} // namespace

XlsxWriter::XlsxWriter(const Sheet& sheet)
    : WorkbookWriter(sheet)
{
    const std::string declaration(XmlDeclaration);
    std::string workbook = declaration + "<workbook xmlns=\"" + std::string(MainNamespace)
        + "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">";
    if (sheet.styles().dateSystem == format::DateSystem::Date1904) {
        workbook += "<workbookPr date1904=\"1\"/>";
    }
    workbook += "<sheets><sheet name=\"";
    appendEscaped(outputSheetName(sheet.name()), true, workbook);
    workbook += "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    const std::string relationships =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    const std::string relationship =
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/";

    const struct
    {
        std::string_view name;
        std::string content;
    } parts[] = {
        {"[Content_Types].xml",
         declaration
             + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
               "<Default Extension=\"rels\" ContentType=\"application/"
               "vnd.openxmlformats-package.relationships+xml\"/>"
               "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
               "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
               "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
               "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/"
               "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
               "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/"
               "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/></Types>"},
        {"_rels/.rels",
         declaration + relationships + relationship
             + "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", workbook},
        {"xl/_rels/workbook.xml.rels",
         declaration + relationships + relationship
             + "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
               "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/"
               "officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>"
               "</Relationships>"},
        {"xl/styles.xml", stylesPart(formats())},
    };

    for (const auto& part : parts) {
        addFixedPart(part.name, part.content, m_fixedEntries, m_fixedDirectory);
        ++m_fixedCount;
    }
}

void XlsxWriter::begin()
{
    m_xml.assign(XmlDeclaration);
    m_xml += SheetStart;
    m_row = 0;
}

void XlsxWriter::addCell(std::int32_t row, std::int32_t column, const OutputCell& cell)
{
    // A column of a text file may run past the grid, which the format cannot address.
    if (row > MaxRows) {
        countUnfit();
        return;
    }
    if (row != m_row) {
        if (m_row != 0) {
            m_xml += "</row>";
        }
        m_xml += "<row r=\"";
        appendNumber(row, m_xml);
        m_xml += "\">";
        m_row = row;
    }
    m_xml += "<c r=\"";
    appendReference(row, column, m_xml);
    if (cell.format != 0) {
        m_xml += "\" s=\"";
        appendNumber(cell.format, m_xml);
    }
    switch (cell.kind) {
    case OutputCell::Kind::Number: {
        m_xml += "\"><v>";
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, cell.number).ptr;
        m_xml.append(buffer, end);
        m_xml += "</v></c>";
        return;
    }
    case OutputCell::Kind::Text:
        m_xml += "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">";
        appendEscaped(cell.text, false, m_xml);
        m_xml += "</t></is></c>";
        return;
    case OutputCell::Kind::Boolean:
        m_xml += cell.boolean ? "\" t=\"b\"><v>1</v></c>" : "\" t=\"b\"><v>0</v></c>";
        return;
    case OutputCell::Kind::Error:
        m_xml += "\" t=\"e\"><v>";
        m_xml += cell.text;
        m_xml += "</v></c>";
        return;
    }
}

void XlsxWriter::finish(std::string& out)
{
    if (m_row != 0) {
        m_xml += "</row>";
    }
    m_xml += SheetEnd;
    const std::size_t base = out.size();
    const std::uint32_t crc = crcOf(m_xml);
    const auto size = static_cast<std::uint32_t>(m_xml.size());
    out += m_fixedEntries;
    const auto sheetOffset = static_cast<std::uint32_t>(out.size() - base);
    putLocalHeader(out, SheetPart, crc, size);
    out += m_xml;
    const auto directoryOffset = static_cast<std::uint32_t>(out.size() - base);
    out += m_fixedDirectory;
    putCentralHeader(out, SheetPart, crc, size, sheetOffset);
    const auto directorySize = static_cast<std::uint32_t>(out.size() - base - directoryOffset);
    const auto entries = static_cast<unsigned>(m_fixedCount + 1);
    put32(out, 0x06054B50);
    put16(out, 0); // this disk
    put16(out, 0); // the directory's disk
    put16(out, entries);
    put16(out, entries);
    put32(out, directorySize);
    put32(out, directoryOffset);
    put16(out, 0); // comment
}

} // namespace sheetfray::engine
