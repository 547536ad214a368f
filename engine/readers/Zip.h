// Read access to the entries of a zip archive (libzip), streamed, never unpacked to disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct zip;
struct zip_file;

namespace sheetfray::engine::readers {

class ZipEntry;

// What all entries of one archive may inflate to together: a thousand times the archive's
// size. Entries may share their compressed data (a zip bomb of overlapping entries), so a
// bound on each entry alone would let a small file inflate without end. An entry read again
// (a large sheet is read once to count it and again for each pass of a split) is charged
// once, for its longest reading: that is the same data, not more of it.
struct InflateBudget
{
    std::mutex mutex; // readings of a sheet run on threads of their own
    std::uint64_t limit = 0;
    std::uint64_t used = 0;
    std::unordered_map<std::uint64_t, std::uint64_t> charged; // bytes, by entry index
};

// An open archive. Entries are found by part name, compared as package part names are
// (ASCII letters in either case, "\" as "/", percent-escapes decoded, no leading "/").
class ZipArchive
{
public:
    // Opens the archive at path; fileName is the name the workbook goes by. Throws ReadError
    // naming no file: the reader that opens the workbook names it.
    ZipArchive(const std::filesystem::path& path, std::string fileName);

    [[nodiscard]] const std::string& fileName() const { return m_fileName; }

    [[nodiscard]] std::size_t entryCount() const { return m_names.size(); }

    // The index of the entry holding the part, if the archive has it.
    [[nodiscard]] std::optional<std::uint64_t> find(std::string_view partName) const;
    // Opens an entry for reading. Throws ReadError (encrypted entry, unknown compression).
    [[nodiscard]] ZipEntry open(std::uint64_t index) const;

private:
    struct Closer
    {
        void operator()(zip* archive) const;
    };

    std::unique_ptr<zip, Closer> m_archive;
    std::string m_fileName;
    std::vector<std::pair<std::string, std::uint64_t>> m_names; // normalized, sorted
    std::shared_ptr<InflateBudget> m_budget;
};

// One entry being inflated. Refuses to inflate beyond MaxEntrySize bytes, at compression
// ratios above MaxCompressionRatio, or past the archive's budget (a zip bomb), so a reader's
// input stays bounded.
class ZipEntry
{
public:
    static constexpr std::uint64_t MaxEntrySize = 0xFFFF'FFFFu;
    static constexpr std::uint64_t MaxCompressionRatio = 1000;

    // Fills up to size bytes of buffer; returns 0 at the end of the entry. Throws ReadError.
    [[nodiscard]] std::size_t read(char* buffer, std::size_t size);

    [[nodiscard]] const std::string& name() const { return m_name; }

    // The sizes the archive's directory gives, 0 when it gives none. The inflated size may
    // be a lie: read() holds the entry to its limits, not to it.
    [[nodiscard]] std::uint64_t declaredSize() const { return m_declaredSize; }

    [[nodiscard]] std::uint64_t compressedSize() const { return m_compressedSize; }

private:
    friend class ZipArchive;

    struct Closer
    {
        void operator()(zip_file* file) const;
    };

    ZipEntry(zip_file* file,
             std::uint64_t index,
             std::string name,
             std::uint64_t compressedSize,
             std::uint64_t declaredSize,
             std::shared_ptr<InflateBudget> budget);

    std::unique_ptr<zip_file, Closer> m_file;
    std::shared_ptr<InflateBudget> m_budget;
    std::uint64_t m_index = 0;
    std::string m_name;
    std::uint64_t m_compressedSize = 0;
    std::uint64_t m_declaredSize = 0;
    std::uint64_t m_inflated = 0;
};

// A part name as the archive compares it ("XL\Workbook.xml" gives "xl/workbook.xml").
[[nodiscard]] std::string normalizePartName(std::string_view name);

} // namespace sheetfray::engine::readers
