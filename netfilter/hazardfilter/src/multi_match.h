// MatchMultiSploit: every record of the index against every position of a
// view, hits listed by position and, at one position, in table order.
#pragma once

#include "signature_index.h"

#include <kit/scan_view.h>

#include <cstdint>
#include <vector>

namespace hazard {

struct Hit {
    std::uint32_t id = 0;
    std::uint32_t subId = 0;
    std::uint32_t flags = 0;
    std::size_t position = 0;  // in the view
};

// Appends the hits of INDEX's records in VIEW to HITS and returns how many
// there are. A hit whose matched bytes all lie in the view's carried-over
// bytes was already found in the previous receive and is not listed again.
// Views of 7 bytes or fewer give nothing. Running out of memory discards the
// hits and gives 0.
int MatchMultiSploit(const nfkit::ScanView& view, const SignatureIndex& index, std::vector<Hit>& hits);

}  // namespace hazard
