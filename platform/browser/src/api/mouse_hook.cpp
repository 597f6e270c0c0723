// Thread mouse hooks, fed by one application-wide event filter.

#include "browser/mouse_hook.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace kb {
namespace {

struct Hook {
    HHOOK handle;
    HOOKPROC proc;
    DWORD thread;
    std::atomic<bool> removed{false};
};

struct Hooks {
    std::mutex mutex;
    std::unordered_map<DWORD, std::vector<std::shared_ptr<Hook>>> chains;  // newest first
    std::uintptr_t next = 1;
    bool filterInstalled = false;
};

Hooks& TheHooks()
{
    static Hooks* hooks = new Hooks;
    return *hooks;
}

// The hooks of THREAD from the one after AFTER (nullptr: from the head).
std::shared_ptr<Hook> NextHook(DWORD thread, HHOOK after)
{
    Hooks& hooks = TheHooks();
    std::lock_guard lock(hooks.mutex);
    auto it = hooks.chains.find(thread);
    if (it == hooks.chains.end())
        return nullptr;
    const auto& chain = it->second;
    std::size_t start = 0;
    if (after != nullptr) {
        auto pos = std::find_if(chain.begin(), chain.end(), [after](const auto& h) { return h->handle == after; });
        if (pos == chain.end())
            return nullptr;
        start = static_cast<std::size_t>(pos - chain.begin()) + 1;
    }
    for (std::size_t i = start; i < chain.size(); ++i) {
        if (!chain[i]->removed.load())
            return chain[i];
    }
    return nullptr;
}

bool ThreadHasHooks(DWORD thread)
{
    Hooks& hooks = TheHooks();
    std::lock_guard lock(hooks.mutex);
    auto it = hooks.chains.find(thread);
    return it != hooks.chains.end() && !it->second.empty();
}

UINT MessageOf(const QMouseEvent& event)
{
    Qt::MouseButton button = event.button();
    switch (event.type()) {
    case QEvent::MouseMove:
        return WM_MOUSEMOVE;
    case QEvent::MouseButtonPress:
        return button == Qt::LeftButton    ? WM_LBUTTONDOWN
             : button == Qt::RightButton  ? WM_RBUTTONDOWN
             : button == Qt::MiddleButton ? WM_MBUTTONDOWN
                                          : 0;
    case QEvent::MouseButtonRelease:
        return button == Qt::LeftButton    ? WM_LBUTTONUP
             : button == Qt::RightButton  ? WM_RBUTTONUP
             : button == Qt::MiddleButton ? WM_MBUTTONUP
                                          : 0;
    case QEvent::MouseButtonDblClick:
        return button == Qt::LeftButton    ? WM_LBUTTONDBLCLK
             : button == Qt::RightButton  ? WM_RBUTTONDBLCLK
             : button == Qt::MiddleButton ? WM_MBUTTONDBLCLK
                                          : 0;
    default:
        return 0;
    }
}

class MouseHookFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
            type != QEvent::MouseButtonDblClick && type != QEvent::MouseMove)
            return false;
        // Only widgets: the same input also passes through Qt's window
        // objects, and an event a widget ignores is offered to its parents
        // as the same object; each event reaches the hooks once.
        if (!watched->isWidgetType())
            return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        // Qt offers an ignored event to the parents as a copy with the same
        // time stamp and position.
        QPointF global = mouse->globalPosition();
        bool propagated = type == m_lastType && mouse->timestamp() == m_lastTimestamp && global == m_lastGlobal &&
                          mouse->button() == m_lastButton && !m_lastWidget.isNull() && m_lastWidget != widget &&
                          widget->isAncestorOf(m_lastWidget);
        m_lastType = type;
        m_lastTimestamp = mouse->timestamp();
        m_lastGlobal = global;
        m_lastButton = mouse->button();
        m_lastWidget = widget;
        if (propagated)
            return false;
        if (!ThreadHasHooks(GetCurrentThreadId()))
            return false;
        UINT message = MessageOf(*mouse);
        HWND hwnd = WindowFromObject(watched);
        if (message == 0 || hwnd == nullptr)
            return false;
        QPoint point = global.toPoint();
        return RunMouseHooks(message, hwnd, POINT{point.x(), point.y()}) != 0;
    }

private:
    quint64 m_lastTimestamp = 0;
    QEvent::Type m_lastType = QEvent::None;
    QPointF m_lastGlobal;
    Qt::MouseButton m_lastButton = Qt::NoButton;
    QPointer<QWidget> m_lastWidget;
};

void EnsureFilter()
{
    Hooks& hooks = TheHooks();
    {
        std::lock_guard lock(hooks.mutex);
        if (hooks.filterInstalled)
            return;
        hooks.filterInstalled = true;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr)
        return;
    // The filter must live on the application's thread.
    QMetaObject::invokeMethod(
        app,
        [app] {
            auto* filter = new MouseHookFilter(app);
            app->installEventFilter(filter);
        },
        QThread::currentThread() == app->thread() ? Qt::DirectConnection : Qt::QueuedConnection);
}

}  // namespace

HHOOK SetWindowsHookEx(int hookType, HOOKPROC proc, void*, DWORD threadId)
{
    if (hookType != WH_MOUSE || proc == nullptr || threadId == 0)
        return nullptr;
    Hooks& hooks = TheHooks();
    auto hook = std::make_shared<Hook>();
    hook->proc = proc;
    hook->thread = threadId;
    {
        std::lock_guard lock(hooks.mutex);
        hook->handle = reinterpret_cast<HHOOK>(hooks.next++);
        auto& chain = hooks.chains[threadId];
        chain.insert(chain.begin(), hook);
    }
    EnsureFilter();
    return hook->handle;
}

BOOL UnhookWindowsHookEx(HHOOK handle)
{
    Hooks& hooks = TheHooks();
    std::lock_guard lock(hooks.mutex);
    for (auto& [thread, chain] : hooks.chains) {
        auto it = std::find_if(chain.begin(), chain.end(), [handle](const auto& h) { return h->handle == handle; });
        if (it == chain.end())
            continue;
        // A chain that is running holds its own references; the flag stops it
        // from calling this hook any more.
        (*it)->removed.store(true);
        chain.erase(it);
        return win::TRUE;
    }
    return win::FALSE;
}

LRESULT CallNextHookEx(HHOOK handle, int code, WPARAM wParam, LPARAM lParam)
{
    if (handle == nullptr)
        return 0;
    DWORD thread = 0;
    {
        Hooks& hooks = TheHooks();
        std::lock_guard lock(hooks.mutex);
        for (const auto& [t, chain] : hooks.chains) {
            if (std::any_of(chain.begin(), chain.end(), [handle](const auto& h) { return h->handle == handle; })) {
                thread = t;
                break;
            }
        }
    }
    if (thread == 0)
        return 0;  // unhooked meanwhile: the chain ends here
    std::shared_ptr<Hook> next = NextHook(thread, handle);
    if (next == nullptr)
        return 0;
    return next->proc(code, wParam, lParam);
}

LRESULT RunMouseHooks(UINT message, HWND hwnd, POINT screenPoint)
{
    std::shared_ptr<Hook> first = NextHook(GetCurrentThreadId(), nullptr);
    if (first == nullptr)
        return 0;
    MOUSEHOOKSTRUCT info;
    info.pt = screenPoint;
    info.hwnd = hwnd;
    info.wHitTestCode = 1;  // HTCLIENT
    return first->proc(HC_ACTION, static_cast<WPARAM>(message), reinterpret_cast<LPARAM>(&info));
}

}  // namespace kb
