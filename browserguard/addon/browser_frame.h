// CBrowserFrame: one per top-level browser window of the process. It
// subclasses the window for the popup commands of its window menu and the
// bring-to-front request, and lists the add-on objects of its tabs (one
// reference each). Frames are found by window in a locked table, since
// several browser threads may use it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "browser/menu.h"
#include "browser/window_subclass.h"
#include "browserguard/frame_list.h"

namespace browserguard {

class CBrowserHelper;

// Popup commands of the window menu.
inline constexpr unsigned kCmdBlockThisPopup = 0x10;
inline constexpr unsigned kCmdAllowAllPopups = 0x11;
inline constexpr unsigned kCmdBlockAllPopups = 0x12;

// The answer to the blanket question: Yes, No or Cancel.
enum class BlanketAnswer { Yes, No, Cancel };
using BlanketAsker =
    std::function<BlanketAnswer(kb::HWND owner, const std::string& text, const std::string& caption)>;

class CBrowserFrame : public std::enable_shared_from_this<CBrowserFrame> {
 public:
  explicit CBrowserFrame(kb::HWND window);

  using Table = FrameTable<kb::HWND, CBrowserFrame>;
  static Table& Frames();

  // The frame of W, made (and its window subclassed) when absent; CREATED
  // says which. Null when W is null or cannot be subclassed.
  static std::shared_ptr<CBrowserFrame> FindOrCreate(kb::HWND w, bool* created = nullptr);

  kb::HWND window() const { return m_hWnd; }
  FrameHelperList<CBrowserHelper>& helpers() { return m_helpers; }
  unsigned sessionId() const { return m_sessionId; }

  // The popup commands at the top of the window menu (once).
  void AddSystemMenuItems();
  // The address of the shown tab as the menu uses it; empty when none.
  std::string GetActiveUrl();
  void ApplyBlanket(bool block, const std::string& fallback);

  // Replaces the question the blanket commands ask (tests, scripted use);
  // an empty function restores the message box.
  static void SetBlanketAsker(BlanketAsker asker);

 private:
  static kb::LRESULT WindowProc(kb::HWND hwnd, kb::UINT message, kb::WPARAM wParam, kb::LPARAM lParam);
  bool Subclass();
  kb::LRESULT CallPrevious(kb::UINT message, kb::WPARAM wParam, kb::LPARAM lParam);
  void OnFinalMessage();
  bool OnSysCommand(kb::WPARAM command);
  void OnInitMenu(kb::HMENU menu);
  bool OnInitMenuPopup(kb::HMENU menu);
  void OnSetForegroundWindow(kb::HWND other);

  kb::HWND m_hWnd;
  kb::WNDPROC m_previous = nullptr;
  FrameHelperList<CBrowserHelper> m_helpers;
  unsigned m_sessionId = 0;
};

}  // namespace browserguard
