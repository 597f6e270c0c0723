// The windows of a browser as an add-on sees them: class names and the tree,
// the page window's document, subclassing the frame and the page, mouse
// hooks over a page, page dialogs through the window-creation interception,
// and cabinet downloads through the extraction interception.

#include "cabinet_builder.h"
#include "engine_fixture.h"

#include "browser/cabinet.h"
#include "browser/com_ptr.h"
#include "browser/html_dom.h"
#include "browser/interception.h"
#include "browser/menu.h"
#include "browser/mouse_hook.h"
#include "browser/window_api.h"
#include "browser/window_subclass.h"
#include "browser_windows.h"
#include "win/ui/messaging.h"
#include "win/ui/window_ops.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QTimer>

using namespace win;
using namespace kb;

namespace browser_test {
namespace {

class BrowserWindows : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        m_server->Add(QStringLiteral("/"),
                      "<html><head><title>Windows</title><style>body{margin:0}</style></head><body>"
                      "<a id='a' href='/x' style='display:block;width:200px;height:100px;background:#cde'>link</a>"
                      "</body></html>");
        m_server->Add(QStringLiteral("/x"), "<html><body>x</body></html>");
        m_server->Add(QStringLiteral("/dialog"), "<html><head><title>Dlg</title></head><body>dialog</body></html>");
        browser = Open(QStringLiteral("/"));
        ASSERT_NE(browser, nullptr);
        SHANDLE_PTR handle = 0;
        ASSERT_EQ(browser->get_HWND(&handle), S_OK);
        frame = reinterpret_cast<HWND>(handle);
        EnumChildWindows(frame, [&](HWND h) {
            if (GetClassName(h).contains(QLatin1String("Explorer_Server")))
                page = h;
            return page == nullptr;
        });
        ASSERT_NE(page, nullptr);
    }

    kb::engine::CWebBrowser* browser = nullptr;
    HWND frame = nullptr;
    HWND page = nullptr;
};

TEST_F(BrowserWindows, TheWindowTreeNamesEveryPart)
{
    EXPECT_EQ(GetClassName(frame), QString::fromLatin1(kFrameWindowClass));
    HWND view = GetParent(page);
    EXPECT_EQ(GetClassName(view), QString::fromLatin1(kDocObjectViewClass));
    HWND tab = GetParent(view);
    EXPECT_EQ(GetClassName(tab), QString::fromLatin1(kTabWindowClass));
    EXPECT_EQ(GetAncestor(page, GA_ROOT), frame);
    EXPECT_TRUE(WaitFor([&] { return GetWindowText(frame).contains(QLatin1String("Windows")); }));

    // From the page window to its document window and back to the browser.
    CComPtr<IServiceProvider> accessible;
    ASSERT_EQ(AccessibleObjectFromWindow(page, OBJID_CLIENT, IID_IServiceProvider,
                                         reinterpret_cast<void**>(&accessible)),
              S_OK);
    CComPtr<IHTMLWindow2> window;
    ASSERT_EQ(accessible->QueryService(IID_IHTMLWindow2, IID_IHTMLWindow2, reinterpret_cast<void**>(&window)), S_OK);
    CComQIPtr<IServiceProvider> provider(window);
    CComPtr<IWebBrowser2> found;
    ASSERT_EQ(provider->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, reinterpret_cast<void**>(&found)), S_OK);
    EXPECT_TRUE(IsSameObject(found, static_cast<IWebBrowser2*>(browser)));
    CComPtr<IUnknown> none;
    EXPECT_EQ(AccessibleObjectFromWindow(tab, OBJID_CLIENT, IID_IServiceProvider, reinterpret_cast<void**>(&none)),
              E_FAIL);
}

WNDPROC g_framePrevious = nullptr;
WNDPROC g_pagePrevious = nullptr;
bool g_keepOpen = true;
std::vector<UINT> g_frameMessages;

LRESULT FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_frameMessages.push_back(message);
    if (message == WM_CLOSE && g_keepOpen)
        return 0;
    return CallWindowProc(g_framePrevious, hwnd, message, wParam, lParam);
}

LRESULT PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = CallWindowProc(g_pagePrevious, hwnd, message, wParam, lParam);
    if (message == WM_SIZE)  // keep the page below a 30-pixel bar, as the notification bar does
        SetWindowPos(hwnd, HwndTop(), 0, 30, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    return result;
}

TEST_F(BrowserWindows, SubclassesSeeTheFrameAndPageMessages)
{
    g_frameMessages.clear();
    g_keepOpen = true;
    g_framePrevious = reinterpret_cast<WNDPROC>(SetWindowLongPtr(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameProc)));
    g_pagePrevious = reinterpret_cast<WNDPROC>(SetWindowLongPtr(page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PageProc)));
    ASSERT_NE(g_framePrevious, nullptr);

    QWidget* frameWidget = WidgetFromHwnd(frame);
    frameWidget->resize(900, 700);
    EXPECT_TRUE(WaitFor([&] { return WidgetFromHwnd(page)->y() == 30; }));

    // The user closes the window: WM_CLOSE goes through the subclass, which keeps it.
    QCloseEvent close;
    QApplication::sendEvent(frameWidget, &close);
    Spin(100);
    EXPECT_TRUE(frameWidget->isVisible());
    EXPECT_EQ(CountTopEvents(browser, DISPID_ONQUIT), 0);
    EXPECT_NE(std::find(g_frameMessages.begin(), g_frameMessages.end(), WM_CLOSE), g_frameMessages.end());

    // Close from the window menu now goes through: the browser quits and
    // the frame's last messages reach the subclass.
    g_keepOpen = false;
    ShowSystemMenu(frame, QPoint(1, 1), [](HMENU) -> UINT { return static_cast<UINT>(SC_CLOSE); });
    EXPECT_TRUE(WaitFor([&] { return IndexOf(QStringLiteral("Event"), Site(browser), DISPID_ONQUIT) >= 0; }));
    EXPECT_TRUE(WaitFor([&] {
        return std::find(g_frameMessages.begin(), g_frameMessages.end(), WM_NCDESTROY) != g_frameMessages.end();
    }));
    EXPECT_FALSE(IsWindow(frame));
}

HWND g_hookWindow = nullptr;
POINT g_hookPoint;
HHOOK g_hook = nullptr;
QString g_hookTag;
kb::engine::CWebBrowser* g_hookBrowser = nullptr;

LRESULT ClickHook(int code, WPARAM wParam, LPARAM lParam)
{
    auto* info = reinterpret_cast<MOUSEHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && wParam == WM_LBUTTONDOWN && g_hookWindow == nullptr) {
        g_hookWindow = info->hwnd;
        g_hookPoint = info->pt;
        // What the click monitor does: the element under the cursor.
        POINT client = info->pt;
        ScreenToClient(info->hwnd, &client);
        CComPtr<IDispatch> document;
        g_hookBrowser->get_Document(&document);
        CComPtr<IHTMLElement> element;
        CComQIPtr<IHTMLDocument2>(document)->elementFromPoint(client.x, client.y, &element);
        CComBSTR tag;
        if (element)
            element->get_tagName(&tag);
        g_hookTag = tag.ToQString();
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

TEST_F(BrowserWindows, AMouseHookSeesClicksInThePageAndCanAskTheDocument)
{
    g_hookWindow = nullptr;
    g_hookTag.clear();
    g_hookBrowser = browser;
    WidgetFromHwnd(frame)->show();
    g_hook = SetWindowsHookEx(WH_MOUSE, &ClickHook, nullptr, GetWindowThreadProcessId(page, nullptr));
    ASSERT_NE(g_hook, nullptr);
    auto* view = qobject_cast<QWebEngineView*>(WidgetFromHwnd(page));
    ASSERT_NE(view, nullptr);
    QWidget* target = view->focusProxy() != nullptr ? view->focusProxy() : view;
    QPoint local(20, 20);
    QPointF global = target->mapToGlobal(QPointF(local));
    const auto click = [&] {
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, QPointF(local), global, Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(target, &event);
        }
    };
    const auto navigated = [&] {
        for (const Record& r : Events(browser)) {
            if (r.dispid == DISPID_BEFORENAVIGATE2 && r.values.value(1).endsWith(QLatin1String("/x")))
                return true;
        }
        return false;
    };
    click();
    UnhookWindowsHookEx(g_hook);
    EXPECT_EQ(g_hookWindow, page);
    EXPECT_EQ(g_hookPoint.x, static_cast<LONG>(global.x()));
    EXPECT_EQ(g_hookTag, QStringLiteral("A"));
    // The page still got the click: the link navigates. On a busy machine a
    // click that arrives before the page's renderer takes input is lost, so
    // a click without a navigation is sent again (a few times at most).
    bool followed = WaitFor(navigated, 3000);
    for (int attempt = 0; !followed && attempt < 4; ++attempt) {
        click();
        followed = WaitFor(navigated, 3000);
    }
    EXPECT_TRUE(followed);
}

auto Real_CreateWindowExW = &kb::CreateWindowExW;
QStringList g_windows;
bool g_dropDialogs = false;

HWND WatchingCreateWindowExW(DWORD exStyle, const wchar_t* className, const wchar_t* name, DWORD style, int x, int y,
                             int w, int h, HWND parent, HMENU menu, void* instance, void* param)
{
    HWND hwnd = Real_CreateWindowExW(exStyle, className, name, style, x, y, w, h, parent, menu, instance, param);
    g_windows << GetClassName(hwnd) + QLatin1Char('|') + GetWindowText(hwnd);
    if (g_dropDialogs && (GetClassName(hwnd) == QLatin1String("#32770") ||
                          GetWindowText(hwnd).contains(QLatin1String("Web Page Dialog")))) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    return hwnd;
}

class PageDialogs : public BrowserWindows {
protected:
    void SetUp() override
    {
        BrowserWindows::SetUp();
        g_windows.clear();
        g_dropDialogs = false;
        InterceptionTransactionBegin();
        InterceptionUpdateThread();
        InterceptionAttach(reinterpret_cast<void**>(&Real_CreateWindowExW),
                           reinterpret_cast<void*>(&WatchingCreateWindowExW));
        InterceptionTransactionCommit();
    }
    void TearDown() override
    {
        InterceptionTransactionBegin();
        InterceptionDetach(reinterpret_cast<void**>(&Real_CreateWindowExW),
                           reinterpret_cast<void*>(&WatchingCreateWindowExW));
        InterceptionTransactionCommit();
        BrowserWindows::TearDown();
    }
};

TEST_F(PageDialogs, AMessageBoxIsAWindowWithButtonsThatAnswersCommands)
{
    // Answer the box once it is up, as a user pressing OK.
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        HWND box = win::FindWindow(L"#32770", L"Message from webpage");
        if (box == nullptr)
            return;
        QString button = QString::fromLatin1(kButtonClass);
        EXPECT_NE(FindWindowEx(box, nullptr, &button, nullptr), nullptr);
        PostMessage(box, WM_COMMAND, 1 /*IDOK*/, 0);
        timer.stop();
    });
    timer.start(50);
    EXPECT_EQ(Script(browser, QStringLiteral("String(confirm('Go on?'))")), QStringLiteral("true"));
    EXPECT_TRUE(g_windows.contains(QStringLiteral("#32770|Message from webpage")));
}

TEST_F(PageDialogs, RefusedDialogsAreNeverShown)
{
    g_dropDialogs = true;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Script(browser, QStringLiteral("alert('hi'); String(confirm('really?'))")), QStringLiteral("false"));
    EXPECT_LT(clock.elapsed(), 2500) << "nothing waited for a user";
    Script(browser, QStringLiteral("showModalDialog('/dialog'); 1"));
    ASSERT_TRUE(WaitFor([&] {
        return std::any_of(g_windows.begin(), g_windows.end(), [](const QString& w) {
            return w.startsWith(QString::fromLatin1(kWebPageDialogClass)) && w.contains(QLatin1String("Web Page Dialog"));
        });
    }));
    Spin(100);
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(widget->isVisible() && GetClassName(HwndFromWidget(widget)) == QString::fromLatin1(kWebPageDialogClass));

    // Kept, the web page dialog shows its page.
    g_dropDialogs = false;
    Script(browser, QStringLiteral("showModelessDialog('/dialog'); 1"));
    EXPECT_TRUE(WaitFor([&] { return m_server->requests().contains(QStringLiteral("/dialog")); }));
}

TEST_F(BrowserWindows, DocumentCallsInsideNewWindowEventsFailAtOnce)
{
    HRESULT seen = S_OK;
    qint64 took = -1;
    m_behaviour->onEvent = [&](IWebBrowser2* site, DISPID dispid, DISPPARAMS*) {
        if (dispid != DISPID_NEWWINDOW2)
            return;
        QElapsedTimer clock;
        clock.start();
        CComPtr<IDispatch> document;
        site->get_Document(&document);
        CComPtr<IHTMLElement> body;
        seen = CComQIPtr<IHTMLDocument2>(document)->get_body(&body);
        took = clock.elapsed();
    };
    Script(browser, QStringLiteral("window.open('/x'); 1"));
    ASSERT_TRUE(WaitFor([&] { return took >= 0; }));
    EXPECT_EQ(seen, E_PENDING);
    EXPECT_LT(took, 500);
}

// ---------------------------------------------------------------------------
auto Real_FDICopy = &kb::FDICopy;
QStringList g_cabinets;

BOOL RefusingFDICopy(HFDI, const char* name, const char* path, int, PFNFDINOTIFY, PFNFDIDECRYPT, void*)
{
    g_cabinets << QString::fromUtf8(path) + QString::fromUtf8(name);
    return FALSE;
}

TEST_F(BrowserWindows, DownloadedCabinetsAreExtractedThroughTheInterceptionPoint)
{
    m_server->Add(QStringLiteral("/pkg.cab"),
                  Page{200, "application/vnd.ms-cab-compressed", BuildCabinet({{"control.inf", "[setup]"}})});
    std::vector<std::tuple<QString, QString, bool>> results;
    QObject::connect(m_host.get(), &kb::engine::CBrowserHost::cabinetExtracted,
                     [&](const QString& cab, const QString& folder, bool ok) { results.emplace_back(cab, folder, ok); });
    CComBSTR address(m_server->Url(QStringLiteral("/pkg.cab")));
    browser->Navigate(address, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(WaitFor([&] { return !results.empty(); }));
    auto [cab, folder, ok] = results.front();
    EXPECT_TRUE(ok);
    QFile extracted(folder + QStringLiteral("/control.inf"));
    ASSERT_TRUE(extracted.open(QIODevice::ReadOnly)) << folder.toStdString();
    EXPECT_EQ(extracted.readAll(), QByteArray("[setup]"));

    // With a replacement that refuses, nothing is extracted and the
    // replacement saw the cabinet's full path.
    g_cabinets.clear();
    InterceptionTransactionBegin();
    InterceptionAttach(reinterpret_cast<void**>(&Real_FDICopy), reinterpret_cast<void*>(&RefusingFDICopy));
    InterceptionTransactionCommit();
    results.clear();
    m_server->Add(QStringLiteral("/other.cab"),
                  Page{200, "application/vnd.ms-cab-compressed", BuildCabinet({{"evil.exe", "MZ"}})});
    CComBSTR other(m_server->Url(QStringLiteral("/other.cab")));
    browser->Navigate(other, nullptr, nullptr, nullptr, nullptr);
    bool done = WaitFor([&] { return !results.empty(); });
    InterceptionTransactionBegin();
    InterceptionDetach(reinterpret_cast<void**>(&Real_FDICopy), reinterpret_cast<void*>(&RefusingFDICopy));
    InterceptionTransactionCommit();
    ASSERT_TRUE(done);
    EXPECT_FALSE(std::get<2>(results.front()));
    EXPECT_EQ(g_cabinets, QStringList{std::get<0>(results.front())});
    EXPECT_FALSE(QFile::exists(std::get<1>(results.front()) + QStringLiteral("/evil.exe")));
}

}  // namespace
}  // namespace browser_test
