// The exploit filter's send and receive path on arbitrary traffic: the input
// is cut into a request and a response, and the response is delivered in
// receives whose sizes and buffer counts come from the input too.
//
// Input: byte 0 picks the response head (plain, HTML, gzip HTML, none);
// byte 1 seeds the split; the rest, up to the first "\n\n", is the request,
// and after it the response body (gzip-compressed for the gzip head).
#include <hazard_filter.h>

#include "fake_host.h"

#include <kit/file_check.h>

#include <test_support.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

struct Setup {
    nftest::TempStateRoot root;
    nftest::FakeHost host;
    hazard::HazardFilter filter;
    Setup()
    {
        const auto path = (root.path() / "detections.dat").string();
        nftest::WriteFile(path, nftest::DetectionFile(R"(
0x10 1 action1|disarm|http|html "disarm"
0x20 1 block|http|html "block-it"
0x30 1 block|nocase|http|html "<scr" gap:20 "ipt"
0x40 1 block|ordered|http|html "one"
0x40 2 block|ordered|http|html "two"
0x50 1 block|group "uno" skip:2 "dos"
0x50 2 block|group "tres"
0x60 1 action2|aux|http "aux"
0x70 1 action0|disarm "\x00\x01" gap:3 "\xff"
)"));
        host.SetDetectionPath(path);
        filter.InitPlugin();
        filter.InitPlugin2(&host.context);
    }
};

Setup& Shared()
{
    static Setup* setup = new Setup;  // lives for the whole run
    return *setup;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    Setup& setup = Shared();
    const std::uint8_t mode = data[0] % 4;
    std::uint32_t seed = data[1];
    const std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::size_t mark = rest.find("\n\n");
    std::string request = mark == std::string::npos ? "GET / HTTP/1.1\r\n\r\n" : rest.substr(0, mark);
    std::string body = mark == std::string::npos ? rest : rest.substr(mark + 2);

    static const char* kHeads[] = {"HTTP/1.1 200 OK\r\n\r\n", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n",
                                   "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Encoding: gzip\r\n\r\n", ""};
    std::vector<std::uint8_t> response = nftest::Bytes(kHeads[mode]);
    if (mode == 2) {
        const auto packed = nftest::Gzip(body);
        response.insert(response.end(), packed.begin(), packed.end());
    } else {
        response.insert(response.end(), body.begin(), body.end());
    }

    const KelmSocket socket = 3;
    FilterBuffer out{static_cast<std::uint32_t>(request.size()), request.data()};
    setup.filter.Send(socket, &out, 1, out.len);
    const auto remote = nftest::Address(0x7F000001, mode == 3 ? 110 : 80);

    // Exact-size pieces so that any read past a buffer is caught.
    std::size_t at = 0;
    while (at < response.size()) {
        seed = seed * 1103515245u + 12345u;
        const std::uint32_t count = 1 + (seed >> 8) % 5;
        std::vector<std::unique_ptr<std::uint8_t[]>> blocks;
        FilterBuffer buffers[5];
        std::uint32_t total = 0;
        for (std::uint32_t i = 0; i < count && at < response.size(); ++i) {
            seed = seed * 1103515245u + 12345u;
            const std::size_t n = std::min<std::size_t>(1 + (seed >> 4) % 700, response.size() - at);
            blocks.emplace_back(new std::uint8_t[n]);
            std::memcpy(blocks.back().get(), response.data() + at, n);
            buffers[i] = FilterBuffer{static_cast<std::uint32_t>(n), reinterpret_cast<char*>(blocks.back().get())};
            total += static_cast<std::uint32_t>(n);
            at += n;
        }
        const std::uint32_t filled = static_cast<std::uint32_t>(blocks.size());
        if (setup.filter.Recv(socket, buffers, filled, total, &remote) != 0)
            break;
    }
    setup.filter.CloseSocket(socket);
    return 0;
}
