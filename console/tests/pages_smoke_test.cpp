// Each page of the control panel loads in the web engine from the UI
// resource module (offscreen), binds its document and shows its heading.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>

#include "html_config_doc_base.h"
#include "kelmui/resource_module.h"
#include "page_tree.h"
#include "servicelink/html/html.h"
#include "wait_until.h"

namespace {

const bool g_schemeRegistered = (RegisterResScheme(), true);

class PageHost : public QWidget, public CBrowserHostController {
public:
    PageHost() : CBrowserHostController(this)
    {
        resize(587, 413);
        m_pBrowser = new CBrowserControl(this);
        m_pBrowser->setGeometry(0, 0, 587, 413);
        TieBrowser(m_pBrowser, 0x4000D);
        m_pBrowser->SetSilent(true);
        show();
    }
    void OnDocumentComplete(CBrowserControl* pBrowser, const QUrl& url) override
    {
        CBrowserHostController::OnDocumentComplete(pBrowser, url);
        completed = url;
    }
    CBrowserControl* m_pBrowser;
    QUrl completed;
};

std::vector<std::string> PageFiles()
{
    std::vector<std::string> files = {"homeinf.html"};
    for (const PageTableRow& row : kPageTable)
        if (row.pageFile != nullptr)
            files.emplace_back(row.pageFile);
    return files;
}

class PageSmokeTest : public ::testing::TestWithParam<std::string> {};

TEST_P(PageSmokeTest, LoadsAndBindsItsDocument)
{
    (void)g_schemeRegistered;
    const QString modulePath = kelmui::DefaultModulePath();
    const auto module = kelmui::ResourceModule::Open(modulePath);
    ASSERT_NE(module, nullptr);
    RegisterResourceModule(modulePath, std::make_shared<CDirResourceSource>(module->Root() + QStringLiteral("/pages")));

    PageHost host;
    CHTMLConfigDocBase document(&host, nullptr, nullptr, "tab_home");
    const QUrl url = MakeResUrl(modulePath, QString::fromStdString(GetParam()));
    host.AddDocumentModel(url.toString(), &document);
    host.m_pBrowser->Navigate(url);
    ASSERT_TRUE(WaitUntil([&] { return host.completed.isValid(); })) << GetParam();
    const QList<CHTMLElement> headings = document.GetDocument().GetElementsByTagName(QStringLiteral("h1"));
    ASSERT_EQ(headings.size(), 1) << GetParam();
    QString heading;
    ASSERT_TRUE(headings.front().GetInnerHTML(heading));
    EXPECT_FALSE(heading.isEmpty());
    host.RemoveDocumentModel(&document);
}

INSTANTIATE_TEST_SUITE_P(Pages, PageSmokeTest, ::testing::ValuesIn(PageFiles()), [](const auto& info) {
    std::string name = info.param.substr(0, info.param.find('.'));
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
});

}  // namespace
