// Script calls both ways: the host calling page functions (with results,
// failures and the time-out of a hung page), and page script calling the
// host through window.external.
#include "html_test_support.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

namespace {

// A page model with script-callable methods of every argument shape.
class CRecordingModel : public CHTMLDocumentModel {
public:
    CRecordingModel()
    {
        m_scriptMethods.Add("page_none", [this] { m_calls.append("page_none"); });
        m_scriptMethods.AddText("page_text", [this](const QString& t) { m_calls.append("page_text:" + t); });
        m_scriptMethods.AddInt("page_int", [this](int n) { m_calls.append(QString("page_int:%1").arg(n)); });
        m_scriptMethods.AddIntInt("page_two", [this](int a, int b) {
            m_calls.append(QString("page_two:%1,%2").arg(a).arg(b));
        });
        // A method that calls back into its page while it runs.
        m_scriptMethods.AddText("page_echo", [this](const QString& t) {
            QString answer;
            CallJScript("echo_args", &answer, {"echo", t});
            m_calls.append("page_echo:" + answer);
        });
    }
    void OnPageLoad(QWidget*, CBrowserControl*, const CHTMLDocument&) override {}
    QStringList m_calls;
};

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window.AddDocumentModel(TestPageUrl("elements.html").toString(), &m_model);
        ASSERT_TRUE(m_window.LoadPage("elements.html"));
        ASSERT_FALSE(m_model.GetDocument().IsNull());
    }

    // Makes the page call window.external.METHOD(ARGS...) from its own script.
    void PageCalls(const QString& argumentsScript)
    {
        const CHtmlCallResult sent =
            m_window.m_pBrowser->GetDocument().RunPageScript("call_external(" + argumentsScript + ")");
        ASSERT_TRUE(sent.ok()) << sent.message.toStdString();
    }

    int Refused() { return m_window.GetDispatch().RefusedCalls(); }

    CTestHostWindow m_window;
    CRecordingModel m_model;
};

TEST_F(ScriptTest, CallJScriptAnswersTheFunctionsResultAsText)
{
    QString result;
    ASSERT_TRUE(m_model.CallJScript("add_numbers", &result, {"2", "40"}));
    EXPECT_EQ(result, "42");
    ASSERT_TRUE(m_model.CallJScript("returns_nothing", &result));
    EXPECT_EQ(result, "");
    // Arguments arrive exactly as given, whatever they contain.
    const QStringList tricky{"a\"b", "c'd", "\\", "\");alert(1);(\"", "line\nbreak", "ünï"};
    ASSERT_TRUE(m_model.CallJScript("echo_args", &result, tricky));
    EXPECT_EQ(result, tricky.join('|'));
    // Without a result pointer the call still runs.
    ASSERT_TRUE(m_model.CallJScript("set_status", nullptr, {"from host"}));
    QString status;
    ASSERT_TRUE(m_model.GetElementInnerHTML("status", status));
    EXPECT_EQ(status, "from host");
}

TEST_F(ScriptTest, CallJScriptFailures)
{
    struct Case {
        const char* function;
        HtmlCallStatus status;
    };
    for (const Case& c : {Case{"no_such_function", HtmlCallStatus::NoFunction},
                          Case{"pageScriptLoaded", HtmlCallStatus::NoFunction},  // a variable, not a function
                          Case{"throws_error", HtmlCallStatus::ScriptError},
                          Case{"alert(1);x", HtmlCallStatus::BadInput},
                          Case{"", HtmlCallStatus::BadInput}}) {
        QString result = "untouched";
        EXPECT_FALSE(m_model.CallJScript(QString::fromUtf8(c.function), &result)) << c.function;
        EXPECT_EQ(m_model.GetLastCallResult().status, c.status) << c.function;
        EXPECT_EQ(result, "untouched");
    }
}

TEST_F(ScriptTest, PageCallsTheHostWithEveryArgumentShape)
{
    PageCalls("'window_none'");
    PageCalls("'window_text', 'hello \"host\"'");
    PageCalls("'window_int', 7");
    PageCalls("'window_two', 3, '4'");
    PageCalls("'page_none'");
    PageCalls("'page_text', 'from page'");
    PageCalls("'page_int', -12");
    PageCalls("'PAGE_TWO', 1, 2");  // method names without regard to case
    ASSERT_TRUE(WaitUntil([&] { return m_window.m_windowCalls.size() == 4 && m_model.m_calls.size() == 4; }));
    EXPECT_EQ(m_window.m_windowCalls,
              (QStringList{"window_none", "window_text:hello \"host\"", "window_int:7", "window_two:3,4"}));
    EXPECT_EQ(m_model.m_calls, (QStringList{"page_none", "page_text:from page", "page_int:-12", "page_two:1,2"}));
    EXPECT_EQ(Refused(), 0);
}

TEST_F(ScriptTest, PageCallsThatDoNotFitAreRefused)
{
    PageCalls("'no_such_method'");
    PageCalls("'window_int', 'seven'");
    PageCalls("'window_int', 1.5");
    PageCalls("'window_two', 1");
    PageCalls("'window_text', {a: 1}");
    PageCalls("'window_none', 'extra'");
    PageCalls("'window_text', 'after the refusals'");
    ASSERT_TRUE(WaitUntil([&] { return !m_window.m_windowCalls.isEmpty(); }));
    EXPECT_EQ(m_window.m_windowCalls, QStringList{"window_text:after the refusals"});
    EXPECT_EQ(Refused(), 6);
}

TEST_F(ScriptTest, CallsMadeWhileTheHostWaitsArriveAfterItsCall)
{
    // The page function calls the host, then returns. The host's call must
    // come back before the page's call runs.
    QString result;
    ASSERT_TRUE(m_model.CallJScript("call_external", &result, {"page_text", "during"}));
    EXPECT_EQ(result, "sent");
    EXPECT_TRUE(m_model.m_calls.isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return !m_model.m_calls.isEmpty(); }));
    EXPECT_EQ(m_model.m_calls, QStringList{"page_text:during"});
}

TEST_F(ScriptTest, HostMethodsMayCallTheirPage)
{
    PageCalls("'page_echo', 'round trip'");
    ASSERT_TRUE(WaitUntil([&] { return !m_model.m_calls.isEmpty(); }));
    EXPECT_EQ(m_model.m_calls, QStringList{"page_echo:echo|round trip"});
}

TEST_F(ScriptTest, CallsMadeWhileTheDocumentLoadsAreDelivered)
{
    ASSERT_TRUE(m_window.LoadPage("early_call.html"));
    ASSERT_TRUE(WaitUntil([&] { return !m_window.m_windowCalls.isEmpty(); }));
    EXPECT_EQ(m_window.m_windowCalls, QStringList{"window_text:early"});
}

TEST_F(ScriptTest, PageScriptCannotReplaceTheExternalObject)
{
    const CHtmlCallResult replaced = m_window.m_pBrowser->GetDocument().RunPageScript(
        "(function () { try { window.external = {window_none: function () {}}; } catch (e) {} "
        "  window.external.window_none(); return 'called'; })()");
    ASSERT_TRUE(replaced.ok());
    ASSERT_TRUE(WaitUntil([&] { return !m_window.m_windowCalls.isEmpty(); }));
    EXPECT_EQ(m_window.m_windowCalls, QStringList{"window_none"});
}

TEST_F(ScriptTest, PageScriptCannotDestroyTheHostsChannelObject)
{
    // Page script can open the channel itself and reach the host's object
    // there; the channel does not let a client delete an object the host
    // registered.
    const CHtmlCallResult opened = m_window.m_pBrowser->GetDocument().RunPageScript(
        "(new QWebChannel(qt.webChannelTransport, function (channel) {"
        "   var bridge = channel.objects.kelmExternal;"
        "   if (typeof bridge.deleteLater === 'function') bridge.deleteLater();"
        "   set_status(Object.keys(bridge).filter(function (k) { return typeof bridge[k] === 'function'; }).join(','));"
        " }), 1)");
    ASSERT_TRUE(opened.ok()) << opened.message.toStdString();
    QString methods;
    ASSERT_TRUE(WaitUntil([&] { return m_model.GetElementInnerHTML("status", methods) && methods != "ready"; }));
    EXPECT_TRUE(methods.contains("deleteLater")) << methods.toStdString();
    PageCalls("'window_text', 'still here'");
    ASSERT_TRUE(WaitUntil([&] { return !m_window.m_windowCalls.isEmpty(); }));
    EXPECT_EQ(m_window.m_windowCalls, QStringList{"window_text:still here"});
}

TEST_F(ScriptTest, UntrustedDocumentsCannotCallTheHost)
{
    // The browser's own error document is not one of the host's pages.
    m_window.m_cancelNavigateErrors = false;
    m_window.m_pBrowser->Navigate(TestPageUrl("missing.html"));
    ASSERT_TRUE(WaitUntil([&] { return m_window.m_pBrowser->GetLocationURL().scheme() != "res"; }));
    ASSERT_TRUE(WaitUntil([&] { return !m_window.m_pBrowser->GetBusy(); }));
    const CHtmlCallResult sent =
        m_window.m_pBrowser->GetDocument().RunPageScript("(window.external.window_none(), 'sent')");
    ASSERT_TRUE(sent.ok()) << sent.message.toStdString();
    ASSERT_TRUE(WaitUntil([&] { return Refused() == 1; }));
    EXPECT_TRUE(m_window.m_windowCalls.isEmpty());
}

TEST_F(ScriptTest, HungPageFailsTheCallOnceAndRecovers)
{
    m_model.SetCallTimeout(300);
    QElapsedTimer timer;
    timer.start();
    // The page is busy for 3 s; the call gives up after 300 ms.
    EXPECT_FALSE(m_model.CallJScript("busy_for", nullptr, {"3000"}));
    EXPECT_EQ(m_model.GetLastCallResult().status, HtmlCallStatus::TimedOut);
    EXPECT_NE(m_model.GetLastCallResult().message.indexOf("300 ms"), -1);
    EXPECT_LT(timer.elapsed(), 2500);

    // While the page has not answered, calls fail at once.
    timer.restart();
    bool checked = false;
    EXPECT_FALSE(m_model.GetCheck("chk_on", checked));
    EXPECT_EQ(m_model.GetLastCallResult().status, HtmlCallStatus::Unresponsive);
    EXPECT_LT(timer.elapsed(), 100);

    // Once the page is done the late answer arrives and calls work again.
    m_model.SetCallTimeout(5000);
    ASSERT_TRUE(WaitUntil([&] { return m_model.GetCheck("chk_on", checked); }, 10000));
    EXPECT_TRUE(checked);
}

}  // namespace
