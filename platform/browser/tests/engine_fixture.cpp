#include "engine_fixture.h"

#include "browser/addon_registry.h"
#include "browser/com_ptr.h"
#include "browser/html_dom.h"

#include <dlfcn.h>

namespace browser_test {

using namespace win;

void EngineTest::SetUp()
{
    m_root = std::make_unique<ScopedStateRoot>();
    for (const CLSID& clsid : {kAddOnA, kAddOnB}) {
        ASSERT_EQ(RegisterInprocServer(Hive::LocalMachine, clsid, "Test add-on", BROWSER_TEST_ADDON), ERROR_SUCCESS);
        ASSERT_EQ(RegisterBrowserHelperObject(Hive::LocalMachine, clsid), ERROR_SUCCESS);
    }
    // The same library the browser loads (dlopen of one path gives one copy).
    void* addOn = ::dlopen(BROWSER_TEST_ADDON, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(addOn, nullptr) << ::dlerror();
    m_log = reinterpret_cast<LogFunction>(::dlsym(addOn, "TestAddOn_Log"))();
    m_behaviour = reinterpret_cast<BehaviourFunction>(::dlsym(addOn, "TestAddOn_Behaviour"))();
    m_log->clear();
    *m_behaviour = Behaviour{};
    m_server = std::make_unique<LocalHttpServer>();
    kb::engine::BrowserHostOptions options;
    options.downloadFolder = QString::fromStdString((m_root->path() / "downloads").string());
    m_host = std::make_unique<kb::engine::CBrowserHost>(options);
}

void EngineTest::TearDown()
{
    *m_behaviour = Behaviour{};
    m_host.reset();
    Spin(50);  // let deleted windows and pages go
    m_log->clear();
    m_server.reset();
    m_root.reset();
}

kb::engine::CWebBrowser* EngineTest::Open(const QString& path)
{
    kb::engine::CWebBrowser* browser = m_host->OpenWindow(QUrl(m_server->Url(path)));
    EXPECT_NE(browser, nullptr);
    if (browser != nullptr) {
        EXPECT_TRUE(WaitForTopEvent(browser, DISPID_DOCUMENTCOMPLETE)) << path.toStdString();
    }
    return browser;
}

void EngineTest::NavigateAndWait(kb::engine::CWebBrowser* browser, const QString& url)
{
    int before = CountTopEvents(browser, DISPID_DOCUMENTCOMPLETE);
    CComBSTR address(url);
    ASSERT_EQ(browser->Navigate(address, nullptr, nullptr, nullptr, nullptr), S_OK);
    EXPECT_TRUE(WaitForTopEvent(browser, DISPID_DOCUMENTCOMPLETE, before + 1)) << url.toStdString();
}

std::vector<Record> EngineTest::Records(void* site, const QString& kind) const
{
    std::vector<Record> result;
    for (const Record& record : *m_log) {
        if (record.addOn == kAddOnA && record.site == site && record.kind == kind)
            result.push_back(record);
    }
    return result;
}

std::vector<DISPID> EngineTest::Dispids(kb::engine::CWebBrowser* browser) const
{
    std::vector<DISPID> result;
    for (const Record& record : Events(browser))
        result.push_back(record.dispid);
    return result;
}

int EngineTest::CountTopEvents(kb::engine::CWebBrowser* browser, DISPID dispid) const
{
    int count = 0;
    for (const Record& record : Events(browser)) {
        if (record.dispid == dispid && record.pDisp == Site(browser))
            ++count;
    }
    return count;
}

bool EngineTest::WaitForTopEvent(kb::engine::CWebBrowser* browser, DISPID dispid, int count, int timeoutMs)
{
    return WaitFor([&] { return CountTopEvents(browser, dispid) >= count; }, timeoutMs);
}

int EngineTest::IndexOf(const QString& kind, void* site, DISPID dispid) const
{
    for (std::size_t i = 0; i < m_log->size(); ++i) {
        const Record& r = (*m_log)[i];
        if (r.addOn == kAddOnA && r.kind == kind && r.site == site && (kind != QLatin1String("Event") || r.dispid == dispid))
            return static_cast<int>(i);
    }
    return -1;
}

QString EngineTest::Script(kb::engine::CWebBrowser* browser, const QString& code)
{
    CComPtr<IDispatch> document;
    if (FAILED(browser->get_Document(&document)))
        return QStringLiteral("<no document>");
    CComQIPtr<IHTMLDocument2> html(document);
    CComPtr<IHTMLWindow2> window;
    if (!html || FAILED(html->get_parentWindow(&window)))
        return QStringLiteral("<no window>");
    CComVariant result;
    CComBSTR source(code);
    HRESULT hr = window->execScript(source, nullptr, &result);
    if (FAILED(hr))
        return QStringLiteral("<failed %1>").arg(static_cast<unsigned>(hr), 0, 16);
    if (result.vt == VT_BOOL)
        return result.boolVal ? QStringLiteral("true") : QStringLiteral("false");
    if (result.vt == VT_I4)
        return QString::number(result.lVal);
    return VariantToQString(result, QStringLiteral("<vt %1>").arg(result.vt));
}

}  // namespace browser_test
