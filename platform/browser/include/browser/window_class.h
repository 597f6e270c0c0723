// Window classes: what CreateWindowExW (interception.h) makes for a class
// name. The browser registers its own ("IEFrame", "#32770",
// "Internet Explorer_TridentDlgFrame"); a factory gets the creation
// arguments and returns a new hidden top-level widget, which the browser
// registers (window_api.h) under the class name, or nullptr.
#pragma once

#include "browser/window_api.h"

#include <QString>

#include <functional>

namespace kb {

struct CREATESTRUCT {
    void* lpCreateParams = nullptr;  // CreateWindowExW's PARAM
    HWND hwndParent = nullptr;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    QString name;
    QString className;
};

using WindowFactory = std::function<QWidget*(const CREATESTRUCT& create)>;

// Replaces an earlier factory of the same name (compared case-insensitively).
void RegisterWindowClass(const QString& className, WindowFactory factory);
void UnregisterWindowClass(const QString& className);

inline constexpr win::LONG ERROR_CANNOT_FIND_WND_CLASS = 1407;

}  // namespace kb
