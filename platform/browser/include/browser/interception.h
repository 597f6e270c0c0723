// In-process interception of the browser's window creation and cabinet
// extraction.
//
// The browser creates every top-level window it makes for a page (new
// browser windows, message boxes, web page dialogs) through CreateWindowExW
// and extracts every cabinet it downloads through FDICopy (cabinet.h). An
// add-on replaces these entry points with its own functions inside one
// transaction; afterwards every call reaches the replacement, which reaches
// the browser's own code through the pointer it passed in:
//
//   static auto Real_CreateWindowExW = &kb::CreateWindowExW;
//   kb::InterceptionTransactionBegin();
//   kb::InterceptionUpdateThread();
//   kb::InterceptionAttach(reinterpret_cast<void**>(&Real_CreateWindowExW),
//                          reinterpret_cast<void*>(&MyCreateWindowExW));
//   kb::InterceptionTransactionCommit();
//   // MyCreateWindowExW calls Real_CreateWindowExW(...) for the real work.
//
// Before the attach, the pointer names the public entry point; after the
// commit it names the code the replacement should call (the browser's own,
// or the replacement attached before this one). Detach with the same pair
// puts the entry point and the pointer back. Several replacements of one
// function chain, the last attached is called first. Attach and detach take
// effect at commit, all at once; abort drops them. Only one transaction
// runs at a time (begin fails with ERROR_INVALID_OPERATION while another
// is open). Enlisting threads is accepted for the callers' sake: the
// switch is atomic for every thread.
#pragma once

#include "browser/menu.h"
#include "browser/window_api.h"

namespace kb {

inline constexpr LONG ERROR_INVALID_OPERATION = 4317;

LONG InterceptionTransactionBegin();
LONG InterceptionUpdateThread();
// ERROR_INVALID_PARAMETER when *PP_REAL is not an interceptable entry
// point (or, for detach, not attached with REPLACEMENT).
LONG InterceptionAttach(void** ppReal, void* replacement);
LONG InterceptionDetach(void** ppReal, void* replacement);
LONG InterceptionTransactionCommit();
LONG InterceptionTransactionAbort();

// Window styles used by the browser's windows.
inline constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD DS_MODALFRAME = 0x80;

// Creates a top-level window of a registered class (window_class.h),
// hidden; PARAM is handed to the class's factory. nullptr when the class is
// unknown or its factory fails (last error ERROR_CANNOT_FIND_WND_CLASS).
// The A form takes UTF-8 text. Both are interceptable entry points.
HWND CreateWindowExW(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, void* instance, void* param);
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, void* instance, void* param);

}  // namespace kb
