#include "tests/builders/XlsBuilder.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace sheetfray::testing {

namespace {

constexpr std::uint32_t EndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t FreeSector = 0xFFFFFFFF;
constexpr std::uint32_t FatSector = 0xFFFFFFFD;
constexpr std::uint32_t NoStream = 0xFFFFFFFF;
constexpr std::size_t SectorSize = 512;
constexpr std::size_t MiniSectorSize = 64;
constexpr std::size_t MiniCutoff = 4096;

void put16(Bytes& out, std::size_t at, unsigned value)
{
    out[at] = std::byte(value & 0xFF);
    out[at + 1] = std::byte((value >> 8) & 0xFF);
}

void put32(Bytes& out, std::size_t at, std::uint32_t value)
{
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}

std::size_t sectorsFor(std::size_t bytes, std::size_t unit)
{
    return (bytes + unit - 1) / unit;
}

bool fitsLatin1(const std::u16string& units)
{
    return std::all_of(units.begin(), units.end(), [](char16_t u) { return u < 0x100; });
}

} // namespace

std::u16string toUtf16(const std::string& utf8)
{
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char32_t ch = c;
        std::size_t length = 1;
        if (c >= 0xF0) {
            ch = c & 0x07u;
            length = 4;
        } else if (c >= 0xE0) {
            ch = c & 0x0Fu;
            length = 3;
        } else if (c >= 0xC0) {
            ch = c & 0x1Fu;
            length = 2;
        }
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            ch = (ch << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        i += length;
        if (ch >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((ch - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((ch - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(ch);
        }
    }
    return out;
}

RecordData& RecordData::u8(unsigned value)
{
    m_data.push_back(std::byte(value & 0xFF));
    return *this;
}

RecordData& RecordData::u16(unsigned value)
{
    return u8(value).u8(value >> 8);
}

RecordData& RecordData::u32(std::uint32_t value)
{
    return u16(value & 0xFFFF).u16(value >> 16);
}

RecordData& RecordData::f64(double value)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    return u32(static_cast<std::uint32_t>(bits)).u32(static_cast<std::uint32_t>(bits >> 32));
}

RecordData& RecordData::bytes(const Bytes& more)
{
    m_data.insert(m_data.end(), more.begin(), more.end());
    return *this;
}

RecordData& RecordData::unicode(const std::string& utf8, bool shortCount)
{
    const std::u16string units = toUtf16(utf8);
    shortCount ? u8(static_cast<unsigned>(units.size())) : u16(static_cast<unsigned>(units.size()));
    const bool wide = !fitsLatin1(units);
    u8(wide ? 1 : 0);
    for (const char16_t unit : units) {
        wide ? u16(unit) : u8(unit);
    }
    return *this;
}

RecordData& RecordData::byteString(const std::string& raw, bool shortCount)
{
    shortCount ? u8(static_cast<unsigned>(raw.size())) : u16(static_cast<unsigned>(raw.size()));
    for (const char c : raw) {
        u8(static_cast<unsigned char>(c));
    }
    return *this;
}

void appendRecord(Bytes& stream, std::uint16_t type, const Bytes& data)
{
    RecordData header;
    header.u16(type).u16(static_cast<unsigned>(data.size()));
    stream.insert(stream.end(), header.data().begin(), header.data().end());
    stream.insert(stream.end(), data.begin(), data.end());
}

Bytes compoundFile(const std::vector<std::pair<std::string, Bytes>>& streams)
{
    // Small streams are packed into the mini stream, large ones get their own sectors.
    Bytes mini;
    std::vector<std::uint32_t> miniFat;
    std::vector<std::uint32_t> starts(streams.size(), EndOfChain);
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const Bytes& data = streams[i].second;
        if (data.size() >= MiniCutoff || data.empty()) {
            continue;
        }
        const auto first = static_cast<std::uint32_t>(miniFat.size());
        starts[i] = first;
        const std::size_t count = sectorsFor(data.size(), MiniSectorSize);
        for (std::size_t k = 0; k < count; ++k) {
            miniFat.push_back(k + 1 < count ? first + static_cast<std::uint32_t>(k) + 1
                                            : EndOfChain);
        }
        mini.insert(mini.end(), data.begin(), data.end());
        mini.resize(miniFat.size() * MiniSectorSize);
    }

    const std::size_t entries = streams.size() + 1;
    const std::size_t dirSectors = sectorsFor(entries * 128, SectorSize);
    const std::size_t miniFatSectors = sectorsFor(miniFat.size() * 4, SectorSize);
    const std::size_t miniSectors = sectorsFor(mini.size(), SectorSize);
    std::size_t bigSectors = 0;
    for (const auto& stream : streams) {
        if (stream.second.size() >= MiniCutoff) {
            bigSectors += sectorsFor(stream.second.size(), SectorSize);
        }
    }
    const std::size_t dataSectors = dirSectors + miniFatSectors + miniSectors + bigSectors;
    std::size_t fatSectors = 1;
    while (fatSectors * (SectorSize / 4) < fatSectors + dataSectors) {
        ++fatSectors;
    }
    if (fatSectors > 109) {
        throw std::runtime_error("the test compound file is too large");
    }

    std::vector<std::uint32_t> fat(fatSectors * (SectorSize / 4), FreeSector);
    std::uint32_t next = 0;
    for (std::size_t i = 0; i < fatSectors; ++i) {
        fat[next++] = FatSector;
    }
    const auto allocate = [&](std::size_t count) {
        if (count == 0) {
            return EndOfChain;
        }
        const std::uint32_t first = next;
        for (std::size_t k = 0; k < count; ++k, ++next) {
            fat[next] = k + 1 < count ? next + 1 : EndOfChain;
        }
        return first;
    };
    const std::uint32_t dirStart = allocate(dirSectors);
    const std::uint32_t miniFatStart = allocate(miniFatSectors);
    const std::uint32_t miniStart = allocate(miniSectors);
    for (std::size_t i = 0; i < streams.size(); ++i) {
        if (streams[i].second.size() >= MiniCutoff) {
            starts[i] = allocate(sectorsFor(streams[i].second.size(), SectorSize));
        }
    }

    Bytes image((1 + next) * SectorSize, std::byte{0});
    const unsigned char signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (std::size_t i = 0; i < 8; ++i) {
        image[i] = std::byte(signature[i]);
    }
    put16(image, 24, 0x3E);
    put16(image, 26, 3);
    put16(image, 28, 0xFFFE);
    put16(image, 30, 9);
    put16(image, 32, 6);
    put32(image, 44, static_cast<std::uint32_t>(fatSectors));
    put32(image, 48, dirStart);
    put32(image, 56, MiniCutoff);
    put32(image, 60, miniFatStart);
    put32(image, 64, static_cast<std::uint32_t>(miniFatSectors));
    put32(image, 68, EndOfChain);
    for (std::size_t i = 0; i < 109; ++i) {
        put32(image, 76 + 4 * i, i < fatSectors ? static_cast<std::uint32_t>(i) : FreeSector);
    }
    const auto sectorOffset = [](std::uint32_t id) { return (std::size_t{id} + 1) * SectorSize; };
    for (std::size_t i = 0; i < fat.size(); ++i) {
        put32(image, SectorSize + 4 * i, fat[i]);
    }
    for (std::size_t i = 0; i < miniFat.size(); ++i) {
        put32(image, sectorOffset(miniFatStart) + 4 * i, miniFat[i]);
    }
    std::copy(mini.begin(),
              mini.end(),
              image.begin() + static_cast<std::ptrdiff_t>(sectorOffset(miniStart)));
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const Bytes& data = streams[i].second;
        if (data.size() >= MiniCutoff) {
            std::copy(data.begin(),
                      data.end(),
                      image.begin() + static_cast<std::ptrdiff_t>(sectorOffset(starts[i])));
        }
    }
    // Directory: the root, then the streams chained through their right siblings.
    const auto writeEntry = [&](std::size_t index,
                                const std::string& name,
                                std::uint8_t type,
                                std::uint32_t right,
                                std::uint32_t child,
                                std::uint32_t start,
                                std::size_t size) {
        const std::size_t at = sectorOffset(dirStart) + index * 128;
        const std::u16string units = toUtf16(name);
        for (std::size_t k = 0; k < units.size() && k < 31; ++k) {
            put16(image, at + 2 * k, units[k]);
        }
        put16(image,
              at + 64,
              static_cast<unsigned>((std::min<std::size_t>(units.size(), 31) + 1) * 2));
        image[at + 66] = std::byte(type);
        image[at + 67] = std::byte(1);
        put32(image, at + 68, NoStream);
        put32(image, at + 72, right);
        put32(image, at + 76, child);
        put32(image, at + 116, start);
        put32(image, at + 120, static_cast<std::uint32_t>(size));
    };
    writeEntry(
        0, "Root Entry", 5, NoStream, streams.empty() ? NoStream : 1, miniStart, mini.size());
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const auto right = i + 1 < streams.size() ? static_cast<std::uint32_t>(i + 2) : NoStream;
        writeEntry(
            i + 1, streams[i].first, 2, right, NoStream, starts[i], streams[i].second.size());
    }
    for (std::size_t index = entries; index < dirSectors * 4; ++index) {
        const std::size_t at = sectorOffset(dirStart) + index * 128;
        put32(image, at + 68, NoStream);
        put32(image, at + 72, NoStream);
        put32(image, at + 76, NoStream);
    }
    return image;
}

std::size_t fatEntryOffset(const Bytes& image, std::uint32_t sector)
{
    const std::size_t difatAt = 76 + 4 * (sector / (SectorSize / 4));
    std::uint32_t fatSector = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        fatSector |= std::to_integer<std::uint32_t>(image[difatAt + k]) << (8 * k);
    }
    return (std::size_t{fatSector} + 1) * SectorSize + 4 * (sector % (SectorSize / 4));
}

XlsBuilder::XlsBuilder(bool biff8)
    : m_biff8(biff8)
    , m_codePage(biff8 ? 1200 : 1252)
{
    m_xfFormats.push_back(0);
}

std::uint16_t XlsBuilder::addFormat(const std::string& code)
{
    const auto id = static_cast<std::uint16_t>(164 + m_formats.size());
    m_formats.emplace_back(id, code);
    return addBuiltinFormat(id);
}

std::uint16_t XlsBuilder::addBuiltinFormat(std::uint16_t id)
{
    m_xfFormats.push_back(id);
    return static_cast<std::uint16_t>(m_xfFormats.size() - 1);
}

std::uint32_t XlsBuilder::addSharedString(const std::string& text)
{
    m_strings.push_back(text);
    return static_cast<std::uint32_t>(m_strings.size() - 1);
}

XlsBuilder& XlsBuilder::setSstRecordLimit(std::size_t limit)
{
    m_sstLimit = limit;
    return *this;
}

XlsBuilder& XlsBuilder::setDate1904(bool on)
{
    m_date1904 = on;
    return *this;
}

XlsBuilder& XlsBuilder::setCodePage(std::uint16_t codePage)
{
    m_codePage = codePage;
    return *this;
}

XlsBuilder& XlsBuilder::addGlobalRecord(std::uint16_t type, const Bytes& data)
{
    m_globalRecords.emplace_back(type, data);
    return *this;
}

std::size_t XlsBuilder::addSheet(const std::string& name, SheetKind kind, std::uint8_t hiddenState)
{
    m_sheets.push_back({name, kind, hiddenState, {}});
    return m_sheets.size() - 1;
}

XlsBuilder& XlsBuilder::addRecord(std::size_t sheet, std::uint16_t type, const Bytes& data)
{
    m_sheets.at(sheet).records.emplace_back(type, data);
    return *this;
}

XlsBuilder&
XlsBuilder::number(std::size_t sheet, unsigned row, unsigned col, double value, unsigned xf)
{
    return addRecord(sheet, 0x0203, RecordData().u16(row).u16(col).u16(xf).f64(value).data());
}

XlsBuilder&
XlsBuilder::label(std::size_t sheet, unsigned row, unsigned col, const std::string& text)
{
    RecordData data;
    data.u16(row).u16(col).u16(0);
    m_biff8 ? data.unicode(text) : data.byteString(text);
    return addRecord(sheet, 0x0204, data.data());
}

XlsBuilder& XlsBuilder::labelSst(std::size_t sheet, unsigned row, unsigned col, std::uint32_t index)
{
    return addRecord(sheet, 0x00FD, RecordData().u16(row).u16(col).u16(0).u32(index).data());
}

Bytes XlsBuilder::sstRecords() const
{
    // The SST and its CONTINUE records, split as the application splits them: a string's
    // header never straddles records; its characters may, and the next record then starts
    // with a fresh option byte.
    std::vector<Bytes> records(1);
    RecordData head;
    head.u32(static_cast<std::uint32_t>(m_strings.size()))
        .u32(static_cast<std::uint32_t>(m_strings.size()));
    records.back() = head.data();
    const auto room = [&] { return m_sstLimit - records.back().size(); };
    for (const std::string& text : m_strings) {
        const std::u16string units = toUtf16(text);
        const bool wide = !fitsLatin1(units);
        const std::size_t unitSize = wide ? 2 : 1;
        if (room() < 3 + (units.empty() ? 0 : unitSize)) {
            records.emplace_back();
        }
        RecordData header;
        header.u16(static_cast<unsigned>(units.size())).u8(wide ? 1 : 0);
        records.back().insert(records.back().end(), header.data().begin(), header.data().end());
        for (const char16_t unit : units) {
            if (room() < unitSize) {
                records.emplace_back();
                records.back().push_back(std::byte(wide ? 1 : 0));
            }
            RecordData ch;
            wide ? ch.u16(unit) : ch.u8(unit);
            records.back().insert(records.back().end(), ch.data().begin(), ch.data().end());
        }
    }
    Bytes out;
    for (std::size_t i = 0; i < records.size(); ++i) {
        appendRecord(out, i == 0 ? 0x00FC : 0x003C, records[i]);
    }
    return out;
}

Bytes XlsBuilder::workbookStream() const
{
    const auto bof = [&](unsigned substream) {
        RecordData data;
        data.u16(m_biff8 ? 0x0600 : 0x0500).u16(substream).u16(0x0DBB).u16(0x07CC);
        if (m_biff8) {
            data.u32(0).u32(0x0006);
        }
        return data.data();
    };
    Bytes stream;
    appendRecord(stream, 0x0809, bof(0x0005));
    for (const auto& [type, data] : m_globalRecords) {
        appendRecord(stream, type, data);
    }
    appendRecord(stream, 0x0042, RecordData().u16(m_codePage).data());
    appendRecord(stream, 0x0022, RecordData().u16(m_date1904 ? 1 : 0).data());
    for (const auto& [id, code] : m_formats) {
        RecordData data;
        data.u16(id);
        m_biff8 ? data.unicode(code) : data.byteString(code, true);
        appendRecord(stream, 0x041E, data.data());
    }
    for (const std::uint16_t id : m_xfFormats) {
        Bytes data = RecordData().u16(0).u16(id).data();
        data.resize(m_biff8 ? 20 : 16, std::byte{0});
        appendRecord(stream, 0x00E0, data);
    }
    std::vector<std::size_t> positionFields;
    for (const SheetEntry& sheet : m_sheets) {
        RecordData data;
        data.u32(0).u8(sheet.hiddenState).u8(static_cast<unsigned>(sheet.kind));
        m_biff8 ? data.unicode(sheet.name, true) : data.byteString(sheet.name, true);
        positionFields.push_back(stream.size() + 4);
        appendRecord(stream, 0x0085, data.data());
    }
    if (m_biff8 && !m_strings.empty()) {
        const Bytes sst = sstRecords();
        stream.insert(stream.end(), sst.begin(), sst.end());
    }
    appendRecord(stream, 0x000A, {});
    for (std::size_t i = 0; i < m_sheets.size(); ++i) {
        put32(stream, positionFields[i], static_cast<std::uint32_t>(stream.size()));
        const SheetEntry& sheet = m_sheets[i];
        const unsigned substream = sheet.kind == SheetKind::Chart ? 0x0020
            : sheet.kind == SheetKind::MacroSheet                 ? 0x0040
                                                                  : 0x0010;
        appendRecord(stream, 0x0809, bof(substream));
        for (const auto& [type, data] : sheet.records) {
            appendRecord(stream, type, data);
        }
        appendRecord(stream, 0x000A, {});
    }
    return stream;
}

Bytes XlsBuilder::build() const
{
    return compoundFile({{m_biff8 ? "Workbook" : "Book", workbookStream()}});
}

} // namespace sheetfray::testing
