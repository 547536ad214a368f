// Writes small OpenDocument spreadsheets from XML snippets, so a test shows the cell that matters.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace sheetfray::testing {

// Builds content.xml from tables of <table:table-row> elements, with the common namespace
// prefixes (office, table, text, number, style, fo, calcext) declared. Example:
//
//     OdsBuilder b;
//     b.addTable("Sheet1", R"(<table:table-row><table:table-cell office:value-type="float"
//                               office:value="3"><text:p>3</text:p></table:table-cell>
//                             </table:table-row>)");
//     b.save(dir / "book.ods");
class OdsBuilder
{
public:
    // Adds a sheet; attributes go into its <table:table> start tag as written.
    OdsBuilder& addTable(std::string name, std::string rowsXml, std::string attributes = "");
    // The inside of content.xml's <office:automatic-styles>.
    OdsBuilder& setAutomaticStyles(std::string xml);
    // The inside of styles.xml's <office:styles>.
    OdsBuilder& setStyles(std::string xml);
    // Adds or replaces any entry of the package ("mimetype", "META-INF/manifest.xml").
    OdsBuilder& setPart(std::string name, std::string content);
    OdsBuilder& removePart(std::string name);

    // Writes the package; throws std::runtime_error when it cannot be written.
    void save(const std::filesystem::path& path) const;

private:
    [[nodiscard]] std::vector<std::pair<std::string, std::string>> parts() const;

    std::vector<std::pair<std::string, std::string>> m_tables; // name, rows
    std::vector<std::string> m_tableAttributes;
    std::string m_automaticStyles;
    std::string m_styles;
    std::vector<std::pair<std::string, std::string>> m_overrides;
    std::vector<std::string> m_removed;
};

} // namespace sheetfray::testing
