// What the test add-on (test_addon.cpp, a shared library the browser loads
// like any add-on) records and how a test steers it. The test reaches both
// through the library's exported functions (dlsym), so the records live in
// the add-on's own memory, as an add-on's state would.
#pragma once

#include "browser/web_browser.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace browser_test {

inline constexpr win::CLSID kAddOnA = win::MakeGuid("A1B2C3D4-0001-4000-8000-00000000000A");
inline constexpr win::CLSID kAddOnB = win::MakeGuid("A1B2C3D4-0001-4000-8000-00000000000B");

struct Record {
    win::CLSID addOn;              // which class recorded it
    void* site = nullptr;          // the IWebBrowser2 the object is sited on (nullptr: unsited)
    QString kind;                  // "SetSite", "SetSiteNull", "Event"
    win::DISPID dispid = 0;
    std::vector<win::VARTYPE> types;  // argument types, rgvarg order (last argument first)
    QStringList values;            // arguments as text, in the browser's order (first argument first)
    void* pDisp = nullptr;         // the first argument when it is a browser
};

struct Behaviour {
    QString cancelNavigationContaining;  // BeforeNavigate2: cancel when the address contains it
    bool cancelNewWindow2 = false;
    bool cancelNewWindow3 = false;
    bool supplyNewWindow = false;        // NewWindow2: create the window with CoCreateInstance
    bool cancelNavigateError = false;
    // Runs inside every event of add-on A (after recording).
    std::function<void(win::IWebBrowser2* site, win::DISPID dispid, win::DISPPARAMS* params)> onEvent;
};

using LogFunction = std::vector<Record>* (*)();
using BehaviourFunction = Behaviour* (*)();

}  // namespace browser_test
