// The click monitor on real registered windows of the browser stand-in, with
// the mouse events driven through the thread hook chain.
#include "browserguard/click_monitor.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <memory>
#include <vector>

#include "browser/com_object.h"
#include "browser/window_api.h"

namespace browserguard {
namespace {

struct FakeBrowser : win::CComObjectImpl<win::IUnknown> {
  using win::CComObjectImpl<win::IUnknown>::RefCount;
};

struct Call {
  enum Kind { Solicited, Reset } kind;
  win::IUnknown* browser = nullptr;
  bool rightClick = false;
};

struct FakeJudge : ClickJudge {
  bool clickable = true;
  bool wasRightClick = false;
  int clickableAsked = 0;
  std::vector<Call> calls;
  bool WasRightClick(win::IUnknown*) override { return wasRightClick; }
  bool IsClickableAt(win::IUnknown*, kb::POINT) override {
    ++clickableAsked;
    return clickable;
  }
  void MarkSolicited(win::IUnknown* browser, bool right) override {
    calls.push_back({Call::Solicited, browser, right});
    wasRightClick = right;
  }
  void ResetAllSolicited() override { calls.push_back({Call::Reset}); }
};

std::vector<kb::UINT> g_passedOn;
kb::LRESULT RecordingHook(int code, kb::WPARAM wParam, kb::LPARAM lParam) {
  g_passedOn.push_back(static_cast<kb::UINT>(wParam));
  (void)code;
  (void)lParam;
  return 0;
}

class ClickMonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_passedOn.clear();
    // A hook installed before the monitor's runs after it: it shows what the
    // monitor passes on.
    m_recorder = kb::SetWindowsHookEx(kb::WH_MOUSE, &RecordingHook, nullptr, kb::GetCurrentThreadId());
    ASSERT_NE(m_recorder, nullptr);
    m_frame = std::make_unique<QWidget>();
    kb::RegisterWindow(m_frame.get(), kb::kFrameWindowClass);
    m_page = new QWidget(m_frame.get());
    kb::RegisterWindow(m_page, kb::kPageWindowClass);
    m_dialog = new QWidget(m_frame.get());
    kb::RegisterWindow(m_dialog, kb::kDialogClass);
    m_button = new QWidget(m_dialog);
    kb::RegisterWindow(m_button, kb::kButtonClass);
    m_browser = new FakeBrowser;
    ClickMonitor::Process().SetJudge(&m_judge);
  }
  void TearDown() override {
    ClickMonitor::Process().DetachAll();
    ClickMonitor::Process().SetJudge(nullptr);
    kb::UnhookWindowsHookEx(m_recorder);
    m_frame.reset();
    if (m_browser) m_browser->Release();
  }
  kb::HWND Page() { return kb::WindowFromObject(m_page); }
  kb::HWND Button() { return kb::WindowFromObject(m_button); }
  kb::HWND Frame() { return kb::WindowFromObject(m_frame.get()); }

  kb::HHOOK m_recorder = nullptr;
  std::unique_ptr<QWidget> m_frame;
  QWidget* m_page = nullptr;
  QWidget* m_dialog = nullptr;
  QWidget* m_button = nullptr;
  FakeBrowser* m_browser = nullptr;
  FakeJudge m_judge;
};

TEST_F(ClickMonitorTest, OneHookPerThreadAndRecordsUntilDetach) {
  auto& monitor = ClickMonitor::Process();
  const kb::DWORD thread = kb::GetCurrentThreadId();
  EXPECT_FALSE(monitor.AttachWindow(nullptr, m_browser));
  EXPECT_TRUE(monitor.AttachWindow(Page(), m_browser));
  EXPECT_TRUE(monitor.AttachWindow(Frame(), m_browser));
  EXPECT_FALSE(monitor.AttachThread(thread, m_browser)) << "one hook per thread";
  EXPECT_EQ(monitor.WindowCount(), 2u);
  EXPECT_GT(m_browser->RefCount(), 1u);
  monitor.DetachThread(thread);
  EXPECT_FALSE(monitor.HasThread(thread));
  EXPECT_EQ(monitor.WindowCount(), 0u);
  EXPECT_EQ(m_browser->RefCount(), 1u) << "detaching lets go of the browser";
}

TEST_F(ClickMonitorTest, AClosedBrowserIsLetGoButTheThreadStaysHooked) {
  auto& monitor = ClickMonitor::Process();
  FakeBrowser* other = new FakeBrowser;
  ASSERT_TRUE(monitor.AttachWindow(Page(), m_browser));
  ASSERT_TRUE(monitor.AttachWindow(Frame(), other));
  monitor.DetachBrowser(m_browser);
  EXPECT_EQ(m_browser->RefCount(), 1u) << "no record or monitor keeps the closed browser";
  EXPECT_EQ(monitor.WindowCount(), 1u) << "the other browser's window stays watched";
  EXPECT_TRUE(monitor.HasThread(kb::GetCurrentThreadId()));
  // A click in the closed browser's page finds no browser: it asks for nothing.
  kb::RunMouseHooks(kb::WM_LBUTTONUP, Page(), kb::POINT{5, 5});
  ASSERT_EQ(m_judge.calls.size(), 1u);
  EXPECT_EQ(m_judge.calls[0].kind, Call::Reset);
  monitor.DetachAll();
  other->Release();
}

TEST_F(ClickMonitorTest, JudgesPageClicksAndPassesEveryEventOn) {
  auto& monitor = ClickMonitor::Process();
  ASSERT_TRUE(monitor.AttachWindow(Page(), m_browser));
  struct Case {
    const char* what;
    kb::UINT message;
    bool clickable;
    int solicited, resets;
    bool right;
  } cases[] = {
      {"left release on a link", kb::WM_LBUTTONUP, true, 1, 0, false},
      {"right release on a link", kb::WM_RBUTTONUP, true, 1, 0, true},
      {"left release on plain text", kb::WM_LBUTTONUP, false, 0, 1, false},
      {"middle release on plain text", kb::WM_MBUTTONUP, false, 0, 1, false},
      {"left press on a link", kb::WM_LBUTTONDOWN, true, 1, 0, false},
      {"mouse move is not judged", kb::WM_MOUSEMOVE, false, 0, 0, false},
      {"right press is not judged", kb::WM_RBUTTONDOWN, false, 0, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    m_judge.calls.clear();
    m_judge.clickable = c.clickable;
    m_judge.wasRightClick = false;
    g_passedOn.clear();
    kb::RunMouseHooks(c.message, Page(), kb::POINT{5, 5});
    int solicited = 0, resets = 0;
    for (const auto& call : m_judge.calls) {
      if (call.kind == Call::Solicited) {
        ++solicited;
        EXPECT_EQ(call.browser, m_browser);
        EXPECT_EQ(call.rightClick, c.right);
      } else {
        ++resets;
      }
    }
    EXPECT_EQ(solicited, c.solicited);
    EXPECT_EQ(resets, c.resets);
    ASSERT_EQ(g_passedOn.size(), 1u);
    EXPECT_EQ(g_passedOn[0], c.message);
  }
}

TEST_F(ClickMonitorTest, LeftReleaseAfterSolicitedRightReleaseSkipsTheElement) {
  ASSERT_TRUE(ClickMonitor::Process().AttachWindow(Page(), m_browser));
  m_judge.wasRightClick = true;
  m_judge.clickable = false;
  kb::RunMouseHooks(kb::WM_LBUTTONUP, Page(), kb::POINT{1, 1});
  ASSERT_EQ(m_judge.calls.size(), 1u);
  EXPECT_EQ(m_judge.calls[0].kind, Call::Solicited);
  EXPECT_EQ(m_judge.clickableAsked, 0);
}

TEST_F(ClickMonitorTest, DialogButtonsAndWindowsOutsidePagesAreNotJudged) {
  auto& monitor = ClickMonitor::Process();
  ASSERT_TRUE(monitor.AttachWindow(Frame(), m_browser));
  kb::RunMouseHooks(kb::WM_LBUTTONUP, Button(), kb::POINT{1, 1});
  kb::RunMouseHooks(kb::WM_LBUTTONUP, Frame(), kb::POINT{1, 1});
  EXPECT_TRUE(m_judge.calls.empty());
  EXPECT_EQ(g_passedOn.size(), 2u);
}

TEST_F(ClickMonitorTest, EventForAnUnknownWindowStillReachesTheNextHook) {
  ASSERT_TRUE(ClickMonitor::Process().AttachWindow(Page(), m_browser));
  // A window no thread monitor knows (no window at all here).
  kb::RunMouseHooks(kb::WM_LBUTTONUP, nullptr, kb::POINT{1, 1});
  EXPECT_TRUE(m_judge.calls.empty());
  EXPECT_EQ(g_passedOn.size(), 1u) << "the chain continues past the monitor";
}

}  // namespace
}  // namespace browserguard
