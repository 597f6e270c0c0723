#include "request_parser.h"

#include <algorithm>
#include <string_view>

namespace hostfilter {
namespace {

// The first bytes that decide the classification.
constexpr std::size_t kClassifyLength = 20;
// Fewer bytes than this are never classified.
constexpr std::size_t kMinimumRequestLength = 15;

char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool StartsWithFolded(std::string_view text, std::string_view upperPrefix)
{
    if (text.size() < upperPrefix.size())
        return false;
    for (std::size_t i = 0; i < upperPrefix.size(); ++i) {
        if (Upper(text[i]) != upperPrefix[i])
            return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Walks the send's bytes in order without joining them.
class ByteWalker {
public:
    ByteWalker(std::span<const FilterBuffer> buffers, uint32_t byteCount) : m_buffers(buffers), m_left(byteCount) {}

    // Calls SINK(data, length) for every piece, in order, until it returns false.
    template <typename Sink>
    void ForEachPiece(Sink&& sink) const
    {
        std::size_t left = m_left;
        for (const FilterBuffer& buffer : m_buffers) {
            if (left == 0)
                return;
            if (buffer.buf == nullptr || buffer.len == 0)
                continue;
            std::size_t take = std::min<std::size_t>(buffer.len, left);
            left -= take;
            if (!sink(buffer.buf, take))
                return;
        }
    }

private:
    std::span<const FilterBuffer> m_buffers;
    std::size_t m_left;
};

// Copies the send's bytes up to and including the first "\r\n\r\n". Returns
// false (and leaves HEAD partial) when the send holds no such terminator.
bool CollectHead(const ByteWalker& walker, std::string& head)
{
    static constexpr char kTerminator[] = "\r\n\r\n";
    std::size_t matched = 0;
    bool found = false;
    walker.ForEachPiece([&](const char* data, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) {
            char c = data[i];
            if (c == kTerminator[matched]) {
                ++matched;
            } else {
                matched = (c == '\r') ? 1 : 0;
            }
            if (matched == 4) {
                head.append(data, i + 1);
                found = true;
                return false;
            }
        }
        head.append(data, length);
        return true;
    });
    return found;
}

// A request target in absolute form ("GET http://host/path HTTP/1.1", as
// sent to proxies) names its site itself.
std::string_view AbsoluteFormTarget(std::string_view path)
{
    static constexpr std::string_view kScheme = "HTTP://";
    if (StartsWithFolded(path, kScheme))
        return path.substr(kScheme.size());
    return {};
}

}  // namespace

ParsedRequest ParseRequest(std::span<const FilterBuffer> buffers, uint32_t byteCount)
{
    ParsedRequest result;
    ByteWalker walker(buffers, byteCount);

    std::string first;
    std::size_t total = 0;
    walker.ForEachPiece([&](const char* data, std::size_t length) {
        total += length;
        if (first.size() < kClassifyLength)
            first.append(data, std::min(length, kClassifyLength - first.size()));
        return true;
    });
    if (total < kMinimumRequestLength)
        return result;

    if (StartsWithFolded(first, "HTTP/"))
        result.classification = kResponse;
    else if (StartsWithFolded(first, "GET"))
        result.classification = kRequestGet;
    else if (StartsWithFolded(first, "PUT"))
        result.classification = kRequestPut;
    else
        return result;

    std::string head;
    if (!CollectHead(walker, head))
        return result;
    result.classification |= kHeadersComplete;
    if ((result.classification & (kRequestGet | kRequestPut)) == 0)
        return result;

    // Lines end at a line feed, with or without a carriage return before it:
    // servers accept both, so a header hidden behind a bare line feed still counts.
    std::string_view rest(head);
    auto nextLine = [&rest]() {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    };

    std::string_view requestLine = nextLine();
    if (requestLine.size() > kMaxRequestLineLength)
        requestLine = requestLine.substr(0, kMaxRequestLineLength);
    std::size_t firstSpace = requestLine.find(' ');
    if (firstSpace != std::string_view::npos) {
        std::string_view target = requestLine.substr(firstSpace + 1);
        result.path = std::string(target.substr(0, target.find(' ')));
    }

    while (!rest.empty()) {
        std::string_view line = nextLine();
        if (line.empty())
            break;
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string_view name = line.substr(0, colon);
        if (name.size() == 4 && StartsWithFolded(name, "HOST"))
            result.host = std::string(TrimBlanks(line.substr(colon + 1)));
    }

    std::string_view absolute = AbsoluteFormTarget(result.path);
    if (!absolute.empty())
        result.url = std::string(absolute);
    else if (!result.host.empty() && !result.path.empty())
        result.url = result.host + result.path;
    if (result.url.size() > kMaxRequestUrlLength)
        result.url.resize(kMaxRequestUrlLength);
    return result;
}

}  // namespace hostfilter
