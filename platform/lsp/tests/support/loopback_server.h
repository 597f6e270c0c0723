// A TCP server on 127.0.0.1 for the shim's tests, on a thread of the test
// process (which never runs under the shim). Each connection is read up to a
// line feed (or the end of the request headers for HTTP), answered with what
// the handler returns, and closed.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lsp::testing {

class LoopbackServer {
public:
    // HANDLER gets the request as read and returns the bytes to send back.
    using Handler = std::function<std::string(const std::string& request)>;

    // ADDRESS: the loopback address to listen on, first octet highest.
    explicit LoopbackServer(Handler handler, uint32_t address = INADDR_LOOPBACK) : m_handler(std::move(handler))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(address);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&local), sizeof local);
        ::listen(m_listener, 128);
        socklen_t length = sizeof local;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&local), &length);
        m_port = ntohs(local.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }

    ~LoopbackServer()
    {
        m_stop = true;
        m_thread.join();
        for (std::thread& worker : m_workers)
            worker.join();
        ::close(m_listener);
    }

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const { return m_port; }
    int Connections() const { return m_connections.load(); }
    // Every request the server read, in arrival order of completion.
    std::vector<std::string> Requests()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_requests;
    }

private:
    void Serve()
    {
        while (!m_stop) {
            pollfd wait{m_listener, POLLIN, 0};
            if (::poll(&wait, 1, 50) <= 0)
                continue;
            int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            ++m_connections;
            m_workers.emplace_back([this, fd] { Answer(fd); });
        }
    }

    void Answer(int fd)
    {
        std::string request;
        char buffer[4096];
        while (request.find('\n') == std::string::npos || (request.rfind("GET ", 0) == 0 &&
                                                           request.find("\r\n\r\n") == std::string::npos)) {
            pollfd wait{fd, POLLIN, 0};
            if (::poll(&wait, 1, 5000) <= 0)
                break;
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_requests.push_back(request);
        }
        if (!request.empty()) {
            std::string reply = m_handler(request);
            std::size_t sent = 0;
            while (sent < reply.size()) {
                ssize_t n = ::send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += static_cast<std::size_t>(n);
            }
        }
        ::shutdown(fd, SHUT_WR);
        // Drain until the client closes, so it never sees a reset.
        pollfd wait{fd, POLLIN, 0};
        while (::poll(&wait, 1, 2000) > 0 && ::recv(fd, buffer, sizeof buffer, 0) > 0) {
        }
        ::close(fd);
    }

    Handler m_handler;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
    std::vector<std::thread> m_workers;
    std::mutex m_lock;
    std::vector<std::string> m_requests;
};

}  // namespace lsp::testing
