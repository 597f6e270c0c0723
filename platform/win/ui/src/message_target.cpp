#include "win/ui/message_target.h"

#include "server_requests.h"
#include "window_port.h"
#include "window_table.h"

namespace win {

CMessageTarget::CMessageTarget(QObject* window) : m_pWindow(window)
{
    detail::EnsureWindowServerLinked();
}

CMessageTarget::~CMessageTarget()
{
    // The deriving class is gone: from here on the handle is dead, so no
    // message reaches a half-destroyed window.
    if (detail::WindowPort* port = detail::WindowTable::Instance().PortOfObject(m_pWindow))
        port->Retire();
}

HWND CMessageTarget::GetSafeHwnd() const
{
    return HwndFromObject(m_pWindow);
}

bool CMessageTarget::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    auto it = m_mapHandlers.find(message);
    if (it == m_mapHandlers.end())
        return false;
    // A copy: the handler may remap its own message while it runs.
    Handler handler = it->second;
    result = handler(wParam, lParam);
    return true;
}

void CMessageTarget::MapMessage(UINT message, Handler handler)
{
    if (handler)
        m_mapHandlers[message] = std::move(handler);
    else
        m_mapHandlers.erase(message);
}

}  // namespace win
