#include "local_windows.h"

#include "thread_inbox.h"
#include "window_port.h"
#include "window_table.h"

#include "win/ui/message_event.h"
#include "win/ui/window_messages.h"

#include <QApplication>
#include <QCoreApplication>
#include <QThread>
#include <QVariant>
#include <QWidget>

#include <atomic>
#include <memory>
#include <unistd.h>

namespace win::detail {
namespace {

constexpr const char* kClassNameProperty = "kelm_window_class";

WindowPort* LookUpPort(std::uint32_t number)
{
    WindowPort* found = nullptr;
    WindowTable::Instance().WithPort(number, [&](WindowPort* port) { found = port; });
    return found;
}

}  // namespace

bool IsOwnWindowHandle(HWND hwnd)
{
    return hwnd != nullptr && ProcessIdOfWindow(hwnd) == static_cast<std::uint32_t>(::getpid());
}

RunStatus RunOnWindow(std::uint32_t number, const std::function<LRESULT(WindowPort*)>& fn, int timeoutMs,
                      LRESULT& result)
{
    result = 0;
    QThread* thread = WindowTable::Instance().ThreadOf(number);
    if (thread == nullptr)
        return RunStatus::NoWindow;
    if (thread == QThread::currentThread()) {
        // Ports of this thread are destroyed only on this thread, so the
        // pointer stays good while FN runs.
        WindowPort* port = LookUpPort(number);
        if (port == nullptr)
            return RunStatus::NoWindow;
        result = fn(port);
        return RunStatus::Done;
    }

    auto gone = std::make_shared<std::atomic<bool>>(false);
    Nudger nudge = [number](const std::function<void()>& drain) {
        bool queued = false;
        // Under the table's lock the port cannot be destroyed while the
        // queued call is posted to it.
        WindowTable::Instance().WithPort(number, [&](WindowPort* port) {
            if (port != nullptr) {
                QMetaObject::invokeMethod(port, drain, Qt::QueuedConnection);
                queued = true;
            }
        });
        return queued;
    };
    auto work = [number, fn, gone]() -> LRESULT {
        WindowPort* port = LookUpPort(number);
        if (port == nullptr) {
            gone->store(true);
            return 0;
        }
        return fn(port);
    };
    bool cancelled = false;
    std::optional<LRESULT> answer = CallOnThread(thread, nudge, number, work, timeoutMs, &cancelled);
    if (cancelled || (answer && gone->load()))
        return RunStatus::NoWindow;
    if (!answer)
        return RunStatus::TimedOut;
    result = *answer;
    return RunStatus::Done;
}

std::optional<LRESULT> RunOnMainThread(const std::function<LRESULT()>& fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr)
        return std::nullopt;
    if (QThread::currentThread() == app->thread())
        return fn();
    Nudger nudge = [](const std::function<void()>& drain) {
        QCoreApplication* current = QCoreApplication::instance();
        if (current == nullptr)
            return false;
        QMetaObject::invokeMethod(current, drain, Qt::QueuedConnection);
        return true;
    };
    return CallOnThread(app->thread(), nudge, 0, fn, -1);
}

bool PostToOwnWindow(std::uint32_t number, UINT message, WPARAM wParam, LPARAM lParam)
{
    bool posted = false;
    WindowTable::Instance().WithPort(number, [&](WindowPort* port) {
        if (port != nullptr && port->alive()) {
            QCoreApplication::postEvent(port, new WindowMessageEvent(message, wParam, lParam));
            posted = true;
        }
    });
    return posted;
}

HWND FindOwnTopLevel(const std::optional<QString>& className, const std::optional<QString>& caption)
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return nullptr;
    QWidget* hiddenMatch = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isWindow() || widget->windowType() == Qt::Desktop)
            continue;
        if (caption && widget->windowTitle() != *caption)
            continue;
        if (className && ClassNameOf(widget) != *className)
            continue;
        if (widget->isVisible())
            return HwndFromObject(widget);
        if (hiddenMatch == nullptr)
            hiddenMatch = widget;
    }
    return hiddenMatch != nullptr ? HwndFromObject(hiddenMatch) : nullptr;
}

QString CaptionOf(QObject* window)
{
    if (auto* widget = qobject_cast<QWidget*>(window))
        return widget->windowTitle();
    return window->objectName();
}

QString ClassNameOf(QObject* window)
{
    QVariant name = window->property(kClassNameProperty);
    if (name.isValid())
        return name.toString();
    return QString::fromLatin1(window->metaObject()->className());
}

bool IsObjectVisible(QObject* window)
{
    auto* widget = qobject_cast<QWidget*>(window);
    return widget != nullptr && widget->isVisible();
}

bool BringToFront(QObject* window)
{
    auto* widget = qobject_cast<QWidget*>(window);
    if (widget == nullptr)
        return false;
    QWidget* top = widget->window();
    if (top->isMinimized()) {
        top->setWindowState(top->windowState() & ~Qt::WindowMinimized);
        top->show();
    }
    top->raise();
    top->activateWindow();
    return true;
}

bool ShowObject(QObject* window, int command)
{
    auto* widget = qobject_cast<QWidget*>(window);
    if (widget == nullptr)
        return false;
    bool wasVisible = widget->isVisible();
    switch (command) {
    case SW_HIDE:
        widget->hide();
        break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
        widget->showNormal();
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
        widget->showMinimized();
        break;
    case SW_SHOWMAXIMIZED:
        widget->showMaximized();
        break;
    case SW_SHOW:
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
        widget->show();
        break;
    default:
        break;  // unknown commands change nothing
    }
    return wasVisible;
}

void SetClassNameProperty(QObject* window, const QString& className)
{
    window->setProperty(kClassNameProperty, className);
}

}  // namespace win::detail
