// Handles, posting and sending: the local path for this process's windows,
// the window server path for the others.

#include "win/ui/messaging.h"
#include "win/ui/window_ops.h"

#include "local_windows.h"
#include "remote_call.h"
#include "server_requests.h"
#include "window_port.h"
#include "window_table.h"

#include <QCoreApplication>
#include <QThread>
#include <QWidget>

#include <unistd.h>

namespace win {
namespace {

using detail::RunStatus;

void SetError(LONG error)
{
    SetLastError(static_cast<DWORD>(error));
}

detail::wire::Request MessageRequest(detail::wire::Kind kind, HWND hwnd, UINT message, WPARAM wParam,
                                     LPARAM lParam)
{
    detail::wire::Request request;
    request.kind = kind;
    request.hwnd = HwndToBits(hwnd);
    request.message = message;
    request.wParam = static_cast<std::uint64_t>(wParam);
    request.lParam = static_cast<std::uint64_t>(lParam);
    return request;
}

// Sends to a window of this process; TIMEOUT_MS < 0 waits without limit.
bool SendToOwnWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int timeoutMs, LRESULT& result)
{
    RunStatus status = detail::RunOnWindow(
        WindowNumberOf(hwnd),
        [message, wParam, lParam](detail::WindowPort* port) { return port->Dispatch(message, wParam, lParam); },
        timeoutMs, result);
    switch (status) {
    case RunStatus::Done:
        return true;
    case RunStatus::NoWindow:
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    case RunStatus::TimedOut:
        SetError(ERROR_TIMEOUT);
        return false;
    }
    return false;
}

bool SendToOtherProcess(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int timeoutMs, LRESULT& result)
{
    result = 0;
    detail::RemoteOutcome outcome = detail::CallWindowServer(
        ProcessIdOfWindow(hwnd), MessageRequest(detail::wire::Kind::SendMessage, hwnd, message, wParam, lParam),
        timeoutMs);
    if (!outcome.reply) {
        SetError(outcome.delivered ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    switch (outcome.reply->status) {
    case detail::wire::Status::Ok:
        result = static_cast<LRESULT>(outcome.reply->result);
        return true;
    case detail::wire::Status::Refused:
        SetError(ERROR_ACCESS_DENIED);
        return false;
    case detail::wire::Status::NoWindow:
        break;
    }
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
}

}  // namespace

HWND HwndFromObject(QObject* object)
{
    detail::EnsureWindowServerLinked();
    if (object == nullptr)
        return nullptr;
    // A retired port means the window is being destroyed: no new handle.
    if (detail::WindowPort* port = detail::WindowTable::Instance().PortOfObject(object))
        return port->alive() ? port->hwnd() : nullptr;
    // A port can only be made on the object's own thread (it becomes the
    // object's child). It is built outside the table's lock: adding a child
    // sends the parent an event, which may run code that calls back here.
    if (object->thread() != QThread::currentThread())
        return nullptr;
    auto* port = new detail::WindowPort(object);
    return port->hwnd();
}

HWND HwndFromWidget(QWidget* widget)
{
    return HwndFromObject(widget);
}

QObject* ObjectFromHwnd(HWND hwnd)
{
    if (!detail::IsOwnWindowHandle(hwnd))
        return nullptr;
    QObject* object = nullptr;
    detail::WindowTable::Instance().WithPort(WindowNumberOf(hwnd), [&](detail::WindowPort* port) {
        if (port != nullptr && port->alive())
            object = port->window();
    });
    return object;
}

QWidget* WidgetFromHwnd(HWND hwnd)
{
    return qobject_cast<QWidget*>(ObjectFromHwnd(hwnd));
}

BOOL IsWindow(HWND hwnd)
{
    if (hwnd == nullptr)
        return FALSE;
    if (detail::IsOwnWindowHandle(hwnd))
        return ObjectFromHwnd(hwnd) != nullptr ? TRUE : FALSE;
    detail::wire::Request request;
    request.kind = detail::wire::Kind::QueryWindow;
    request.hwnd = HwndToBits(hwnd);
    detail::RemoteOutcome outcome =
        detail::CallWindowServer(ProcessIdOfWindow(hwnd), request, kRemoteQueryTimeoutMs);
    return outcome.reply && outcome.reply->status == detail::wire::Status::Ok ? TRUE : FALSE;
}

BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    detail::EnsureWindowServerLinked();
    if (hwnd == nullptr) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (detail::IsOwnWindowHandle(hwnd)) {
        if (detail::PostToOwnWindow(WindowNumberOf(hwnd), message, wParam, lParam))
            return TRUE;
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    detail::RemoteOutcome outcome = detail::CallWindowServer(
        ProcessIdOfWindow(hwnd), MessageRequest(detail::wire::Kind::PostMessage, hwnd, message, wParam, lParam),
        kPostAckTimeoutMs);
    if (!outcome.reply) {
        // Handed over but not acknowledged in time: the server reads it when
        // its main thread gets to it, so the post stands.
        if (outcome.delivered)
            return TRUE;
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    switch (outcome.reply->status) {
    case detail::wire::Status::Ok:
        return TRUE;
    case detail::wire::Status::Refused:
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    case detail::wire::Status::NoWindow:
        break;
    }
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    detail::EnsureWindowServerLinked();
    LRESULT result = 0;
    if (hwnd == nullptr) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (detail::IsOwnWindowHandle(hwnd))
        SendToOwnWindow(hwnd, message, wParam, lParam, -1, result);
    else
        SendToOtherProcess(hwnd, message, wParam, lParam, kRemoteSendTimeoutMs, result);
    return result;
}

LRESULT SendMessageTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT /*flags*/,
                           UINT timeoutMs, LRESULT* result)
{
    detail::EnsureWindowServerLinked();
    if (result != nullptr)
        *result = 0;
    if (hwnd == nullptr) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    int limit = timeoutMs > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(timeoutMs);
    LRESULT answer = 0;
    bool ok = detail::IsOwnWindowHandle(hwnd) ? SendToOwnWindow(hwnd, message, wParam, lParam, limit, answer)
                                               : SendToOtherProcess(hwnd, message, wParam, lParam, limit, answer);
    if (!ok)
        return 0;
    if (result != nullptr)
        *result = answer;
    return 1;
}

void PostQuitMessage(int exitCode)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr)
        return;
    if (QThread::currentThread() == app->thread()) {
        QMetaObject::invokeMethod(app, [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
        return;
    }
    QThread* thread = QThread::currentThread();
    thread->exit(exitCode);
}

}  // namespace win
