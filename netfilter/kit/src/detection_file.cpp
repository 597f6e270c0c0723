#include "kit/detection_file.h"

#include "kit/blowfish.h"
#include "kit/file_check.h"
#include "kit/key_table.h"

#include <algorithm>
#include <new>

namespace nfkit {

namespace {

// Deciphers REGION in place in 512-byte pieces and returns the bytes that
// were deciphered (whole blocks only); 0 when nothing could be.
std::size_t DecipherRegion(std::vector<std::uint8_t>& region)
{
    BlowFishEnc cipher(KeyText(kDetectionFileKey));
    std::size_t done = 0;
    while (done < region.size()) {
        const std::size_t piece = std::min(kDetectionDecipherPiece, region.size() - done);
        const std::size_t n = cipher.Decrypt(region.data() + done, piece, region.data() + done);
        done += n;
        if (n < piece)
            break;
    }
    return done;
}

bool ConvertRecord(const std::uint8_t* raw, DetectionRecord& record)
{
    record.id = ReadLe32(raw);
    record.subId = ReadLe32(raw + 4);
    record.flags = ReadLe32(raw + 8);
    record.unitCount = raw[12];
    if (record.unitCount < kMinPatternUnits || record.unitCount > kMaxPatternUnits)
        return false;
    for (int i = 0; i < kMaxPatternUnits; ++i)
        record.units[i] = i < record.unitCount ? ReadLe16(raw + 14 + 2 * i) : 0;
    if (!IsMatchableRecord(record))
        return false;
    DeriveStartKeys(record);
    return true;
}

}  // namespace

int ParseDetectionFile(std::span<const std::uint8_t> file, std::vector<DetectionRecord>& records)
{
    records.clear();
    if (file.size() < kDetectionHeaderSize || ReadLe32(file.data()) != kDetectionMagic)
        return kDetectionBadHeader;

    const std::uint8_t* header = file.data();
    const std::uint32_t flags = ReadLe32(header + 20);
    const std::uint32_t count = ReadLe32(header + 24);
    const std::uint32_t recordSize = ReadLe32(header + 28);
    const std::uint32_t regionOffset = ReadLe32(header + 32);
    const std::uint32_t regionEnd = ReadLe32(header + 36);
    const std::uint32_t storedCrc = ReadLe32(header + 40);

    if (count > kDetectionMaxRecords || recordSize == 0 || recordSize > kDetectionMaxRecordSize ||
        regionOffset > file.size() || regionEnd > file.size() || regionEnd < regionOffset)
        return kDetectionOutOfRange;

    if ((flags & kDetectionFlagCheckCrc) && Crc32From(file, regionOffset) != storedCrc)
        return kDetectionBadCrc;

    std::vector<std::uint8_t> region;
    try {
        region.assign(file.begin() + regionOffset, file.begin() + regionEnd);
    } catch (const std::bad_alloc&) {
        return kDetectionUnreadable;
    }
    if (flags & kDetectionFlagEnciphered) {
        const std::size_t deciphered = DecipherRegion(region);
        // Bytes after the last whole block were never enciphered by a
        // well-formed writer: a record reaching into them is not read.
        if (deciphered > 0)
            region.resize(deciphered);
    }

    try {
        records.reserve(std::min<std::size_t>(count, region.size() / kDetectionRecordStep));
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = i * kDetectionRecordStep;
            if (at + kDetectionRecordStep > region.size())
                break;
            DetectionRecord record;
            if (ConvertRecord(region.data() + at, record))
                records.push_back(record);
        }
    } catch (const std::bad_alloc&) {
        records.clear();
        return kDetectionUnreadable;
    }
    return static_cast<int>(records.size());
}

int LoadDetectionFile(const std::string& path, std::vector<DetectionRecord>& records)
{
    records.clear();
    std::vector<std::uint8_t> bytes;
    switch (ReadWholeFile(path, bytes)) {
    case FileReadResult::Ok:
        break;
    case FileReadResult::CannotOpen:
        return kDetectionCannotOpen;
    case FileReadResult::TooLarge:
        return kDetectionOutOfRange;
    case FileReadResult::ReadError:
        return kDetectionUnreadable;
    }
    return ParseDetectionFile(bytes, records);
}

}  // namespace nfkit
