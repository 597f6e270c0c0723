// A tiny HTTP server on 127.0.0.1 for tests: answers every request with a
// chosen status (or never answers) and records the request targets it saw.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class LocalHttpServer {
public:
    enum class Mode { Answer, Silent };

    explicit LocalHttpServer(int status = 200, Mode mode = Mode::Answer);
    ~LocalHttpServer();

    int port() const { return m_port; }
    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    // Request targets in arrival order ("/director/?type=FIRST_RUN_APP").
    std::vector<std::string> targets() const;

    // A port on which nothing listens, for refused-connection cases.
    static int UnusedPort();

private:
    void Serve();
    void Handle(int client);

    int m_status;
    Mode m_mode;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_targets;
    std::vector<int> m_heldClients;
    std::thread m_thread;
};

}  // namespace testsupport
