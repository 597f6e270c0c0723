// Feeds arbitrary bytes to the send filter's request parser, cut into up to
// four buffers at lengths taken from the input's first byte, and looks the
// result up in a small black list: nothing may read outside the buffers.
#include "black_list.h"
#include "request_parser.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

const hostfilter::SiteLookup& Lookup()
{
    static const auto lookup = [] {
        hostfilter::SiteLookup::Builder builder;
        builder.AddCategory(1, 3, "t", "name");
        builder.AddText(hostfilter::SiteTable::Url, "example.com/ads", 3, 1);
        builder.AddText(hostfilter::SiteTable::Url, "q", 3, 1);
        builder.AddText(hostfilter::SiteTable::HostName, "bad.example", 3, 1);
        builder.AddText(hostfilter::SiteTable::Domain, "evil.org", 3, 1);
        builder.AddAddress(hostfilter::SiteTable::Network, 0x7F000000, 3, 1);
        return builder.Build();
    }();
    return *lookup;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    unsigned cuts = data[0];
    ++data;
    --size;
    // Copy into separately allocated buffers so a read past one is caught.
    std::vector<std::vector<char>> pieces;
    std::size_t at = 0;
    for (int i = 0; i < 3 && at < size; ++i) {
        std::size_t length = std::min<std::size_t>(size - at, 1 + ((cuts >> (i * 2)) & 3u) * 7);
        pieces.emplace_back(data + at, data + at + length);
        at += length;
    }
    if (at < size)
        pieces.emplace_back(data + at, data + size);
    std::vector<FilterBuffer> buffers;
    for (auto& piece : pieces)
        buffers.push_back(FilterBuffer{static_cast<uint32_t>(piece.size()), piece.data()});

    hostfilter::ParsedRequest parsed = hostfilter::ParseRequest(buffers, static_cast<uint32_t>(size));
    if (!parsed.url.empty()) {
        hostfilter::BlackListResult result;
        hostfilter::InBlackList(&Lookup(), parsed.url, hostfilter::NameResolver(), &result);
    }
    return 0;
}
