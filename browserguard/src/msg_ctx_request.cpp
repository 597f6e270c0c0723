#include "browserguard/msg_ctx_request.h"

#include <chrono>

#include "servicelink/korva_constants.h"

namespace browserguard {

ServiceLink::ServiceLink()
    : tick([] {
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count());
      }),
      send([](const CMsgRequest& request, std::string_view name, unsigned timeoutMs) {
        return request.CMsgRequest::Execute(name, timeoutMs);
      }) {}

ServiceLink& ServiceLink::Process() {
  static ServiceLink link;
  return link;
}

CMsgCtxRequest::CMsgCtxRequest(unsigned timeoutMs, ServiceLink& link)
    : m_timeoutMs(timeoutMs), m_link(link) {}

void CMsgCtxRequest::AddContext() {
  SetValue("ctx.id", CStringValue(static_cast<std::int32_t>(m_link.contextId.load())));
}

CMsgResults CMsgCtxRequest::Execute(std::string_view name) {
  AddContext();
  if (!m_link.pause.MaySend(m_link.tick()))
    return CMsgResults(kErrorTimeout, "service paused after repeated time-outs");
  CMsgResults results = m_link.send(*this, name, m_timeoutMs);
  int error = results.GetErrorCode();
  if (error == NKorvaConstants::KORVA_E_TIMEOUT) {
    error = kErrorTimeout;
    results = CMsgResults(kErrorTimeout, results.GetErrorText(), results.GetRowSets());
  }
  m_link.pause.Record(error, m_link.tick());
  return results;
}

bool CMsgCtxRequest::Notify(std::string_view name) {
  AddContext();
  if (!m_link.pause.MaySend(m_link.tick())) return false;
  return CMsgRequest::Notify(name);
}

}  // namespace browserguard
