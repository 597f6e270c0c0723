// The in-memory exploit detection record and the meaning of its flag word.
#pragma once

#include <cstdint>

namespace nfkit {

inline constexpr int kMaxPatternUnits = 33;
inline constexpr int kMinPatternUnits = 2;

// Flag word bits.
inline constexpr std::uint32_t kFlagNoCase = 0x10;       // letters match either case
inline constexpr std::uint32_t kFlagGroup = 0x20;        // group member
inline constexpr std::uint32_t kFlagOrderedGroup = 0x40; // group member, ordered group
inline constexpr std::uint32_t kFlagDisarm = 0x80;       // a hit may be overwritten
inline constexpr std::uint32_t kFlagAction1 = 0x04;
inline constexpr std::uint32_t kFlagAction2 = 0x08;
inline constexpr std::uint32_t kFlagActionSet = 0x400;
inline constexpr std::uint32_t kFlagAuxiliary = 0x800;   // counts for nothing, never reported
inline constexpr std::uint32_t kFlagProtocolMask = 0xF000;
inline constexpr std::uint32_t kFlagContentMask = 0xFFFF0000u;

// Stream classification bits (the same values as the records' classes).
inline constexpr std::uint32_t kStreamHttp = 0x00001000;
inline constexpr std::uint32_t kStreamMail = 0x00002000;
inline constexpr std::uint32_t kStreamHtml = 0x00010000;
inline constexpr std::uint32_t kStreamImage = 0x00020000;
inline constexpr std::uint32_t kStreamGzip = 0x00080000;
inline constexpr std::uint32_t kStreamGzipHtml = kStreamHttp | kStreamHtml | kStreamGzip;
// The classification that selects every record.
inline constexpr std::uint32_t kClassifyAll = 0xFFFFF000u;

inline constexpr std::uint32_t kEndOfTableId = 0xFFFFFFFFu;

// Pattern units: the type is in the high byte.
inline bool IsLiteralUnit(std::uint16_t unit) { return (unit >> 8) < 0x80; }
inline bool IsGapUnit(std::uint16_t unit) { return (unit >> 8) >= 0x80 && (unit >> 8) < 0xC0; }
inline bool IsSkipUnit(std::uint16_t unit) { return (unit >> 8) >= 0xC0; }
inline std::uint16_t UnitCount(std::uint16_t unit) { return unit & 0xFFF; }
inline std::uint8_t UnitByte(std::uint16_t unit) { return static_cast<std::uint8_t>(unit); }

inline constexpr std::uint16_t MakeLiteralUnit(std::uint8_t byte) { return byte; }
inline constexpr std::uint16_t MakeGapUnit(std::uint16_t count) { return static_cast<std::uint16_t>(0x8000 | (count & 0xFFF)); }
inline constexpr std::uint16_t MakeSkipUnit(std::uint16_t count) { return static_cast<std::uint16_t>(0xC000 | (count & 0xFFF)); }

// 3 when 0x400 is clear or both 0x04 and 0x08 are set; else 2 when 0x08 is
// set; else 1 when 0x04 is set; else 0. Action 3 means "block".
inline std::uint32_t ActionOf(std::uint32_t flags)
{
    if ((flags & kFlagActionSet) == 0 || (flags & (kFlagAction1 | kFlagAction2)) == (kFlagAction1 | kFlagAction2))
        return 3;
    if (flags & kFlagAction2)
        return 2;
    if (flags & kFlagAction1)
        return 1;
    return 0;
}

inline bool IsAsciiLetter(std::uint8_t b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }
inline std::uint8_t OtherCase(std::uint8_t b) { return IsAsciiLetter(b) ? static_cast<std::uint8_t>(b ^ 0x20) : b; }

struct DetectionRecord {
    std::uint32_t id = 0;
    std::uint32_t subId = 0;
    std::uint32_t flags = 0;
    std::uint8_t unitCount = 0;
    // Start keys: the first two pattern bytes (first byte in the low byte);
    // for case-insensitive records the four case combinations, which repeat
    // for bytes that are not letters.
    std::uint8_t keyCount = 0;
    std::uint16_t keys[4] = {};
    std::uint16_t units[kMaxPatternUnits] = {};
};

// Fills the start keys from the first two units (which must be literals).
void DeriveStartKeys(DetectionRecord& record);

// True when the record can be matched: 2 to 33 units, the first two literals.
bool IsMatchableRecord(const DetectionRecord& record);

}  // namespace nfkit
