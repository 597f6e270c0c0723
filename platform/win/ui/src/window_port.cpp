#include "window_port.h"

#include "thread_inbox.h"
#include "window_table.h"

#include "win/ui/message_event.h"
#include "win/ui/message_target.h"

#include <QPointer>

namespace win {

WindowMessageEvent::WindowMessageEvent(UINT message, WPARAM wParam, LPARAM lParam)
    : QEvent(EventType()), m_message(message), m_wParam(wParam), m_lParam(lParam)
{
}

QEvent::Type WindowMessageEvent::EventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

namespace detail {

WindowPort::WindowPort(QObject* window) : QObject(window), m_pWindow(window)
{
    setObjectName(QStringLiteral("kelm_window_port"));
    m_hwnd = WindowTable::Instance().Add(this, window);
}

WindowPort::~WindowPort()
{
    Retire();
    WindowTable::Instance().Remove(this);
}

void WindowPort::Retire()
{
    if (!m_bAlive.exchange(false))
        return;
    WindowTable::Instance().Retire(WindowNumberOf(m_hwnd), this);
    // Sends from other threads that are still queued for this window return
    // 0 now instead of waiting for a window that will never answer.
    ThreadInbox::Of(thread())->CancelWindow(WindowNumberOf(m_hwnd));
}

LRESULT WindowPort::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!alive())
        return 0;
    // Looked up per message: the CMessageTarget part may not exist yet while
    // the window is being built, nor any more while it is being destroyed.
    CMessageTarget* target = dynamic_cast<CMessageTarget*>(m_pWindow);
    QPointer<WindowPort> self(this);
    HWND hwnd = m_hwnd;
    if (target != nullptr) {
        LRESULT result = 0;
        if (target->OnMessage(message, wParam, lParam, result))
            return result;
    }
    // The handler may have destroyed the window (and this port with it).
    if (self.isNull() || !self->alive())
        return 0;
    return DefWindowProc(hwnd, message, wParam, lParam);
}

bool WindowPort::event(QEvent* event)
{
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        Dispatch(message->message(), message->wParam(), message->lParam());
        return true;
    }
    return QObject::event(event);
}

}  // namespace detail
}  // namespace win
