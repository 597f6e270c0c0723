// Matching one detection record against stream bytes.
//
// A pattern is a list of units: literals (a byte, either case for
// case-insensitive records), gap markers (the following units may begin up to
// N bytes later) and skips (exactly N bytes passed over). On a mismatch inside
// a gap's budget the match does not start over: it spends one byte of the
// budget, moves one byte on and resumes at the unit after the gap marker.
#pragma once

#include "kit/detection_record.h"
#include "kit/scan_view.h"

#include <cstddef>
#include <cstdint>

namespace nfkit {

enum class MatchOutcome {
    Fail,
    Match,
    OutOfData,  // the bytes ran out before a literal: more data could decide
};

// Where a successful match ended.
struct MatchExtent {
    std::size_t end = 0;         // position after the last unit
    std::size_t literalEnd = 0;  // position after the last byte a literal matched
};

// The match of RECORD's units from FIRST_UNIT on, at position POS of
// contiguous DATA (LENGTH bytes). With a non-zero OVERWRITE every byte
// matched by a literal is replaced by it.
MatchOutcome MatchUnitsContiguous(const DetectionRecord& record, std::uint8_t* data, std::size_t length,
                                  std::size_t pos, int firstUnit, std::uint8_t overwrite, MatchExtent* extent);

// The same over a view of pieces. Running out of bytes is a failure.
bool MatchUnitsInView(const DetectionRecord& record, const ScanView& view, std::size_t pos, int firstUnit,
                      std::uint8_t overwrite, MatchExtent* extent);

// The single-record match from position POS of VIEW. Without OVERWRITE it
// assumes the start key matched the two bytes at POS and begins at unit 2,
// position POS + 2; with OVERWRITE it begins at unit 0, position POS.
bool MatchRecordAt(const DetectionRecord& record, const ScanView& view, std::size_t pos, std::uint8_t overwrite,
                   MatchExtent* extent = nullptr);

// Whether RECORD occurs anywhere in DATA (the header patterns of the first
// buffer). A mismatch outside a gap's budget restarts the pattern at unit 0
// at the same position, moving on by one only when unit 0 itself mismatched.
bool FirstBufferSearch(const DetectionRecord& record, const std::uint8_t* data, std::size_t length);

}  // namespace nfkit
