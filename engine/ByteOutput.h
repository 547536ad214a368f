// Little-endian integers appended to or set in a byte string, as the file formats written
// here (compound files, BIFF records, zip archives) store them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sheetfray::engine {

inline void put8(std::string& out, unsigned value)
{
    out += static_cast<char>(value & 0xFF);
}

inline void put16(std::string& out, unsigned value)
{
    put8(out, value);
    put8(out, value >> 8);
}

inline void put32(std::string& out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

inline void put64(std::string& out, std::uint64_t value)
{
    put32(out, static_cast<std::uint32_t>(value & 0xFFFFFFFF));
    put32(out, static_cast<std::uint32_t>(value >> 32));
}

inline void set16(std::string& out, std::size_t at, unsigned value)
{
    out[at] = static_cast<char>(value & 0xFF);
    out[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

inline void set32(std::string& out, std::size_t at, std::uint32_t value)
{
    set16(out, at, value & 0xFFFF);
    set16(out, at + 2, value >> 16);
}

} // namespace sheetfray::engine
