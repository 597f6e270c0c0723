// The host callbacks that are neither navigation nor script calls: message
// boxes of page script, focus, showing, resizing and activation of the
// browser, host flags, drops, calls from other threads, and a browser that
// has not loaded anything yet.
#include "html_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QWebEngineSettings>

#include <thread>

namespace {

class CHookWindow : public CTestHostWindow {
public:
    bool OnShowMessage(CBrowserControl*, PageMessageKind kind, const QString& text, bool& accepted) override
    {
        m_hooks.append(QString("message:%1:%2").arg(static_cast<int>(kind)).arg(text));
        accepted = m_acceptConfirm;
        return true;
    }
    void OnEnableModeless(CBrowserControl*, bool enable) override
    {
        m_hooks.append(enable ? "modeless:on" : "modeless:off");
    }
    void OnShowUI(CBrowserControl*) override { m_hooks.append("ui:show"); }
    void OnHideUI(CBrowserControl*) override { m_hooks.append("ui:hide"); }
    void OnDocWindowActivate(CBrowserControl*, bool active) override
    {
        m_hooks.append(active ? "doc:active" : "doc:inactive");
    }
    void OnResizeBorder(CBrowserControl*, const QRect& rect) override
    {
        m_hooks.append(QString("resize:%1x%2").arg(rect.width()).arg(rect.height()));
    }
    bool OnGetDropTarget(CBrowserControl*) override { return m_takeDrops; }

    QStringList m_hooks;
    bool m_acceptConfirm = true;
    bool m_takeDrops = false;
};

class HostHooksTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_window.LoadPage("elements.html")); }

    QString Page(const QString& expression)
    {
        const CHtmlCallResult result = m_window.m_pBrowser->GetDocument().RunPageScript(expression);
        EXPECT_TRUE(result.ok()) << result.message.toStdString();
        return result.value.toString();
    }

    CHookWindow m_window;
};

TEST_F(HostHooksTest, PageMessageBoxesGoToTheHost)
{
    Page("(setTimeout(function () { set_status(String(confirm('Remove it?'))); }, 0), 1)");
    ASSERT_TRUE(WaitUntil([&] { return Page("document.getElementById('status').innerText") == "true"; }));
    m_window.m_acceptConfirm = false;
    Page("(setTimeout(function () { alert('Done'); set_status(String(confirm('Again?'))); }, 0), 1)");
    ASSERT_TRUE(WaitUntil([&] { return Page("document.getElementById('status').innerText") == "false"; }));
    EXPECT_EQ(m_window.m_hooks.filter("message:"),
              (QStringList{"message:1:Remove it?", "message:0:Done", "message:1:Again?"}));
    // Modeless windows are off while each box is up.
    EXPECT_EQ(m_window.m_hooks.filter("modeless:").mid(0, 2), (QStringList{"modeless:off", "modeless:on"}));
}

TEST_F(HostHooksTest, FocusShowingAndSizeReachTheHost)
{
    m_window.m_hooks.clear();
    m_window.m_pBrowser->resize(600, 400);
    m_window.m_pBrowser->hide();
    m_window.m_pBrowser->show();
    m_window.activateWindow();
    m_window.m_pBrowser->setFocus();
    m_window.m_pBrowser->clearFocus();
    ASSERT_TRUE(WaitUntil([&] { return m_window.m_hooks.contains("ui:hide"); }));
    m_window.m_pBrowser->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return m_window.m_hooks.contains("ui:show"); }));
    EXPECT_TRUE(m_window.m_hooks.contains("resize:600x400"));
    const QStringList shown = m_window.m_hooks.filter("doc:");
    EXPECT_EQ(shown, (QStringList{"doc:inactive", "doc:active"}));
}

TEST_F(HostHooksTest, HostFlagsShapeTheBrowser)
{
    // The test window asks for a dialog without scroll bars.
    EXPECT_FALSE(m_window.m_pBrowser->page()->settings()->testAttribute(QWebEngineSettings::ShowScrollBars));
    EXPECT_EQ(Page("getComputedStyle(document.getElementById('para')).webkitUserSelect"), "none");
    EXPECT_EQ(Page("getComputedStyle(document.getElementById('text_in')).webkitUserSelect"), "text");

    m_window.TieBrowser(m_window.m_pBrowser, 0);
    ASSERT_TRUE(m_window.LoadPage("elements.html"));
    EXPECT_TRUE(m_window.m_pBrowser->page()->settings()->testAttribute(QWebEngineSettings::ShowScrollBars));
    EXPECT_NE(Page("getComputedStyle(document.getElementById('para')).webkitUserSelect"), "none");
}

TEST_F(HostHooksTest, DropsReachThePageOnlyWhenTheHostTakesThem)
{
    QWidget* target = m_window.m_pBrowser->focusProxy();
    ASSERT_NE(target, nullptr);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/dropped.html")});
    const auto dragEnter = [&] {
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(true);
        QApplication::sendEvent(target, &enter);
        return enter.isAccepted();
    };
    EXPECT_FALSE(dragEnter());
    m_window.m_takeDrops = true;
    EXPECT_TRUE(dragEnter());
}

TEST_F(HostHooksTest, CallsFromAnotherThreadFail)
{
    CHTMLDocument document = m_window.m_pBrowser->GetDocument();
    CHtmlCallResult result;
    std::thread other([&] { result = document.CallFunction("add_numbers", {"1", "2"}); });
    other.join();
    EXPECT_EQ(result.status, HtmlCallStatus::WrongThread);
}

TEST(FreshBrowserTest, CallsBeforeAnyPageFailPromptly)
{
    CTestHostWindow window;
    CHTMLDocument document = window.m_pBrowser->GetDocument();
    document.SetCallTimeout(3000);
    QElapsedTimer timer;
    timer.start();
    const CHtmlCallResult result = document.CallFunction("anything");
    EXPECT_FALSE(result.ok());
    EXPECT_LT(timer.elapsed(), 2900) << HtmlCallStatusName(result.status).toStdString();
}

}  // namespace
