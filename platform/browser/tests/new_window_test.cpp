// New windows asked for by a page or by Navigate: the two new-window events,
// refusing, supplying a browser, the hand-back order and the opener.

#include "engine_fixture.h"

#include "browser/com_ptr.h"
#include "browser/html_dom.h"

using namespace win;

namespace browser_test {
namespace {

class NewWindows : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        m_server->Add(QStringLiteral("/opener"), "<html><head><title>Opener</title></head><body>opener</body></html>");
        m_server->Add(QStringLiteral("/popup"), "<html><head><title>Popup</title></head><body>popup</body></html>");
        // The engine tells the hand-back to the test through the add-on's log,
        // so one sequence holds both.
        QObject::connect(m_host.get(), &kb::engine::CBrowserHost::browserHandedBack, m_host.get(),
                [this](kb::engine::CWebBrowser* browser) {
                    Record marker;
                    marker.addOn = kAddOnA;
                    marker.site = Site(browser);
                    marker.kind = QStringLiteral("HandedBack");
                    m_log->push_back(marker);
                });
    }

    kb::engine::CWebBrowser* NewestBrowser() const
    {
        return m_host->browsers().empty() ? nullptr : m_host->browsers().back();
    }

    QString OpenPopup(kb::engine::CWebBrowser* opener)
    {
        return Script(opener, QStringLiteral("window.__w = window.open('/popup', 'pop', 'width=320,height=200');"
                                             "String(window.__w !== null)"));
    }
};

TEST_F(NewWindows, APageWindowGetsBothEventsThenASitedBrowserBeforeItsFirstNavigation)
{
    kb::engine::CWebBrowser* opener = Open(QStringLiteral("/opener"));
    ASSERT_EQ(m_host->browsers().size(), 1u);
    EXPECT_EQ(OpenPopup(opener), QStringLiteral("true"));
    ASSERT_TRUE(WaitFor([&] { return m_host->browsers().size() == 2u; }));
    kb::engine::CWebBrowser* popup = NewestBrowser();
    ASSERT_TRUE(WaitForTopEvent(popup, DISPID_DOCUMENTCOMPLETE));

    // On the opener: NewWindow3 first, then NewWindow2.
    std::vector<Record> events = Events(opener);
    auto third = std::find_if(events.begin(), events.end(), [](const Record& r) { return r.dispid == DISPID_NEWWINDOW3; });
    auto second = std::find_if(events.begin(), events.end(), [](const Record& r) { return r.dispid == DISPID_NEWWINDOW2; });
    ASSERT_NE(third, events.end());
    ASSERT_NE(second, events.end());
    EXPECT_LT(third - events.begin(), second - events.begin());
    EXPECT_EQ(third->types, (std::vector<VARTYPE>{VT_BSTR, VT_BSTR, VT_I4, VT_BYREF | VT_BOOL, VT_BYREF | VT_DISPATCH}));
    ASSERT_EQ(third->values.size(), 5);
    EXPECT_EQ(third->values[0], QStringLiteral("dispatch-ref"));
    EXPECT_EQ(third->values[1], QStringLiteral("false"));
    LONG flags = third->values[2].toLong();
    EXPECT_NE(flags & NWMF_SUGGESTWINDOW, 0) << "a window with features";
    EXPECT_EQ(flags & NWMF_FORCETAB, 0);
    EXPECT_EQ(third->values[3], m_server->Url(QStringLiteral("/opener")));
    EXPECT_EQ(third->values[4], m_server->Url(QStringLiteral("/popup")));
    EXPECT_EQ(second->types, (std::vector<VARTYPE>{VT_BYREF | VT_BOOL, VT_BYREF | VT_DISPATCH}));

    // The new browser: sited, then handed back, then its first navigation.
    void* site = Site(popup);
    int sited = IndexOf(QStringLiteral("SetSite"), site);
    int handedBack = IndexOf(QStringLiteral("HandedBack"), site);
    int firstNavigation = IndexOf(QStringLiteral("Event"), site, DISPID_BEFORENAVIGATE2);
    ASSERT_GE(sited, 0);
    EXPECT_LT(sited, handedBack);
    EXPECT_LT(handedBack, firstNavigation);
    EXPECT_EQ(Events(popup).front().values.value(1), m_server->Url(QStringLiteral("/popup")));

    // A window of its own, shown by the browser after its first navigation.
    EXPECT_NE(popup->frame(), opener->frame());
    EXPECT_TRUE(popup->frame()->isVisible());

    // Its document window knows its opener, and through it the opener's browser.
    CComPtr<IDispatch> document;
    ASSERT_EQ(popup->get_Document(&document), S_OK);
    CComPtr<IHTMLWindow2> window;
    CComQIPtr<IHTMLDocument2>(document)->get_parentWindow(&window);
    CComBSTR name;
    window->get_name(&name);
    EXPECT_EQ(name.ToQString(), QStringLiteral("pop"));
    CComVariant openerWindow;
    ASSERT_EQ(window->get_opener(&openerWindow), S_OK);
    ASSERT_EQ(openerWindow.vt, VT_DISPATCH);
    CComQIPtr<IServiceProvider> provider(openerWindow.pdispVal);
    CComPtr<IWebBrowser2> openerBrowser;
    ASSERT_EQ(provider->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, reinterpret_cast<void**>(&openerBrowser)),
              S_OK);
    EXPECT_TRUE(IsSameObject(openerBrowser, static_cast<IWebBrowser2*>(opener)));

    // A page that cuts its opener off has none.
    Script(popup, QStringLiteral("window.opener = null; 1"));
    CComVariant cut;
    ASSERT_EQ(window->get_opener(&cut), S_OK);
    EXPECT_EQ(cut.vt, VT_EMPTY);
}

TEST_F(NewWindows, CancelInEitherEventRefusesTheWindow)
{
    kb::engine::CWebBrowser* opener = Open(QStringLiteral("/opener"));
    m_behaviour->cancelNewWindow2 = true;
    OpenPopup(opener);
    // The page gets a window that is closed at once.
    EXPECT_TRUE(WaitFor([&] { return Script(opener, QStringLiteral("String(window.__w.closed)")) == QLatin1String("true"); }));
    EXPECT_EQ(m_host->browsers().size(), 1u);

    m_behaviour->cancelNewWindow2 = false;
    m_behaviour->cancelNewWindow3 = true;
    m_log->clear();
    OpenPopup(opener);
    Spin(200);
    EXPECT_EQ(m_host->browsers().size(), 1u);
    EXPECT_EQ(Dispids(opener), (std::vector<DISPID>{DISPID_NEWWINDOW3})) << "NewWindow2 does not follow a cancel";
    EXPECT_FALSE(m_server->requests().contains(QStringLiteral("/popup")));
}

TEST_F(NewWindows, ABrowserSuppliedByAListenerBecomesTheWindow)
{
    kb::engine::CWebBrowser* opener = Open(QStringLiteral("/opener"));
    m_behaviour->supplyNewWindow = true;
    EXPECT_EQ(OpenPopup(opener), QStringLiteral("true"));
    ASSERT_TRUE(WaitFor([&] { return m_host->browsers().size() == 2u; }));
    kb::engine::CWebBrowser* popup = NewestBrowser();
    ASSERT_TRUE(WaitForTopEvent(popup, DISPID_DOCUMENTCOMPLETE));
    Spin(100);
    EXPECT_EQ(m_host->browsers().size(), 2u) << "no second window was made";
    void* site = Site(popup);
    // Made (and sited) inside the opener's NewWindow2, handed back after it.
    EXPECT_LT(IndexOf(QStringLiteral("Event"), Site(opener), DISPID_NEWWINDOW2), IndexOf(QStringLiteral("SetSite"), site));
    EXPECT_LT(IndexOf(QStringLiteral("SetSite"), site), IndexOf(QStringLiteral("HandedBack"), site));
    EXPECT_LT(IndexOf(QStringLiteral("HandedBack"), site), IndexOf(QStringLiteral("Event"), site, DISPID_BEFORENAVIGATE2));
    EXPECT_TRUE(popup->frame()->isVisible());
}

TEST_F(NewWindows, AWindowHiddenDuringItsFirstNavigationStaysHidden)
{
    kb::engine::CWebBrowser* opener = Open(QStringLiteral("/opener"));
    m_behaviour->onEvent = [](IWebBrowser2* site, DISPID dispid, DISPPARAMS*) {
        if (dispid == DISPID_BEFORENAVIGATE2)
            site->put_Visible(VARIANT_FALSE);  // as a popup blocker hides a popup until it decided
    };
    OpenPopup(opener);
    ASSERT_TRUE(WaitFor([&] { return m_host->browsers().size() == 2u; }));
    kb::engine::CWebBrowser* popup = NewestBrowser();
    ASSERT_TRUE(WaitForTopEvent(popup, DISPID_DOCUMENTCOMPLETE));
    EXPECT_FALSE(popup->frame()->isVisible());
}

TEST_F(NewWindows, NavigateIntoANewTabCarriesTheForcedTabFlag)
{
    kb::engine::CWebBrowser* opener = Open(QStringLiteral("/opener"));
    CComBSTR address(m_server->Url(QStringLiteral("/popup")));
    CComVariant flags(LONG{navOpenInBackgroundTab});
    ASSERT_EQ(opener->Navigate(address, &flags, nullptr, nullptr, nullptr), S_OK);
    ASSERT_TRUE(WaitFor([&] { return m_host->browsers().size() == 2u; }));
    kb::engine::CWebBrowser* tab = NewestBrowser();
    ASSERT_TRUE(WaitForTopEvent(tab, DISPID_DOCUMENTCOMPLETE));
    std::vector<Record> events = Events(opener);
    auto third = std::find_if(events.begin(), events.end(), [](const Record& r) { return r.dispid == DISPID_NEWWINDOW3; });
    ASSERT_NE(third, events.end());
    LONG nwmf = third->values.value(2).toLong();
    EXPECT_NE(nwmf & NWMF_FORCETAB, 0);
    EXPECT_NE(nwmf & NWMF_INACTIVETAB, 0);
    EXPECT_EQ(tab->frame(), opener->frame()) << "a tab of the same window";
    EXPECT_EQ(opener->frame()->tabs().size(), 2u);
    EXPECT_EQ(opener->frame()->currentTab(), opener->tab()) << "a background tab";
    EXPECT_EQ(Events(tab).front().values.value(2), QString::number(navOpenInBackgroundTab))
        << "the new browser's navigation reports the Navigate flags";
    // The opener's own location did not change.
    CComBSTR url;
    opener->get_LocationURL(&url);
    EXPECT_EQ(url.ToQString(), m_server->Url(QStringLiteral("/opener")));
}

TEST_F(NewWindows, AWindowOpenedWithoutAnAddressReportsABlankNavigation)
{
    kb::engine::CWebBrowser* opener = Open(QStringLiteral("/opener"));
    EXPECT_EQ(Script(opener, QStringLiteral("String(window.open('', '_blank', 'width=200,height=100') !== null)")),
              QStringLiteral("true"));
    ASSERT_TRUE(WaitFor([&] { return m_host->browsers().size() == 2u; }));
    kb::engine::CWebBrowser* blank = NewestBrowser();
    ASSERT_TRUE(WaitForTopEvent(blank, DISPID_DOCUMENTCOMPLETE));
    std::vector<Record> events = Events(blank);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().dispid, DISPID_BEFORENAVIGATE2);
    EXPECT_EQ(events.front().values.value(1), QStringLiteral("about:blank"));
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const Record& r) { return r.dispid == DISPID_DOCUMENTCOMPLETE; }),
              1);
    for (const Record& r : Events(opener)) {
        if (r.dispid == DISPID_NEWWINDOW3) {
            EXPECT_EQ(r.values.value(4), QStringLiteral("about:blank"));
        }
    }
}

}  // namespace
}  // namespace browser_test
