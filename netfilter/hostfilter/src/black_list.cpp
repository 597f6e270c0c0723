#include "black_list.h"

#include "url_split.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace hostfilter {
namespace {

constexpr std::size_t kMaxUrlTextLength = 1023;
constexpr std::size_t kMaxKeyPartLength = 259;
constexpr std::size_t kMaxCategoryTypeLength = 15;
constexpr std::size_t kMaxCategoryNameLength = 127;
constexpr std::size_t kMaxMatchedTextLength = 1023;
constexpr uint32_t kNetworkMask = 0xFFFFFF00u;

void FillResult(const SiteLookup& lookup, const SiteMatch& match, BlackListResult* result)
{
    if (result == nullptr)
        return;
    *result = BlackListResult();
    result->actionLevel = match.level;
    if (match.table == SiteTable::Address || match.table == SiteTable::Network) {
        result->network = (match.address & 0xFFu) == 0;
        result->matchedText = FormatDottedAddress(match.address);
    } else {
        result->matchedText = std::string(match.text.substr(0, kMaxMatchedTextLength));
    }
    // An entry whose category identifier names no category keeps its own
    // level and reports no category.
    if (const SiteCategory* category = lookup.Category(match.category)) {
        result->categoryType = category->type.substr(0, kMaxCategoryTypeLength);
        result->categoryName = category->name.substr(0, kMaxCategoryNameLength);
        if (result->actionLevel == 0)
            result->actionLevel = category->defaultLevel;
    }
}

bool CheckNetwork(const SiteLookup& lookup, uint32_t address, BlackListResult* result)
{
    if (address == 0)
        return false;
    if (auto match = lookup.FindAddress(SiteTable::Network, address & kNetworkMask)) {
        FillResult(lookup, *match, result);
        return true;
    }
    return false;
}

bool CheckAddress(const SiteLookup& lookup, uint32_t address, BlackListResult* result)
{
    if (address == 0)
        return false;
    if (auto match = lookup.FindAddress(SiteTable::Address, address)) {
        FillResult(lookup, *match, result);
        return true;
    }
    return false;
}

}  // namespace

std::optional<uint32_t> ResolveWithSystem(const std::string& hostName)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answer = nullptr;
    if (getaddrinfo(hostName.c_str(), nullptr, &hints, &answer) != 0 || answer == nullptr)
        return std::nullopt;
    std::optional<uint32_t> last;
    for (addrinfo* item = answer; item != nullptr; item = item->ai_next) {
        if (item->ai_family == AF_INET && item->ai_addrlen >= sizeof(sockaddr_in)) {
            const auto* address = reinterpret_cast<const sockaddr_in*>(item->ai_addr);
            last = ntohl(address->sin_addr.s_addr);
        }
    }
    freeaddrinfo(answer);
    return last;
}

std::optional<uint32_t> ParseDottedAddress(std::string_view text)
{
    int dots = 0;
    for (char c : text) {
        if (c == '.')
            ++dots;
        else if (!(c >= '0' && c <= '9') && c != '*')
            return std::nullopt;
    }
    if (dots != 3)
        return std::nullopt;
    uint32_t address = 0;
    std::size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        std::size_t end = text.find('.', start);
        std::string_view field = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        unsigned value = 0;
        int digits = 0;
        for (char c : field) {
            if (c < '0' || c > '9' || digits == 4)
                continue;
            value = value * 10 + static_cast<unsigned>(c - '0');
            ++digits;
        }
        if (value > 255)
            value = 255;
        address = (address << 8) | value;
        start = end == std::string_view::npos ? text.size() : end + 1;
    }
    return address;
}

std::string FormatDottedAddress(uint32_t address)
{
    return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xFF) + '.' +
           std::to_string((address >> 8) & 0xFF) + '.' + std::to_string(address & 0xFF);
}

std::string_view DomainOf(std::string_view hostName)
{
    std::size_t dot = hostName.find('.');
    if (dot == std::string_view::npos)
        return hostName;
    std::string_view rest = hostName.substr(dot + 1);
    return rest.find('.') != std::string_view::npos ? rest : hostName;
}

bool InBlackList(const SiteLookup* lookup, std::string_view text, const NameResolver& resolve,
                 BlackListResult* result)
{
    if (lookup == nullptr || text.empty())
        return false;

    if (auto address = ParseDottedAddress(text)) {
        if (CheckAddress(*lookup, *address, result))
            return true;
        return CheckNetwork(*lookup, *address, result);
    }

    std::string url = text.find("//") != std::string_view::npos ? std::string(text) : "http://" + std::string(text);
    if (url.size() > kMaxUrlTextLength)
        url.resize(kMaxUrlTextLength);
    std::optional<UrlParts> parts = SplitUrl(url);
    if (!parts)
        return false;
    std::string hostName = AsciiLower(parts->hostName);

    uint32_t address = 0;
    if (resolve) {
        if (auto resolved = resolve(parts->hostName))
            address = *resolved;
    }
    if (CheckAddress(*lookup, address, result))
        return true;

    // Every URL entry that occurs anywhere in the key is found, so the key
    // without its first label needs no second search.
    std::string key = AsciiLower(std::string_view(parts->hostName).substr(0, kMaxKeyPartLength)) +
                      AsciiLower(std::string_view(parts->path).substr(0, kMaxKeyPartLength));
    if (auto match = lookup->FindUrl(key)) {
        FillResult(*lookup, *match, result);
        return true;
    }
    if (auto match = lookup->FindText(SiteTable::HostName, hostName)) {
        FillResult(*lookup, *match, result);
        return true;
    }
    if (auto match = lookup->FindText(SiteTable::Domain, DomainOf(hostName))) {
        FillResult(*lookup, *match, result);
        return true;
    }
    return CheckNetwork(*lookup, address, result);
}

}  // namespace hostfilter
