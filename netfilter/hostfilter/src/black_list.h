// The black-list decision for one text: a dotted IPv4 address (from a
// connect) or a URL without scheme, "host/path" (from a request).
//
// The order of the checks is fixed: the address table, then the URL table,
// the host-name table and the domain table, and last the /24 network of the
// address. Keys are compared in lower case, so a capitalised host name does
// not slip past the list.
#pragma once

#include "site_lookup.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace hostfilter {

// What a listed text matched.
struct BlackListResult {
    bool network = false;      // the matching address entry has a low byte of 0
    uint32_t actionLevel = 0;  // the entry's level, or its category's default when 0
    std::string categoryType;  // at most 15 bytes
    std::string categoryName;  // at most 127 bytes
    std::string matchedText;   // at most 1023 bytes
};

// Resolves a host name to its IPv4 address (first octet in the highest byte):
// the last address of the answer, or nothing when the name does not resolve.
using NameResolver = std::function<std::optional<uint32_t>(const std::string& hostName)>;

// The platform's name lookup (getaddrinfo, IPv4 only).
std::optional<uint32_t> ResolveWithSystem(const std::string& hostName);

// Parses TEXT when it is made only of digits, "*" and "." with exactly three
// dots: up to four digits a part, parts above 255 count as 255.
std::optional<uint32_t> ParseDottedAddress(std::string_view text);

// "a.b.c.d" for ADDRESS (first octet in the highest byte).
std::string FormatDottedAddress(uint32_t address);

// The domain of HOSTNAME: the part after its first "." when that part still
// holds a ".", otherwise the host name itself.
std::string_view DomainOf(std::string_view hostName);

// True when TEXT is listed in LOOKUP (null: nothing is listed); RESULT, when
// given, receives what matched.
bool InBlackList(const SiteLookup* lookup, std::string_view text, const NameResolver& resolve,
                 BlackListResult* result);

}  // namespace hostfilter
