// Every request the add-on sends goes through CMsgCtxRequest: it carries the
// process's registration ("ctx.id"), waits at most its time-out, and obeys the
// process-wide pause that stops traffic for a while after the service failed
// to answer three times in a row.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

#include "browserguard/service_pause.h"
#include "servicelink/msg_request.h"

namespace browserguard {

// What one browser process shares between its add-on objects' requests.
struct ServiceLink {
  ServicePause pause;
  std::atomic<int32_t> contextId{0};
  // Milliseconds of a monotonic clock; replaceable so tests control time.
  std::function<uint64_t()> tick;
  // Sends a request and waits for its answer; replaceable so tests can see
  // whether a request went out. The default is CMsgRequest::Execute.
  std::function<CMsgResults(const CMsgRequest&, std::string_view, unsigned)> send;

  ServiceLink();
  static ServiceLink& Process();
};

class CMsgCtxRequest : public CMsgRequest {
 public:
  explicit CMsgCtxRequest(unsigned timeoutMs = kRequestTimeoutMs,
                          ServiceLink& link = ServiceLink::Process());

  // Sends the request unless the pause holds it back (then the answer is
  // error kErrorTimeout without sending). A bus time-out counts as kErrorTimeout.
  CMsgResults Execute(std::string_view name);
  // Sends without waiting; held back (false) while paused.
  bool Notify(std::string_view name);

 private:
  void AddContext();
  unsigned m_timeoutMs;
  ServiceLink& m_link;
};

}  // namespace browserguard
