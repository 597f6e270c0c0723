// Navigation events of a browser as its add-ons hear them: siting before the
// first navigation, dispids and argument order, cancelling, frames, errors,
// properties and closing.

#include "engine_fixture.h"

#include "browser/com_ptr.h"
#include "browser/html_dom.h"

#include <QTcpServer>

using namespace win;

namespace browser_test {
namespace {

class NavigationEvents : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        m_server->Add(QStringLiteral("/"),
                      "<html><head><title>Top</title></head><body>top"
                      "<iframe name='outer' src='/frame'></iframe></body></html>");
        m_server->Add(QStringLiteral("/frame"),
                      "<html><body>frame<iframe name='inner' src='/frame2'></iframe></body></html>");
        m_server->Add(QStringLiteral("/frame2"), "<html><body>inner frame</body></html>");
        m_server->Add(QStringLiteral("/other"), "<html><head><title>Other</title></head><body>other</body></html>");
        m_server->Add(QStringLiteral("/target"), "<html><body>target</body></html>");
        m_server->Add(QStringLiteral("/missing"), Page{404, "text/html", "<html><body>no such page</body></html>"});
    }
};

QString UrlOf(IWebBrowser2* browser)
{
    CComBSTR url;
    browser->get_LocationURL(&url);
    return url.ToQString();
}

TEST_F(NavigationEvents, AddOnsAreSitedBeforeTheFirstNavigationAndHearItsEventsInOrder)
{
    kb::engine::CWebBrowser* browser = Open(QStringLiteral("/"));
    ASSERT_NE(browser, nullptr);
    void* top = Site(browser);

    // Both add-on classes got an object sited on this browser, before any event.
    int sitedA = IndexOf(QStringLiteral("SetSite"), top);
    ASSERT_GE(sitedA, 0);
    EXPECT_EQ(std::count_if(m_log->begin(), m_log->end(),
                            [&](const Record& r) { return r.kind == QLatin1String("SetSite") && r.site == top; }),
              2);
    EXPECT_LT(sitedA, IndexOf(QStringLiteral("Event"), top, DISPID_BEFORENAVIGATE2));

    std::vector<Record> events = Events(browser);
    ASSERT_FALSE(events.empty());
    const Record& before = events.front();
    EXPECT_EQ(before.dispid, DISPID_BEFORENAVIGATE2);
    EXPECT_EQ(before.pDisp, top);
    // rgvarg holds the arguments last first: Cancel, Headers, PostData, TargetFrameName, Flags, URL, pDisp.
    EXPECT_EQ(before.types, (std::vector<VARTYPE>{VT_BYREF | VT_BOOL, VT_BYREF | VT_VARIANT, VT_BYREF | VT_VARIANT,
                                                  VT_BYREF | VT_VARIANT, VT_BYREF | VT_VARIANT,
                                                  VT_BYREF | VT_VARIANT, VT_DISPATCH}));
    EXPECT_EQ(before.values, (QStringList{QStringLiteral("dispatch"), m_server->Url(QStringLiteral("/")),
                                          QStringLiteral("0"), QString(), QStringLiteral("empty"), QString(),
                                          QStringLiteral("false")}));

    // Frames: each frame's document completes (inner first), then the top's.
    std::vector<QString> completed;
    std::vector<void*> framesSeen;
    bool topNavigateCompleteBeforeTopComplete = false;
    for (const Record& r : events) {
        if (r.dispid == DISPID_NAVIGATECOMPLETE2 && r.pDisp == top)
            topNavigateCompleteBeforeTopComplete = true;
        if (r.dispid == DISPID_DOCUMENTCOMPLETE) {
            completed.push_back(r.pDisp == top ? QStringLiteral("top") : r.values.value(1));
            if (r.pDisp != top)
                framesSeen.push_back(r.pDisp);
            if (r.pDisp == top) {
                EXPECT_TRUE(topNavigateCompleteBeforeTopComplete);
            }
        }
    }
    EXPECT_EQ(completed, (std::vector<QString>{m_server->Url(QStringLiteral("/frame2")),
                                               m_server->Url(QStringLiteral("/frame")), QStringLiteral("top")}));
    // A frame's pDisp is a browser object of its own that knows its frame.
    ASSERT_EQ(framesSeen.size(), 2u);
    auto* inner = static_cast<IWebBrowser2*>(framesSeen[0]);
    VARIANT_BOOL isTop = VARIANT_TRUE;
    inner->get_TopLevelContainer(&isTop);
    EXPECT_EQ(isTop, VARIANT_FALSE);
    EXPECT_EQ(UrlOf(inner), m_server->Url(QStringLiteral("/frame2")));
    CComPtr<IDispatch> frameDocument;
    ASSERT_EQ(inner->get_Document(&frameDocument), S_OK);
    CComQIPtr<IHTMLDocument2> html(frameDocument);
    CComBSTR frameUrl;
    ASSERT_EQ(html->get_URL(&frameUrl), S_OK);
    EXPECT_EQ(frameUrl.ToQString(), m_server->Url(QStringLiteral("/frame2")));
    // Frames had their own before-navigate (not the top's).
    int frameBefore = 0;
    for (const Record& r : events)
        frameBefore += r.dispid == DISPID_BEFORENAVIGATE2 && r.pDisp != top ? 1 : 0;
    EXPECT_EQ(frameBefore, 2);
    EXPECT_EQ(UrlOf(browser), m_server->Url(QStringLiteral("/")));
}

TEST_F(NavigationEvents, ACancelledNavigationNeverLeaves)
{
    kb::engine::CWebBrowser* browser = Open(QStringLiteral("/other"));
    m_behaviour->cancelNavigationContaining = QStringLiteral("/target");
    CComBSTR address(m_server->Url(QStringLiteral("/target")));
    ASSERT_EQ(browser->Navigate(address, nullptr, nullptr, nullptr, nullptr), S_OK);
    ASSERT_TRUE(WaitFor([&] {
        for (const Record& r : Events(browser)) {
            if (r.dispid == DISPID_BEFORENAVIGATE2 && r.values.value(1).endsWith(QLatin1String("/target")))
                return true;
        }
        return false;
    }));
    Spin(300);
    EXPECT_FALSE(m_server->requests().contains(QStringLiteral("/target")));
    EXPECT_EQ(UrlOf(browser), m_server->Url(QStringLiteral("/other")));
    EXPECT_EQ(CountTopEvents(browser, DISPID_DOCUMENTCOMPLETE), 1);
}

TEST_F(NavigationEvents, NavigateDuringBeforeNavigateReplacesTheNavigation)
{
    kb::engine::CWebBrowser* browser = Open(QStringLiteral("/other"));
    QString target = m_server->Url(QStringLiteral("/target"));
    m_behaviour->onEvent = [target](IWebBrowser2* site, DISPID dispid, DISPPARAMS* params) {
        if (dispid == DISPID_BEFORENAVIGATE2 && VariantToQString(params->rgvarg[5]).endsWith(QLatin1String("/frame2"))) {
            // What a redirecting add-on does: stop, then navigate elsewhere, without Cancel.
            site->Stop();
            CComBSTR address(target);
            site->Navigate(address, nullptr, nullptr, nullptr, nullptr);
        }
    };
    NavigateAndWait(browser, m_server->Url(QStringLiteral("/frame2")));
    EXPECT_TRUE(WaitFor([&] { return UrlOf(browser) == m_server->Url(QStringLiteral("/target")); }));
    EXPECT_FALSE(m_server->requests().contains(QStringLiteral("/frame2")));
}

TEST_F(NavigationEvents, AnErrorStatusComesWithNavigateErrorBeforeCompletion)
{
    kb::engine::CWebBrowser* browser = Open(QStringLiteral("/other"));
    NavigateAndWait(browser, m_server->Url(QStringLiteral("/missing")));
    std::vector<Record> events = Events(browser);
    auto error = std::find_if(events.begin(), events.end(), [](const Record& r) { return r.dispid == DISPID_NAVIGATEERROR; });
    ASSERT_NE(error, events.end());
    EXPECT_EQ(error->pDisp, Site(browser));
    EXPECT_EQ(error->types, (std::vector<VARTYPE>{VT_BYREF | VT_BOOL, VT_BYREF | VT_VARIANT, VT_BYREF | VT_VARIANT,
                                                  VT_BYREF | VT_VARIANT, VT_DISPATCH}));
    EXPECT_EQ(error->values, (QStringList{QStringLiteral("dispatch"), m_server->Url(QStringLiteral("/missing")),
                                          QString(), QStringLiteral("404"), QStringLiteral("false")}));
    auto complete = std::find_if(error, events.end(), [](const Record& r) { return r.dispid == DISPID_NAVIGATECOMPLETE2; });
    EXPECT_NE(complete, events.end()) << "NavigateComplete2 follows the error";
    EXPECT_EQ(Script(browser, QStringLiteral("document.body.innerText")), QStringLiteral("no such page"))
        << "not cancelled: the answer's page stays";

    // Cancelled, the error page is replaced by an empty one.
    m_behaviour->cancelNavigateError = true;
    NavigateAndWait(browser, m_server->Url(QStringLiteral("/missing")) + QStringLiteral("?again"));
    EXPECT_TRUE(WaitFor([&] { return Script(browser, QStringLiteral("document.body ? document.body.innerText : ''")).isEmpty(); }));
}

TEST_F(NavigationEvents, AConnectionFailureReportsANetworkStatus)
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    quint16 port = probe.serverPort();
    probe.close();
    kb::engine::CWebBrowser* browser = Open(QStringLiteral("/other"));
    NavigateAndWait(browser, QStringLiteral("http://127.0.0.1:%1/").arg(port));
    int errors = 0;
    for (const Record& r : Events(browser)) {
        if (r.dispid == DISPID_NAVIGATEERROR) {
            ++errors;
            EXPECT_EQ(r.values.value(3).toLong(), static_cast<long>(INET_E_CANNOT_CONNECT));
        }
    }
    EXPECT_EQ(errors, 1);
}

TEST_F(NavigationEvents, PropertiesLiveOnTheBrowserForEveryHolder)
{
    kb::engine::CWebBrowser* browser = Open(QStringLiteral("/"));
    CComBSTR handle(QStringLiteral("_qv_session_handle_"));
    ASSERT_EQ(browser->PutProperty(handle, CComVariant(LONG{42})), S_OK);

    // Reached through the document window's service provider, as an add-on
    // finds the browser of a page.
    CComPtr<IDispatch> document;
    ASSERT_EQ(browser->get_Document(&document), S_OK);
    CComQIPtr<IHTMLDocument2> html(document);
    CComPtr<IHTMLWindow2> window;
    ASSERT_EQ(html->get_parentWindow(&window), S_OK);
    CComQIPtr<IServiceProvider> provider(window);
    ASSERT_TRUE(provider);
    CComPtr<IWebBrowser2> found;
    ASSERT_EQ(provider->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, reinterpret_cast<void**>(&found)), S_OK);
    EXPECT_TRUE(IsSameObject(found, static_cast<IWebBrowser2*>(browser)));
    CComVariant value;
    ASSERT_EQ(found->GetProperty(handle, &value), S_OK);
    EXPECT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, 42);

    // Frames share the top's properties.
    IDispatch* frame = browser->FrameDispatch({0});
    CComQIPtr<IWebBrowser2> frameBrowser(frame);
    CComBSTR helper(QStringLiteral("_qv_browser_helper_"));
    ASSERT_EQ(frameBrowser->PutProperty(helper, CComVariant(QStringLiteral("19088743:4242"))), S_OK);
    CComVariant text;
    browser->GetProperty(helper, &text);
    EXPECT_EQ(VariantToQString(text), QStringLiteral("19088743:4242"));

    // Names are exact; an unknown one reads empty.
    CComVariant none;
    CComBSTR otherCase(QStringLiteral("_QV_SESSION_HANDLE_"));
    EXPECT_EQ(browser->GetProperty(otherCase, &none), S_OK);
    EXPECT_EQ(none.vt, VT_EMPTY);
}

TEST_F(NavigationEvents, ClosingFiresOnQuitThenUnsitesEveryAddOn)
{
    kb::engine::CWebBrowser* browser = Open(QStringLiteral("/other"));
    void* site = Site(browser);
    HWND frame = browser->frame()->GetSafeHwnd();
    CComPtr<IWebBrowser2> held(static_cast<IWebBrowser2*>(browser));
    ASSERT_EQ(browser->Quit(), S_OK);
    ASSERT_TRUE(WaitFor([&] { return IndexOf(QStringLiteral("SetSiteNull"), site) >= 0; }));
    EXPECT_LT(IndexOf(QStringLiteral("Event"), site, DISPID_ONQUIT), IndexOf(QStringLiteral("SetSiteNull"), site));
    EXPECT_EQ(std::count_if(m_log->begin(), m_log->end(),
                            [&](const Record& r) { return r.kind == QLatin1String("SetSiteNull") && r.site == site; }),
              2);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(frame); })) << "the window went with its only tab";
    // The object outlives its window for whoever still holds it, and says so.
    CComBSTR url;
    EXPECT_EQ(held->get_LocationURL(&url), E_FAIL);
    EXPECT_EQ(held->Quit(), E_FAIL);
}

}  // namespace
}  // namespace browser_test
