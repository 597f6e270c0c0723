// The pause every add-on request obeys while the service does not answer:
// after three time-outs in a row no request is sent for 30 seconds, and the
// caller sees a time-out at once. One per browser process; the browser's
// tab threads share it, so it is locked.
#pragma once

#include <cstdint>
#include <mutex>

namespace browserguard {

inline constexpr int kErrorTimeout = 1460;
inline constexpr int kRequestTimeoutMs = 5000;
inline constexpr uint64_t kPauseMs = 30000;
inline constexpr int kTimeoutsBeforePause = 3;

class ServicePause {
 public:
  // True when a request may be sent at tick nowMs; false while paused (the
  // caller answers the request with kErrorTimeout without sending it).
  bool MaySend(uint64_t nowMs);
  // Records the outcome of a sent request: 0 for success, else its error.
  void Record(int error, uint64_t nowMs);

  bool paused() const;
  int consecutiveTimeouts() const;

 private:
  mutable std::mutex mutex_;
  bool paused_ = false;
  uint64_t pauseStart_ = 0;
  int timeouts_ = 0;
};

}  // namespace browserguard
