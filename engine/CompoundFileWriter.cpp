#include "engine/CompoundFileWriter.h"

#include "engine/ByteOutput.h"

#include <cstdint>
#include <cstring>

namespace sheetfray::engine {

namespace {

constexpr std::size_t SectorSize = 512;
constexpr std::size_t MiniSectorSize = 64;
constexpr std::size_t MiniStreamCutoff = 4096;
constexpr std::size_t EntriesPerSector = SectorSize / 4;
constexpr std::size_t HeaderDifatEntries = 109;

constexpr std::uint32_t FreeSector = 0xFFFFFFFF;
constexpr std::uint32_t EndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t FatSector = 0xFFFFFFFD;
constexpr std::uint32_t DifatSector = 0xFFFFFFFC;
constexpr std::uint32_t NoStream = 0xFFFFFFFF;

// A table of 32-bit entries (FAT, mini FAT, DIFAT) appended one entry at a time.
class EntryTable
{
public:
    EntryTable(std::string& out, std::size_t at)
        : m_out(out)
        , m_at(at)
    {}

    void add(std::uint32_t value)
    {
        set32(m_out, m_at, value);
        m_at += 4;
    }

    // A chain of count sectors from first on, the last one ending it.
    void chain(std::uint32_t first, std::size_t count)
    {
        for (std::size_t i = 1; i <= count; ++i) {
            add(i == count ? EndOfChain : first + static_cast<std::uint32_t>(i));
        }
    }

    [[nodiscard]] std::size_t at() const { return m_at; }

private:
    std::string& m_out;
    std::size_t m_at;
};

std::size_t sectorsFor(std::size_t bytes, std::size_t sectorSize)
{
    return (bytes + sectorSize - 1) / sectorSize;
}

// One 128-byte directory entry at `at` (the room is zeroed already).
void putEntry(std::string& out,
              std::size_t at,
              std::string_view name,
              std::uint8_t type,
              std::uint32_t child,
              std::uint32_t start,
              std::uint32_t size)
{
    for (std::size_t i = 0; i < name.size(); ++i) {
        out[at + 2 * i] = name[i];
    }
    set16(out, at + 64, static_cast<std::uint16_t>(2 * (name.size() + 1)));
    out[at + 66] = static_cast<char>(type);
    out[at + 67] = 1; // black
    set32(out, at + 68, NoStream); // left sibling
    set32(out, at + 72, NoStream); // right sibling
    set32(out, at + 76, child);
    set32(out, at + 116, start);
    set32(out, at + 120, size);
}

// The directory sector: the root, the stream, and two unused entries.
void putDirectory(std::string& out,
                  std::size_t at,
                  std::string_view streamName,
                  std::uint32_t rootStart,
                  std::uint32_t rootSize,
                  std::uint32_t streamStart,
                  std::uint32_t streamSize)
{
    putEntry(out, at, "Root Entry", 5, 1, rootStart, rootSize);
    putEntry(out, at + 128, streamName, 2, NoStream, streamStart, streamSize);
    for (std::size_t entry = 2; entry < 4; ++entry) {
        const std::size_t base = at + 128 * entry;
        set32(out, base + 68, NoStream);
        set32(out, base + 72, NoStream);
        set32(out, base + 76, NoStream);
    }
}

void putHeader(std::string& out,
               std::size_t at,
               std::uint32_t fatSectors,
               std::uint32_t directorySector,
               std::uint32_t miniFatSector,
               std::uint32_t difatStart,
               std::uint32_t difatSectors)
{
    static constexpr unsigned char Signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(out.data() + at, Signature, sizeof Signature);
    set16(out, at + 24, 0x003E); // minor version
    set16(out, at + 26, 3); // major version: 512-byte sectors
    set16(out, at + 28, 0xFFFE); // little-endian
    set16(out, at + 30, 9); // sector shift
    set16(out, at + 32, 6); // mini sector shift
    set32(out, at + 44, fatSectors);
    set32(out, at + 48, directorySector);
    set32(out, at + 56, static_cast<std::uint32_t>(MiniStreamCutoff));
    set32(out, at + 60, miniFatSector);
    set32(out, at + 64, miniFatSector == EndOfChain ? 0 : 1);
    set32(out, at + 68, difatStart);
    set32(out, at + 72, difatSectors);
    // The header's DIFAT entries are filled in by the caller; unused ones are free.
    std::memset(out.data() + at + 76, 0xFF, 4 * HeaderDifatEntries);
}

} // namespace

void appendCompoundFile(std::string_view streamName, std::string_view stream, std::string& out)
{
    const std::size_t base = out.size();
    const auto streamSize = static_cast<std::uint32_t>(stream.size());
    if (stream.size() < MiniStreamCutoff) {
        // Sector 0 the FAT, 1 the directory, 2 the mini FAT, 3 on the mini stream.
        const std::size_t miniSectors = sectorsFor(stream.size(), MiniSectorSize);
        const std::size_t containerSectors = sectorsFor(miniSectors * MiniSectorSize, SectorSize);
        out.resize(base + SectorSize * (4 + containerSectors), '\0');
        putHeader(out, base, 1, 1, 2, EndOfChain, 0);
        set32(out, base + 76, 0);
        EntryTable fat(out, base + SectorSize);
        fat.add(FatSector);
        fat.add(EndOfChain);
        fat.add(EndOfChain);
        fat.chain(3, containerSectors);
        std::memset(out.data() + fat.at(), 0xFF, base + 2 * SectorSize - fat.at());
        putDirectory(out,
                     base + 2 * SectorSize,
                     streamName,
                     containerSectors == 0 ? EndOfChain : 3,
                     static_cast<std::uint32_t>(miniSectors * MiniSectorSize),
                     miniSectors == 0 ? EndOfChain : 0,
                     streamSize);
        EntryTable miniFat(out, base + 3 * SectorSize);
        miniFat.chain(0, miniSectors);
        std::memset(out.data() + miniFat.at(), 0xFF, base + 4 * SectorSize - miniFat.at());
        if (!stream.empty()) {
            std::memcpy(out.data() + base + 4 * SectorSize, stream.data(), stream.size());
        }
        return;
    }
    // The stream from sector 0 on, then the FAT, the directory and the DIFAT sectors.
    const std::size_t streamSectors = sectorsFor(stream.size(), SectorSize);
    std::size_t fatSectors = 1;
    std::size_t difatSectors = 0;
    for (;;) {
        const std::size_t total = streamSectors + fatSectors + 1 + difatSectors;
        const std::size_t neededFat = sectorsFor(total, EntriesPerSector);
        const std::size_t neededDifat = neededFat > HeaderDifatEntries
            ? sectorsFor(neededFat - HeaderDifatEntries, EntriesPerSector - 1)
            : 0;
        if (neededFat == fatSectors && neededDifat == difatSectors) {
            break;
        }
        fatSectors = neededFat;
        difatSectors = neededDifat;
    }
    const std::size_t firstFat = streamSectors;
    const std::size_t directory = firstFat + fatSectors;
    const std::size_t firstDifat = directory + 1;
    const std::size_t sectors = firstDifat + difatSectors;
    out.resize(base + SectorSize * (1 + sectors), '\0');
    std::memcpy(out.data() + base + SectorSize, stream.data(), stream.size());
    putHeader(out,
              base,
              static_cast<std::uint32_t>(fatSectors),
              static_cast<std::uint32_t>(directory),
              EndOfChain,
              difatSectors == 0 ? EndOfChain : static_cast<std::uint32_t>(firstDifat),
              static_cast<std::uint32_t>(difatSectors));
    EntryTable fat(out, base + SectorSize * (1 + firstFat));
    fat.chain(0, streamSectors);
    for (std::size_t i = 0; i < fatSectors; ++i) {
        fat.add(FatSector);
    }
    fat.add(EndOfChain);
    for (std::size_t i = 0; i < difatSectors; ++i) {
        fat.add(DifatSector);
    }
    std::memset(out.data() + fat.at(), 0xFF, base + SectorSize * (1 + directory) - fat.at());
    putDirectory(
        out, base + SectorSize * (1 + directory), streamName, EndOfChain, 0, 0, streamSize);
    // FAT sector numbers: the first 109 in the header, the rest in DIFAT sectors of 127 each
    // and a link to the next.
    for (std::size_t i = 0; i < fatSectors; ++i) {
        const auto sector = static_cast<std::uint32_t>(firstFat + i);
        if (i < HeaderDifatEntries) {
            set32(out, base + 76 + 4 * i, sector);
            continue;
        }
        const std::size_t k = i - HeaderDifatEntries;
        const std::size_t difat = k / (EntriesPerSector - 1);
        set32(out,
              base + SectorSize * (1 + firstDifat + difat) + 4 * (k % (EntriesPerSector - 1)),
              sector);
    }
    for (std::size_t d = 0; d < difatSectors; ++d) {
        const std::size_t at = base + SectorSize * (1 + firstDifat + d);
        const std::size_t used = d + 1 < difatSectors
            ? EntriesPerSector - 1
            : fatSectors - HeaderDifatEntries - d * (EntriesPerSector - 1);
        std::memset(out.data() + at + 4 * used, 0xFF, 4 * (EntriesPerSector - 1 - used));
        set32(out,
              at + SectorSize - 4,
              d + 1 < difatSectors ? static_cast<std::uint32_t>(firstDifat + d + 1) : EndOfChain);
    }
}

} // namespace sheetfray::engine
