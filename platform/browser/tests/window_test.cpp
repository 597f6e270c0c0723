// Window identities, geometry, subclassing, thread mouse hooks and menus.

#include "test_support.h"

#include "browser/menu.h"
#include "browser/mouse_hook.h"
#include "browser/window_api.h"
#include "browser/window_subclass.h"
#include "win/ui/messaging.h"
#include "win/ui/window_ops.h"

#include <QApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace win;
using namespace kb;

namespace {

// A subclassable window that handles one message of its own.
class CTestWindow : public QWidget, public CSubclassableWindow {
public:
    static constexpr UINT kOwnMessage = WM_APP + 1;
    explicit CTestWindow(QWidget* parent = nullptr) : QWidget(parent), CSubclassableWindow(this)
    {
        RegisterWindow(this, QStringLiteral("TestWindow"));
        MapMessage(kOwnMessage, [](WPARAM w, LPARAM) { return static_cast<LRESULT>(w * 10); });
    }
    ~CTestWindow() override { SendDestroyMessages(); }

    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        ++presses;
        event->accept();
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        SendSizeMessage();
    }
};

QWidget* Registered(QWidget* parent, const char* className)
{
    auto* widget = new QWidget(parent);
    RegisterWindow(widget, QString::fromLatin1(className));
    return widget;
}

// ---------------------------------------------------------------------------
TEST(WindowIdentity, ParentsChildrenAndClassNamesSkipUnregisteredWidgets)
{
    auto top = std::make_unique<QWidget>();
    RegisterWindow(top.get(), QStringLiteral("Top"));
    QWidget* a = Registered(top.get(), "A");
    auto* container = new QWidget(top.get());  // Qt's own widget, not a window
    QWidget* b = Registered(container, "B");
    QWidget* c = Registered(a, "Explorer_Thing");
    auto* inner = new QWidget(b);
    auto* dialog = new QDialog(top.get());
    RegisterWindow(dialog, QStringLiteral("#32770"));

    HWND hTop = HwndFromWidget(top.get()), hA = HwndFromWidget(a), hB = HwndFromWidget(b), hC = HwndFromWidget(c);
    HWND hDialog = HwndFromWidget(dialog);
    EXPECT_EQ(GetClassName(hC), QStringLiteral("Explorer_Thing"));
    EXPECT_EQ(GetParent(hC), hA);
    EXPECT_EQ(GetParent(hB), hTop);
    EXPECT_EQ(GetParent(hTop), nullptr);
    EXPECT_EQ(GetAncestor(hC, GA_ROOT), hTop);
    EXPECT_EQ(GetAncestor(hTop, GA_PARENT), nullptr);
    EXPECT_EQ(WindowFromObject(inner), hB);
    EXPECT_TRUE(IsRegisteredWindow(b));
    EXPECT_FALSE(IsRegisteredWindow(container));

    // An owned dialog answers its owner but is not a child window.
    EXPECT_EQ(GetParent(hDialog), hTop);
    EXPECT_EQ(GetAncestor(hDialog, GA_PARENT), nullptr);
    EXPECT_EQ(GetAncestor(hDialog, GA_ROOT), hDialog);
    EXPECT_EQ(GetAncestor(hDialog, GA_ROOTOWNER), hTop);

    std::vector<HWND> seen;
    EnumChildWindows(hTop, [&](HWND h) {
        seen.push_back(h);
        return true;
    });
    EXPECT_EQ(seen, (std::vector<HWND>{hA, hC, hB}));
    seen.clear();
    EnumChildWindows(hTop, [&](HWND h) {
        seen.push_back(h);
        return GetClassName(h) != QStringLiteral("Explorer_Thing");  // stop at the first match
    });
    EXPECT_EQ(seen, (std::vector<HWND>{hA, hC}));

    QString classB = QStringLiteral("B");
    EXPECT_EQ(FindWindowEx(hTop, nullptr, &classB, nullptr), hB);
    EXPECT_EQ(FindWindowEx(hTop, hA, nullptr, nullptr), hB);
    EXPECT_EQ(FindWindowEx(hTop, hB, nullptr, nullptr), nullptr);
    QString classC = QStringLiteral("Explorer_Thing");
    EXPECT_EQ(FindWindowEx(hTop, nullptr, &classC, nullptr), nullptr) << "only direct children";
}

TEST(WindowGeometry, RectanglesPointsAndSetWindowPos)
{
    auto top = std::make_unique<QWidget>();
    RegisterWindow(top.get(), QStringLiteral("Top"));
    top->setGeometry(100, 80, 400, 300);
    QWidget* child = Registered(top.get(), "Child");
    child->setGeometry(10, 20, 30, 40);
    QWidget* sibling = Registered(top.get(), "Sibling");
    sibling->setGeometry(10, 20, 30, 40);
    top->show();
    HWND hChild = HwndFromWidget(child), hSibling = HwndFromWidget(sibling);

    RECT client;
    ASSERT_TRUE(GetClientRect(hChild, &client));
    EXPECT_EQ(client.right, 30);
    EXPECT_EQ(client.bottom, 40);
    RECT window;
    ASSERT_TRUE(GetWindowRect(hChild, &window));
    QPoint origin = child->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(window.left, origin.x());
    EXPECT_EQ(window.bottom - window.top, 40);
    POINT p{origin.x() + 5, origin.y() + 7};
    ASSERT_TRUE(ScreenToClient(hChild, &p));
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 7);
    ASSERT_TRUE(ClientToScreen(hChild, &p));
    EXPECT_EQ(p.x, origin.x() + 5);

    // The sibling made later is on top; HWND_TOP brings the child up.
    EXPECT_EQ(top->childAt(15, 25), sibling);
    SetWindowPos(hChild, HwndTop(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(top->childAt(15, 25), child);
    SetWindowPos(hChild, hSibling, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(top->childAt(15, 25), sibling) << "behind the sibling";

    // Move only, size only, hide and show.
    SetWindowPos(hChild, nullptr, 0, 30, 999, 999, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(child->geometry(), QRect(0, 30, 30, 40));
    SetWindowPos(hChild, nullptr, 999, 999, 50, 60, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(child->geometry(), QRect(0, 30, 50, 60));
    SetWindowPos(hChild, nullptr, 0, 0, 0, 0, 0x97);  // no move, size, z-order, activation; hide
    EXPECT_FALSE(child->isVisible());
    EXPECT_EQ(child->geometry(), QRect(0, 30, 50, 60));
    SetWindowPos(hChild, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    EXPECT_TRUE(child->isVisible());

    EXPECT_FALSE(EnableWindow(hChild, FALSE)) << "was enabled";
    EXPECT_FALSE(IsWindowEnabled(hChild));
    EXPECT_TRUE(EnableWindow(hChild, TRUE)) << "was disabled";
    EXPECT_FALSE(SetWindowPos(nullptr, nullptr, 0, 0, 0, 0, 0));
}

TEST(WindowThreads, IdsAreStablePerThread)
{
    auto widget = std::make_unique<QWidget>();
    RegisterWindow(widget.get(), QStringLiteral("W"));
    DWORD pid = 0;
    DWORD thread = GetWindowThreadProcessId(HwndFromWidget(widget.get()), &pid);
    EXPECT_EQ(thread, GetCurrentThreadId());
    EXPECT_NE(thread, 0u);
    EXPECT_EQ(pid, static_cast<DWORD>(::getpid()));
}

// ---------------------------------------------------------------------------
// Subclassing.

QStringList g_trace;
WNDPROC g_previousOuter = nullptr;
WNDPROC g_previousInner = nullptr;

LRESULT InnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_trace << QStringLiteral("inner %1").arg(message, 0, 16);
    if (message == CTestWindow::kOwnMessage && wParam == 99)
        return -1;  // swallowed here
    return CallWindowProc(g_previousInner, hwnd, message, wParam, lParam);
}

LRESULT OuterProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_trace << QStringLiteral("outer %1").arg(message, 0, 16);
    LRESULT result = CallWindowProc(g_previousOuter, hwnd, message, wParam, lParam);
    return message == CTestWindow::kOwnMessage ? result + 1 : result;
}

TEST(Subclassing, ChainsProceduresOverTheWindowsOwnHandling)
{
    g_trace.clear();
    auto window = std::make_unique<CTestWindow>();
    HWND hwnd = window->GetSafeHwnd();
    EXPECT_EQ(SendMessage(hwnd, CTestWindow::kOwnMessage, 4, 0), 40);

    g_previousInner = reinterpret_cast<WNDPROC>(SetWindowLongPtr(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&InnerProc)));
    ASSERT_NE(g_previousInner, nullptr);
    g_previousOuter = reinterpret_cast<WNDPROC>(SetWindowLongPtr(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OuterProc)));
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtr(hwnd, GWLP_WNDPROC)), &OuterProc);
    EXPECT_EQ(g_previousOuter, &InnerProc);

    EXPECT_EQ(SendMessage(hwnd, CTestWindow::kOwnMessage, 4, 0), 41);
    EXPECT_EQ(SendMessage(hwnd, CTestWindow::kOwnMessage, 99, 0), 0) << "inner swallowed it, outer added one";
    EXPECT_EQ(g_trace, (QStringList{QStringLiteral("outer 8001"), QStringLiteral("inner 8001"),
                                    QStringLiteral("outer 8001"), QStringLiteral("inner 8001")}));

    // The browser's own messages go the same way.
    g_trace.clear();
    window->show();  // Qt sends resize events to shown widgets
    window->resize(123, 45);
    EXPECT_TRUE(g_trace.contains(QStringLiteral("inner 5"))) << g_trace.join(QLatin1Char(',')).toStdString();

    EXPECT_EQ(SetWindowLongPtr(hwnd, GWLP_USERDATA, 77), 0);
    EXPECT_EQ(GetWindowLongPtr(hwnd, GWLP_USERDATA), 77);

    // Unsubclassing the outer one restores the inner chain.
    SetWindowLongPtr(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_previousOuter));
    g_trace.clear();
    EXPECT_EQ(SendMessage(hwnd, CTestWindow::kOwnMessage, 4, 0), 40);
    EXPECT_EQ(g_trace, (QStringList{QStringLiteral("inner 8001")}));

    // The last messages of a window.
    g_trace.clear();
    window.reset();
    EXPECT_EQ(g_trace, (QStringList{QStringLiteral("inner 2"), QStringLiteral("inner 82")}));
}

TEST(Subclassing, RefusesWindowsThatCannotBeSubclassed)
{
    auto plain = std::make_unique<QWidget>();
    HWND hwnd = RegisterWindow(plain.get(), QStringLiteral("Plain"));
    EXPECT_EQ(SetWindowLongPtr(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&InnerProc)), 0);
    EXPECT_EQ(GetLastError(), 1400u);
    auto window = std::make_unique<CTestWindow>();
    EXPECT_EQ(SetWindowLongPtr(window->GetSafeHwnd(), 12345, 1), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// ---------------------------------------------------------------------------
// Mouse hooks.

struct HookCall {
    int hook;
    UINT message;
    HWND hwnd;
    POINT pt;
};
std::vector<HookCall> g_hookCalls;
HHOOK g_first = nullptr;
HHOOK g_second = nullptr;
LRESULT g_secondAnswer = 0;
bool g_secondPassesOn = true;
bool g_secondUnhooksItself = false;

LRESULT FirstHook(int code, WPARAM wParam, LPARAM lParam)
{
    auto* info = reinterpret_cast<MOUSEHOOKSTRUCT*>(lParam);
    g_hookCalls.push_back({1, static_cast<UINT>(wParam), info->hwnd, info->pt});
    return CallNextHookEx(g_first, code, wParam, lParam);
}

LRESULT SecondHook(int code, WPARAM wParam, LPARAM lParam)
{
    auto* info = reinterpret_cast<MOUSEHOOKSTRUCT*>(lParam);
    g_hookCalls.push_back({2, static_cast<UINT>(wParam), info->hwnd, info->pt});
    if (g_secondUnhooksItself)
        UnhookWindowsHookEx(g_second);
    if (!g_secondPassesOn)
        return g_secondAnswer;
    LRESULT next = CallNextHookEx(g_second, code, wParam, lParam);
    return g_secondAnswer != 0 ? g_secondAnswer : next;
}

class MouseHookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_hookCalls.clear();
        g_secondAnswer = 0;
        g_secondPassesOn = true;
        g_secondUnhooksItself = false;
        window = std::make_unique<CTestWindow>();
        window->setGeometry(50, 60, 200, 100);
        child = new QWidget(window.get());  // part of the window, ignores clicks
        child->setGeometry(10, 10, 50, 50);
        window->show();
    }
    void TearDown() override
    {
        UnhookWindowsHookEx(g_first);
        UnhookWindowsHookEx(g_second);
    }
    void Press(QWidget* target, QPoint local)
    {
        QPointF global = target->mapToGlobal(QPointF(local));
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(local), global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &press);
    }

    std::unique_ptr<CTestWindow> window;
    QWidget* child = nullptr;
};

TEST_F(MouseHookTest, NewestHookFirstOnceForAPropagatedClick)
{
    DWORD thread = GetCurrentThreadId();
    g_first = SetWindowsHookEx(WH_MOUSE, &FirstHook, nullptr, thread);
    g_second = SetWindowsHookEx(WH_MOUSE, &SecondHook, nullptr, thread);
    ASSERT_NE(g_first, nullptr);
    Press(child, QPoint(3, 4));
    // The child ignores the click, Qt offers it to the window too: the hooks see it once.
    ASSERT_EQ(g_hookCalls.size(), 2u);
    EXPECT_EQ(g_hookCalls[0].hook, 2);
    EXPECT_EQ(g_hookCalls[1].hook, 1);
    EXPECT_EQ(g_hookCalls[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(g_hookCalls[0].hwnd, window->GetSafeHwnd()) << "the registered window around the widget";
    QPoint global = child->mapToGlobal(QPoint(3, 4));
    EXPECT_EQ(g_hookCalls[0].pt.x, global.x());
    EXPECT_EQ(g_hookCalls[0].pt.y, global.y());
    EXPECT_EQ(window->presses, 1);
}

TEST_F(MouseHookTest, AHookEndsTheChainOrKeepsTheEventFromTheWindow)
{
    DWORD thread = GetCurrentThreadId();
    g_first = SetWindowsHookEx(WH_MOUSE, &FirstHook, nullptr, thread);
    g_second = SetWindowsHookEx(WH_MOUSE, &SecondHook, nullptr, thread);
    g_secondPassesOn = false;
    Press(window.get(), QPoint(100, 50));
    ASSERT_EQ(g_hookCalls.size(), 1u);
    EXPECT_EQ(window->presses, 1) << "a zero answer lets the window have it";

    g_hookCalls.clear();
    g_secondAnswer = 1;
    Press(window.get(), QPoint(100, 50));
    EXPECT_EQ(window->presses, 1) << "a nonzero answer keeps it from the window";

    // Unhooking itself from inside the chain: the rest of the chain still runs.
    g_hookCalls.clear();
    g_secondAnswer = 0;
    g_secondPassesOn = true;
    g_secondUnhooksItself = true;
    EXPECT_EQ(RunMouseHooks(WM_RBUTTONUP, window->GetSafeHwnd(), POINT{1, 2}), 0);
    g_hookCalls.clear();
    RunMouseHooks(WM_RBUTTONUP, window->GetSafeHwnd(), POINT{1, 2});
    ASSERT_EQ(g_hookCalls.size(), 1u);
    EXPECT_EQ(g_hookCalls[0].hook, 1) << "the removed hook is not called again";
}

TEST_F(MouseHookTest, HooksOfOtherThreadsAndUnknownHooksAreLeftAlone)
{
    g_first = SetWindowsHookEx(WH_MOUSE, &FirstHook, nullptr, GetCurrentThreadId() + 1000);
    ASSERT_NE(g_first, nullptr);
    Press(window.get(), QPoint(1, 1));
    EXPECT_TRUE(g_hookCalls.empty());
    EXPECT_EQ(SetWindowsHookEx(3 /*WH_GETMESSAGE*/, &FirstHook, nullptr, GetCurrentThreadId()), nullptr);
    EXPECT_EQ(SetWindowsHookEx(WH_MOUSE, &FirstHook, nullptr, 0), nullptr);
    EXPECT_TRUE(UnhookWindowsHookEx(g_first));
    EXPECT_FALSE(UnhookWindowsHookEx(g_first));
    EXPECT_EQ(CallNextHookEx(g_first, HC_ACTION, 0, 0), 0);
}

// ---------------------------------------------------------------------------
// Menus.

std::vector<std::pair<UINT, WPARAM>> g_menuMessages;
std::vector<LPARAM> g_popupParams;
WNDPROC g_menuPrevious = nullptr;

LRESULT MenuProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITMENU || message == WM_INITMENUPOPUP || message == WM_SYSCOMMAND) {
        g_menuMessages.emplace_back(message, wParam);
        if (message == WM_INITMENUPOPUP) {
            g_popupParams.push_back(lParam);
            auto menu = reinterpret_cast<HMENU>(wParam);
            if (GetMenuItemID(menu, 0) == 0x10) {
                ModifyMenuW(menu, 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<std::uintptr_t>(GetSubMenu(menu, 1)),
                            L"Blanket 'example.com'");
                return 0;
            }
        }
        if (message == WM_SYSCOMMAND && wParam >= 0x10 && wParam <= 0x12)
            return 0;
    }
    return CallWindowProc(g_menuPrevious, hwnd, message, wParam, lParam);
}

TEST(Menus, TheWindowMenuCanBeExtendedAndReportsChoices)
{
    g_menuMessages.clear();
    g_popupParams.clear();
    auto window = std::make_unique<CTestWindow>();
    HWND hwnd = window->GetSafeHwnd();
    HMENU system = GetSystemMenu(hwnd, FALSE);
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(GetSystemMenu(hwnd, FALSE), system);
    ASSERT_EQ(GetMenuItemCount(system), 5);
    EXPECT_EQ(GetMenuItemID(system, 4), static_cast<UINT>(SC_CLOSE));
    EXPECT_FALSE(DestroyMenu(system)) << "a window's menu goes with its window";

    // What the add-on does: one command, one submenu, one separator at the top.
    HMENU sub = CreatePopupMenu();
    AppendMenuW(sub, MF_STRING, 0x11, L"Allow All Popups");
    AppendMenuW(sub, MF_STRING, 0x12, L"Block All Popups");
    ASSERT_TRUE(InsertMenuW(system, 0, MF_BYPOSITION | MF_STRING, 0x10, L"Block this popup"));
    ASSERT_TRUE(InsertMenuW(system, 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<std::uintptr_t>(sub),
                            L"Blanket this domain"));
    ASSERT_TRUE(InsertMenuW(system, 2, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr));
    EXPECT_EQ(GetMenuItemCount(system), 8);
    EXPECT_EQ(GetMenuItemID(system, 0), 0x10u);
    EXPECT_EQ(GetMenuItemID(system, 1), kNoMenuItem);
    EXPECT_EQ(GetSubMenu(system, 1), sub);
    EXPECT_EQ(CheckMenuItem(system, 0x12, MF_BYCOMMAND | MF_CHECKED), 0u) << "found in the submenu";
    EXPECT_EQ(GetMenuState(sub, 1, MF_BYPOSITION) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(EnableMenuItem(system, 1, MF_BYPOSITION | MF_GRAYED), 0u);
    EXPECT_EQ(EnableMenuItem(system, 1, MF_BYPOSITION | MF_ENABLED), MF_GRAYED);
    EXPECT_EQ(EnableMenuItem(system, 0x99, MF_BYCOMMAND), kNoMenuItem);

    g_menuPrevious = reinterpret_cast<WNDPROC>(SetWindowLongPtr(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MenuProc)));
    QString seenText;
    UINT chosen = ShowSystemMenu(hwnd, QPoint(5, 5), [&](HMENU menu) -> UINT {
        seenText = GetMenuText(menu, 1, MF_BYPOSITION);
        return 0x11;
    });
    EXPECT_EQ(chosen, 0x11u);
    EXPECT_EQ(seenText, QStringLiteral("Blanket 'example.com'")) << "changed while the menu opened";
    using M = std::pair<UINT, WPARAM>;
    EXPECT_EQ(g_menuMessages,
              (std::vector<M>{M{WM_INITMENU, reinterpret_cast<WPARAM>(system)},
                              M{WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(system)},
                              M{WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(system, 1))},
                              M{WM_SYSCOMMAND, 0x11}}));
    EXPECT_EQ(g_popupParams, (std::vector<LPARAM>{MAKELPARAM(0, 1), MAKELPARAM(1, 1)}));

    // Close from the window menu reaches the window's default handling.
    window->show();
    ShowSystemMenu(hwnd, QPoint(5, 5), [](HMENU) -> UINT { return static_cast<UINT>(SC_CLOSE); });
    EXPECT_FALSE(window->isVisible());
}

TEST(Menus, TrackPopupMenuAnswersOrPostsTheChoice)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"Allow all from example.com");
    AppendMenuW(menu, MF_STRING, 3, L"View example.com/a...");
    SetMenuChooser([](HMENU m) { return GetMenuItemID(m, 1); });
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, 0, 0, 0, nullptr, nullptr), 3);
    SetMenuChooser([](HMENU) -> UINT { return 0; });
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, nullptr, nullptr), 0);
    SetMenuChooser({});
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(IsMenu(menu));
    EXPECT_EQ(GetMenuItemCount(menu), -1);
}

}  // namespace
