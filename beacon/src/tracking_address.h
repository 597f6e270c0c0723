// Track points and the tracking address the beacon loads for one of them.
#pragma once

#include <optional>
#include <string>

#include "beacon_arguments.h"

namespace beacon {

// The address buffer of the launchers holds 520 characters with the
// terminator, so an address is at most this long.
inline constexpr std::size_t kMaxAddressLength = 519;

// One milestone of the product's life and where its result is recorded.
struct TrackPoint {
    char code;                  // '1', '2', '3' or '4'
    const char* defaultPath;    // loaded when no page value is given
    const char* registryValue;  // DWORD under the tracking key: 1 reported, 0 failed
};

// The track point for the given value: only its first character matters, and
// anything other than "1", "2" or "4" (or no value at all) is the first-run
// track point "3".
const TrackPoint& TrackPointFor(const std::optional<std::string>& value);

// The address to load: base (the site value or DEFAULT_SITE) + path (the page
// value or the track point's default path), and for track point 4 the item
// count and instance key. Note that "&ik=" is appended even when no
// "?itemcount=" was written; the tracking server expects it that way.
// Returns nothing when the address would be longer than kMaxAddressLength.
std::optional<std::string> BuildTrackingAddress(const BeaconArguments& args, const std::string& defaultSite);

}  // namespace beacon
