// Pages in the browser: the res:// scheme, page keys and their models
// (page load, unload, data exchange), before-navigate, URL translation,
// navigate errors, and pages from an html prefix.
#include "html_test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QResource>
#include <QTemporaryDir>

namespace {

// A page model that exchanges three elements and records its events.
class CExchangeModel : public CHTMLDocumentModel {
public:
    void OnPageLoad(QWidget* pHostWnd, CBrowserControl* pBrowser, const CHTMLDocument& document) override
    {
        m_events.append("load");
        CHTMLDocumentModel::OnPageLoad(pHostWnd, pBrowser, document);
    }
    void OnBeforePageUnload(QWidget*) override
    {
        m_events.append("unload");
        // Keep what the user typed before the page goes.
        UpdateData(true);
    }
    void DoDataExchange(CHTMLDataExchange* pDX) override
    {
        m_events.append(pDX->m_bSaveAndValidate ? "exchange:from-page" : "exchange:to-page");
        DDX_HTMLCheck(pDX, "chk_off", m_ticked);
        DDX_HTMLText(pDX, "text_in", m_text);
        DDX_HTMLRadio(pDX, "scan_kind", m_kind);
        DDX_HTMLSelect(pDX, "priority", m_priority);
    }

    bool m_ticked = true;
    QString m_text = "from the model";
    QString m_kind = "quick";
    QString m_priority = "low";
    QStringList m_events;
};

class NavigationTest : public ::testing::Test {
protected:
    QString Page(const QString& expression)
    {
        const CHtmlCallResult result = m_window.m_pBrowser->GetDocument().RunPageScript(expression);
        EXPECT_TRUE(result.ok()) << result.message.toStdString();
        return result.value.toString();
    }

    CTestHostWindow m_window;
};

TEST_F(NavigationTest, ResourcePagesLoadWithTheirRelativeStylesAndScripts)
{
    ASSERT_TRUE(m_window.LoadPage("elements.html"));
    EXPECT_EQ(m_window.m_pBrowser->GetLocationName(), "Element operations");
    EXPECT_EQ(Page("getComputedStyle(document.getElementById('para')).color"), "rgb(1, 2, 3)");
    EXPECT_EQ(Page("String(pageScriptLoaded)"), "true");
    EXPECT_EQ(Page("location.href"), "res:///kelm-test/ui%20module.rcc/elements.html");
}

TEST_F(NavigationTest, RequestsOutsideTheModuleAreNotFound)
{
    ASSERT_TRUE(m_window.LoadPage("elements.html"));
    for (const QString& url : {TestPageUrl("missing.html").toString(),
                               TestPageUrl("scripts/../../escape.html").toString(),
                               QStringLiteral("res:///kelm-test/other.rcc/elements.html"),
                               QStringLiteral("res:///kelm-test/ui%20module.rcc")}) {
        const int errors = m_window.m_navigateErrors;
        m_window.m_pBrowser->Navigate(QUrl(url));
        EXPECT_TRUE(WaitUntil([&] { return m_window.m_navigateErrors > errors; })) << url.toStdString();
    }
    // Every failure was cancelled: the page shown before is still there.
    EXPECT_EQ(m_window.m_pBrowser->GetLocationURL(), TestPageUrl("elements.html"));
    EXPECT_EQ(Page("document.title"), "Element operations");
}

TEST_F(NavigationTest, NavigateErrorNotCancelledShowsAnErrorDocument)
{
    ASSERT_TRUE(m_window.LoadPage("elements.html"));
    m_window.m_cancelNavigateErrors = false;
    const int completed = m_window.m_documentsCompleted;
    m_window.m_pBrowser->Navigate(TestPageUrl("missing <b>page</b>.html"));
    ASSERT_TRUE(WaitUntil([&] { return Page("document.title").contains("missing"); }));
    // The URL is shown as text, and the error document is no page of the host.
    EXPECT_EQ(Page("String(document.getElementsByTagName('b').length)"), "0");
    EXPECT_EQ(m_window.m_documentsCompleted, completed);
}

TEST_F(NavigationTest, ModelsAreFoundByPageKeyAndExchangeData)
{
    CExchangeModel elements;
    CExchangeModel second;
    // Attached by URL and by key text: both are normalised to one key.
    m_window.AddDocumentModel(TestPageUrl("elements.html").toString(), &elements);
    m_window.AddDocumentModel(PageKeyFromUrl(TestPageUrl("second.html")).toUpper(), &second);

    // The query does not change the key.
    ASSERT_TRUE(m_window.Load(MakeResUrl(kTestModulePath, "elements.html?action=start_now")));
    EXPECT_EQ(elements.m_events, (QStringList{"load", "exchange:to-page"}));
    EXPECT_EQ(m_window.GetShownDocumentModel(), &elements);
    // The page shows the model's values.
    EXPECT_EQ(Page("String(document.getElementById('chk_off').checked)"), "true");
    EXPECT_EQ(Page("document.getElementById('text_in').value"), "from the model");
    EXPECT_EQ(Page("String(document.getElementById('scanner1').checked)"), "true");
    EXPECT_EQ(Page("document.getElementById('priority').value"), "low");

    // The user changes the page; leaving it reads the page into the model.
    Page("(document.getElementById('text_in').value = 'typed', document.getElementById('priority').value = 'high', 1)");
    ASSERT_TRUE(m_window.LoadPage("second.html"));
    EXPECT_EQ(elements.m_events, (QStringList{"load", "exchange:to-page", "unload", "exchange:from-page"}));
    EXPECT_EQ(elements.m_text, "typed");
    EXPECT_EQ(elements.m_priority, "high");
    EXPECT_EQ(second.m_events, (QStringList{"load", "exchange:to-page"}));
    EXPECT_EQ(m_window.GetShownDocumentModel(), &second);

    // A page without a model: the shown model is none, and the last one was told.
    ASSERT_TRUE(m_window.LoadPage("early_call.html"));
    EXPECT_EQ(second.m_events.last(), "exchange:from-page");
    EXPECT_EQ(m_window.GetShownDocumentModel(), nullptr);
}

TEST_F(NavigationTest, DestroyedModelsDropOutOfTheMap)
{
    auto model = std::make_unique<CExchangeModel>();
    m_window.AddDocumentModel(TestPageUrl("elements.html").toString(), model.get());
    model.reset();
    ASSERT_TRUE(m_window.LoadPage("elements.html"));
    EXPECT_EQ(m_window.GetShownDocumentModel(), nullptr);
}

TEST_F(NavigationTest, BeforeNavigateCancelKeepsThePageAndItsModel)
{
    CExchangeModel elements;
    m_window.AddDocumentModel(TestPageUrl("elements.html").toString(), &elements);
    ASSERT_TRUE(m_window.LoadPage("elements.html"));
    m_window.m_cancelNavigationTo = PageKeyFromUrl(TestPageUrl("second.html"));
    m_window.m_events.clear();

    // A link the page follows by itself is asked about too.
    Page("(location.href = 'second.html', 1)");
    ASSERT_TRUE(WaitUntil([&] { return m_window.m_events.contains("before:second.html"); }));
    m_window.m_pBrowser->Navigate(TestPageUrl("second.html"));
    ASSERT_TRUE(WaitUntil([&] { return m_window.m_events.count("before:second.html") == 2; }));
    ASSERT_TRUE(WaitUntil([&] { return !m_window.m_pBrowser->GetBusy(); }));

    EXPECT_EQ(m_window.m_pBrowser->GetLocationURL(), TestPageUrl("elements.html"));
    EXPECT_FALSE(m_window.m_events.contains("complete:second.html"));
    EXPECT_EQ(m_window.m_navigateErrors, 0);
    // A cancelled navigation does not unload the shown page.
    EXPECT_FALSE(elements.m_events.contains("unload"));
    EXPECT_EQ(m_window.GetShownDocumentModel(), &elements);
}

class TranslatingWindow : public CTestHostWindow {
public:
    QUrl OnTranslateUrl(CBrowserControl*, const QUrl& url) override
    {
        if (url.fileName() == "old_name.html")
            return TestPageUrl("second.html");
        return url;
    }
};

TEST(TranslateUrlTest, TheHostsUrlIsOpenedInstead)
{
    TranslatingWindow window;
    ASSERT_TRUE(window.LoadPage("elements.html"));
    window.m_pBrowser->Navigate(TestPageUrl("old_name.html"));
    ASSERT_TRUE(WaitUntil([&] { return window.m_events.contains("complete:second.html"); }));
    EXPECT_EQ(window.m_pBrowser->GetLocationURL(), TestPageUrl("second.html"));
    EXPECT_EQ(window.m_navigateErrors, 0);
}

TEST(ResourceModuleTest, PagesComeFromAPackedModuleFile)
{
    // A binary resource module as the UI resource library is built: opened
    // under a resource root, its pages folder served under the file's path.
    const QString modulePath = QStringLiteral(HTML_TEST_MODULE);
    ASSERT_TRUE(QResource::registerResource(modulePath, "/html-test-module"));
    RegisterResourceModule(modulePath, std::make_shared<CDirResourceSource>(":/html-test-module/pages"));

    CTestHostWindow window;
    CExchangeModel model;
    const QUrl url = MakeResUrl(modulePath, "Elements.HTML");  // resource names without regard to case
    window.AddDocumentModel(url.toString(), &model);
    ASSERT_TRUE(window.Load(url));
    EXPECT_EQ(model.m_events, (QStringList{"load", "exchange:to-page"}));
    const CHtmlCallResult styled = window.m_pBrowser->GetDocument().RunPageScript(
        "getComputedStyle(document.getElementById('para')).color");
    EXPECT_EQ(styled.value.toString(), "rgb(1, 2, 3)");

    RegisterResourceModule(modulePath, nullptr);
    QResource::unregisterResource(modulePath, "/html-test-module");
}

TEST(HtmlPrefixTest, PagesFromAPrefixWorkOnceTheHostTrustsIt)
{
    // The html switch points at a folder of pages on disk.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QDirIterator it(":/html_test_pages", QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = folder.filePath(source.mid(QStringLiteral(":/html_test_pages/").size()));
        QDir().mkpath(QFileInfo(target).path());
        ASSERT_TRUE(QFile::copy(source, target));
    }
    const QString prefix = QUrl::fromLocalFile(folder.path()).toString() + "/";

    CTestHostWindow window;
    CExchangeModel model;
    const QUrl url = MakePageUrl(prefix, kTestModulePath, "elements.html");
    window.AddDocumentModel(url.toString(), &model);
    ASSERT_TRUE(window.Load(url));
    EXPECT_EQ(model.m_events, (QStringList{"load", "exchange:to-page"}));

    const auto call = [&](const QString& text) {
        return window.m_pBrowser->GetDocument().RunPageScript("call_external('window_text', '" + text + "')").ok();
    };
    ASSERT_TRUE(call("before"));
    ASSERT_TRUE(WaitUntil([&] { return window.GetDispatch().RefusedCalls() == 1; }));
    window.GetDispatch().AddTrustedUrlPrefix(prefix);
    ASSERT_TRUE(call("after"));
    ASSERT_TRUE(WaitUntil([&] { return !window.m_windowCalls.isEmpty(); }));
    EXPECT_EQ(window.m_windowCalls, QStringList{"window_text:after"});
}

}  // namespace
