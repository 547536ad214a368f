#include "engine/readers/XlsxPackage.h"

#include "engine/readers/PackagePart.h"
#include "engine/readers/XlsxText.h"
#include "engine/readers/XmlStream.h"
#include "support/Error.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace sheetfray::engine::readers {

namespace {

using format::NumberFormat;

// The text after the last "/" of a relationship type: the same word in the transitional and
// the strict namespaces ("…/2006/relationships/worksheet", "…/relationships/worksheet").
std::string_view typeWord(std::string_view type)
{
    const auto slash = type.rfind('/');
    return slash == std::string_view::npos ? type : type.substr(slash + 1);
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

struct SheetEntry
{
    std::string name;
    std::string relationshipId;
    bool hidden = false;
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
            // state is "visible" (the default), "hidden" or "veryHidden" (ECMA-376 18.18.68).
            const std::string_view state = attributes.value("state").value_or("visible");
            sheets.push_back({std::string(attributes.value("name").value_or("")),
                              std::string(attributes.value("id").value_or("")),
                              state == "hidden" || state == "veryHidden"});
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
                // A format code is an escaped string as cell texts are: "_x0001_" is U+0001.
                std::string& code = codes[*id];
                code = std::string(attributes.value("formatCode").value_or(""));
                decodeEscapes(code);
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

// The shortest string item, "<si/>", bounds how many items a part can hold.
constexpr std::uint64_t SmallestItem = 5;
// The zip reader holds a part to its compression ratio only once it has inflated this much.
constexpr std::uint64_t UncheckedInflation = 16u << 20;

// Reads the string items of the shared-strings part. Room is made at once for the count the
// part states (or, stating none, its declared size can hold), but no more than it can inflate
// to can hold: counts and sizes are only hints.
class SharedStringsHandler final : public XmlHandler
{
public:
    SharedStringsHandler(SharedStrings& strings, std::uint64_t guessItems, std::uint64_t mostItems)
        : m_strings(strings)
        , m_guessItems(guessItems)
        , m_mostItems(mostItems)
    {}

    void startElement(std::string_view name, const XmlAttributes& attributes) override
    {
        if (!m_started) {
            m_started = true;
            if (isName(name, "sst")) {
                const auto stated = attributes.value("uniqueCount")
                                        .value_or(attributes.value("count").value_or(""));
                m_strings.reserve(static_cast<std::size_t>(std::min(
                    parseInteger<std::uint64_t>(stated).value_or(m_guessItems), m_mostItems)));
            }
        }
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
    SharedStrings& m_strings;
    std::uint64_t m_guessItems;
    std::uint64_t m_mostItems;
    StringItemCollector m_item;
    bool m_inItem = false;
    bool m_started = false;
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

} // namespace

XlsxPackage readXlsxPackage(const ZipArchive& archive)
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
    const std::string stringsPart = stringsRelationship
        ? stringsRelationship->target
        : resolveTarget(workbookPart, "sharedStrings.xml");
    if (const auto index = archive.find(stringsPart)) {
        ZipEntry entry = archive.open(*index);
        // What the part can inflate to: its declared size may lie, the archive's limits not.
        const std::uint64_t mostBytes = std::min(
            ZipEntry::MaxEntrySize,
            std::max(UncheckedInflation, entry.compressedSize() * ZipEntry::MaxCompressionRatio));
        SharedStringsHandler stringsHandler(
            styles->sharedStrings, entry.declaredSize() / SmallestItem, mostBytes / SmallestItem);
        parsePart(entry, stringsPart, stringsHandler);
    }

    XlsxPackage package;
    package.styles = std::move(styles);
    auto& sheets = package.sheets;
    sheets.reserve(workbook.sheets.size());
    for (SheetEntry& entry : workbook.sheets) {
        XlsxSheet info;
        info.name = std::move(entry.name);
        info.hidden = entry.hidden;
        for (const Relationship& relationship : relationships) {
            if (relationship.id != entry.relationshipId || entry.relationshipId.empty()) {
                continue;
            }
            info.part = relationship.target;
            if (relationship.type == "chartsheet") {
                info.kind = XlsxSheetKind::Chartsheet;
            } else if (relationship.type == "dialogsheet") {
                info.kind = XlsxSheetKind::Dialogsheet;
            }
            break;
        }
        // A sheet without a relationship (r:id="" in ExcelDataReader issue 68) has no part
        // to read; it is shown as an empty sheet, as the application shows it.
        sheets.push_back(std::move(info));
    }
    return package;
}

} // namespace sheetfray::engine::readers
