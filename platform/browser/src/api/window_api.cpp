#include "browser/window_api.h"

#include "browser/window_subclass.h"
#include "win/ui/window_ops.h"

#include <QApplication>
#include <QThread>
#include <QWidget>

#include <mutex>
#include <unordered_map>

#include <unistd.h>

namespace kb {
namespace {

constexpr const char* kRegisteredProperty = "kelmRegisteredWindow";

QWidget* OwnWidget(HWND hwnd)
{
    return win::WidgetFromHwnd(hwnd);
}

// The nearest registered widget above WIDGET (not WIDGET itself), stopping
// at the window WIDGET belongs to unless CROSS_WINDOWS.
QWidget* RegisteredAncestor(QWidget* widget, bool crossWindows)
{
    if (widget == nullptr)
        return nullptr;
    if (widget->isWindow() && !crossWindows)
        return nullptr;
    for (QWidget* w = widget->parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (IsRegisteredWindow(w))
            return w;
        if (w->isWindow() && !crossWindows)
            return nullptr;
    }
    return nullptr;
}

void VisitChildren(QWidget* parent, bool descend, const std::function<bool(QWidget*)>& visit, bool& stop)
{
    for (QObject* child : parent->children()) {
        if (stop)
            return;
        auto* widget = qobject_cast<QWidget*>(child);
        // Separate top-level windows (dialogs owned by this one) are not children.
        if (widget == nullptr || widget->isWindow())
            continue;
        if (IsRegisteredWindow(widget)) {
            if (!visit(widget)) {
                stop = true;
                return;
            }
            if (!descend)
                continue;
        }
        VisitChildren(widget, descend, visit, stop);
    }
}

RECT ToRect(const QRect& r)
{
    return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

struct ThreadIds {
    std::mutex mutex;
    std::unordered_map<QThread*, DWORD> ids;
    DWORD next = 1;
};

DWORD ThreadIdOf(QThread* thread)
{
    static ThreadIds* table = new ThreadIds;
    if (thread == nullptr)
        return 0;
    std::lock_guard lock(table->mutex);
    auto [it, inserted] = table->ids.emplace(thread, table->next);
    if (inserted)
        ++table->next;
    return it->second;
}

}  // namespace

HWND RegisterWindow(QWidget* widget, const QString& className)
{
    if (widget == nullptr)
        return nullptr;
    win::SetWindowClassName(widget, className);
    widget->setProperty(kRegisteredProperty, true);
    return win::HwndFromWidget(widget);
}

bool IsRegisteredWindow(const QObject* object)
{
    return object != nullptr && object->property(kRegisteredProperty).toBool();
}

HWND WindowFromObject(QObject* object)
{
    for (QObject* o = object; o != nullptr; o = o->parent()) {
        if (!o->isWidgetType())
            return nullptr;
        if (IsRegisteredWindow(o))
            return win::HwndFromObject(o);
    }
    return nullptr;
}

HWND GetParent(HWND hwnd)
{
    QWidget* widget = OwnWidget(hwnd);
    if (widget == nullptr)
        return nullptr;
    // An owned top-level window (a dialog) answers its owner, as on Windows.
    QWidget* parent = RegisteredAncestor(widget, /*crossWindows=*/true);
    return parent != nullptr ? win::HwndFromWidget(parent) : nullptr;
}

HWND GetAncestor(HWND hwnd, UINT flags)
{
    QWidget* widget = OwnWidget(hwnd);
    if (widget == nullptr)
        return nullptr;
    switch (flags) {
    case GA_PARENT: {
        QWidget* parent = RegisteredAncestor(widget, /*crossWindows=*/false);
        return parent != nullptr ? win::HwndFromWidget(parent) : nullptr;
    }
    case GA_ROOT: {
        QWidget* root = widget;
        while (QWidget* parent = RegisteredAncestor(root, /*crossWindows=*/false))
            root = parent;
        return win::HwndFromWidget(root);
    }
    case GA_ROOTOWNER: {
        QWidget* root = widget;
        while (QWidget* parent = RegisteredAncestor(root, /*crossWindows=*/true))
            root = parent;
        return win::HwndFromWidget(root);
    }
    default:
        return nullptr;
    }
}

BOOL EnumChildWindows(HWND parent, const std::function<bool(HWND)>& callback)
{
    QWidget* widget = OwnWidget(parent);
    if (widget == nullptr)
        return win::FALSE;
    bool stop = false;
    VisitChildren(
        widget, /*descend=*/true, [&](QWidget* child) { return callback(win::HwndFromWidget(child)); }, stop);
    return win::TRUE;
}

HWND FindWindowEx(HWND parent, HWND childAfter, const QString* className, const QString* text)
{
    QWidget* widget = OwnWidget(parent);
    if (widget == nullptr)
        return nullptr;
    HWND found = nullptr;
    bool passed = childAfter == nullptr;
    bool stop = false;
    VisitChildren(
        widget, /*descend=*/false,
        [&](QWidget* child) {
            HWND hwnd = win::HwndFromWidget(child);
            if (!passed) {
                passed = hwnd == childAfter;
                return true;
            }
            if (className != nullptr && win::GetClassName(hwnd) != *className)
                return true;
            if (text != nullptr && win::GetWindowText(hwnd) != *text)
                return true;
            found = hwnd;
            return false;
        },
        stop);
    return found;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect)
{
    QWidget* widget = OwnWidget(hwnd);
    if (widget == nullptr || rect == nullptr)
        return win::FALSE;
    if (widget->isWindow())
        *rect = ToRect(widget->frameGeometry());
    else
        *rect = ToRect(QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()));
    return win::TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect)
{
    QWidget* widget = OwnWidget(hwnd);
    if (widget == nullptr || rect == nullptr)
        return win::FALSE;
    *rect = ToRect(QRect(QPoint(0, 0), widget->size()));
    return win::TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point)
{
    QWidget* widget = OwnWidget(hwnd);
    if (widget == nullptr || point == nullptr)
        return win::FALSE;
    QPoint local = widget->mapFromGlobal(QPoint(point->x, point->y));
    point->x = local.x();
    point->y = local.y();
    return win::TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point)
{
    QWidget* widget = OwnWidget(hwnd);
    if (widget == nullptr || point == nullptr)
        return win::FALSE;
    QPoint global = widget->mapToGlobal(QPoint(point->x, point->y));
    point->x = global.x();
    point->y = global.y();
    return win::TRUE;
}

HWND HwndTop() { return reinterpret_cast<HWND>(std::intptr_t{0}); }
HWND HwndBottom() { return reinterpret_cast<HWND>(std::intptr_t{1}); }
HWND HwndTopmost() { return reinterpret_cast<HWND>(std::intptr_t{-1}); }
HWND HwndNoTopmost() { return reinterpret_cast<HWND>(std::intptr_t{-2}); }

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    QWidget* widget = OwnWidget(hwnd);
    if (widget == nullptr)
        return win::FALSE;
    if ((flags & SWP_NOMOVE) == 0)
        widget->move(x, y);
    if ((flags & SWP_NOSIZE) == 0)
        widget->resize(std::max(cx, 0), std::max(cy, 0));
    if ((flags & SWP_NOZORDER) == 0) {
        if (insertAfter == HwndTop()) {
            widget->raise();
        } else if (insertAfter == HwndBottom()) {
            widget->lower();
        } else if (insertAfter == HwndTopmost() || insertAfter == HwndNoTopmost()) {
            if (widget->isWindow()) {
                bool visible = widget->isVisible();
                widget->setWindowFlag(Qt::WindowStaysOnTopHint, insertAfter == HwndTopmost());
                // Changing window flags hides a window; keep it as it was.
                if (visible)
                    widget->show();
            }
        } else if (QWidget* other = OwnWidget(insertAfter)) {
            if (other->parentWidget() == widget->parentWidget() && !widget->isWindow())
                widget->stackUnder(other);
            else if (widget->isWindow() && other->isWindow())
                other->raise();  // top-level windows have no stacking call; this puts OTHER above
        }
    }
    if ((flags & SWP_HIDEWINDOW) != 0) {
        widget->hide();
    } else if ((flags & SWP_SHOWWINDOW) != 0) {
        widget->show();
        if (widget->isWindow() && (flags & SWP_NOACTIVATE) == 0)
            widget->activateWindow();
    }
    return win::TRUE;
}

BOOL BringWindowToTop(HWND hwnd)
{
    QWidget* widget = OwnWidget(hwnd);
    if (widget == nullptr)
        return win::FALSE;
    widget->raise();
    if (widget->isWindow())
        widget->activateWindow();
    return win::TRUE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    QWidget* widget = OwnWidget(hwnd);
    if (widget == nullptr)
        return win::FALSE;
    BOOL wasDisabled = widget->isEnabled() ? win::FALSE : win::TRUE;
    widget->setEnabled(enable != win::FALSE);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd)
{
    QWidget* widget = OwnWidget(hwnd);
    return widget != nullptr && widget->isEnabled() ? win::TRUE : win::FALSE;
}

BOOL DestroyWindow(HWND hwnd)
{
    QWidget* widget = OwnWidget(hwnd);
    if (widget == nullptr) {
        win::SetLastError(static_cast<DWORD>(1400));  // ERROR_INVALID_WINDOW_HANDLE
        return win::FALSE;
    }
    if (auto* window = dynamic_cast<CSubclassableWindow*>(widget)) {
        window->OnDestroyRequest();
    } else {
        widget->hide();
        widget->deleteLater();
    }
    return win::TRUE;
}

DWORD GetCurrentThreadId()
{
    return ThreadIdOf(QThread::currentThread());
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId)
{
    if (hwnd == nullptr)
        return 0;
    QObject* object = win::ObjectFromHwnd(hwnd);
    if (object == nullptr) {
        // Another process's window: its process, no thread we could name.
        if (processId != nullptr)
            *processId = win::ProcessIdOfWindow(hwnd);
        return 0;
    }
    if (processId != nullptr)
        *processId = static_cast<DWORD>(::getpid());
    return ThreadIdOf(object->thread());
}

win::SHORT GetKeyState(int virtualKey)
{
    Qt::KeyboardModifiers modifiers = QGuiApplication::keyboardModifiers();
    Qt::KeyboardModifier wanted = virtualKey == VK_SHIFT     ? Qt::ShiftModifier
                                : virtualKey == VK_CONTROL ? Qt::ControlModifier
                                : virtualKey == VK_MENU    ? Qt::AltModifier
                                                           : Qt::NoModifier;
    if (wanted == Qt::NoModifier)
        return 0;
    return modifiers.testFlag(wanted) ? static_cast<win::SHORT>(0x8000) : win::SHORT{0};
}

win::HRESULT AccessibleObjectFromWindow(HWND hwnd, DWORD objectId, win::REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return win::E_POINTER;
    *ppv = nullptr;
    if (objectId != OBJID_CLIENT)
        return win::E_INVALIDARG;
    auto* window = dynamic_cast<CSubclassableWindow*>(win::ObjectFromHwnd(hwnd));
    if (window == nullptr)
        return win::E_FAIL;
    return window->QueryAccessibleObject(riid, ppv);
}

}  // namespace kb
