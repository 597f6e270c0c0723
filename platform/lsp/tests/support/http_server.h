// A small HTTP/1.1 server for the end-to-end tests: it answers GET requests
// for the paths it was given with fixed headers and body, everything else
// with 404, and closes each connection after one answer.
#pragma once

#include "support/loopback_server.h"

#include <map>
#include <mutex>
#include <string>

namespace lsp::testing {

class HttpServer {
public:
    explicit HttpServer(uint32_t address = INADDR_LOOPBACK)
        : m_server([this](const std::string& request) { return Answer(request); }, address)
    {
    }

    // Serves BODY at PATH with the given content type and extra header lines
    // (each ending in "\r\n").
    void Serve(const std::string& path, const std::string& body, const std::string& contentType,
               const std::string& extraHeaders = "")
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_pages[path] = "HTTP/1.1 200 OK\r\nContent-Type: " + contentType + "\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n" + extraHeaders + "Connection: close\r\n\r\n" + body;
    }

    int Port() const { return m_server.Port(); }
    int Connections() const { return m_server.Connections(); }
    // The request lines the server read ("GET /path HTTP/1.1").
    std::vector<std::string> RequestLines()
    {
        std::vector<std::string> lines;
        for (const std::string& request : m_server.Requests())
            lines.push_back(request.substr(0, request.find("\r\n")));
        return lines;
    }

private:
    std::string Answer(const std::string& request)
    {
        std::size_t start = request.find(' ');
        std::size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
        std::string path = end == std::string::npos ? "" : request.substr(start + 1, end - start - 1);
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_pages.find(path);
        if (it != m_pages.end())
            return it->second;
        return "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    }

    std::mutex m_lock;
    std::map<std::string, std::string> m_pages;
    LoopbackServer m_server;
};

}  // namespace lsp::testing
