// Window handles: one value names a window of this process or of another
// process of the login session, so it can travel in a message parameter and
// be posted to from anywhere.
//
// A handle is 64 bits wide: the owning process id in the high 32 bits and a
// number in the low 32 bits that the owning process hands out once per window
// (never reused while the process lives). Only the owning process knows which
// object a handle stands for; other processes reach it through that
// process's window server (win/ui/window_server.h).
//
// Any QObject can be a window (message-only windows of worker threads are
// plain QObjects); the windows that FindWindow sees are top-level QWidgets.
// A handle is given out on first request and dropped when the object is
// destroyed or, for a CMessageTarget, when that part of it is destroyed.
#pragma once

#include "win/types.h"

#include <cstdint>

class QObject;
class QWidget;

namespace win {

// Opaque, as on Windows: compare with nullptr, cast to WPARAM/LPARAM with
// reinterpret_cast, never dereference.
struct HWND__;
using HWND = HWND__*;

// The handle of OBJECT, handed out on first request. The first request must
// come from OBJECT's own thread (a handle is bound to a small helper object
// created as OBJECT's child); from another thread an object that has no
// handle yet answers nullptr. nullptr for nullptr.
HWND HwndFromObject(QObject* object);
HWND HwndFromWidget(QWidget* widget);

// The object behind a handle of this process while it is a window; nullptr
// for other processes' handles and for destroyed windows. Only the object's
// own thread may use the pointer.
QObject* ObjectFromHwnd(HWND hwnd);
QWidget* WidgetFromHwnd(HWND hwnd);

// True while HWND names a live window, in this or another live process
// (asks the other process over its window server).
BOOL IsWindow(HWND hwnd);

// The process that owns HWND (0 for nullptr). Says nothing about whether the
// window still exists.
std::uint32_t ProcessIdOfWindow(HWND hwnd);

// Handle arithmetic, for the window server and tests.
HWND MakeHwnd(std::uint32_t processId, std::uint32_t windowNumber);
std::uint32_t WindowNumberOf(HWND hwnd);
std::uint64_t HwndToBits(HWND hwnd);
HWND HwndFromBits(std::uint64_t bits);

}  // namespace win
