// Reading a database file and checking its CRC-32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace nfkit {

// The largest database file read; a larger one is refused as out of range.
inline constexpr std::size_t kMaxDatabaseFileSize = std::size_t(1) << 30;

enum class FileReadResult { Ok, CannotOpen, TooLarge, ReadError };

// Reads the whole file at PATH into BYTES.
FileReadResult ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);

// The standard reflected CRC-32 (zlib's) of BYTES from OFFSET to the end,
// computed in 256 KB steps. OFFSET past the end gives the CRC of nothing.
std::uint32_t Crc32From(std::span<const std::uint8_t> bytes, std::size_t offset);

// Little-endian reads from a byte span; the caller has checked the bounds.
inline std::uint16_t ReadLe16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t ReadLe32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void WriteLe16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void WriteLe32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

}  // namespace nfkit
