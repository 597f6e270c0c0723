#include "beacon_arguments.h"

#include <array>

namespace beacon {

BeaconArguments ParseBeaconArguments(const std::vector<std::string>& tokens)
{
    BeaconArguments args;
    // The order matters only for which prefix is tried first; no prefix is a
    // prefix of another, so any order gives the same result.
    const std::array<std::pair<std::string_view, std::optional<std::string> BeaconArguments::*>, 5> prefixes{{
        {"qvsite:", &BeaconArguments::site},
        {"qvpage:", &BeaconArguments::page},
        {"qvtrackpoint:", &BeaconArguments::trackPoint},
        {"qvitem:", &BeaconArguments::item},
        {"qvinstancekey:", &BeaconArguments::instanceKey},
    }};
    for (const std::string& token : tokens) {
        for (const auto& [prefix, member] : prefixes) {
            if (std::string_view(token).starts_with(prefix)) {
                args.*member = token.substr(prefix.size());
                break;
            }
        }
    }
    return args;
}

}  // namespace beacon
