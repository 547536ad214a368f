// What the reliability tests share: zip packages of any content, scratch file systems that
// fill up or refuse writes, and listing what a run left in a folder.
#pragma once

#include "tests/fakes/TempDir.h"

#include <sys/mount.h>
#include <zip.h>

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace sheetfray::testing {

// Writes a zip archive of the given entries, each deflated.
inline void writeZip(const std::filesystem::path& path,
                     const std::vector<std::pair<std::string, std::string>>& entries)
{
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive) {
        throw std::runtime_error("cannot create " + path.string());
    }
    for (const auto& [name, content] : entries) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
        if (!source || index < 0) {
            zip_discard(archive);
            throw std::runtime_error("cannot add " + name);
        }
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9);
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        throw std::runtime_error("cannot write " + path.string());
    }
}

// A small OpenDocument spreadsheet whose content.xml holds the given table rows.
inline void writeOds(const std::filesystem::path& path, const std::string& rowsXml)
{
    writeZip(path,
             {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
              {"content.xml",
               R"(<?xml version="1.0" encoding="UTF-8"?>)"
               R"(<office:document-content)"
               R"( xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
               R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
               R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
               R"( office:version="1.2"><office:body><office:spreadsheet>)"
               R"(<table:table table:name="Sheet1">)"
                   + rowsXml
                   + "</table:table></office:spreadsheet></office:body>"
                     "</office:document-content>"}});
}

// A tmpfs mounted at a fresh folder for the test's lifetime: a disk of a given size, or a
// read-only one. Mounting needs the privilege CI and developers run with; without it the
// test that wants one skips.
class ScratchMount
{
public:
    static std::optional<std::filesystem::path>
    mount(TempDir& dir, const std::string& options, bool readOnly)
    {
        const auto point = dir.path() / "mnt";
        std::filesystem::create_directories(point);
        const unsigned long flags = readOnly ? MS_RDONLY : 0;
        if (::mount("tmpfs", point.c_str(), "tmpfs", flags, options.c_str()) != 0) {
            return std::nullopt;
        }
        return point;
    }

    explicit ScratchMount(std::filesystem::path point)
        : m_point(std::move(point))
    {}

    ~ScratchMount() { ::umount2(m_point.c_str(), MNT_DETACH); }

    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

private:
    std::filesystem::path m_point;
};

// True for a temporary of the output writer ("/out/.sheetfray-123-0.tmp").
inline bool isTemporary(const std::string& relativePath)
{
    return relativePath.find(".sheetfray-") != std::string::npos;
}

} // namespace sheetfray::testing
