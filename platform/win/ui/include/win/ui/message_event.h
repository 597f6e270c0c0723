// The Qt event that carries a posted window message to the window's thread.
// Code outside this library rarely needs it: posting and sending go through
// win/ui/messaging.h and handling through CMessageTarget.
#pragma once

#include "win/types.h"

#include <QEvent>

namespace win {

class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(UINT message, WPARAM wParam, LPARAM lParam);

    // The event type, registered with Qt once per process.
    static QEvent::Type EventType();

    UINT message() const { return m_message; }
    WPARAM wParam() const { return m_wParam; }
    LPARAM lParam() const { return m_lParam; }

private:
    UINT m_message;
    WPARAM m_wParam;
    LPARAM m_lParam;
};

}  // namespace win
