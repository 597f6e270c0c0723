// Window classes and the browser's own CreateWindowEx.

#include "browser/interception.h"
#include "browser/window_class.h"

#include "win/ui/window_ops.h"

#include <QWidget>

#include <map>
#include <mutex>

namespace kb {
namespace {

struct Classes {
    std::mutex mutex;
    std::map<QString, WindowFactory> factories;  // keyed by the lower-cased name
};

Classes& TheClasses()
{
    static Classes* classes = new Classes;
    return *classes;
}

}  // namespace

void RegisterWindowClass(const QString& className, WindowFactory factory)
{
    Classes& classes = TheClasses();
    std::lock_guard lock(classes.mutex);
    classes.factories[className.toLower()] = std::move(factory);
}

void UnregisterWindowClass(const QString& className)
{
    Classes& classes = TheClasses();
    std::lock_guard lock(classes.mutex);
    classes.factories.erase(className.toLower());
}

namespace detail {

HWND CreateWindowImpl(DWORD exStyle, const QString& className, const QString& windowName, DWORD style, int x, int y,
                      int width, int height, HWND parent, void* param)
{
    WindowFactory factory;
    {
        Classes& classes = TheClasses();
        std::lock_guard lock(classes.mutex);
        auto it = classes.factories.find(className.toLower());
        if (it != classes.factories.end())
            factory = it->second;
    }
    if (!factory) {
        win::SetLastError(static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
        return nullptr;
    }
    CREATESTRUCT create;
    create.lpCreateParams = param;
    create.hwndParent = parent;
    create.x = x;
    create.y = y;
    create.cx = width;
    create.cy = height;
    create.style = style;
    create.exStyle = exStyle;
    create.name = windowName;
    create.className = className;
    QWidget* widget = factory(create);
    if (widget == nullptr) {
        win::SetLastError(static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
        return nullptr;
    }
    if (!windowName.isEmpty())
        widget->setWindowTitle(windowName);
    if (!IsRegisteredWindow(widget))
        return RegisterWindow(widget, className);
    return win::HwndFromWidget(widget);
}

HWND CreateWindowExWImpl(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style, int x,
                         int y, int width, int height, HWND parent, HMENU, void*, void* param)
{
    return CreateWindowImpl(exStyle, className != nullptr ? QString::fromWCharArray(className) : QString(),
                            windowName != nullptr ? QString::fromWCharArray(windowName) : QString(), style, x, y,
                            width, height, parent, param);
}

HWND CreateWindowExAImpl(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                         int width, int height, HWND parent, HMENU, void*, void* param)
{
    return CreateWindowImpl(exStyle, className != nullptr ? QString::fromUtf8(className) : QString(),
                            windowName != nullptr ? QString::fromUtf8(windowName) : QString(), style, x, y, width,
                            height, parent, param);
}

}  // namespace detail
}  // namespace kb
