#include "kit/stream_classify.h"

#include "kit/detection_record.h"
#include "kit/pattern_match.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace nfkit {

namespace {

DetectionRecord MakeHeaderPattern(std::string_view first, int gap, std::string_view second, std::uint32_t flags)
{
    DetectionRecord record;
    record.id = 0;
    record.flags = flags;
    int n = 0;
    for (char c : first)
        record.units[n++] = MakeLiteralUnit(static_cast<std::uint8_t>(c));
    if (!second.empty()) {
        record.units[n++] = MakeGapUnit(static_cast<std::uint16_t>(gap));
        for (char c : second)
            record.units[n++] = MakeLiteralUnit(static_cast<std::uint8_t>(c));
    }
    record.unitCount = static_cast<std::uint8_t>(n);
    DeriveStartKeys(record);
    return record;
}

const std::array<DetectionRecord, 5>& Patterns()
{
    static const std::array<DetectionRecord, 5> patterns = {
        MakeHeaderPattern("content-type", 16, "image", 0x21210),
        MakeHeaderPattern("x-msmetafile", 0, "", 0x21210),
        MakeHeaderPattern("content-type", 16, "video", 0x21210),
        MakeHeaderPattern("content-type", 16, "text/html", 0x11210),
        MakeHeaderPattern("encoding: gzip", 0, "", 0x81210),
    };
    return patterns;
}

constexpr std::size_t kMinFirstBuffer = 16;
constexpr std::size_t kHeaderSearchLimit = 1024;

}  // namespace

std::span<const DetectionRecord> HeaderPatterns()
{
    return Patterns();
}

bool IsMailPort(std::uint16_t port)
{
    return port == 110 || port == 143 || port == 993 || port == 995;
}

std::uint32_t ClassifyFirstBuffer(const FilterBuffer* buffers, std::uint32_t count, std::size_t bytes,
                                  const struct sockaddr_in* remote)
{
    std::uint32_t classification = 0;
    if (remote != nullptr && IsMailPort(ntohs(remote->sin_port)))
        classification |= kStreamMail;

    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    for (std::uint32_t i = 0; i < count && bytes > 0; ++i) {
        if (buffers[i].buf == nullptr)
            break;
        const std::size_t n = std::min<std::size_t>(buffers[i].len, bytes);
        bytes -= n;
        if (n >= kMinFirstBuffer) {
            data = reinterpret_cast<const std::uint8_t*>(buffers[i].buf);
            length = n;
            break;
        }
    }
    if (data == nullptr || std::memcmp(data, "HTTP", 4) != 0)
        return classification;

    classification |= kStreamHttp;
    const std::size_t searched = std::min(length, kHeaderSearchLimit);
    for (const DetectionRecord& pattern : Patterns()) {
        if (FirstBufferSearch(pattern, data, searched))
            classification |= pattern.flags & 0xFFFF0000u;
    }
    return classification;
}

}  // namespace nfkit
