// Menus by handle, and the window menu (system menu) of browser windows.
//
// A menu is a list of items: commands (an id and a text), submenus and
// separators, each enabled or grayed and checked or not. Items are
// addressed by position (MF_BYPOSITION) or by command id (MF_BYCOMMAND,
// searched in submenus too). Menus live on the user-interface thread.
//
// The window menu: GetSystemMenu gives a window's menu, made on first use
// with Restore, Minimize, Maximize, a separator and Close (SC_* ids). The
// browser shows it from the frame's menu button, a right click on the tab
// strip and Alt+Space. When it opens, WM_INITMENU (wParam = the menu) and
// WM_INITMENUPOPUP (wParam = the menu, lParam = MAKELPARAM(0, TRUE)) go
// through the window's procedure (window_subclass.h), and WM_INITMENUPOPUP
// again for each submenu as it opens (lParam = MAKELPARAM(position, TRUE));
// a chosen item sends WM_SYSCOMMAND with its id (wParam). The menu is built
// from the items after those messages, so a procedure may change texts and
// states there.
#pragma once

#include "browser/window_api.h"

#include <QPoint>
#include <QString>

#include <cstdint>
#include <functional>

class QMenu;

namespace kb {

struct HMENU__;
using HMENU = HMENU__*;

inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_UNCHECKED = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_SEPARATOR = 0x0800;

inline constexpr UINT TPM_NONOTIFY = 0x0080;
inline constexpr UINT TPM_RETURNCMD = 0x0100;

inline constexpr UINT kNoMenuItem = 0xFFFFFFFF;  // GetMenuItemID of a submenu or no item; failed state calls

HMENU CreatePopupMenu();
// Destroys MENU and its submenus; FALSE for an unknown or a window's menu.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);

// The window menu of HWND; with REVERT, resets it to the default items and
// answers nullptr (as Windows does). nullptr for an unknown window.
HMENU GetSystemMenu(HWND hwnd, BOOL revert);

// -1 for an unknown menu.
int GetMenuItemCount(HMENU menu);
// The command id at POSITION; kNoMenuItem for a submenu, a separator (0 on
// Windows: here also 0) or no item.
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);
// ID_OR_SUBMENU is the command id, or with MF_POPUP the submenu handle
// (the menu takes the submenu over). TEXT may be nullptr for a separator.
BOOL AppendMenuW(HMENU menu, UINT flags, std::uintptr_t idOrSubmenu, const wchar_t* text);
BOOL InsertMenuW(HMENU menu, UINT item, UINT flags, std::uintptr_t idOrSubmenu, const wchar_t* text);
BOOL ModifyMenuW(HMENU menu, UINT item, UINT flags, std::uintptr_t idOrSubmenu, const wchar_t* text);
// RemoveMenu keeps a removed submenu alive (the caller owns it); DeleteMenu destroys it.
BOOL RemoveMenu(HMENU menu, UINT item, UINT flags);
BOOL DeleteMenu(HMENU menu, UINT item, UINT flags);
// Answer the item's previous state (MF_GRAYED / MF_CHECKED), kNoMenuItem
// when there is no such item.
UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
// MF_GRAYED | MF_CHECKED | MF_POPUP | MF_SEPARATOR bits; kNoMenuItem for no item.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
QString GetMenuText(HMENU menu, UINT item, UINT flags);

// Shows MENU at SCREEN point (X, Y) and waits for the choice. With
// TPM_RETURNCMD answers the chosen id (0 for none); otherwise sends
// WM_COMMAND (wParam = id) to OWNER (unless TPM_NONOTIFY) and answers
// TRUE when an item was chosen.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);

// The browser's side: opens HWND's window menu at GLOBAL_POS with the
// messages described above and answers the chosen id (0 for none). CHOOSE,
// when given, picks the item instead of the user (tests, scripted use): it
// gets the finished menu and answers an id or 0.
UINT ShowSystemMenu(HWND hwnd, QPoint globalPos, const std::function<UINT(HMENU)>& choose = {});

// Lets CHOOSER pick the item of every menu TrackPopupMenu and
// ShowSystemMenu show from now on, instead of the user (offscreen runs and
// tests); an empty function restores the user's choice.
void SetMenuChooser(std::function<UINT(HMENU)> chooser);

}  // namespace kb
