// The window server's answers. Everything in a request is untrusted: the
// handle must name a live window of this very process, and a message is
// delivered only when this process accepts it from others.

#include "server_requests.h"

#include "local_windows.h"
#include "window_port.h"

#include "win/ui/messaging.h"

#include <QString>

#include <unistd.h>

namespace win::detail {
namespace {

bool OwnLiveWindow(std::uint64_t bits)
{
    HWND hwnd = HwndFromBits(bits);
    return IsOwnWindowHandle(hwnd) && ObjectFromHwnd(hwnd) != nullptr;
}

}  // namespace

wire::Reply AnswerRequest(const wire::Request& request, WindowServerCounters& counters)
{
    wire::Reply reply;
    reply.kind = request.kind;
    reply.id = request.id;

    if (request.kind == wire::Kind::FindWindow) {
        reply.hwnd = HwndToBits(FindOwnTopLevel(request.className, request.caption));
        return reply;
    }
    if (!OwnLiveWindow(request.hwnd)) {
        reply.status = wire::Status::NoWindow;
        return reply;
    }
    HWND hwnd = HwndFromBits(request.hwnd);
    auto message = static_cast<UINT>(request.message);
    auto wParam = static_cast<WPARAM>(request.wParam);
    auto lParam = static_cast<LPARAM>(request.lParam);

    switch (request.kind) {
    case wire::Kind::PostMessage:
    case wire::Kind::SendMessage:
        if (!IsMessageAllowedFromOtherProcesses(message)) {
            ++counters.messagesRefused;
            reply.status = wire::Status::Refused;
            return reply;
        }
        if (request.kind == wire::Kind::PostMessage) {
            if (!PostMessage(hwnd, message, wParam, lParam))
                reply.status = wire::Status::NoWindow;
            return reply;
        }
        // The window may live on another thread of this process; SendMessage
        // then blocks this (main) thread until that thread has handled it.
        SetLastError(0);
        reply.result = static_cast<std::int64_t>(SendMessage(hwnd, message, wParam, lParam));
        if (reply.result == 0 && GetLastError() == static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE))
            reply.status = wire::Status::NoWindow;
        return reply;
    default:
        break;
    }

    LRESULT result = 0;
    QString text;
    auto work = [&request, &text](WindowPort* port) -> LRESULT {
        QObject* window = port->window();
        switch (request.kind) {
        case wire::Kind::SetForeground:
            return BringToFront(window) ? 1 : 0;
        case wire::Kind::ShowWindow:
            return ShowObject(window, request.command) ? 1 : 0;
        case wire::Kind::QueryWindow:
            text = CaptionOf(window);
            return IsObjectVisible(window) ? 1 : 0;
        default:
            return 0;
        }
    };
    if (RunOnWindow(WindowNumberOf(hwnd), work, -1, result) != RunStatus::Done) {
        reply.status = wire::Status::NoWindow;
        return reply;
    }
    reply.flag = result != 0;
    reply.text = text;
    return reply;
}

}  // namespace win::detail
