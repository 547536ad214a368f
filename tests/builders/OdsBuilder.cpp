#include "tests/builders/OdsBuilder.h"

#include "tests/builders/ZipPackage.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace sheetfray::testing {

namespace {

constexpr const char* Namespaces =
    R"( xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
    R"( xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0")"
    R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
    R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
    R"( xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0")"
    R"( xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0")"
    R"( xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0")"
    R"( office:version="1.3")";

} // namespace

OdsBuilder& OdsBuilder::addTable(std::string name, std::string rowsXml, std::string attributes)
{
    m_tables.emplace_back(std::move(name), std::move(rowsXml));
    m_tableAttributes.push_back(std::move(attributes));
    return *this;
}

OdsBuilder& OdsBuilder::setAutomaticStyles(std::string xml)
{
    m_automaticStyles = std::move(xml);
    return *this;
}

OdsBuilder& OdsBuilder::setStyles(std::string xml)
{
    m_styles = std::move(xml);
    return *this;
}

OdsBuilder& OdsBuilder::setPart(std::string name, std::string content)
{
    m_overrides.emplace_back(std::move(name), std::move(content));
    return *this;
}

OdsBuilder& OdsBuilder::removePart(std::string name)
{
    m_removed.push_back(std::move(name));
    return *this;
}

std::vector<std::pair<std::string, std::string>> OdsBuilder::parts() const
{
    std::string content = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n")
        + "<office:document-content" + Namespaces + ">" + "<office:automatic-styles>"
        + m_automaticStyles + "</office:automatic-styles><office:body><office:spreadsheet>";
    for (std::size_t i = 0; i < m_tables.size(); ++i) {
        content += "<table:table table:name=\"" + m_tables[i].first + "\" " + m_tableAttributes[i]
            + ">" + m_tables[i].second + "</table:table>";
    }
    content += "</office:spreadsheet></office:body></office:document-content>";
    const std::string styles = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n")
        + "<office:document-styles" + Namespaces + "><office:styles>" + m_styles
        + "</office:styles></office:document-styles>";
    const std::string manifest =
        R"(<?xml version="1.0" encoding="UTF-8"?>)"
        R"(<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">)"
        R"(<manifest:file-entry manifest:full-path="/" )"
        R"(manifest:media-type="application/vnd.oasis.opendocument.spreadsheet"/>)"
        R"(<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>)"
        R"(</manifest:manifest>)";
    std::vector<std::pair<std::string, std::string>> parts = {
        {"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
        {"content.xml", content},
        {"styles.xml", styles},
        {"META-INF/manifest.xml", manifest},
    };
    for (const auto& [name, text] : m_overrides) {
        const auto it = std::find_if(
            parts.begin(), parts.end(), [&](const auto& part) { return part.first == name; });
        if (it != parts.end()) {
            it->second = text;
        } else {
            parts.emplace_back(name, text);
        }
    }
    std::erase_if(parts, [this](const auto& part) {
        return std::find(m_removed.begin(), m_removed.end(), part.first) != m_removed.end();
    });
    return parts;
}

void OdsBuilder::save(const std::filesystem::path& path) const
{
    writeZipPackage(path, parts(), "mimetype");
}

} // namespace sheetfray::testing
