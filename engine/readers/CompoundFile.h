// Reads the streams of an OLE compound file (MS-CFB): the container of .xls workbooks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sheetfray::engine::readers {

// A compound file held in memory. Every chain, table and directory walk is bounded by the
// size of the image, so a damaged file cannot loop or make the reader allocate more than
// the file holds. A last sector cut short reads as if its missing bytes were zeros, as long
// as it is part of a stream, not of the allocation tables or the directory.
class CompoundFile
{
public:
    // Parses the header, the allocation tables and the directory. Throws ReadError with the
    // reason (without the file name) when the image is not a readable compound file.
    explicit CompoundFile(std::vector<std::byte> image);

    // True when the bytes start with the compound-file signature.
    [[nodiscard]] static bool hasSignature(std::span<const std::byte> bytes);

    // True when the root storage holds a stream of this name (compared without case).
    [[nodiscard]] bool hasStream(std::string_view name) const;

    // The bytes of a stream in the root storage. Throws ReadError when it is missing or its
    // sector chain is damaged.
    [[nodiscard]] std::vector<std::byte> readStream(std::string_view name) const;
    // The same, for the last stream read from this file: a stream whose sectors follow one
    // another (as writers lay out a large one) is cut from the file's bytes, not copied.
    [[nodiscard]] std::vector<std::byte> takeStream(std::string_view name) &&;

    // The names of the streams in the root storage, in directory order (for messages and tests).
    [[nodiscard]] std::vector<std::string> streamNames() const;

private:
    struct Entry
    {
        std::string name; // UTF-8
        std::uint8_t type = 0;
        std::uint32_t left = 0;
        std::uint32_t right = 0;
        std::uint32_t child = 0;
        std::uint32_t start = 0;
        std::uint64_t size = 0;
    };

    [[nodiscard]] std::span<const std::byte> sector(std::uint32_t id) const;
    // A sector of the allocation tables or the directory, which must be whole in the file;
    // what names it in the message ("the directory").
    [[nodiscard]] std::span<const std::byte> structureSector(std::uint32_t id,
                                                             const char* what) const;
    [[nodiscard]] std::vector<std::uint32_t>
    chain(std::uint32_t start, const std::vector<std::uint32_t>& table, std::size_t limit) const;
    [[nodiscard]] std::vector<std::byte> readChain(std::uint32_t start, std::uint64_t size) const;
    [[nodiscard]] std::vector<std::byte> readMiniChain(std::uint32_t start,
                                                       std::uint64_t size) const;
    void readAllocationTable();
    void readDirectory();
    [[nodiscard]] const Entry* findStream(std::string_view name) const;

    std::vector<std::byte> m_image;
    std::uint32_t m_sectorShift = 9;
    std::size_t m_sectorSize = 512;
    std::size_t m_sectorCount = 0; // the last one perhaps cut short in the file
    std::size_t m_wholeSectors = 0; // those the file holds whole
    std::uint32_t m_miniCutoff = 4096;
    std::vector<std::uint32_t> m_fat;
    std::vector<std::uint32_t> m_miniFat;
    std::vector<std::byte> m_miniStream;
    std::vector<Entry> m_entries;
    std::vector<std::uint32_t> m_rootStreams; // entry indices of the root's streams
};

} // namespace sheetfray::engine::readers
