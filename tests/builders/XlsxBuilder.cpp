#include "tests/builders/XlsxBuilder.h"

#include "tests/builders/ZipPackage.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <stdexcept>

namespace sheetfray::testing {

namespace {

constexpr const char* MainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* RelNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string stateAttribute(SheetState state)
{
    switch (state) {
    case SheetState::Visible:
        return "";
    case SheetState::Hidden:
        return R"( state="hidden")";
    case SheetState::VeryHidden:
        return R"( state="veryHidden")";
    }
    return "";
}

std::string numberText(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace

std::string XlsxBuilder::escape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string XlsxBuilder::columnName(int column)
{
    std::string name;
    while (column > 0) {
        const int digit = (column - 1) % 26;
        name.insert(name.begin(), static_cast<char>('A' + digit));
        column = (column - 1) / 26;
    }
    return name;
}

std::string XlsxBuilder::worksheetDocument(const std::string& rowsXml)
{
    return std::string(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)")
        + "\n<worksheet xmlns=\"" + MainNamespace + "\" xmlns:r=\"" + RelNamespace
        + "\"><sheetData>" + rowsXml + "</sheetData></worksheet>";
}

XlsxBuilder& XlsxBuilder::addSheet(std::string name, std::string rowsXml, SheetState state)
{
    return addSheetDocument(std::move(name), worksheetDocument(rowsXml), state);
}

XlsxBuilder& XlsxBuilder::addSheetDocument(std::string name, std::string xml, SheetState state)
{
    m_sheets.push_back({std::move(name), Kind::Worksheet, state, std::move(xml)});
    return *this;
}

XlsxBuilder& XlsxBuilder::addTableSheet(std::string name,
                                        const std::vector<std::vector<TableCell>>& rows)
{
    std::string xml;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::string rowNumber = std::to_string(r + 1);
        xml += "<row r=\"" + rowNumber + "\">";
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const auto& value = rows[r][c].value();
            const std::string ref = columnName(static_cast<int>(c + 1)) + rowNumber;
            if (const auto* text = std::get_if<std::string>(&value)) {
                xml += "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(sharedIndex(*text))
                    + "</v></c>";
            } else if (const auto* number = std::get_if<double>(&value)) {
                xml += "<c r=\"" + ref + "\"><v>" + numberText(*number) + "</v></c>";
            }
        }
        xml += "</row>";
    }
    return addSheet(std::move(name), xml);
}

XlsxBuilder& XlsxBuilder::addChartSheet(std::string name, SheetState state)
{
    std::string xml = std::string(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)")
        + "\n<chartsheet xmlns=\"" + MainNamespace
        + "\"><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews></chartsheet>";
    m_sheets.push_back({std::move(name), Kind::Chartsheet, state, std::move(xml)});
    return *this;
}

XlsxBuilder& XlsxBuilder::addDialogSheet(std::string name)
{
    std::string xml = std::string(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)")
        + "\n<dialogsheet xmlns=\"" + MainNamespace + "\"/>";
    m_sheets.push_back({std::move(name), Kind::Dialogsheet, SheetState::Visible, std::move(xml)});
    return *this;
}

XlsxBuilder& XlsxBuilder::setSharedStrings(std::vector<std::string> texts)
{
    m_sharedStrings = std::move(texts);
    m_rawSharedStrings = false;
    return *this;
}

XlsxBuilder& XlsxBuilder::setSharedStringsXml(std::string itemsXml)
{
    m_sharedStringsXml = std::move(itemsXml);
    m_rawSharedStrings = true;
    return *this;
}

std::uint32_t XlsxBuilder::sharedIndex(const std::string& text)
{
    if (m_rawSharedStrings) {
        throw std::logic_error("addTableSheet cannot add to shared strings given as XML");
    }
    const auto found = std::find(m_sharedStrings.begin(), m_sharedStrings.end(), text);
    if (found != m_sharedStrings.end()) {
        return static_cast<std::uint32_t>(found - m_sharedStrings.begin());
    }
    m_sharedStrings.push_back(text);
    return static_cast<std::uint32_t>(m_sharedStrings.size() - 1);
}

XlsxBuilder& XlsxBuilder::setNumberFormats(const std::vector<std::string>& codes)
{
    m_styles.clear();
    for (const std::string& code : codes) {
        addNumberFormat(code);
    }
    return *this;
}

std::uint32_t XlsxBuilder::addNumberFormat(std::string code)
{
    // Custom format ids start at 164, above every built-in id (ECMA-376 Part 1, 18.8.30).
    const int id = 164
        + static_cast<int>(
                       std::count_if(m_styles.begin(), m_styles.end(), [](const StyleEntry& style) {
                           return !style.code.empty();
                       }));
    m_styles.push_back({id, std::move(code)});
    return static_cast<std::uint32_t>(m_styles.size());
}

std::uint32_t XlsxBuilder::addBuiltinFormat(int id)
{
    m_styles.push_back({id, ""});
    return static_cast<std::uint32_t>(m_styles.size());
}

XlsxBuilder& XlsxBuilder::setDate1904(bool on)
{
    m_date1904 = on;
    return *this;
}

XlsxBuilder& XlsxBuilder::setPart(std::string name, std::string content)
{
    m_overrides.emplace_back(std::move(name), std::move(content));
    return *this;
}

XlsxBuilder& XlsxBuilder::removePart(std::string name)
{
    m_removed.push_back(std::move(name));
    return *this;
}

std::string XlsxBuilder::stylesDocument() const
{
    std::string numFmts;
    int customCount = 0;
    for (const StyleEntry& style : m_styles) {
        if (!style.code.empty()) {
            ++customCount;
            numFmts += "<numFmt numFmtId=\"" + std::to_string(style.formatId) + "\" formatCode=\""
                + escape(style.code) + "\"/>";
        }
    }
    std::string xml = std::string(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)")
        + "\n<styleSheet xmlns=\"" + MainNamespace + "\">";
    if (customCount > 0) {
        xml += "<numFmts count=\"" + std::to_string(customCount) + "\">" + numFmts + "</numFmts>";
    }
    xml += R"(<fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts>)"
           R"(<fills count="1"><fill><patternFill patternType="none"/></fill></fills>)"
           R"(<borders count="1"><border/></borders>)"
           R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/>)"
           R"(</cellStyleXfs>)";
    xml += "<cellXfs count=\"" + std::to_string(m_styles.size() + 1) + "\">";
    xml += R"(<xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>)";
    for (const StyleEntry& style : m_styles) {
        xml += "<xf numFmtId=\"" + std::to_string(style.formatId)
            + R"(" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>)";
    }
    xml += "</cellXfs></styleSheet>";
    return xml;
}

std::vector<std::pair<std::string, std::string>> XlsxBuilder::parts() const
{
    const std::string header = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                               "\n";
    const bool hasStrings = m_rawSharedStrings || !m_sharedStrings.empty();
    const bool hasStyles = !m_styles.empty();

    std::string types = header
        + R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
          R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
          R"(<Default Extension="xml" ContentType="application/xml"/>)"
          R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)";
    std::string workbook =
        header + "<workbook xmlns=\"" + MainNamespace + "\" xmlns:r=\"" + RelNamespace + "\">";
    if (m_date1904) {
        workbook += R"(<workbookPr date1904="1"/>)";
    }
    workbook += "<sheets>";
    std::string rels = header
        + R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";

    std::vector<std::pair<std::string, std::string>> out;
    int worksheets = 0;
    int chartsheets = 0;
    int dialogsheets = 0;
    for (std::size_t i = 0; i < m_sheets.size(); ++i) {
        const SheetEntry& sheet = m_sheets[i];
        const std::string id = "rId" + std::to_string(i + 1);
        std::string folder;
        std::string type;
        int number = 0;
        switch (sheet.kind) {
        case Kind::Worksheet:
            folder = "worksheets";
            type = "worksheet";
            number = ++worksheets;
            break;
        case Kind::Chartsheet:
            folder = "chartsheets";
            type = "chartsheet";
            number = ++chartsheets;
            break;
        case Kind::Dialogsheet:
            folder = "dialogsheets";
            type = "dialogsheet";
            number = ++dialogsheets;
            break;
        }
        const std::string target = folder + "/sheet" + std::to_string(number) + ".xml";
        workbook += "<sheet name=\"" + escape(sheet.name) + "\" sheetId=\"" + std::to_string(i + 1)
            + "\"" + stateAttribute(sheet.state) + " r:id=\"" + id + "\"/>";
        rels += "<Relationship Id=\"" + id + "\" Type=\"" + RelNamespace + "/" + type
            + "\" Target=\"" + target + "\"/>";
        types += "<Override PartName=\"/xl/" + target
            + "\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml." + type
            + "+xml\"/>";
        out.emplace_back("xl/" + target, sheet.document);
    }
    workbook += "</sheets></workbook>";

    const std::size_t nextId = m_sheets.size() + 1;
    if (hasStrings) {
        std::string items = m_sharedStringsXml;
        if (!m_rawSharedStrings) {
            for (const std::string& text : m_sharedStrings) {
                items += "<si><t xml:space=\"preserve\">" + escape(text) + "</t></si>";
            }
        }
        out.emplace_back("xl/sharedStrings.xml",
                         header + "<sst xmlns=\"" + MainNamespace + "\">" + items + "</sst>");
        rels += "<Relationship Id=\"rId" + std::to_string(nextId) + "\" Type=\"" + RelNamespace
            + "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
        types +=
            R"(<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>)";
    }
    if (hasStyles) {
        out.emplace_back("xl/styles.xml", stylesDocument());
        rels += "<Relationship Id=\"rId" + std::to_string(nextId + 1) + "\" Type=\"" + RelNamespace
            + "/styles\" Target=\"styles.xml\"/>";
        types +=
            R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)";
    }
    rels += "</Relationships>";
    types += "</Types>";

    out.emplace(out.begin(), "xl/_rels/workbook.xml.rels", rels);
    out.emplace(out.begin(), "xl/workbook.xml", workbook);
    out.emplace(
        out.begin(),
        "_rels/.rels",
        header
            + R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
              R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
              R"(</Relationships>)");
    out.emplace(out.begin(), "[Content_Types].xml", types);

    for (const auto& [name, content] : m_overrides) {
        auto found = std::find_if(
            out.begin(), out.end(), [&](const auto& part) { return part.first == name; });
        if (found != out.end()) {
            found->second = content;
        } else {
            out.emplace_back(name, content);
        }
    }
    for (const std::string& name : m_removed) {
        std::erase_if(out, [&](const auto& part) { return part.first == name; });
    }
    return out;
}

void XlsxBuilder::save(const std::filesystem::path& path, const std::string& storedPart) const
{
    writeZipPackage(path, parts(), storedPart);
}

} // namespace sheetfray::testing
