// Splits a URL into host name and path, the way the site filter needs it.
//
// The black list keys are built from the host name and the path of a URL.
// Text that reaches this parser comes from the network (an HTTP request line
// and Host header), so it is bounded and decoded here and never trusted.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hostfilter {

struct UrlParts {
    std::string hostName;  // percent escapes decoded, port and user removed
    std::string path;      // from the first "/" on, query included, escapes decoded
};

// The longest host name kept, in bytes; longer names are cut.
inline constexpr std::size_t kMaxHostNameLength = 1023;

// Splits URL ("scheme://[user@]host[:port][/path]"). Returns nothing when the
// text has no scheme followed by "//", or when the host name is empty.
std::optional<UrlParts> SplitUrl(std::string_view url);

// Decodes "%" followed by two hexadecimal digits into that byte; any other
// "%" is kept as it is.
std::string DecodePercentEscapes(std::string_view text);

// ASCII lower case; bytes above 0x7F are left alone.
std::string AsciiLower(std::string_view text);

}  // namespace hostfilter
