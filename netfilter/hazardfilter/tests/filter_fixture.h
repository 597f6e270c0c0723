// A HazardFilter with a fake host, a private state root and a detection file
// built from kelmdb source text, plus helpers that play a socket's traffic.
#pragma once

#include "fake_host.h"

#include <hazard_filter.h>

#include <test_support.h>

#include <gtest/gtest.h>

#include <atomic>

#include <string>
#include <string_view>
#include <vector>

namespace nftest {

inline constexpr const char* kHtmlHead = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
inline constexpr const char* kGzipHtmlHead =
    "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Encoding: gzip\r\n\r\n";

// Signatures the filter tests share.
inline constexpr const char* kTestSignatures = R"(
0x10 1 action1|disarm|http|html "disarm-me-please"
0x20 1 block|http|html "block-me-now"
0x30 1 action2|http|html "report-only-sig"
0x40 1 block|ordered|http|html "group-one"
0x40 2 block|ordered|http|html "group-two"
0x40 3 block|ordered|http|html "group-three"
0x50 1 block|group|http|html "uno-alpha"
0x50 2 block|group|http|html "uno-beta"
0x50 3 block|group|http|html "uno-gamma"
0x60 1 action1|http|html "aux-base"
0x60 2 block|aux|http|html "aux-boost"
0x70 1 block "anystream-sig"
0x80 1 block|disarm|http|html "block-but-disarm"
)";

class FilterFixture : public ::testing::Test {
protected:
    TempStateRoot root;
    FakeHost host;
    std::atomic<std::uint32_t> now{1000000};
    hazard::HazardFilter filter{[this] { return now.load(); }};
    std::string path = (root.path() / "detections.dat").string();
    struct sockaddr_in remote = Address(0x0A000001, 80);

    void Start(std::string_view source = kTestSignatures)
    {
        WriteFile(path, DetectionFile(source, /*encipher=*/true));
        host.SetDetectionPath(path);
        filter.InitPlugin();
        filter.InitPlugin2(&host.context);
        ASSERT_TRUE(filter.Database());
    }

    std::int32_t Request(KelmSocket socket, std::string text = "GET /page.html HTTP/1.1\r\nHost: x.test\r\n\r\n")
    {
        m_request = text;
        FilterBuffer buffer{static_cast<std::uint32_t>(m_request.size()), m_request.data()};
        return filter.Send(socket, &buffer, 1, static_cast<std::uint32_t>(m_request.size()));
    }

    std::int32_t Receive(KelmSocket socket, std::uint8_t* data, std::size_t length)
    {
        FilterBuffer buffer{static_cast<std::uint32_t>(length), reinterpret_cast<char*>(data)};
        return filter.Recv(socket, &buffer, 1, static_cast<std::uint32_t>(length), &remote);
    }

    // Delivers RESPONSE in place: the first receive is FIRST bytes, the rest
    // come PIECE bytes at a time. Returns the first non-zero verdict and the
    // index of that receive; the application's bytes are RESPONSE itself.
    std::pair<std::int32_t, int> Deliver(KelmSocket socket, std::vector<std::uint8_t>& response, std::size_t first,
                                         std::size_t piece)
    {
        std::size_t at = 0;
        for (int index = 0; at < response.size(); ++index) {
            const std::size_t n = std::min(index == 0 ? first : piece, response.size() - at);
            const std::int32_t verdict = Receive(socket, response.data() + at, n);
            if (verdict != 0)
                return {verdict, index};
            at += n;
        }
        return {0, -1};
    }

private:
    std::string m_request;
};

}  // namespace nftest
