#include "engine/readers/CompoundFile.h"

#include "engine/readers/LittleEndian.h"
#include "engine/readers/TextDecoding.h"
#include "support/Error.h"
#include "support/Quote.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace sheetfray::engine::readers {

namespace {

// Special sector numbers (MS-CFB 2.1).
constexpr std::uint32_t MaxRegularSector = 0xFFFFFFFA;
constexpr std::uint32_t EndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t FreeSector = 0xFFFFFFFF;
constexpr std::uint32_t NoStream = 0xFFFFFFFF;

constexpr std::size_t HeaderSize = 512;
constexpr std::size_t DirectoryEntrySize = 128;
constexpr std::size_t HeaderDifatEntries = 109;

constexpr std::uint8_t StreamObject = 2;
constexpr std::uint8_t RootObject = 5;

constexpr std::array<unsigned char, 8> Signature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

[[noreturn]] void damaged(const std::string& what)
{
    throw ReadError(ReadError::Reason::Damaged, what);
}

// Directory names compare case-insensitively (MS-CFB 2.6.4 uses simple upper-casing; the
// names that matter here are ASCII).
bool sameName(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
        return upper(x) == upper(y);
    });
}

} // namespace

bool CompoundFile::hasSignature(std::span<const std::byte> bytes)
{
    if (bytes.size() < Signature.size()) {
        return false;
    }
    return std::memcmp(bytes.data(), Signature.data(), Signature.size()) == 0;
}

CompoundFile::CompoundFile(std::vector<std::byte> image)
    : m_image(std::move(image))
{
    const std::span<const std::byte> header(m_image);
    if (!hasSignature(header)) {
        throw ReadError(ReadError::Reason::NotCompoundFile);
    }
    if (m_image.size() < HeaderSize) {
        damaged("the compound-file header is cut off");
    }
    if (le16(header, 28) != 0xFFFE) {
        damaged("the compound-file header has an unknown byte order");
    }
    m_sectorShift = le16(header, 30);
    const std::uint32_t miniShift = le16(header, 32);
    // Version 3 files use 512-byte sectors, version 4 files 4096-byte ones (MS-CFB 2.2).
    if (m_sectorShift != 9 && m_sectorShift != 12) {
        damaged("the compound file has an unsupported sector size");
    }
    if (miniShift != 6) {
        damaged("the compound file has an unsupported mini sector size");
    }
    m_sectorSize = std::size_t{1} << m_sectorShift;
    m_miniCutoff = le32(header, 56);
    if (m_miniCutoff != 4096) {
        m_miniCutoff = 4096;
    }
    const std::size_t body = m_image.size() <= m_sectorSize ? 0 : m_image.size() - m_sectorSize;
    m_wholeSectors = body / m_sectorSize;
    m_sectorCount = (body + m_sectorSize - 1) / m_sectorSize;
    if (m_sectorCount > m_wholeSectors) {
        // Some writers do not pad the last sector. Its missing bytes read as zeros, as other
        // readers take them; only streams may end there (see structureSector). The padding
        // may move the image: header is not used past here.
        m_image.resize((m_sectorCount + 1) * m_sectorSize);
    }
    readAllocationTable();
    readDirectory();
}

std::span<const std::byte> CompoundFile::sector(std::uint32_t id) const
{
    if (id >= m_sectorCount) {
        damaged("a sector lies past the end of the file");
    }
    const std::size_t offset = (std::size_t{id} + 1) << m_sectorShift;
    return std::span<const std::byte>(m_image).subspan(offset, m_sectorSize);
}

std::span<const std::byte> CompoundFile::structureSector(std::uint32_t id, const char* what) const
{
    // Zeros in place of an allocation table's entries would be links to sector 0.
    if (id >= m_wholeSectors && id < m_sectorCount) {
        damaged(std::string(what) + " is cut off");
    }
    return sector(id);
}

std::vector<std::uint32_t> CompoundFile::chain(std::uint32_t start,
                                               const std::vector<std::uint32_t>& table,
                                               std::size_t limit) const
{
    std::vector<std::uint32_t> ids;
    std::vector<bool> visited(table.size(), false);
    std::uint32_t id = start;
    while (id != EndOfChain && ids.size() < limit) {
        if (id > MaxRegularSector || id >= table.size()) {
            if (id == FreeSector && !ids.empty()) {
                // Some writers end a chain with a free marker instead of the end marker.
                break;
            }
            damaged("a sector chain points outside the allocation table");
        }
        if (visited[id]) {
            damaged("a sector chain loops");
        }
        visited[id] = true;
        ids.push_back(id);
        id = table[id];
    }
    return ids;
}

void CompoundFile::readAllocationTable()
{
    const std::span<const std::byte> header(m_image);
    const std::uint32_t fatSectorCount = le32(header, 44);
    std::vector<std::uint32_t> fatSectors;
    for (std::size_t i = 0; i < HeaderDifatEntries && fatSectors.size() < fatSectorCount; ++i) {
        const std::uint32_t id = le32(header, 76 + 4 * i);
        if (id == FreeSector || id == EndOfChain) {
            break;
        }
        fatSectors.push_back(id);
    }
    // Further FAT sector numbers live in a chain of DIFAT sectors; the last entry of each
    // points to the next one (MS-CFB 2.5). Each step is bounded by the sectors in the file.
    std::uint32_t difat = le32(header, 68);
    std::size_t difatSteps = 0;
    const std::size_t perDifatSector = m_sectorSize / 4 - 1;
    while (difat != EndOfChain && difat != FreeSector && fatSectors.size() < fatSectorCount) {
        if (++difatSteps > m_sectorCount) {
            damaged("the chain of allocation sectors loops");
        }
        const std::span<const std::byte> data = structureSector(difat, "an allocation sector");
        for (std::size_t i = 0; i < perDifatSector && fatSectors.size() < fatSectorCount; ++i) {
            const std::uint32_t id = le32(data, 4 * i);
            if (id != FreeSector) {
                fatSectors.push_back(id);
            }
        }
        difat = le32(data, 4 * perDifatSector);
    }
    if (fatSectors.empty()) {
        damaged("the compound file has no allocation table");
    }
    if (fatSectors.size() > m_sectorCount) {
        damaged("the allocation table is larger than the file");
    }
    m_fat.reserve(fatSectors.size() * (m_sectorSize / 4));
    for (const std::uint32_t id : fatSectors) {
        const std::span<const std::byte> data = structureSector(id, "an allocation sector");
        for (std::size_t at = 0; at + 4 <= data.size(); at += 4) {
            m_fat.push_back(le32(data, at));
        }
    }
}

std::vector<std::byte> CompoundFile::readChain(std::uint32_t start, std::uint64_t size) const
{
    std::vector<std::byte> out;
    if (size == 0) {
        return out;
    }
    const std::uint64_t needed = (size + m_sectorSize - 1) / m_sectorSize;
    if (needed > m_sectorCount) {
        damaged("a stream is larger than the file");
    }
    const std::vector<std::uint32_t> ids = chain(start, m_fat, static_cast<std::size_t>(needed));
    if (ids.size() < needed) {
        damaged("a stream ends before its stated size");
    }
    out.reserve(static_cast<std::size_t>(size));
    for (const std::uint32_t id : ids) {
        const std::span<const std::byte> data = sector(id);
        const std::size_t take = std::min<std::size_t>(data.size(), size - out.size());
        out.insert(out.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(take));
    }
    return out;
}

std::vector<std::byte> CompoundFile::readMiniChain(std::uint32_t start, std::uint64_t size) const
{
    constexpr std::size_t MiniSectorSize = 64;
    std::vector<std::byte> out;
    if (size == 0) {
        return out;
    }
    const std::uint64_t needed = (size + MiniSectorSize - 1) / MiniSectorSize;
    const std::size_t miniSectors = m_miniStream.size() / MiniSectorSize;
    if (needed > miniSectors) {
        damaged("a small stream is larger than the mini stream");
    }
    const std::vector<std::uint32_t> ids =
        chain(start, m_miniFat, static_cast<std::size_t>(needed));
    if (ids.size() < needed) {
        damaged("a small stream ends before its stated size");
    }
    out.reserve(static_cast<std::size_t>(size));
    for (const std::uint32_t id : ids) {
        if (id >= miniSectors) {
            damaged("a small stream points past the end of the mini stream");
        }
        const auto first = m_miniStream.begin() + static_cast<std::ptrdiff_t>(id * MiniSectorSize);
        const std::size_t take = std::min<std::size_t>(MiniSectorSize, size - out.size());
        out.insert(out.end(), first, first + static_cast<std::ptrdiff_t>(take));
    }
    return out;
}

void CompoundFile::readDirectory()
{
    const std::span<const std::byte> header(m_image);
    const bool version3 = m_sectorShift == 9;
    for (const std::uint32_t id : chain(le32(header, 48), m_fat, m_sectorCount)) {
        const std::span<const std::byte> data = structureSector(id, "the directory");
        for (std::size_t at = 0; at + DirectoryEntrySize <= data.size(); at += DirectoryEntrySize) {
            const std::span<const std::byte> raw = data.subspan(at, DirectoryEntrySize);
            Entry entry;
            const std::size_t nameBytes = std::min<std::size_t>(le16(raw, 64), 64);
            std::u16string units;
            for (std::size_t i = 0; i + 1 < nameBytes; i += 2) {
                const auto unit = static_cast<char16_t>(le16(raw, i));
                if (unit == 0) {
                    break;
                }
                units += unit;
            }
            appendUtf16(units, entry.name);
            entry.type = le8(raw, 66);
            entry.left = le32(raw, 68);
            entry.right = le32(raw, 72);
            entry.child = le32(raw, 76);
            entry.start = le32(raw, 116);
            // Version 3 writers may leave garbage in the upper half of the size (MS-CFB 2.6.3).
            entry.size = version3 ? le32(raw, 120) : le64(raw, 120);
            m_entries.push_back(std::move(entry));
        }
    }
    if (m_entries.empty() || m_entries.front().type != RootObject) {
        damaged("the compound file has no root directory entry");
    }

    // The children of a storage form a tree through the left, right and child links; walk it
    // with a visited mark so that links pointing back cannot loop.
    std::vector<bool> visited(m_entries.size(), false);
    std::vector<std::uint32_t> pending{m_entries.front().child};
    visited.front() = true;
    while (!pending.empty()) {
        const std::uint32_t index = pending.back();
        pending.pop_back();
        if (index == NoStream || index >= m_entries.size() || visited[index]) {
            continue;
        }
        visited[index] = true;
        const Entry& entry = m_entries[index];
        if (entry.type == StreamObject) {
            m_rootStreams.push_back(index);
        }
        pending.push_back(entry.right);
        pending.push_back(entry.left);
    }
    std::sort(m_rootStreams.begin(), m_rootStreams.end());

    const std::uint32_t miniFatStart = le32(header, 60);
    if (miniFatStart != EndOfChain && miniFatStart != FreeSector) {
        for (const std::uint32_t id : chain(miniFatStart, m_fat, m_sectorCount)) {
            const std::span<const std::byte> data = structureSector(id, "an allocation sector");
            for (std::size_t at = 0; at + 4 <= data.size(); at += 4) {
                m_miniFat.push_back(le32(data, at));
            }
        }
    }
    const Entry& root = m_entries.front();
    if (root.size > 0 && root.start != EndOfChain) {
        // The mini stream's stated size may exceed its chain; only sectors present are used.
        const std::uint64_t chainBytes =
            std::uint64_t{chain(root.start, m_fat, m_sectorCount).size()} * m_sectorSize;
        m_miniStream = readChain(root.start, std::min(root.size, chainBytes));
    }
}

const CompoundFile::Entry* CompoundFile::findStream(std::string_view name) const
{
    for (const std::uint32_t index : m_rootStreams) {
        if (sameName(m_entries[index].name, name)) {
            return &m_entries[index];
        }
    }
    return nullptr;
}

bool CompoundFile::hasStream(std::string_view name) const
{
    return findStream(name) != nullptr;
}

std::vector<std::byte> CompoundFile::readStream(std::string_view name) const
{
    const Entry* entry = findStream(name);
    if (!entry) {
        damaged("the stream " + quotedText(name) + " is missing");
    }
    if (entry->size < m_miniCutoff) {
        return readMiniChain(entry->start, entry->size);
    }
    return readChain(entry->start, entry->size);
}

std::vector<std::byte> CompoundFile::takeStream(std::string_view name) &&
{
    const Entry* entry = findStream(name);
    if (!entry || entry->size < m_miniCutoff) {
        return readStream(name);
    }
    const std::uint64_t needed = (entry->size + m_sectorSize - 1) / m_sectorSize;
    if (needed > m_sectorCount) {
        return readStream(name); // which says what is wrong
    }
    const std::vector<std::uint32_t> ids =
        chain(entry->start, m_fat, static_cast<std::size_t>(needed));
    // Sectors in ascending order move down to their place in the stream, each over bytes
    // already moved or skipped; the last one must be whole up to the stream's end.
    bool ascending = ids.size() == needed;
    for (std::size_t i = 1; ascending && i < ids.size(); ++i) {
        ascending = ids[i] > ids[i - 1];
    }
    if (!ascending
        || ((std::size_t{ids.back()} + 1) << m_sectorShift)
                + (entry->size - (needed - 1) * m_sectorSize)
            > m_image.size()) {
        return readStream(name);
    }
    std::vector<std::byte> stream = std::move(m_image);
    std::size_t written = 0;
    for (std::size_t i = 0; i < ids.size();) {
        std::size_t run = 1;
        while (i + run < ids.size() && ids[i + run] == ids[i] + run) {
            ++run;
        }
        const std::size_t from = (std::size_t{ids[i]} + 1) << m_sectorShift;
        const std::size_t length = std::min<std::size_t>(
            run * m_sectorSize, static_cast<std::size_t>(entry->size) - written);
        std::memmove(stream.data() + written, stream.data() + from, length);
        written += length;
        i += run;
    }
    stream.resize(written);
    return stream;
}

std::vector<std::string> CompoundFile::streamNames() const
{
    std::vector<std::string> names;
    for (const std::uint32_t index : m_rootStreams) {
        names.push_back(m_entries[index].name);
    }
    return names;
}

} // namespace sheetfray::engine::readers
