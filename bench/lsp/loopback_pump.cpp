// Moves a given number of bytes over one loopback TCP connection inside this
// process: a sender thread writes, the main thread reads. The benchmark runs
// it with and without the shim preloaded and compares the CPU time.
//
// Usage: lsp_loopback_pump BYTES html|binary
//   html    the stream starts as an HTTP response of type text/html and
//           carries HTML text (scanned by the exploit filter)
//   binary  random bytes
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s BYTES html|binary\n", argv[0]);
        return 2;
    }
    const unsigned long long total = std::strtoull(argv[1], nullptr, 10);
    const bool html = std::strcmp(argv[2], "html") == 0;
    constexpr std::size_t kChunk = 64 * 1024;

    std::string chunk;
    if (html) {
        while (chunk.size() < kChunk)
            chunk += "<p class=\"text\">Plain page text with <a href=\"/link\">a link</a> and nothing else.</p>\n";
    } else {
        std::mt19937 random(3);
        while (chunk.size() < kChunk)
            chunk.push_back(static_cast<char>(random()));
    }
    chunk.resize(kChunk);

    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("listen");
        return 1;
    }

    std::thread sender([&] {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            std::perror("connect");
            std::exit(1);
        }
        unsigned long long sent = 0;
        if (html) {
            std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                               std::to_string(total) + "\r\n\r\n";
            if (send(fd, head.data(), head.size(), 0) < 0)
                std::exit(1);
        }
        while (sent < total) {
            std::size_t want = static_cast<std::size_t>(std::min<unsigned long long>(kChunk, total - sent));
            ssize_t n = send(fd, chunk.data(), want, 0);
            if (n <= 0) {
                std::perror("send");
                std::exit(1);
            }
            sent += static_cast<unsigned long long>(n);
        }
        close(fd);
    });

    int fd = accept(listener, nullptr, nullptr);
    std::string buffer(kChunk, '\0');
    unsigned long long received = 0;
    for (;;) {
        ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
        if (n < 0) {
            std::perror("recv");
            return 1;
        }
        if (n == 0)
            break;
        received += static_cast<unsigned long long>(n);
    }
    sender.join();
    close(fd);
    close(listener);
    std::printf("%llu\n", received);
    return 0;
}
