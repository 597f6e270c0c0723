#include "request_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hostfilter {
namespace {

// Splits TEXT into buffers of PIECE bytes (the last one shorter) that stay
// alive with the object.
class Buffers {
public:
    Buffers(const std::string& text, std::size_t piece) : m_text(text)
    {
        for (std::size_t at = 0; at < m_text.size(); at += piece)
            m_buffers.push_back(FilterBuffer{static_cast<uint32_t>(std::min(piece, m_text.size() - at)), m_text.data() + at});
    }
    std::span<const FilterBuffer> span() const { return m_buffers; }
    uint32_t size() const { return static_cast<uint32_t>(m_text.size()); }

private:
    std::string m_text;
    std::vector<FilterBuffer> m_buffers;
};

ParsedRequest Parse(const std::string& text)
{
    Buffers buffers(text, text.size() == 0 ? 1 : text.size());
    return ParseRequest(buffers.span(), buffers.size());
}

struct RequestCase {
    const char* name;
    std::string request;
    uint32_t classification;
    std::string url;
};

class ParseRequestTest : public ::testing::TestWithParam<RequestCase> {};

// Every case gives the same answer whole and cut into pieces of any size:
// the parser must not depend on where the application split its writes.
TEST_P(ParseRequestTest, SameResultForEverySplit)
{
    const RequestCase& c = GetParam();
    for (std::size_t piece = 1; piece <= c.request.size() + 1; ++piece) {
        Buffers buffers(c.request, piece);
        ParsedRequest parsed = ParseRequest(buffers.span(), buffers.size());
        EXPECT_EQ(parsed.classification, c.classification) << "piece " << piece;
        EXPECT_EQ(parsed.url, c.url) << "piece " << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ParseRequestTest,
    ::testing::Values(
        RequestCase{"Get", "GET /a/b.html HTTP/1.1\r\nHost: example.com\r\nAccept: */*\r\n\r\n", 0x101,
                    "example.com/a/b.html"},
        RequestCase{"LowerCaseMethod", "get /x HTTP/1.0\r\nhost: example.com\r\n\r\n", 0x101, "example.com/x"},
        RequestCase{"Put", "PUT /up HTTP/1.1\r\nHOST: example.com:8080\r\n\r\nbody", 0x102, "example.com:8080/up"},
        RequestCase{"CapitalisedHostKeptAsSent", "GET / HTTP/1.1\r\nHost: WWW.Example.COM\r\n\r\n", 0x101,
                    "WWW.Example.COM/"},
        RequestCase{"LastHostWins", "GET /p HTTP/1.1\r\nHost: first.com\r\nHost: second.com\r\n\r\n", 0x101,
                    "second.com/p"},
        RequestCase{"HostWithoutSpace", "GET /p HTTP/1.1\r\nHost:tight.com \r\n\r\n", 0x101, "tight.com/p"},
        RequestCase{"HostBehindBareLineFeed", "GET /p HTTP/1.1\r\nX-A: 1\nHost: hidden.com\r\n\r\n", 0x101,
                    "hidden.com/p"},
        RequestCase{"HeaderNamedLikeHost", "GET /p HTTP/1.1\r\nX-Host: a.com\r\nHosts: b.com\r\n\r\n", 0x101, ""},
        RequestCase{"NoHost", "GET /p HTTP/1.0\r\nAccept: */*\r\n\r\n", 0x101, ""},
        RequestCase{"HostAfterEndIsBody", "GET /p HTTP/1.1\r\nAccept: x\r\n\r\nHost: body.com\r\n\r\n", 0x101, ""},
        RequestCase{"AbsoluteForm", "GET http://proxied.com/q HTTP/1.1\r\nHost: proxied.com\r\n\r\n", 0x101,
                    "proxied.com/q"},
        RequestCase{"HeadersNotComplete", "GET /p HTTP/1.1\r\nHost: example.com\r\n", 0x1, ""},
        RequestCase{"Post", "POST /p HTTP/1.1\r\nHost: example.com\r\n\r\n", 0x0, ""},
        RequestCase{"Response", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", 0x104, ""},
        RequestCase{"FourteenBytes", "GET / HTTP/1.0", 0x0, ""},
        RequestCase{"Binary", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03GET / HTTP", 21), 0x0, ""}),
    [](const ::testing::TestParamInfo<RequestCase>& info) { return std::string(info.param.name); });

TEST(ParseRequest, ReadsOnlyByteCountBytes)
{
    std::string request = "GET /p HTTP/1.1\r\nHost: example.com\r\n\r\n";
    Buffers buffers(request, 7);
    // One byte short of the terminator: the headers are not complete.
    ParsedRequest parsed = ParseRequest(buffers.span(), buffers.size() - 1);
    EXPECT_EQ(parsed.classification, 0x1u);
    EXPECT_EQ(parsed.url, "");
}

TEST(ParseRequest, NullBuffersCountAsEmpty)
{
    std::string request = "GET /p HTTP/1.1\r\nHost: example.com\r\n\r\n";
    std::vector<FilterBuffer> buffers = {{100, nullptr},
                                         {static_cast<uint32_t>(request.size()), request.data()},
                                         {5, nullptr}};
    ParsedRequest parsed = ParseRequest(buffers, 1000);
    EXPECT_EQ(parsed.url, "example.com/p");
}

TEST(ParseRequest, LongRequestLineAndUrlAreCut)
{
    std::string longPath = "/" + std::string(600, 'a');
    ParsedRequest parsed = Parse("GET " + longPath + " HTTP/1.1\r\nHost: h.com\r\n\r\n");
    // The request line is read only to 512 bytes: "GET " and 508 path bytes.
    EXPECT_EQ(parsed.path, longPath.substr(0, kMaxRequestLineLength - 4));

    std::string longHost(2000, 'h');
    parsed = Parse("GET /p HTTP/1.1\r\nHost: " + longHost + "\r\n\r\n");
    EXPECT_EQ(parsed.url.size(), kMaxRequestUrlLength);
}

}  // namespace
}  // namespace hostfilter
