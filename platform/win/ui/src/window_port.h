// The per-window helper object behind a handle: a child of the window, so it
// lives on the window's thread and dies with it. Posted messages are events
// sent to the port (Qt discards the queued ones when the port dies), and the
// port runs every message through the window's handler.
#pragma once

#include "win/ui/window_handle.h"

#include <QObject>

#include <atomic>

namespace win::detail {

class WindowPort : public QObject {
public:
    explicit WindowPort(QObject* window);
    ~WindowPort() override;

    HWND hwnd() const { return m_hwnd; }
    QObject* window() const { return m_pWindow; }
    bool alive() const { return m_bAlive.load(); }

    // Takes the port out of the table: its handle is dead from now on and
    // sends waiting for it return 0. Window thread only.
    void Retire();

    // Runs MESSAGE through the window's handler, then DefWindowProc. 0 once
    // the port is retired. Window thread only.
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    bool event(QEvent* event) override;

private:
    QObject* m_pWindow;
    HWND m_hwnd = nullptr;
    std::atomic<bool> m_bAlive{true};  // read by other threads under the table's lock
};

}  // namespace win::detail
