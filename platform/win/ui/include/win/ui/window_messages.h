// The fixed window message numbers, command codes and parameter helpers the
// suite's windows use, with the values Windows gives them so that numbers in
// logs and tables keep their meaning.
#pragma once

#include "win/types.h"

namespace win {

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_SETTEXT = 0x000C;        // lParam: const wchar_t*, in-process only
inline constexpr UINT WM_GETTEXT = 0x000D;        // wParam: buffer size, lParam: wchar_t*, in-process only
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_HELP = 0x0053;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_INITMENU = 0x0116;
inline constexpr UINT WM_INITMENUPOPUP = 0x0117;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_SIZING = 0x0214;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

// Registered messages (RegisterWindowMessage) take numbers in this range.
inline constexpr UINT kFirstRegisteredMessage = 0xC000;
inline constexpr UINT kLastRegisteredMessage = 0xFFFF;

// WM_SYSCOMMAND codes (wParam).
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_MAXIMIZE = 0xF030;
inline constexpr WPARAM SC_CLOSE = 0xF060;
inline constexpr WPARAM SC_RESTORE = 0xF120;

// WM_COMMAND notification code of a clicked button (high word of wParam).
inline constexpr WORD BN_CLICKED = 0;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;

// SendMessageTimeout flags. The time-out applies whatever the flags say.
inline constexpr UINT SMTO_NORMAL = 0x0000;
inline constexpr UINT SMTO_BLOCK = 0x0001;
inline constexpr UINT SMTO_ABORTIFHUNG = 0x0002;

// ChangeWindowMessageFilter actions.
inline constexpr DWORD MSGFLT_ADD = 1;
inline constexpr DWORD MSGFLT_REMOVE = 2;

// Last error of the window calls when a handle names no window.
inline constexpr LONG ERROR_INVALID_WINDOW_HANDLE = 1400;

constexpr WORD LOWORD(std::uintptr_t value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
constexpr WPARAM MAKEWPARAM(WORD low, WORD high)
{
    return static_cast<WPARAM>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16));
}
constexpr LPARAM MAKELPARAM(WORD low, WORD high)
{
    return static_cast<LPARAM>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16));
}

}  // namespace win
