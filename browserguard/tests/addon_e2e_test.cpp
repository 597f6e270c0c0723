// The add-on in the browser against the real service: kelmbrowse (offscreen)
// loads qvbrowserguard from the registry, korvad runs on a private bus, and
// the pages come from a loopback HTTP server. Clicks are real mouse events
// sent to the page's web view.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QPointer>
#include <memory>
#include <vector>

#include "browser/addon_registry.h"
#include "browser/com_runtime.h"
#include "browser/menu.h"
#include "browser_host.h"
#include "browser_page.h"
#include "browser_windows.h"
#include "browserguard/registration.h"
#include "bus_testing.h"
#include "servicelink/msg_request.h"
#include "test_addon_protocol.h"
#include "test_support.h"
#include "web_browser_object.h"
#include "win/ui/window_handle.h"
#include "win/ui/window_ops.h"

namespace browserguard {
namespace {

using browser_test::Spin;
using browser_test::WaitFor;
using kb::engine::CWebBrowser;

// Records whether a window was ever shown.
class ShowWatcher : public QObject {
 public:
  bool shown = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) shown = true;
    return QObject::eventFilter(watched, event);
  }
};

class AddOnEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    m_root = std::make_unique<browser_test::ScopedStateRoot>();
    std::string error;
    ASSERT_TRUE(m_bus.Start(&error)) << error;
    ASSERT_TRUE(bus_testing::StartKorvad(m_korvad, KORVAD_PATH, m_root->path().string()));

    // Registration as the library writes it, and the helper-object list as
    // an installer writes it.
    void* addOn = ::dlopen(QVBROWSERGUARD_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(addOn, nullptr) << ::dlerror();
    auto registerServer = reinterpret_cast<win::PFN_DllRegisterServer>(::dlsym(addOn, "DllRegisterServer"));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_EQ(registerServer(), win::S_OK);
    m_canUnloadNow = reinterpret_cast<win::PFN_DllCanUnloadNow>(::dlsym(addOn, "DllCanUnloadNow"));
    ASSERT_NE(m_canUnloadNow, nullptr);
    ASSERT_EQ(win::RegisterBrowserHelperObject(win::Hive::LocalMachine, CLSID_BrowserHelper), win::ERROR_SUCCESS);

    m_server = std::make_unique<browser_test::LocalHttpServer>();
    m_server->Add(QStringLiteral("/popup"), "<html><head><title>Popup</title></head><body>popup</body></html>");
    m_server->Add(QStringLiteral("/onload"),
                  "<html><head><title>Opens on load</title></head><body>opener"
                  "<script>window.open('/popup', 'pop', 'width=320,height=200');</script></body></html>");
    MakeHost();
  }

  // The browser host (it reads the helper-object list when it makes its
  // first browser); every browser it makes is watched for being shown.
  void MakeHost() {
    m_host = std::make_unique<kb::engine::CBrowserHost>();
    QObject::connect(m_host.get(), &kb::engine::CBrowserHost::browserCreated, m_host.get(), [this](CWebBrowser* b) {
      auto watcher = std::make_unique<ShowWatcher>();
      if (b->frame() != nullptr) b->frame()->installEventFilter(watcher.get());
      m_created.push_back({QPointer<kb::engine::CFrameWindow>(b->frame()), std::move(watcher)});
    });
  }

  void TearDown() override {
    m_host.reset();
    Spin(50);
    m_created.clear();
    m_server.reset();
    m_korvad.Stop();
    m_bus.Stop();
    m_root.reset();
  }

  // A page whose button opens TARGET in a new window.
  static QByteArray ButtonPage(const QString& target) {
    return "<html><head><title>Button</title><style>body{margin:0}</style></head><body>"
           "<button id='open' style='position:absolute;left:20px;top:20px;width:200px;height:60px' "
           "onclick=\"window.open('" +
           target.toUtf8() +
           "', 'clicked', 'width=320,height=200')\">Open a window</button>"
           "<p style='position:absolute;left:20px;top:200px'>plain text</p>" +
           QByteArray(kPressCounter) + "</body></html>";
  }

  // Counts the presses the page hears (a listener, not a handler property,
  // so it makes nothing clickable).
  static constexpr const char* kPressCounter =
      "<script>window.__presses = 0;"
      "document.addEventListener('mousedown', function () { window.__presses++; }, true);</script>";

  static int Presses(CWebBrowser* browser) {
    auto answer = std::make_shared<int>(-1);
    browser->page()->runJavaScript(QStringLiteral("window.__presses | 0"),
                                   [answer](const QVariant& value) { *answer = value.toInt(); });
    WaitFor([&] { return *answer >= 0; }, 5000);
    return *answer;
  }

  // A page that has just loaded may not take input yet: a click whose press
  // the page never heard is sent again (one it heard is never repeated).
  static void ClickPage(CWebBrowser* browser, int x, int y, Qt::MouseButton button = Qt::LeftButton) {
    const int before = Presses(browser);
    for (int attempt = 0; attempt < 20; ++attempt) {
      Click(browser, x, y, button);
      if (WaitFor([&] { return Presses(browser) > before; }, 500)) return;
    }
    ADD_FAILURE() << "the page never took the click";
  }

  // Opens URL in a window and waits for its page to load.
  CWebBrowser* Open(const QString& url) {
    CWebBrowser* browser = m_host->OpenWindow(QUrl(url));
    EXPECT_NE(browser, nullptr);
    if (browser == nullptr) return nullptr;
    bool loaded = false;
    QObject::connect(browser->page(), &QWebEnginePage::loadFinished, m_host.get(), [&loaded](bool) { loaded = true; });
    EXPECT_TRUE(WaitFor([&] { return loaded; })) << url.toStdString();
    return browser;
  }

  // A click at (X, Y) of the page with BUTTON, as the mouse makes it.
  static void Click(CWebBrowser* browser, int x, int y, Qt::MouseButton button = Qt::LeftButton) {
    QWidget* view = browser->tab()->page();
    QWidget* target = view->focusProxy() != nullptr ? view->focusProxy() : view;
    const QPointF local(x, y);
    const QPointF global = target->mapToGlobal(local);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, local, global, button, type == QEvent::MouseButtonPress ? button : Qt::NoButton,
                        Qt::NoModifier);
      QApplication::sendEvent(target, &event);
    }
  }

  static CMsgResults Ask(const std::string& name, CMsgRequest& request) { return request.Execute(name, 5000); }

  long long BlockedCount() {
    CMsgRequest request;
    const CMsgResults results = Ask("korva.justice.popup.query_statistics", request);
    EXPECT_TRUE(results.Succeeded()) << results.GetErrorText();
    return results.GetCursor()["popup_count"].ToInteger64();
  }

  void SetBlanket(const std::string& state, const QString& site) {
    CMsgRequest request;
    request["state"] = state;
    CMsgRowSet row("sites");
    row.AddColumn("url");
    row.SetValue(row.AddRow(), "url", site.toStdString() + "/");
    request.SetExParams(std::move(row));
    const CMsgResults results = Ask("korva.justice.popup.apply_blanket", request);
    ASSERT_TRUE(results.Succeeded()) << results.GetErrorText();
  }

  QString Site() const { return m_server->Url({}).mid(QStringLiteral("http://").size()); }

  size_t Browsers() const { return m_host->browsers().size(); }

  // Closes every browser; then no add-on object may be left (each frame
  // released exactly its own reference, nothing else kept one).
  void CloseAllAndCheckNoAddOnObjectLeft() {
    EXPECT_EQ(m_canUnloadNow(), win::S_FALSE) << "the open browsers have their add-on objects";
    m_host.reset();
    EXPECT_TRUE(WaitFor([&] { return m_canUnloadNow() == win::S_OK; }, 5000)) << "an add-on object was left";
  }
  bool AnyOtherWindowShown(kb::engine::CFrameWindow* except) const {
    for (const auto& created : m_created)
      if (created.frame != except && created.watcher->shown) return true;
    return false;
  }

  std::unique_ptr<browser_test::ScopedStateRoot> m_root;
  bus_testing::PrivateBus m_bus;
  bus_testing::ChildProcess m_korvad;
  std::unique_ptr<browser_test::LocalHttpServer> m_server;
  std::unique_ptr<kb::engine::CBrowserHost> m_host;
  struct Created {
    QPointer<kb::engine::CFrameWindow> frame;
    std::unique_ptr<ShowWatcher> watcher;
  };
  std::vector<Created> m_created;
  win::PFN_DllCanUnloadNow m_canUnloadNow = nullptr;
};

TEST_F(AddOnEndToEnd, AWindowOpenedOnLoadWithoutAClickIsRefusedAndCounted) {
  ASSERT_EQ(BlockedCount(), 0);
  CWebBrowser* opener = Open(m_server->Url(QStringLiteral("/onload")));
  ASSERT_NE(opener, nullptr);
  // The page's window was made (by the add-on) and closed again.
  EXPECT_TRUE(WaitFor([&] { return m_created.size() >= 2 && Browsers() == 1; }));
  EXPECT_TRUE(WaitFor([&] { return BlockedCount() == 1; }));
  Spin(300);
  EXPECT_EQ(Browsers(), 1u);
  EXPECT_FALSE(AnyOtherWindowShown(opener->frame())) << "a refused popup is never shown";
  EXPECT_FALSE(m_server->requests().contains(QStringLiteral("/popup"))) << "nothing of it was loaded";
  EXPECT_TRUE(opener->frame()->isVisible()) << "the opener stays";
  CloseAllAndCheckNoAddOnObjectLeft();
}

TEST_F(AddOnEndToEnd, AWindowTheUserClickedForOpens) {
  m_server->Add(QStringLiteral("/button"), ButtonPage(QStringLiteral("/clicked")));
  m_server->Add(QStringLiteral("/clicked"), "<html><head><title>Clicked</title></head><body>asked for</body></html>");
  CWebBrowser* opener = Open(m_server->Url(QStringLiteral("/button")));
  ASSERT_NE(opener, nullptr);
  ClickPage(opener, 60, 40);
  ASSERT_TRUE(WaitFor([&] { return m_server->requests().contains(QStringLiteral("/clicked")); }));
  ASSERT_TRUE(WaitFor([&] { return Browsers() == 2; }));
  CWebBrowser* popup = m_host->browsers().back();
  EXPECT_TRUE(WaitFor([&] { return popup->frame() != nullptr && popup->frame()->isVisible(); }));
  Spin(300);
  EXPECT_EQ(Browsers(), 2u) << "the window the user asked for stays";
  EXPECT_EQ(BlockedCount(), 0);

  // A click on plain text asks for nothing: a window the page opens next is refused.
  ClickPage(opener, 40, 210);
  Spin(100);
  const int before = static_cast<int>(m_created.size());
  opener->page()->runJavaScript(QStringLiteral("window.open('/popup', 'later', 'width=200,height=100');"));
  EXPECT_TRUE(WaitFor([&] { return static_cast<int>(m_created.size()) > before; }));
  EXPECT_TRUE(WaitFor([&] { return BlockedCount() == 1; }));
  EXPECT_TRUE(WaitFor([&] { return Browsers() == 2; }));
  CloseAllAndCheckNoAddOnObjectLeft();
}

TEST_F(AddOnEndToEnd, ALinkOpenedInANewTabByTheUserIsHandedOverAndKept) {
  m_server->Add(QStringLiteral("/links"),
                "<html><head><title>Links</title><style>body{margin:0}</style></head><body>"
                "<a href='/tab' style='display:block;width:200px;height:60px;background:#cde'>a link</a>" +
                    QByteArray(kPressCounter) + "</body></html>");
  m_server->Add(QStringLiteral("/tab"), "<html><head><title>Tab</title></head><body>tab</body></html>");
  CWebBrowser* opener = Open(m_server->Url(QStringLiteral("/links")));
  ASSERT_NE(opener, nullptr);
  ClickPage(opener, 40, 30, Qt::MiddleButton);
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(WaitFor([&] { return m_server->requests().contains(QStringLiteral("/tab")); }));
  EXPECT_LT(clock.elapsed(), 2500) << "nothing waited for an empty page";
  ASSERT_TRUE(WaitFor([&] { return Browsers() == 2; }));
  CWebBrowser* tab = m_host->browsers().back();
  EXPECT_EQ(tab->frame(), opener->frame()) << "a tab of the opener's window";
  Spin(300);
  EXPECT_EQ(Browsers(), 2u);
  EXPECT_EQ(BlockedCount(), 0);
}

// Another add-on sited before this one hears every event once, after this
// add-on, and never the new-window events.
TEST_F(AddOnEndToEnd, AnEarlierListenerHearsEachEventOnceAndAfterTheAddOn) {
  m_host.reset();
  // The other add-on is listed machine-wide, this one per user: the browser
  // sites the machine's first, so it advises its listener first.
  ASSERT_EQ(win::UnregisterBrowserHelperObject(win::Hive::LocalMachine, CLSID_BrowserHelper), win::ERROR_SUCCESS);
  ASSERT_EQ(win::RegisterBrowserHelperObject(win::Hive::CurrentUser, CLSID_BrowserHelper), win::ERROR_SUCCESS);
  ASSERT_EQ(win::RegisterInprocServer(win::Hive::LocalMachine, browser_test::kAddOnA, "Test add-on", BROWSER_TEST_ADDON),
            win::ERROR_SUCCESS);
  ASSERT_EQ(win::RegisterBrowserHelperObject(win::Hive::LocalMachine, browser_test::kAddOnA), win::ERROR_SUCCESS);
  void* other = ::dlopen(BROWSER_TEST_ADDON, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(other, nullptr) << ::dlerror();
  auto* log = reinterpret_cast<browser_test::LogFunction>(::dlsym(other, "TestAddOn_Log"))();
  auto* behaviour = reinterpret_cast<browser_test::BehaviourFunction>(::dlsym(other, "TestAddOn_Behaviour"))();
  log->clear();
  win::HRESULT popupQuit = win::S_OK;
  int popupNavigations = 0;
  behaviour->onEvent = [&](win::IWebBrowser2* site, win::DISPID dispid, win::DISPPARAMS* params) {
    if (dispid != win::DISPID_BEFORENAVIGATE2 || !win::VariantToQString(params->rgvarg[5]).endsWith(QLatin1String("/popup")))
      return;
    ++popupNavigations;
    // The add-on heard this event first and closed the refused window already.
    popupQuit = site->Quit();
  };
  MakeHost();

  CWebBrowser* opener = Open(m_server->Url(QStringLiteral("/onload")));
  ASSERT_NE(opener, nullptr);
  EXPECT_TRUE(WaitFor([&] { return BlockedCount() == 1 && Browsers() == 1; }));
  EXPECT_EQ(popupNavigations, 1);
  EXPECT_EQ(popupQuit, win::E_FAIL);
  int topNavigations = 0, topCompletions = 0, newWindows = 0;
  for (const browser_test::Record& r : *log) {
    if (r.addOn != browser_test::kAddOnA || r.site != static_cast<win::IWebBrowser2*>(opener) || r.kind != "Event")
      continue;
    if (r.dispid == win::DISPID_NEWWINDOW2 || r.dispid == win::DISPID_NEWWINDOW3) ++newWindows;
    if (r.pDisp == r.site && r.dispid == win::DISPID_BEFORENAVIGATE2) ++topNavigations;
    if (r.pDisp == r.site && r.dispid == win::DISPID_DOCUMENTCOMPLETE) ++topCompletions;
  }
  EXPECT_EQ(topNavigations, 1);
  EXPECT_EQ(topCompletions, 1);
  EXPECT_EQ(newWindows, 0) << "the new-window events are the add-on's alone";
  behaviour->onEvent = nullptr;
  m_host.reset();
  log->clear();
}

TEST_F(AddOnEndToEnd, ASiteWithAnAllowBlanketKeepsItsPopups) {
  SetBlanket("allow", Site());
  CWebBrowser* opener = Open(m_server->Url(QStringLiteral("/onload")));
  ASSERT_NE(opener, nullptr);
  ASSERT_TRUE(WaitFor([&] { return m_server->requests().contains(QStringLiteral("/popup")); }));
  ASSERT_TRUE(WaitFor([&] { return Browsers() == 2; }));
  CWebBrowser* popup = m_host->browsers().back();
  EXPECT_TRUE(WaitFor([&] { return popup->frame() != nullptr && popup->frame()->isVisible(); }));
  Spin(300);
  EXPECT_EQ(Browsers(), 2u);
  EXPECT_EQ(BlockedCount(), 0);
}

TEST_F(AddOnEndToEnd, ASiteWithABlockBlanketLosesEvenClickedPopups) {
  // The opener is on one site, the window it opens on another, whose blanket blocks.
  const QString popupSite = Site();
  const QString openerBase = m_server->Url({}).replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
  m_server->Add(QStringLiteral("/button"), ButtonPage(m_server->Url(QStringLiteral("/clicked"))));
  m_server->Add(QStringLiteral("/clicked"), "<html><body>never</body></html>");
  SetBlanket("block", popupSite);
  CWebBrowser* opener = Open(openerBase + QStringLiteral("/button"));
  ASSERT_NE(opener, nullptr);
  ClickPage(opener, 60, 40);
  EXPECT_TRUE(WaitFor([&] { return m_created.size() >= 2 && BlockedCount() == 1; }));
  EXPECT_TRUE(WaitFor([&] { return Browsers() == 1; }));
  Spin(300);
  EXPECT_EQ(Browsers(), 1u);
  EXPECT_FALSE(AnyOtherWindowShown(opener->frame()));
  EXPECT_FALSE(m_server->requests().contains(QStringLiteral("/clicked")));
}

TEST_F(AddOnEndToEnd, AWindowOpenedOnABlockedSiteClosesWhenItsPageCompletes) {
  m_server->Add(QStringLiteral("/page"), "<html><head><title>Page</title></head><body>page</body></html>");
  SetBlanket("block", Site());
  ASSERT_NE(m_host->OpenWindow(QUrl(m_server->Url(QStringLiteral("/page")))), nullptr);
  EXPECT_TRUE(WaitFor([&] { return Browsers() == 0; }));
  EXPECT_TRUE(m_server->requests().contains(QStringLiteral("/page"))) << "it closed once its navigation completed";
  EXPECT_EQ(BlockedCount(), 1);
}

TEST_F(AddOnEndToEnd, AWebPageDialogNobodyAskedForIsDroppedUnlessTheSiteIsAllowed) {
  m_server->Add(QStringLiteral("/dialog"), "<html><head><title>Dialog</title></head><body>dialog</body></html>");
  m_server->Add(QStringLiteral("/asks"), "<html><head><title>Asks</title></head><body>asks"
                                         "<script>showModalDialog('/dialog');</script></body></html>");
  CWebBrowser* page = Open(m_server->Url(QStringLiteral("/asks")));
  ASSERT_NE(page, nullptr);
  // Dropped before its creator had it: reported (and counted) for the site, never loaded.
  EXPECT_TRUE(WaitFor([&] { return BlockedCount() == 1; }));
  Spin(300);
  EXPECT_FALSE(m_server->requests().contains(QStringLiteral("/dialog")));
  for (QWidget* widget : QApplication::topLevelWidgets())
    EXPECT_FALSE(widget->isVisible() && win::GetClassName(win::HwndFromWidget(widget)) ==
                                            QLatin1String(kb::kWebPageDialogClass));

  // On a site with an allow blanket the dialog is kept and shows its page.
  SetBlanket("allow", Site());
  page->page()->runJavaScript(QStringLiteral("showModalDialog('/dialog');"));
  EXPECT_TRUE(WaitFor([&] { return m_server->requests().contains(QStringLiteral("/dialog")); }));
  EXPECT_EQ(BlockedCount(), 1);
}

// Answers the next message box the add-on raises with BUTTON, as a user would.
void AnswerNextMessageBox(QMessageBox::StandardButton button, QString* seenText) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, timer, [timer, button, seenText] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    *seenText = box->windowTitle() + QLatin1Char('|') + box->text();
    box->button(button)->click();
    timer->stop();
    timer->deleteLater();
  });
  timer->start(20);
}

TEST_F(AddOnEndToEnd, TheWindowMenuCarriesThePopupCommands) {
  m_server->Add(QStringLiteral("/page"), "<html><head><title>Page</title></head><body>page</body></html>");
  CWebBrowser* browser = Open(m_server->Url(QStringLiteral("/page")));
  ASSERT_NE(browser, nullptr);
  win::SHANDLE_PTR handle = 0;
  ASSERT_EQ(browser->get_HWND(&handle), win::S_OK);
  const kb::HWND frame = reinterpret_cast<kb::HWND>(handle);
  const std::string site = Site().toStdString();

  // "Blanket this domain" > "Allow All Popups", answered Yes.
  QString question;
  AnswerNextMessageBox(QMessageBox::Yes, &question);
  kb::ShowSystemMenu(frame, QPoint(10, 10), [&](kb::HMENU menu) -> kb::UINT {
    EXPECT_EQ(kb::GetMenuItemID(menu, 0), 0x10u);
    EXPECT_EQ(kb::GetMenuText(menu, 0, kb::MF_BYPOSITION), QStringLiteral("Block this popup"));
    EXPECT_EQ(kb::GetMenuText(menu, 1, kb::MF_BYPOSITION), QString::fromStdString("Blanket '" + site + "'"));
    EXPECT_NE(kb::GetMenuState(menu, 0x12, kb::MF_BYCOMMAND) & kb::MF_CHECKED, 0u) << "no allow blanket yet";
    EXPECT_EQ(kb::GetMenuState(menu, 0x11, kb::MF_BYCOMMAND) & kb::MF_CHECKED, 0u);
    return 0x11;
  });
  EXPECT_EQ(question, QString::fromStdString("Allow Domain Popups|Would you also like to allow all currently blocked "
                                             "popups from " + site + "?"));
  CMsgRequest info;
  info["url"] = site + "/page";
  EXPECT_TRUE(WaitFor([&] { return Ask("korva.justice.popup.get_blanket_info", info).GetCursor()["blanket"].ToString() == "allow"; }));
  kb::ShowSystemMenu(frame, QPoint(10, 10), [&](kb::HMENU menu) -> kb::UINT {
    EXPECT_NE(kb::GetMenuState(menu, 0x11, kb::MF_BYCOMMAND) & kb::MF_CHECKED, 0u) << "the allow blanket shows";
    return 0;
  });

  // "Block this popup": the page's address is blocked from now on, even
  // clicked and on an allowed site, and its tab closes.
  kb::ShowSystemMenu(frame, QPoint(10, 10), [](kb::HMENU) -> kb::UINT { return 0x10; });
  EXPECT_TRUE(WaitFor([&] { return Browsers() == 0; }));
  EXPECT_EQ(BlockedCount(), 0) << "the user's own block is not a hit";
  CMsgRequest authorize;
  authorize["url"] = site + "/page";
  authorize["solicited"] = 1;
  EXPECT_EQ(Ask("korva.justice.popup.authorize", authorize).GetCursor()["block"].ToInteger(), 1);
}

}  // namespace
}  // namespace browserguard
