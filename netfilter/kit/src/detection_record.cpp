#include "kit/detection_record.h"

namespace nfkit {

static std::uint16_t Key(std::uint8_t first, std::uint8_t second)
{
    return static_cast<std::uint16_t>(first | (second << 8));
}

void DeriveStartKeys(DetectionRecord& record)
{
    const std::uint8_t b0 = UnitByte(record.units[0]);
    const std::uint8_t b1 = UnitByte(record.units[1]);
    record.keys[0] = Key(b0, b1);
    if (record.flags & kFlagNoCase) {
        record.keys[1] = Key(b0, OtherCase(b1));
        record.keys[2] = Key(OtherCase(b0), b1);
        record.keys[3] = Key(OtherCase(b0), OtherCase(b1));
        record.keyCount = 4;
    } else {
        record.keys[1] = record.keys[2] = record.keys[3] = record.keys[0];
        record.keyCount = 1;
    }
}

bool IsMatchableRecord(const DetectionRecord& record)
{
    return record.unitCount >= kMinPatternUnits && record.unitCount <= kMaxPatternUnits &&
           IsLiteralUnit(record.units[0]) && IsLiteralUnit(record.units[1]);
}

}  // namespace nfkit
