#include "local_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {
namespace {

int ListenOnLoopback(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        throw std::runtime_error("bind/listen failed");
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

const char* ReasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

}  // namespace

LocalHttpServer::LocalHttpServer(int status, Mode mode)
    : m_status(status)
    , m_mode(mode)
{
    m_listener = ListenOnLoopback(m_port);
    m_thread = std::thread([this] { Serve(); });
}

LocalHttpServer::~LocalHttpServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
    for (int fd : m_heldClients)
        ::close(fd);
}

std::vector<std::string> LocalHttpServer::targets() const
{
    std::lock_guard lock(m_mutex);
    return m_targets;
}

int LocalHttpServer::UnusedPort()
{
    int port = 0;
    ::close(ListenOnLoopback(port));
    return port;
}

void LocalHttpServer::Serve()
{
    while (!m_stop) {
        pollfd pfd{m_listener, POLLIN, 0};
        if (::poll(&pfd, 1, 50) <= 0)
            continue;
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0)
            Handle(client);
    }
}

void LocalHttpServer::Handle(int client)
{
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        pollfd pfd{client, POLLIN, 0};
        if (::poll(&pfd, 1, 2000) <= 0)
            break;
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t start = request.find(' ');
    const std::size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
    if (end != std::string::npos) {
        std::lock_guard lock(m_mutex);
        m_targets.push_back(request.substr(start + 1, end - start - 1));
    }
    if (m_mode == Mode::Silent) {
        std::lock_guard lock(m_mutex);
        m_heldClients.push_back(client);
        return;
    }
    const std::string body = "<html><body>tracked</body></html>";
    const std::string response = "HTTP/1.1 " + std::to_string(m_status) + " " + ReasonPhrase(m_status) +
                                 "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
                                 "\r\nConnection: close\r\n\r\n" + body;
    ::send(client, response.data(), response.size(), MSG_NOSIGNAL);
    ::close(client);
}

}  // namespace testsupport
