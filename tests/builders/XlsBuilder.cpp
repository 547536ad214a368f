#include "tests/builders/XlsBuilder.h"

#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <initializer_list>
#include <span>
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

XlsBuilder& XlsBuilder::encrypt(const Encryption& encryption)
{
    m_encryption = encryption;
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
    const bool encrypted = m_encryption.method != Encryption::Method::None;
    if (encrypted) {
        appendRecord(stream, 0x002F, filePassBody(m_encryption, m_biff8));
    }
    const std::size_t afterFilePass = stream.size();
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
    if (encrypted) {
        encryptRecords(stream, afterFilePass, m_encryption);
    }
    return stream;
}

Bytes XlsBuilder::build() const
{
    return compoundFile({{m_biff8 ? "Workbook" : "Book", workbookStream()}});
}

namespace {

using Octets = std::vector<std::uint8_t>;

Octets md5Of(std::initializer_list<std::span<const std::uint8_t>> parts)
{
    md5_ctx context{};
    md5_init(&context);
    for (const auto part : parts) {
        md5_update(&context, part.size(), part.data());
    }
    Octets digest(MD5_DIGEST_SIZE);
    md5_digest(&context, digest.size(), digest.data());
    return digest;
}

Octets sha1Of(std::initializer_list<std::span<const std::uint8_t>> parts)
{
    sha1_ctx context{};
    sha1_init(&context);
    for (const auto part : parts) {
        sha1_update(&context, part.size(), part.data());
    }
    Octets digest(SHA1_DIGEST_SIZE);
    sha1_digest(&context, digest.size(), digest.data());
    return digest;
}

Octets utf16(const std::string& password)
{
    Octets out;
    for (const char16_t unit : toUtf16(password)) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return out;
}

std::array<std::uint8_t, 4> littleEndian(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value),
            static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 24)};
}

const Octets& testSalt()
{
    static const Octets salt = {0x5A,
                                0x11,
                                0x7C,
                                0x03,
                                0x9E,
                                0x42,
                                0xB8,
                                0x66,
                                0x21,
                                0xD4,
                                0x0F,
                                0x93,
                                0x57,
                                0xEA,
                                0x38,
                                0xC1};
    return salt;
}

// The RC4 key of a 1024-byte block of the stream.
std::function<Octets(std::uint32_t)> rc4Keys(const Encryption& e)
{
    if (e.method == Encryption::Method::Rc4) {
        Octets h0 = md5Of({utf16(e.password)});
        Octets buffer;
        for (int i = 0; i < 16; ++i) {
            buffer.insert(buffer.end(), h0.begin(), h0.begin() + 5);
            buffer.insert(buffer.end(), testSalt().begin(), testSalt().end());
        }
        Octets h1 = md5Of({buffer});
        h1.resize(5);
        return [h1](std::uint32_t block) { return md5Of({h1, littleEndian(block)}); };
    }
    const Octets h0 = sha1Of({testSalt(), utf16(e.password)});
    return [h0, bits = e.keyBits](std::uint32_t block) {
        Octets key = sha1Of({h0, littleEndian(block)});
        key.resize(bits / 8);
        if (bits == 40) {
            key.resize(16, 0);
        }
        return key;
    };
}

// RC4 over bytes at a stream position, the key stream started afresh at each 1024-byte block.
void rc4At(const std::function<Octets(std::uint32_t)>& keys,
           std::uint8_t* data,
           std::size_t count,
           std::size_t position)
{
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = position + i;
        if (i == 0 || at % 1024 == 0) {
            // Simple and slow: re-key and skip to the byte's place in its block.
            arcfour_ctx context{};
            const Octets key = keys(static_cast<std::uint32_t>(at / 1024));
            arcfour_set_key(&context, key.size(), key.data());
            std::vector<std::uint8_t> skip(at % 1024);
            arcfour_crypt(&context, skip.size(), skip.data(), skip.data());
            const std::size_t run = std::min(count - i, 1024 - at % 1024);
            arcfour_crypt(&context, run, data + i, data + i);
            i += run - 1;
        }
    }
}

constexpr std::uint16_t DefaultXorKey = 0xB359; // of "VelvetSweatshop"
constexpr std::uint16_t DefaultXorVerifier = 0x9A0A;

std::array<std::uint8_t, 16> xorMask()
{
    const std::string password = "VelvetSweatshop";
    const std::array<std::uint8_t, 15> pad = {
        0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80, 0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};
    std::array<std::uint8_t, 16> mask{};
    for (std::size_t i = 0; i < mask.size(); ++i) {
        const auto c =
            i < password.size() ? static_cast<std::uint8_t>(password[i]) : pad[i - password.size()];
        const auto key =
            static_cast<std::uint8_t>(i % 2 != 0 ? DefaultXorKey >> 8 : DefaultXorKey & 0xFF);
        const auto mixed = static_cast<std::uint8_t>(c ^ key);
        mask[i] = static_cast<std::uint8_t>((mixed >> 1) | (mixed << 7));
    }
    return mask;
}

bool staysPlain(unsigned type)
{
    return type == 0x0809 || type == 0x0009 || type == 0x0209 || type == 0x0409 || type == 0x002F
        || type == 0x00E1 || type == 0x0138 || type == 0x0194 || type == 0x0195 || type == 0x0196;
}

Octets rc4Check(const Encryption& e, std::size_t hashSize)
{
    // A verifier and its hash, encrypted with the key of block 0.
    Octets verifier(16);
    for (std::size_t i = 0; i < verifier.size(); ++i) {
        verifier[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    Octets check = verifier;
    const Octets hash = hashSize == 16 ? md5Of({verifier}) : sha1Of({verifier});
    check.insert(check.end(), hash.begin(), hash.end());
    rc4At(rc4Keys(e), check.data(), check.size(), 0);
    return check;
}

} // namespace

Bytes filePassBody(const Encryption& encryption, bool biff8)
{
    RecordData data;
    switch (encryption.method) {
    case Encryption::Method::None:
        break;
    case Encryption::Method::Xor:
        if (biff8) {
            data.u16(0);
        }
        data.u16(DefaultXorKey).u16(DefaultXorVerifier);
        break;
    case Encryption::Method::Rc4: {
        data.u16(1).u16(1).u16(1);
        for (const std::uint8_t b : testSalt()) {
            data.u8(b);
        }
        for (const std::uint8_t b : rc4Check(encryption, 16)) {
            data.u8(b);
        }
        break;
    }
    case Encryption::Method::CryptoApiRc4: {
        const std::string provider = "Microsoft Base Cryptographic Provider v1.0";
        RecordData header;
        header.u32(0x04)
            .u32(0)
            .u32(0x6801)
            .u32(0x8004)
            .u32(encryption.keyBits)
            .u32(1)
            .u32(0)
            .u32(0);
        for (const char c : provider) {
            header.u16(static_cast<unsigned char>(c));
        }
        header.u16(0);
        data.u16(1).u16(4).u16(2).u32(0x04).u32(static_cast<std::uint32_t>(header.data().size()));
        data.bytes(header.data());
        data.u32(16);
        for (const std::uint8_t b : testSalt()) {
            data.u8(b);
        }
        const Octets check = rc4Check(encryption, 20);
        for (std::size_t i = 0; i < 16; ++i) {
            data.u8(check[i]);
        }
        data.u32(20);
        for (std::size_t i = 16; i < check.size(); ++i) {
            data.u8(check[i]);
        }
        break;
    }
    }
    return data.data();
}

void encryptRecords(Bytes& stream, std::size_t from, const Encryption& encryption)
{
    const bool isXor = encryption.method == Encryption::Method::Xor;
    const auto mask = xorMask();
    const auto keys = isXor ? nullptr : rc4Keys(encryption);
    std::size_t at = from;
    while (at + 4 <= stream.size()) {
        const unsigned type = std::to_integer<unsigned>(stream[at])
            | (std::to_integer<unsigned>(stream[at + 1]) << 8);
        const std::size_t length = std::to_integer<std::size_t>(stream[at + 2])
            | (std::to_integer<std::size_t>(stream[at + 3]) << 8);
        const std::size_t data = at + 4;
        std::size_t plain = staysPlain(type) ? length : 0;
        if (type == 0x0085) {
            plain = std::min<std::size_t>(4, length);
        }
        for (std::size_t i = plain; i < length && isXor; ++i) {
            const auto b = std::to_integer<std::uint8_t>(stream[data + i]);
            const auto rotated = static_cast<std::uint8_t>((b << 5) | (b >> 3));
            stream[data + i] = std::byte(rotated ^ mask[(data + i + length) % 16]);
        }
        if (!isXor && plain < length) {
            rc4At(keys,
                  reinterpret_cast<std::uint8_t*>(stream.data() + data + plain),
                  length - plain,
                  data + plain);
        }
        at = data + length;
    }
}

OldBiffBuilder::OldBiffBuilder(OldBiff version, bool workbook)
    : m_version(version)
    , m_workbook(workbook)
{
    if (!workbook) {
        m_sheets.push_back({"", SheetKind::Worksheet, {}});
    }
}

std::uint16_t OldBiffBuilder::addFormat(const std::string& code)
{
    m_formats.push_back(code);
    return static_cast<std::uint16_t>(m_formats.size() - 1);
}

std::uint16_t OldBiffBuilder::addXf(std::uint16_t formatId)
{
    m_xfFormats.push_back(formatId);
    return static_cast<std::uint16_t>(m_xfFormats.size() - 1);
}

OldBiffBuilder& OldBiffBuilder::setDate1904(bool on)
{
    m_date1904 = on;
    return *this;
}

OldBiffBuilder& OldBiffBuilder::setCodePage(std::uint16_t codePage)
{
    m_codePage = codePage;
    return *this;
}

OldBiffBuilder& OldBiffBuilder::encryptXor(bool defaultPassword)
{
    m_encrypted = true;
    m_defaultPassword = defaultPassword;
    return *this;
}

std::size_t OldBiffBuilder::addSheet(const std::string& name, SheetKind kind)
{
    m_sheets.push_back({name, kind, {}});
    return m_sheets.size() - 1;
}

OldBiffBuilder& OldBiffBuilder::addRecord(std::size_t sheet, std::uint16_t type, const Bytes& data)
{
    m_sheets.at(sheet).records.emplace_back(type, data);
    return *this;
}

Bytes OldBiffBuilder::cell(std::size_t sheet, unsigned row, unsigned col, unsigned xf)
{
    RecordData data;
    data.u16(row).u16(col);
    if (m_version != OldBiff::V2) {
        return data.u16(xf).data();
    }
    if (xf >= 63) {
        addRecord(sheet, 0x0044, RecordData().u16(xf).data());
    }
    const unsigned format = xf < m_xfFormats.size() ? m_xfFormats[xf] : xf;
    return data.u8(std::min(xf, 63u)).u8(format & 0x3F).u8(0).data();
}

OldBiffBuilder&
OldBiffBuilder::number(std::size_t sheet, unsigned row, unsigned col, double value, unsigned xf)
{
    const Bytes head = cell(sheet, row, col, xf);
    return addRecord(sheet,
                     m_version == OldBiff::V2 ? 0x0003 : 0x0203,
                     RecordData().bytes(head).f64(value).data());
}

OldBiffBuilder& OldBiffBuilder::label(
    std::size_t sheet, unsigned row, unsigned col, const std::string& raw, unsigned xf)
{
    RecordData data;
    data.bytes(cell(sheet, row, col, xf));
    data.byteString(raw, m_version == OldBiff::V2);
    return addRecord(sheet, m_version == OldBiff::V2 ? 0x0004 : 0x0204, data.data());
}

Bytes OldBiffBuilder::bof(unsigned substream) const
{
    RecordData data;
    switch (m_version) {
    case OldBiff::V2:
        data.u16(0x0200).u16(substream);
        break;
    case OldBiff::V3:
        data.u16(0x0300).u16(substream).u16(0);
        break;
    case OldBiff::V4:
        data.u16(0x0400).u16(substream).u16(0);
        break;
    }
    return data.data();
}

Bytes OldBiffBuilder::build() const
{
    const std::uint16_t bofType = m_version == OldBiff::V2 ? 0x0009
        : m_version == OldBiff::V3                         ? 0x0209
                                                           : 0x0409;
    Bytes stream;
    appendRecord(stream, bofType, bof(m_workbook ? 0x0100 : 0x0010));
    std::size_t afterFilePass = 0;
    if (m_encrypted) {
        appendRecord(stream,
                     0x002F,
                     RecordData()
                         .u16(DefaultXorKey)
                         .u16(m_defaultPassword ? DefaultXorVerifier : DefaultXorVerifier ^ 1u)
                         .data());
        afterFilePass = stream.size();
    }
    appendRecord(stream, 0x0042, RecordData().u16(m_codePage).data());
    appendRecord(stream, 0x0022, RecordData().u16(m_date1904 ? 1 : 0).data());
    // Formats and XF records: those of the worksheet file, or of each sheet of a workbook.
    const auto appendFormats = [&](Bytes& out) {
        for (const std::string& code : m_formats) {
            RecordData data;
            if (m_version == OldBiff::V4) {
                data.u16(0);
            }
            data.byteString(code, true);
            appendRecord(out, m_version == OldBiff::V4 ? 0x041E : 0x001E, data.data());
        }
        for (const std::uint16_t format : m_xfFormats) {
            if (m_version == OldBiff::V2) {
                appendRecord(out, 0x0043, RecordData().u8(0).u8(0).u8(format & 0x3F).u8(0).data());
            } else {
                Bytes data = RecordData().u8(0).u8(format).data();
                data.resize(12, std::byte{0});
                appendRecord(out, m_version == OldBiff::V3 ? 0x0243 : 0x0443, data);
            }
        }
    };
    const auto appendCells = [&](Bytes& out, const Sheet& sheet) {
        for (const auto& [type, data] : sheet.records) {
            appendRecord(out, type, data);
        }
        appendRecord(out, 0x000A, {});
    };
    if (!m_workbook) {
        appendFormats(stream);
        appendCells(stream, m_sheets.front());
    } else {
        // Each sheet inside the globals: SHEETHDR (the size of the sheet's records, its name),
        // then the sheet's BOF to EOF.
        for (const Sheet& sheet : m_sheets) {
            Bytes substream;
            appendRecord(substream,
                         bofType,
                         bof(sheet.kind == SheetKind::Chart            ? 0x0020
                                 : sheet.kind == SheetKind::MacroSheet ? 0x0040
                                                                       : 0x0010));
            appendFormats(substream);
            appendCells(substream, sheet);
            appendRecord(stream,
                         0x008F,
                         RecordData()
                             .u32(static_cast<std::uint32_t>(substream.size()))
                             .byteString(sheet.name, true)
                             .data());
            stream.insert(stream.end(), substream.begin(), substream.end());
        }
        appendRecord(stream, 0x000A, {});
    }
    if (m_encrypted) {
        encryptRecords(stream, afterFilePass, {Encryption::Method::Xor});
    }
    return stream;
}

} // namespace sheetfray::testing
