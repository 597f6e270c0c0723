#include "browserguard/service_pause.h"

namespace browserguard {

bool ServicePause::MaySend(uint64_t nowMs) {
  std::lock_guard lock(mutex_);
  // A tick that went backwards (another clock, a wrap) ends the pause rather
  // than stretching it.
  if (paused_ && nowMs >= pauseStart_ && nowMs - pauseStart_ < kPauseMs) return false;
  paused_ = false;
  return true;
}

void ServicePause::Record(int error, uint64_t nowMs) {
  std::lock_guard lock(mutex_);
  if (error == 0) {
    timeouts_ = 0;
    return;
  }
  if (error != kErrorTimeout) return;
  if (++timeouts_ >= kTimeoutsBeforePause) {
    paused_ = true;
    pauseStart_ = nowMs;
    timeouts_ = 0;
  }
}

bool ServicePause::paused() const {
  std::lock_guard lock(mutex_);
  return paused_;
}

int ServicePause::consecutiveTimeouts() const {
  std::lock_guard lock(mutex_);
  return timeouts_;
}

}  // namespace browserguard
