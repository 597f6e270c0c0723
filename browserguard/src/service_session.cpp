#include "browserguard/service_session.h"

#include <charconv>
#include <unistd.h>

#include "win/event.h"

namespace browserguard {

bool ServiceIsRunning() { return win::Event::Exists(kServiceRunningEvent); }

ServiceConnection& ServiceConnection::Process() {
  static ServiceConnection connection;
  return connection;
}

bool ServiceConnection::Ensure() {
  std::lock_guard lock(m_mutex);
  if (m_connected) return *m_connected;
  bool connected = false;
  if (ServiceIsRunning()) {
    CMsgCtxRequest request(kRequestTimeoutMs, m_link);
    request["process.id"] = static_cast<std::int32_t>(::getpid());
    request["third_party_application"] = true;
    const CMsgResults results = request.Execute("korva.service.register_client");
    const CStringValue& id = results.GetCursor()["ctx.id"];
    if (results.Succeeded() && !id.IsEmpty()) {
      m_link.contextId = id.ToInteger();
      connected = true;
    }
  }
  m_connected = connected;
  return connected;
}

bool BrowserSession::Create() {
  if (!ServiceIsRunning()) return false;
  CMsgCtxRequest request(kRequestTimeoutMs, m_link);
  const CMsgResults results = request.Execute("korva.browser.create_session");
  if (results.Failed()) return false;
  const int32_t handle = results.GetCursor()["handle"].ToInteger();
  if (handle == 0) return false;
  m_handle = handle;
  return true;
}

void BrowserSession::Destroy() {
  if (m_handle != 0 && ServiceIsRunning()) {
    CMsgCtxRequest request(kRequestTimeoutMs, m_link);
    request["handle"] = m_handle;
    request.Execute("korva.browser.destroy_session");
  }
  m_handle = 0;
}

std::string BrowserSession::Get(const std::string& name) const {
  if (m_handle == 0) return {};
  CMsgCtxRequest request(kRequestTimeoutMs, m_link);
  request["handle"] = m_handle;
  request["name"] = name;
  const CMsgResults results = request.Execute("korva.browser.get_property");
  if (results.Failed()) return {};
  return results.GetCursor()["value"].ToString();
}

int32_t BrowserSession::GetInt(const std::string& name) const {
  const std::string text = Get(name);
  int32_t value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)ptr;
  return ec == std::errc() ? value : 0;
}

void BrowserSession::Set(const std::string& name, const std::string& value) const {
  if (m_handle == 0) return;
  CMsgCtxRequest request(kRequestTimeoutMs, m_link);
  request["handle"] = m_handle;
  request["name"] = name;
  request["value"] = value;
  request.Execute("korva.browser.set_property");
}

void BrowserSession::SetInt(const std::string& name, int32_t value) const {
  Set(name, std::to_string(value));
}

void BrowserSession::SetMany(const std::vector<std::pair<std::string, std::string>>& values) const {
  if (m_handle == 0) return;
  CMsgCtxRequest request(kRequestTimeoutMs, m_link);
  request["handle"] = m_handle;
  for (const auto& [name, value] : values) request[name] = value;
  request.Execute("korva.browser.set_properties");
}

}  // namespace browserguard
