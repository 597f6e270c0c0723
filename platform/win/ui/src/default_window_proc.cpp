// What a window does with a message its own handler left alone.

#include "win/ui/message_target.h"
#include "win/ui/messaging.h"

#include <QWidget>

#include <algorithm>
#include <string>

namespace win {
namespace {

QString CaptionOf(QObject* window)
{
    if (auto* widget = qobject_cast<QWidget*>(window))
        return widget->windowTitle();
    return window->objectName();
}

void SetCaption(QObject* window, const QString& text)
{
    if (auto* widget = qobject_cast<QWidget*>(window))
        widget->setWindowTitle(text);
    else
        window->setObjectName(text);
}

LRESULT SystemCommand(HWND hwnd, QWidget* widget, WPARAM command)
{
    // The low four bits of the command are used by the system; Windows masks
    // them off too.
    switch (command & 0xFFF0) {
    case SC_CLOSE:
        // Goes through the window's own handler first, as on Windows.
        SendMessage(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case SC_MINIMIZE:
        if (widget != nullptr)
            widget->showMinimized();
        return 0;
    case SC_MAXIMIZE:
        if (widget != nullptr)
            widget->showMaximized();
        return 0;
    case SC_RESTORE:
        if (widget != nullptr)
            widget->showNormal();
        return 0;
    default:
        return 0;
    }
}

}  // namespace

LRESULT DefWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Runs on the window's thread only; the object is ours to touch.
    QObject* window = ObjectFromHwnd(hwnd);
    if (window == nullptr)
        return 0;
    auto* widget = qobject_cast<QWidget*>(window);
    switch (message) {
    case WM_CLOSE:
        if (widget != nullptr)
            widget->close();
        return 0;
    case WM_SYSCOMMAND:
        return SystemCommand(hwnd, widget, wParam);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(CaptionOf(window).toStdWString().size());
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<wchar_t*>(lParam);
        if (buffer == nullptr || wParam == 0)
            return 0;
        std::wstring text = CaptionOf(window).toStdWString();
        size_t count = std::min<size_t>(text.size(), static_cast<size_t>(wParam) - 1);
        std::copy_n(text.data(), count, buffer);
        buffer[count] = L'\0';
        return static_cast<LRESULT>(count);
    }
    case WM_SETTEXT: {
        auto* text = reinterpret_cast<const wchar_t*>(lParam);
        SetCaption(window, text == nullptr ? QString() : QString::fromWCharArray(text));
        return TRUE;
    }
    default:
        return 0;
    }
}

}  // namespace win
