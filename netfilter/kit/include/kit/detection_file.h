// The exploit detection file: a 44-byte header, then 80-byte records (the
// record region, optionally enciphered with key 0), all little-endian.
//
//   0 magic 0xFFEE8801 | 20 flags (0x100 check CRC, 0x4 enciphered)
//  24 record count (<= 10000) | 28 record size (1..1000; records step 80)
//  32 region offset (CRC start) | 36 region end | 40 CRC-32 to end of file
//
// Record: 0 id | 4 sub-id | 8 flags | 12 unit count N | 14 33 units of 16 bits.
#pragma once

#include "kit/detection_record.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace nfkit {

inline constexpr std::uint32_t kDetectionMagic = 0xFFEE8801u;
inline constexpr std::size_t kDetectionHeaderSize = 44;
inline constexpr std::size_t kDetectionRecordStep = 80;
inline constexpr std::uint32_t kDetectionMaxRecords = 10000;
inline constexpr std::uint32_t kDetectionMaxRecordSize = 1000;
inline constexpr std::uint32_t kDetectionFlagCheckCrc = 0x100;
inline constexpr std::uint32_t kDetectionFlagEnciphered = 0x4;
// Deciphering works in pieces of this many bytes.
inline constexpr std::size_t kDetectionDecipherPiece = 512;

// Load results: the number of records read, or one of these.
enum DetectionLoadError : int {
    kDetectionCannotOpen = -1,
    kDetectionBadHeader = -2,    // shorter than 44 bytes or wrong magic
    kDetectionBadCrc = -3,
    kDetectionOutOfRange = -4,   // header values outside the file or the limits
    kDetectionUnreadable = -5,   // the record region cannot be read
};

// Parses a whole file held in memory. Records that cannot be matched (unit
// count outside 2..33, a gap or skip among the first two units) are skipped;
// a partial record at the region's end is not read.
int ParseDetectionFile(std::span<const std::uint8_t> file, std::vector<DetectionRecord>& records);

// Reads PATH and parses it.
int LoadDetectionFile(const std::string& path, std::vector<DetectionRecord>& records);

}  // namespace nfkit
