#include "tests/engine/formats/OdsBuilder.h"

#include <zip.h>

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

struct ZipDiscard
{
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

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
    const auto contents = parts();
    int error = 0;
    std::unique_ptr<zip_t, ZipDiscard> archive(
        zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    if (!archive) {
        throw std::runtime_error("cannot create " + path.string());
    }
    for (const auto& [name, content] : contents) {
        // The buffers live in `contents` until zip_close has written them.
        zip_source_t* source = zip_source_buffer(archive.get(), content.data(), content.size(), 0);
        if (!source) {
            throw std::runtime_error("cannot add " + name);
        }
        const zip_int64_t index =
            zip_file_add(archive.get(), name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            throw std::runtime_error("cannot add " + name);
        }
        if (name == "mimetype") {
            zip_set_file_compression(
                archive.get(), static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
        }
    }
    if (zip_close(archive.get()) != 0) {
        throw std::runtime_error("cannot write " + path.string() + ": "
                                 + zip_strerror(archive.get()));
    }
    (void)archive.release();
}

} // namespace sheetfray::testing
