// The add-on's side of the service: the one registration per browser process
// (kept for the life of the process, a failure included) and the per-browser
// session, a bag of named properties the service keeps under a handle so that
// an opener can leave facts for the window it opens.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "browserguard/msg_ctx_request.h"

namespace browserguard {

// The named event the service holds while it runs.
inline constexpr const char* kServiceRunningEvent = "Global\\activated_qvserver";

bool ServiceIsRunning();

class ServiceConnection {
 public:
  explicit ServiceConnection(ServiceLink& link = ServiceLink::Process()) : m_link(link) {}

  // Registers this process with the service the first time it is asked and
  // answers the same result ever after. Several browser threads may ask at
  // once; one registers, the others wait for its answer.
  bool Ensure();

  ServiceLink& link() { return m_link; }
  static ServiceConnection& Process();

 private:
  ServiceLink& m_link;
  std::mutex m_mutex;
  std::optional<bool> m_connected;
};

class BrowserSession {
 public:
  explicit BrowserSession(ServiceLink& link = ServiceLink::Process()) : m_link(link) {}

  // Asks the service for a new session (only while it runs); false without one.
  bool Create();
  // Ends the session (only while the service runs) and forgets the handle.
  void Destroy();

  int32_t handle() const { return m_handle; }
  void Adopt(int32_t handle) { m_handle = handle; }

  // Empty when there is no session or the read fails.
  std::string Get(const std::string& name) const;
  // Decimal integer; empty or unreadable reads as 0.
  int32_t GetInt(const std::string& name) const;
  // Writes are dropped without a session; failures are not reported.
  void Set(const std::string& name, const std::string& value) const;
  void SetInt(const std::string& name, int32_t value) const;
  void SetMany(const std::vector<std::pair<std::string, std::string>>& values) const;

 private:
  ServiceLink& m_link;
  int32_t m_handle = 0;
};

}  // namespace browserguard
