// A program's connection to the service: Initialize connects, RegisterCallback
// asks the service to send a notification to this process, TermCallbacks
// withdraws every subscription this client made.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class CKorvaClient {
public:
    CKorvaClient();
    ~CKorvaClient();
    CKorvaClient(const CKorvaClient&) = delete;
    CKorvaClient& operator=(const CKorvaClient&) = delete;

    // Connects to the session bus and checks that the service is there.
    // FLAGS is reserved (0). True on success.
    bool Initialize(unsigned flags);
    bool IsInitialized() const;

    // Subscribes to notification NAME; true when the service took it.
    bool RegisterCallback(std::string_view name);
    bool UnregisterCallback(std::string_view name);
    // Withdraws every subscription this client made.
    void TermCallbacks();

private:
    mutable std::mutex m_mutex;
    bool m_initialized = false;
    std::vector<std::string> m_names;
};
