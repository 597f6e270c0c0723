#include "url_split.h"

#include "win/hex.h"

namespace hostfilter {
namespace {

bool IsSchemeChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
}

}  // namespace

std::string DecodePercentEscapes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int byte = win::HexByteValue(text[i + 1], text[i + 2]);
            if (byte >= 0) {
                out.push_back(static_cast<char>(byte));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string AsciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::optional<UrlParts> SplitUrl(std::string_view url)
{
    // Scheme: letters first, then letters, digits, "+", "-" and ".", up to "://".
    std::size_t colon = url.find(':');
    if (colon == 0 || colon == std::string_view::npos)
        return std::nullopt;
    if (!((url[0] >= 'a' && url[0] <= 'z') || (url[0] >= 'A' && url[0] <= 'Z')))
        return std::nullopt;
    for (std::size_t i = 0; i < colon; ++i) {
        if (!IsSchemeChar(url[i]))
            return std::nullopt;
    }
    if (url.substr(colon + 1, 2) != "//")
        return std::nullopt;

    std::string_view rest = url.substr(colon + 3);
    // The authority ends at the path, the query or the fragment. A backslash
    // ends it too: browsers read it as a path separator, so a host written
    // "evil.example\page" must not swallow the path into the host name.
    std::size_t authorityEnd = rest.find_first_of("/?#\\");
    std::string_view authority = rest.substr(0, authorityEnd);
    std::string_view path = authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);

    std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos)
        authority = authority.substr(at + 1);
    std::string_view host = authority;
    if (!host.empty() && host.front() == '[') {
        // A bracketed IPv6 literal keeps its colons; only a port after "]" goes.
        std::size_t close = host.find(']');
        if (close != std::string_view::npos)
            host = host.substr(0, close + 1);
    } else {
        std::size_t portColon = host.find(':');
        if (portColon != std::string_view::npos)
            host = host.substr(0, portColon);
    }

    UrlParts parts;
    parts.hostName = DecodePercentEscapes(host);
    if (parts.hostName.empty())
        return std::nullopt;
    if (parts.hostName.size() > kMaxHostNameLength)
        parts.hostName.resize(kMaxHostNameLength);
    std::size_t fragment = path.find('#');
    if (fragment != std::string_view::npos)
        path = path.substr(0, fragment);
    parts.path = DecodePercentEscapes(path);
    return parts;
}

}  // namespace hostfilter
