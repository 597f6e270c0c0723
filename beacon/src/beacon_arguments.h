// The beacon's command line: which milestone to report and where.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace beacon {

// Values taken from the command line; each is absent when not given.
struct BeaconArguments {
    std::optional<std::string> site;         // "qvsite:"  base address of the web server
    std::optional<std::string> page;         // "qvpage:"  path and query to load
    std::optional<std::string> trackPoint;   // "qvtrackpoint:" only the first character matters
    std::optional<std::string> item;         // "qvitem:"  item count (track point 4)
    std::optional<std::string> instanceKey;  // "qvinstancekey:" installation key (track point 4)
};

// Reads the values from the tokens of the command line (the program path
// included). A prefix counts only at the very start of a token, and its value
// is the rest of that token; a later token with the same prefix replaces the
// earlier value. Tokens without a known prefix are ignored.
BeaconArguments ParseBeaconArguments(const std::vector<std::string>& tokens);

}  // namespace beacon
