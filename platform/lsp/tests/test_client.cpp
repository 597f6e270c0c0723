// The program the shim's tests run under LD_PRELOAD. It makes the socket
// calls a scenario names and prints what came back, one line each, so the
// test can compare. Usage: lsp_test_client SCENARIO PORT [ARGS...]
//
//   exchange PORT SENDFORM RECVFORM MESSAGE
//       connect to 127.0.0.1:PORT, send MESSAGE and a line feed with SENDFORM
//       (send, sendto, sendmsg, write, writev), read the reply to the end with
//       RECVFORM (recv, recvfrom, recvmsg, read, readv); prints "reply <text>"
//       or "send-error <errno>" / "recv-error <errno>"
//   connect PORT          prints "connected" or "connect-error <errno>"
//   others PORT           makes a UDP socket, a socket pair, a pipe and an
//                         IPv6 TCP socket and uses each; prints "fds ..."
//   reuse PORT FILE       exchanges once, closes, opens FILE (same number)
//                         and reads it; prints "fd <n>" and "file <text>"
//   threads PORT N       N threads, 20 exchanges each; prints "threads ok" or
//                         the first mismatch
//   replace PORT FILE TEXT
//                         exchanges, replaces FILE by TEXT (a new file renamed
//                         over it), waits 20 ms, exchanges again
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

int g_port = 0;

sockaddr_in Loopback()
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(g_port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int Connect(int& error)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback();
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = errno;
        close(fd);
        return -1;
    }
    return fd;
}

ssize_t SendWith(const std::string& form, int fd, const std::string& data)
{
    if (form == "send")
        return send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (form == "sendto")
        return sendto(fd, data.data(), data.size(), MSG_NOSIGNAL, nullptr, 0);
    if (form == "write")
        return write(fd, data.data(), data.size());
    // Two pieces: the message and the line feed.
    iovec pieces[2] = {{const_cast<char*>(data.data()), data.size() - 1},
                       {const_cast<char*>(data.data()) + data.size() - 1, 1}};
    if (form == "writev")
        return writev(fd, pieces, 2);
    msghdr message{};
    message.msg_iov = pieces;
    message.msg_iovlen = 2;
    return sendmsg(fd, &message, MSG_NOSIGNAL);
}

ssize_t ReceiveWith(const std::string& form, int fd, char* buffer, std::size_t size)
{
    if (form == "recv")
        return recv(fd, buffer, size, 0);
    if (form == "recvfrom")
        return recvfrom(fd, buffer, size, 0, nullptr, nullptr);
    if (form == "read")
        return read(fd, buffer, size);
    iovec pieces[2] = {{buffer, size / 2}, {buffer + size / 2, size - size / 2}};
    if (form == "readv")
        return readv(fd, pieces, 2);
    msghdr message{};
    message.msg_iov = pieces;
    message.msg_iovlen = 2;
    return recvmsg(fd, &message, 0);
}

// One exchange; returns the line to print.
std::string Exchange(const std::string& sendForm, const std::string& recvForm, const std::string& message)
{
    int error = 0;
    int fd = Connect(error);
    if (fd < 0)
        return std::string("connect-error ") + strerrorname_np(error);
    std::string data = message + "\n";
    if (SendWith(sendForm, fd, data) != static_cast<ssize_t>(data.size())) {
        std::string line = std::string("send-error ") + strerrorname_np(errno);
        close(fd);
        return line;
    }
    std::string reply;
    char buffer[4096];
    for (;;) {
        ssize_t n = ReceiveWith(recvForm, fd, buffer, sizeof buffer);
        if (n < 0) {
            std::string line = std::string("recv-error ") + strerrorname_np(errno);
            close(fd);
            return line;
        }
        if (n == 0)
            break;
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    while (!reply.empty() && reply.back() == '\n')
        reply.pop_back();
    return "reply " + reply;
}

int Others()
{
    std::vector<int> fds;
    int udp = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = Loopback();
    sendto(udp, "udp\n", 4, 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    connect(udp, reinterpret_cast<sockaddr*>(&address), sizeof address);
    send(udp, "udp\n", 4, 0);
    fds.push_back(udp);

    int pair[2];
    socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
    char byte[8];
    send(pair[0], "EVIL", 4, 0);
    ssize_t got = recv(pair[1], byte, sizeof byte, 0);
    fds.push_back(pair[0]);
    fds.push_back(pair[1]);

    int pipeFds[2];
    if (pipe(pipeFds) == 0) {
        ssize_t written = write(pipeFds[1], "EVIL", 4);
        ssize_t read_ = read(pipeFds[0], byte, sizeof byte);
        (void)written;
        (void)read_;
        fds.push_back(pipeFds[0]);
        fds.push_back(pipeFds[1]);
    }

    int v6 = socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 address6{};
    address6.sin6_family = AF_INET6;
    address6.sin6_port = htons(static_cast<uint16_t>(g_port));
    address6.sin6_addr = in6addr_loopback;
    connect(v6, reinterpret_cast<sockaddr*>(&address6), sizeof address6);
    fds.push_back(v6);

    std::printf("socketpair %s\n", got == 4 && std::memcmp(byte, "EVIL", 4) == 0 ? "unchanged" : "changed");
    std::printf("fds");
    for (int fd : fds)
        std::printf(" %d", fd);
    std::printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SCENARIO PORT [ARGS...]\n", argv[0]);
        return 2;
    }
    std::string scenario = argv[1];
    g_port = std::atoi(argv[2]);

    if (scenario == "exchange" && argc == 6) {
        std::printf("%s\n", Exchange(argv[3], argv[4], argv[5]).c_str());
        return 0;
    }
    if (scenario == "connect") {
        int error = 0;
        int fd = Connect(error);
        std::printf(fd >= 0 ? "connected\n" : "connect-error %s\n", strerrorname_np(error));
        return 0;
    }
    if (scenario == "others")
        return Others();
    if (scenario == "reuse" && argc == 4) {
        int error = 0;
        int fd = Connect(error);
        if (fd < 0)
            return 1;
        std::printf("fd %d\n", fd);
        close(fd);
        int file = open(argv[3], O_RDONLY);
        char buffer[64] = {};
        ssize_t n = read(file, buffer, sizeof buffer - 1);
        std::printf("file-fd %d\nfile %s\n", file, n > 0 ? buffer : "");
        return 0;
    }
    if (scenario == "threads" && argc == 4) {
        int count = std::atoi(argv[3]);
        std::vector<std::thread> threads;
        std::vector<std::string> failures(static_cast<std::size_t>(count));
        for (int t = 0; t < count; ++t) {
            threads.emplace_back([t, &failures] {
                for (int i = 0; i < 20 && failures[static_cast<std::size_t>(t)].empty(); ++i) {
                    std::string message = "t" + std::to_string(t) + "-" + std::to_string(i) + "-EVIL";
                    std::string want = "reply reply:t" + std::to_string(t) + "-" + std::to_string(i) + "-XXXX";
                    std::string got = Exchange(i % 2 ? "writev" : "send", i % 2 ? "read" : "recvmsg", message);
                    if (got != want)
                        failures[static_cast<std::size_t>(t)] = got + " instead of " + want;
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        for (const std::string& failure : failures) {
            if (!failure.empty()) {
                std::printf("mismatch %s\n", failure.c_str());
                return 0;
            }
        }
        std::printf("threads ok\n");
        return 0;
    }
    if (scenario == "replace" && argc == 5) {
        std::printf("%s\n", Exchange("send", "recv", "first").c_str());
        std::string temporary = std::string(argv[3]) + ".new";
        std::ofstream(temporary) << argv[4] << "\n";
        std::rename(temporary.c_str(), argv[3]);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::printf("%s\n", Exchange("send", "recv", "second").c_str());
        return 0;
    }
    std::fprintf(stderr, "unknown scenario %s\n", scenario.c_str());
    return 2;
}
