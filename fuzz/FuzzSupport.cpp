#include "fuzz/FuzzSupport.h"

#include "support/Error.h"

#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace sheetfray::fuzz {

namespace {

struct ZipDiscard
{
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

// Adds one entry, deflated, as a writer of workbooks would.
void addEntry(zip_t* archive, const std::string& name, const std::string& content)
{
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    if (!source) {
        return;
    }
    const zip_int64_t index =
        zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        return;
    }
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
}

} // namespace

std::vector<std::pair<std::string, std::string>> parsePackageText(std::string_view text)
{
    std::vector<std::pair<std::string, std::string>> parts;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const bool header = text.substr(pos, 3) == "@@ ";
        std::size_t lineEnd = text.find('\n', pos);
        if (lineEnd == std::string_view::npos) {
            lineEnd = text.size();
        }
        if (header) {
            parts.emplace_back(std::string(text.substr(pos + 3, lineEnd - pos - 3)), std::string());
        } else if (!parts.empty()) {
            parts.back().second.append(text.substr(pos, lineEnd - pos));
            if (lineEnd < text.size()) {
                parts.back().second += '\n';
            }
        }
        pos = lineEnd + 1;
    }
    return parts;
}

ScratchZip::ScratchZip(std::string_view name)
    : m_name(name)
{
    // One folder per process: fuzzing jobs run side by side.
    const auto folder =
        std::filesystem::temp_directory_path() / ("sheetfray-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    m_path = (folder / name).string();
}

ScratchZip::~ScratchZip()
{
    std::error_code ignored;
    std::filesystem::remove(m_path, ignored);
    std::filesystem::remove(std::filesystem::path(m_path).parent_path(), ignored);
}

void ScratchZip::write(std::span<const std::uint8_t> input)
{
    const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
    if (bytes.starts_with("PK")) {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + m_path);
        }
        return;
    }
    const auto parts = parsePackageText(bytes);
    int code = 0;
    std::unique_ptr<zip_t, ZipDiscard> archive(
        zip_open(m_path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!archive) {
        throw std::runtime_error("cannot create " + m_path);
    }
    for (const auto& [name, content] : parts) {
        addEntry(archive.get(), name, content);
    }
    // zip_close writes the archive and frees it; an archive without entries is no file at all.
    if (zip_close(archive.get()) == 0) {
        archive.release();
    }
    if (parts.empty()) {
        std::ofstream(m_path, std::ios::binary | std::ios::trunc) << "PK\x05\x06";
    }
}

void walkWorkbook(engine::Workbook& workbook)
{
    (void)workbook.name();
    const std::int32_t count = workbook.sheetCount();
    std::string text;
    for (std::int32_t s = 1; s <= count; ++s) {
        (void)workbook.sheetName(s);
        try {
            const engine::Sheet sheet = workbook.loadSheet(s);
            const engine::UsedRange range = sheet.usedRange();
            if (range.lastRow < 1 || range.lastRow > engine::MaxRows || range.lastColumn < 1
                || range.lastColumn > engine::MaxColumns) {
                __builtin_trap();
            }
            for (const engine::StoredCell& cell : sheet.cells()) {
                text.clear();
                sheet.appendText(cell, text);
                (void)sheet.value(cell);
            }
            if (range.lastColumn <= 64) {
                for (std::int32_t c = 1; c <= range.lastColumn; ++c) {
                    (void)sheet.columnCells(c);
                }
            }
        } catch (const ReadError&) {
            // A chart sheet or a damaged sheet part: reported to the user, then the next one.
        }
    }
}

} // namespace sheetfray::fuzz
