#include "engine/ZipOutput.h"

#include "engine/ByteOutput.h"
#include "engine/CodePage.h"
#include "support/Error.h"
#include "support/Quote.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <limits>

namespace sheetfray::engine {

namespace {

constexpr std::uint32_t Limit32 = 0xFFFFFFFF;
constexpr std::uint16_t Zip64Version = 45;
constexpr std::uint16_t DeflateVersion = 20;
constexpr std::uint16_t Utf8Names = 0x0800;
constexpr std::size_t BufferSize = std::size_t{1} << 20;

std::uint32_t field32(std::uint64_t value)
{
    return value >= Limit32 ? Limit32 : static_cast<std::uint32_t>(value);
}

bool isUtf8(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        if (decodeUtf8(text, pos) == 0xFFFD && pos - start == 1) {
            return false;
        }
    }
    return true;
}

// A raw deflate stream kept per thread and reset for each entry. Resetting clears the match
// table, so small entries take a stream with a small one: a table of the usual size would cost
// a tiny file more to clear than to deflate.
class Deflater
{
public:
    Deflater(int windowBits, int memLevel)
    {
        if (deflateInit2(&m_stream,
                         Z_DEFAULT_COMPRESSION,
                         Z_DEFLATED,
                         -windowBits,
                         memLevel,
                         Z_DEFAULT_STRATEGY)
            != Z_OK) {
            throw Error("cannot start deflating: out of memory");
        }
    }

    ~Deflater() { deflateEnd(&m_stream); }

    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Appends the deflated bytes to out.
    void deflateInto(std::string_view bytes, std::string& out)
    {
        deflateReset(&m_stream);
        const std::size_t start = out.size();
        constexpr std::size_t Chunk = std::size_t{1} << 30;
        std::size_t done = 0;
        std::size_t used = start;
        out.resize(start
                   + deflateBound(&m_stream, static_cast<uLong>(std::min(bytes.size(), Chunk)))
                   + 64);
        for (;;) {
            const std::size_t piece = std::min(bytes.size() - done, Chunk);
            // zlib takes a non-const input pointer but does not write through it.
            m_stream.next_in =
                reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + done)); // NOLINT
            m_stream.avail_in = static_cast<uInt>(piece);
            done += piece;
            const int flush = done == bytes.size() ? Z_FINISH : Z_NO_FLUSH;
            int result = Z_OK;
            do {
                if (out.size() - used < 64) {
                    out.resize(out.size() * 2);
                }
                m_stream.next_out = reinterpret_cast<Bytef*>(out.data() + used);
                const std::size_t room = std::min<std::size_t>(out.size() - used, Chunk);
                m_stream.avail_out = static_cast<uInt>(room);
                result = deflate(&m_stream, flush);
                used += room - m_stream.avail_out;
            } while (result == Z_OK
                     && (m_stream.avail_in > 0 || m_stream.avail_out == 0 || flush == Z_FINISH));
            if (result == Z_STREAM_END) {
                break;
            }
            if (result != Z_OK && result != Z_BUF_ERROR) {
                throw Error("cannot deflate");
            }
        }
        out.resize(used);
    }

private:
    z_stream m_stream{};
};

// Deflates a small entry as one block of fixed codes holding literals alone. A zlib stream
// builds its code trees for every block, which costs a 100-byte row many times what its bytes
// do; matches would save a tiny entry a few bytes of the archive, whose own headers take more.
void deflateLiterals(std::string_view bytes, std::string& out)
{
    // The fixed code of each literal and of the end of block (256), bit-reversed as the stream
    // takes them, and its length.
    struct Codes
    {
        std::array<std::uint16_t, 257> code{};
        std::array<std::uint8_t, 257> length{};
    };

    static const Codes codes = [] {
        Codes table;
        const auto reversed = [](unsigned value, unsigned bits) {
            unsigned result = 0;
            for (unsigned i = 0; i < bits; ++i) {
                result = (result << 1) | ((value >> i) & 1U);
            }
            return static_cast<std::uint16_t>(result);
        };
        for (unsigned v = 0; v < 144; ++v) {
            table.code[v] = reversed(0x30 + v, 8);
            table.length[v] = 8;
        }
        for (unsigned v = 144; v < 256; ++v) {
            table.code[v] = reversed(0x190 + v - 144, 9);
            table.length[v] = 9;
        }
        table.code[256] = 0;
        table.length[256] = 7;
        return table;
    }();

    // Nine bits a byte at most, the block's three and the end's seven, and room for the
    // four bytes the bits are written out by.
    const std::size_t start = out.size();
    out.resize(start + bytes.size() + bytes.size() / 8 + 8);
    char* next = out.data() + start;
    std::uint64_t bits = 0b011; // the last block, of fixed codes
    unsigned count = 3;
    const auto put = [&](unsigned symbol) {
        bits |= std::uint64_t{codes.code[symbol]} << count;
        count += codes.length[symbol];
        if (count >= 32) {
            for (int i = 0; i < 4; ++i) {
                *next++ = static_cast<char>((bits >> (8 * i)) & 0xFF);
            }
            bits >>= 32;
            count -= 32;
        }
    };
    for (const char ch : bytes) {
        put(static_cast<unsigned char>(ch));
    }
    put(256);
    while (count > 0) {
        *next++ = static_cast<char>(bits & 0xFF);
        bits >>= 8;
        count = count > 8 ? count - 8 : 0;
    }
    out.resize(static_cast<std::size_t>(next - out.data()));
}

void deflateInto(std::string_view bytes, std::string& out)
{
    constexpr std::size_t TinyEntry = 512;
    constexpr std::size_t SmallEntry = 4096;
    if (bytes.size() <= TinyEntry) {
        deflateLiterals(bytes, out);
    } else if (bytes.size() <= SmallEntry) {
        thread_local Deflater small(12, 2);
        small.deflateInto(bytes, out);
    } else {
        thread_local Deflater large(15, 8);
        large.deflateInto(bytes, out);
    }
}

std::uint32_t crcOf(std::string_view bytes)
{
    return static_cast<std::uint32_t>(
        crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

} // namespace

ZipArchive::ZipArchive(std::string path, std::string root)
    : m_file(std::move(path))
    , m_root(std::move(root))
{
    if (!m_root.empty() && m_root.back() != '/') {
        m_root += '/';
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int year = std::clamp(local.tm_year + 1900, 1980, 2107);
    m_dosTime = static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5)
                                           | (local.tm_sec / 2));
    m_dosDate = static_cast<std::uint16_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5)
                                           | local.tm_mday);
    m_buffer.reserve(BufferSize + 4096);
}

std::string_view ZipArchive::entryName(std::string_view path) const
{
    if (path.starts_with(m_root)) {
        path.remove_prefix(m_root.size());
    }
    while (path.starts_with('/')) {
        path.remove_prefix(1);
    }
    return path;
}

bool ZipArchive::holds(const std::string& path)
{
    const std::lock_guard lock(m_mutex);
    return m_names.contains(std::string(entryName(path)));
}

std::uint64_t ZipArchive::entries()
{
    const std::lock_guard lock(m_mutex);
    return m_entries.size();
}

void ZipArchive::failWith(const std::string& reason)
{
    m_failure = reason;
    throw WriteError("cannot write " + quotedPath(m_file.path()) + ": " + reason, reason);
}

void ZipArchive::flush()
{
    try {
        m_file.append(m_buffer);
    } catch (const WriteError& e) {
        m_buffer.clear();
        failWith(e.reason());
    }
    m_buffer.clear();
}

void ZipArchive::add(const std::string& path, std::string_view bytes)
{
    Entry entry;
    entry.name = entryName(path);
    entry.size = bytes.size();
    entry.crc = crcOf(bytes);
    thread_local std::string deflated;
    deflated.clear();
    deflateInto(bytes, deflated);
    entry.compressedSize = deflated.size();
    entry.flags = isUtf8(entry.name) ? Utf8Names : 0;
    const bool zip64 = entry.size >= Limit32 || entry.compressedSize >= Limit32;

    const std::lock_guard lock(m_mutex);
    if (!m_failure.empty()) {
        failWith(m_failure);
    }
    entry.offset = m_written;
    const std::size_t before = m_buffer.size();
    put32(m_buffer, 0x04034b50);
    put16(m_buffer, zip64 ? Zip64Version : DeflateVersion);
    put16(m_buffer, entry.flags);
    put16(m_buffer, 8);
    put16(m_buffer, m_dosTime);
    put16(m_buffer, m_dosDate);
    put32(m_buffer, entry.crc);
    put32(m_buffer, zip64 ? Limit32 : static_cast<std::uint32_t>(entry.compressedSize));
    put32(m_buffer, zip64 ? Limit32 : static_cast<std::uint32_t>(entry.size));
    put16(m_buffer, static_cast<std::uint32_t>(entry.name.size()));
    put16(m_buffer, zip64 ? 20 : 0);
    m_buffer += entry.name;
    if (zip64) {
        put16(m_buffer, 1);
        put16(m_buffer, 16);
        put64(m_buffer, entry.size);
        put64(m_buffer, entry.compressedSize);
    }
    m_written += m_buffer.size() - before;
    if (m_buffer.size() + deflated.size() > BufferSize) {
        flush();
    }
    if (deflated.size() > BufferSize) {
        try {
            m_file.append(deflated);
        } catch (const WriteError& e) {
            failWith(e.reason());
        }
    } else {
        m_buffer += deflated;
    }
    m_written += deflated.size();
    m_names.insert(entry.name);
    m_entries.push_back(std::move(entry));
}

void ZipArchive::commit(const RunOutputs* outputs)
{
    const std::lock_guard lock(m_mutex);
    if (!m_failure.empty()) {
        failWith(m_failure);
    }
    const std::uint64_t directoryStart = m_written;
    for (const Entry& entry : m_entries) {
        const bool bigSizes = entry.size >= Limit32 || entry.compressedSize >= Limit32;
        const bool farOffset = entry.offset >= Limit32;
        std::string extra;
        if (bigSizes) {
            put64(extra, entry.size);
            put64(extra, entry.compressedSize);
        }
        if (farOffset) {
            put64(extra, entry.offset);
        }
        const bool zip64 = !extra.empty();
        const std::size_t before = m_buffer.size();
        put32(m_buffer, 0x02014b50);
        put16(m_buffer, (3U << 8) | Zip64Version); // made on Unix
        put16(m_buffer, zip64 ? Zip64Version : DeflateVersion);
        put16(m_buffer, entry.flags);
        put16(m_buffer, 8);
        put16(m_buffer, m_dosTime);
        put16(m_buffer, m_dosDate);
        put32(m_buffer, entry.crc);
        put32(m_buffer, bigSizes ? Limit32 : static_cast<std::uint32_t>(entry.compressedSize));
        put32(m_buffer, bigSizes ? Limit32 : static_cast<std::uint32_t>(entry.size));
        put16(m_buffer, static_cast<std::uint32_t>(entry.name.size()));
        put16(m_buffer, zip64 ? static_cast<std::uint32_t>(extra.size() + 4) : 0);
        put16(m_buffer, 0); // comment
        put16(m_buffer, 0); // disk
        put16(m_buffer, 0); // internal attributes
        put32(m_buffer, 0100644U << 16); // a regular file, rw-r--r--
        put32(m_buffer, field32(entry.offset));
        m_buffer += entry.name;
        if (zip64) {
            put16(m_buffer, 1);
            put16(m_buffer, static_cast<std::uint32_t>(extra.size()));
            m_buffer += extra;
        }
        m_written += m_buffer.size() - before;
        if (m_buffer.size() > BufferSize) {
            flush();
        }
    }
    const std::uint64_t directorySize = m_written - directoryStart;
    const std::uint64_t count = m_entries.size();
    if (count >= 0xFFFF || directoryStart >= Limit32 || directorySize >= Limit32) {
        const std::uint64_t recordStart = m_written;
        put32(m_buffer, 0x06064b50);
        put64(m_buffer, 44);
        put16(m_buffer, (3U << 8) | Zip64Version);
        put16(m_buffer, Zip64Version);
        put32(m_buffer, 0);
        put32(m_buffer, 0);
        put64(m_buffer, count);
        put64(m_buffer, count);
        put64(m_buffer, directorySize);
        put64(m_buffer, directoryStart);
        put32(m_buffer, 0x07064b50);
        put32(m_buffer, 0);
        put64(m_buffer, recordStart);
        put32(m_buffer, 1);
    }
    put32(m_buffer, 0x06054b50);
    put16(m_buffer, 0);
    put16(m_buffer, 0);
    put16(m_buffer, static_cast<std::uint32_t>(std::min<std::uint64_t>(count, 0xFFFF)));
    put16(m_buffer, static_cast<std::uint32_t>(std::min<std::uint64_t>(count, 0xFFFF)));
    put32(m_buffer, field32(directorySize));
    put32(m_buffer, field32(directoryStart));
    put16(m_buffer, 0);
    flush();
    try {
        m_file.complete(outputs);
    } catch (const WriteError& e) {
        m_failure = e.reason();
        throw;
    }
}

} // namespace sheetfray::engine
