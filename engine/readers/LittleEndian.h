// Little-endian integers and doubles read from raw bytes; callers check the bounds first.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace sheetfray::engine::readers {

[[nodiscard]] inline std::uint8_t le8(std::span<const std::byte> bytes, std::size_t at)
{
    return std::to_integer<std::uint8_t>(bytes[at]);
}

[[nodiscard]] inline std::uint16_t le16(std::span<const std::byte> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(le8(bytes, at) | (le8(bytes, at + 1) << 8));
}

[[nodiscard]] inline std::uint32_t le32(std::span<const std::byte> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(le16(bytes, at))
        | (static_cast<std::uint32_t>(le16(bytes, at + 2)) << 16);
}

[[nodiscard]] inline std::uint64_t le64(std::span<const std::byte> bytes, std::size_t at)
{
    return static_cast<std::uint64_t>(le32(bytes, at))
        | (static_cast<std::uint64_t>(le32(bytes, at + 4)) << 32);
}

[[nodiscard]] inline double leDouble(std::span<const std::byte> bytes, std::size_t at)
{
    return std::bit_cast<double>(le64(bytes, at));
}

} // namespace sheetfray::engine::readers
