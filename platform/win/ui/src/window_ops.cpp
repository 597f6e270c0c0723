// FindWindow and the window operations on a handle.

#include "win/ui/window_ops.h"

#include "local_windows.h"
#include "peer_directory.h"
#include "remote_call.h"
#include "server_requests.h"
#include "window_port.h"

#include "win/ui/window_messages.h"

#include <unistd.h>

namespace win {
namespace {

using detail::RunStatus;

std::optional<QString> Optional(const QString* text)
{
    return text != nullptr ? std::optional<QString>(*text) : std::nullopt;
}

std::optional<QString> Optional(const wchar_t* text)
{
    return text != nullptr ? std::optional<QString>(QString::fromWCharArray(text)) : std::nullopt;
}

HWND FindAnywhere(const std::optional<QString>& className, const std::optional<QString>& caption)
{
    detail::EnsureWindowServerLinked();
    std::optional<LRESULT> own = detail::RunOnMainThread([&className, &caption] {
        return static_cast<LRESULT>(HwndToBits(detail::FindOwnTopLevel(className, caption)));
    });
    if (own && *own != 0)
        return HwndFromBits(static_cast<std::uint64_t>(*own));

    detail::wire::Request request;
    request.kind = detail::wire::Kind::FindWindow;
    request.className = className;
    request.caption = caption;
    for (std::uint32_t processId : detail::LivePeerProcesses()) {
        detail::RemoteOutcome outcome = detail::CallWindowServer(processId, request, kRemoteQueryTimeoutMs);
        if (!outcome.reply || outcome.reply->status != detail::wire::Status::Ok || outcome.reply->hwnd == 0)
            continue;
        HWND found = HwndFromBits(outcome.reply->hwnd);
        // A server answers only with its own windows; anything else is a
        // confused or lying peer.
        if (ProcessIdOfWindow(found) == processId)
            return found;
    }
    return nullptr;
}

// The window operation for HWND of either kind. LOCAL runs on this
// process's window; REMOTE_KIND (with COMMAND) goes to the other process.
// Fills REPLY for a remote answer. False when there is no such window.
bool Operate(HWND hwnd, const std::function<LRESULT(QObject*)>& local, detail::wire::Kind remoteKind,
             std::int32_t command, LRESULT& localResult, detail::wire::Reply& reply)
{
    if (hwnd == nullptr) {
        SetLastError(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        return false;
    }
    if (detail::IsOwnWindowHandle(hwnd)) {
        RunStatus status = detail::RunOnWindow(
            WindowNumberOf(hwnd), [&local](detail::WindowPort* port) { return local(port->window()); }, -1,
            localResult);
        if (status != RunStatus::Done) {
            SetLastError(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
            return false;
        }
        reply.flag = localResult != 0;
        return true;
    }
    detail::wire::Request request;
    request.kind = remoteKind;
    request.hwnd = HwndToBits(hwnd);
    request.command = command;
    detail::RemoteOutcome outcome =
        detail::CallWindowServer(ProcessIdOfWindow(hwnd), request, kRemoteQueryTimeoutMs);
    if (!outcome.reply || outcome.reply->status != detail::wire::Status::Ok) {
        SetLastError(static_cast<DWORD>(outcome.reply || !outcome.delivered ? ERROR_INVALID_WINDOW_HANDLE
                                                                             : ERROR_TIMEOUT));
        return false;
    }
    reply = *outcome.reply;
    return true;
}

}  // namespace

HWND FindWindow(const wchar_t* className, const wchar_t* caption)
{
    return FindAnywhere(Optional(className), Optional(caption));
}

HWND FindWindow(const QString* className, const QString* caption)
{
    return FindAnywhere(Optional(className), Optional(caption));
}

HWND FindWindowByCaption(const QString& caption)
{
    return FindAnywhere(std::nullopt, caption);
}

BOOL SetForegroundWindow(HWND hwnd)
{
    LRESULT local = 0;
    detail::wire::Reply reply;
    bool ok = Operate(
        hwnd, [](QObject* window) -> LRESULT { return detail::BringToFront(window) ? TRUE : FALSE; },
        detail::wire::Kind::SetForeground, 0, local, reply);
    return ok && reply.flag ? TRUE : FALSE;
}

BOOL ShowWindow(HWND hwnd, int command)
{
    LRESULT local = 0;
    detail::wire::Reply reply;
    bool ok = Operate(
        hwnd, [command](QObject* window) -> LRESULT { return detail::ShowObject(window, command) ? TRUE : FALSE; },
        detail::wire::Kind::ShowWindow, command, local, reply);
    return ok && reply.flag ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd)
{
    LRESULT local = 0;
    detail::wire::Reply reply;
    bool ok = Operate(
        hwnd, [](QObject* window) -> LRESULT { return detail::IsObjectVisible(window) ? TRUE : FALSE; },
        detail::wire::Kind::QueryWindow, 0, local, reply);
    return ok && reply.flag ? TRUE : FALSE;
}

QString GetWindowText(HWND hwnd)
{
    if (detail::IsOwnWindowHandle(hwnd)) {
        QString text;
        LRESULT ignored = 0;
        detail::RunOnWindow(
            WindowNumberOf(hwnd),
            [&text](detail::WindowPort* port) -> LRESULT {
                text = detail::CaptionOf(port->window());
                return 0;
            },
            -1, ignored);
        return text;
    }
    LRESULT local = 0;
    detail::wire::Reply reply;
    if (!Operate(hwnd, nullptr, detail::wire::Kind::QueryWindow, 0, local, reply))
        return {};
    return reply.text;
}

QString GetClassName(HWND hwnd)
{
    QString name;
    if (!detail::IsOwnWindowHandle(hwnd))
        return name;
    LRESULT ignored = 0;
    detail::RunOnWindow(
        WindowNumberOf(hwnd),
        [&name](detail::WindowPort* port) -> LRESULT {
            name = detail::ClassNameOf(port->window());
            return 0;
        },
        -1, ignored);
    return name;
}

void SetWindowClassName(QObject* window, const QString& className)
{
    if (window != nullptr)
        detail::SetClassNameProperty(window, className);
}

}  // namespace win
