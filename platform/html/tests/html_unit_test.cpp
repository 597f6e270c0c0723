// Page keys, page URLs, resource folders and script-method argument rules:
// the parts of the page host that need no browser.
#include "servicelink/html/page_key.h"
#include "servicelink/html/res_scheme.h"
#include "servicelink/html/script_dispatch.h"
#include "servicelink/html/script_methods.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <limits>

namespace {

struct KeyCase {
    const char* url;
    const char* key;
};

class PageKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(PageKeyTest, KeyOfUrl)
{
    EXPECT_EQ(PageKeyFromText(QString::fromUtf8(GetParam().url)).toStdString(), GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, PageKeyTest,
    ::testing::Values(
        KeyCase{"res:///opt/kelm/ui.rcc/home.html", "opt/kelm/ui.rcc/home.html"},
        // Case, scheme case, query and fragment do not matter.
        KeyCase{"RES:///Opt/Kelm/UI.rcc/Home.HTML", "opt/kelm/ui.rcc/home.html"},
        KeyCase{"res:///opt/kelm/ui.rcc/scan_results_detected.html?action=start_now",
                "opt/kelm/ui.rcc/scan_results_detected.html"},
        KeyCase{"res:///opt/kelm/ui.rcc/home.html#top", "opt/kelm/ui.rcc/home.html"},
        // Percent-encoded characters are decoded.
        KeyCase{"res:///opt/my%20ui/ui.rcc/home.html", "opt/my ui/ui.rcc/home.html"},
        // The html switch's prefixes: the URL's path is the key.
        KeyCase{"file:///home/dev/pages/home.html", "home/dev/pages/home.html"},
        KeyCase{"http://127.0.0.1:8080/pages/home.html", "pages/home.html"},
        // A drive letter is not part of the key; neither are leading slashes.
        KeyCase{"file:///C:/Program Files/ui.dll/home.html", "program files/ui.dll/home.html"},
        // Keys given as keys stay keys (normalised the same way).
        KeyCase{"opt/kelm/ui.rcc/home.html", "opt/kelm/ui.rcc/home.html"},
        KeyCase{"/Opt/Kelm/ui.rcc/Home.html?x=1", "opt/kelm/ui.rcc/home.html"},
        KeyCase{"c:\\kelm\\ui.rcc\\home.html", "kelm/ui.rcc/home.html"}));

TEST(PageUrlTest, ResourceUrlAndPrefix)
{
    EXPECT_EQ(MakeResUrl("/opt/kelm/ui.rcc", "home.html").toString().toStdString(),
              "res:///opt/kelm/ui.rcc/home.html");
    // A trailing slash of the module path is not doubled.
    EXPECT_EQ(MakeResUrl("/opt/kelm/ui.rcc/", "home.html").toString().toStdString(),
              "res:///opt/kelm/ui.rcc/home.html");
    // A query in the page text stays a query; characters of the module path
    // stay path.
    const QUrl withQuery = MakeResUrl("/opt/k#1/ui.rcc", "scan_results_detected.html?action=start_now");
    EXPECT_EQ(withQuery.path().toStdString(), "/opt/k#1/ui.rcc/scan_results_detected.html");
    EXPECT_EQ(withQuery.query().toStdString(), "action=start_now");
    // With a prefix the page name follows it directly, without a separator.
    EXPECT_EQ(MakePageUrl("file:///home/dev/pages/", "/opt/kelm/ui.rcc", "home.html").toString().toStdString(),
              "file:///home/dev/pages/home.html");
    EXPECT_EQ(MakePageUrl("http://127.0.0.1:8080/p_", "/opt/kelm/ui.rcc", "home.html").toString().toStdString(),
              "http://127.0.0.1:8080/p_home.html");
    EXPECT_EQ(MakePageUrl("", "/opt/kelm/ui.rcc", "home.html").toString().toStdString(),
              "res:///opt/kelm/ui.rcc/home.html");
}

class DirSourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkpath("pages/Sub"));
        Write("pages/home.html", "home");
        Write("pages/Sub/Style.CSS", "style");
        Write("secret.txt", "secret");
    }
    void Write(const QString& relative, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QTemporaryDir m_dir;
};

TEST_F(DirSourceTest, FindsPagesExactlyOrWithoutRegardToCase)
{
    CDirResourceSource source(m_dir.filePath("pages"));
    EXPECT_EQ(source.ReadPage("home.html").value_or("missing"), "home");
    EXPECT_EQ(source.ReadPage("HOME.html").value_or("missing"), "home");
    EXPECT_EQ(source.ReadPage("sub/style.css").value_or("missing"), "style");
    EXPECT_FALSE(source.ReadPage("other.html").has_value());
    EXPECT_FALSE(source.ReadPage("Sub").has_value());  // a folder is no page
}

TEST_F(DirSourceTest, RefusesPathsThatLeaveTheFolder)
{
    CDirResourceSource source(m_dir.filePath("pages"));
    for (const char* path : {"../secret.txt", "Sub/../../secret.txt", "./home.html", "/home.html", "Sub//Style.CSS", ""})
        EXPECT_FALSE(source.ReadPage(QString::fromUtf8(path)).has_value()) << path;
}

// Script methods ----------------------------------------------------------

class ScriptMethodsTest : public ::testing::Test {
protected:
    ScriptMethodsTest()
    {
        m_table.Add("no_args", [this] { m_calls.append("no_args"); });
        m_table.AddText("one_text", [this](const QString& t) { m_calls.append("one_text:" + t); });
        m_table.AddInt("one_int", [this](int n) { m_calls.append(QString("one_int:%1").arg(n)); });
        m_table.AddIntInt("two_ints", [this](int a, int b) { m_calls.append(QString("two_ints:%1,%2").arg(a).arg(b)); });
        m_table.Add("throws", [] { throw std::runtime_error("boom"); });
    }
    CScriptMethodTable m_table;
    QStringList m_calls;
};

struct ArgumentCase {
    const char* method;
    QVariantList args;
    ScriptCallStatus status;
    const char* call;  // what the method saw; "" when it must not run
};

class ScriptArgumentTest : public ScriptMethodsTest, public ::testing::WithParamInterface<ArgumentCase> {};

TEST_P(ScriptArgumentTest, ArgumentsFitOrTheCallIsRefused)
{
    const ArgumentCase& c = GetParam();
    QString error;
    EXPECT_EQ(m_table.Invoke(QString::fromUtf8(c.method), c.args, &error), c.status) << error.toStdString();
    if (*c.call == '\0') {
        EXPECT_TRUE(m_calls.isEmpty());
        EXPECT_FALSE(error.isEmpty());
    } else {
        EXPECT_EQ(m_calls, QStringList{QString::fromUtf8(c.call)});
    }
}

const double kTooBig = 2147483648.0;

INSTANTIATE_TEST_SUITE_P(
    Shapes, ScriptArgumentTest,
    ::testing::Values(
        ArgumentCase{"no_args", {}, ScriptCallStatus::Ok, "no_args"},
        ArgumentCase{"NO_ARGS", {}, ScriptCallStatus::Ok, "no_args"},  // names without regard to case
        ArgumentCase{"no_args", {1.0}, ScriptCallStatus::BadArguments, ""},
        ArgumentCase{"one_text", {QString("abc")}, ScriptCallStatus::Ok, "one_text:abc"},
        ArgumentCase{"one_text", {42.0}, ScriptCallStatus::Ok, "one_text:42"},  // a number reads as its text
        ArgumentCase{"one_text", {2.5}, ScriptCallStatus::Ok, "one_text:2.5"},
        ArgumentCase{"one_text", {}, ScriptCallStatus::BadArguments, ""},
        ArgumentCase{"one_text", {QVariant()}, ScriptCallStatus::BadArguments, ""},  // null/undefined
        ArgumentCase{"one_text", {QVariantMap{{"a", 1}}}, ScriptCallStatus::BadArguments, ""},
        ArgumentCase{"one_text", {true}, ScriptCallStatus::BadArguments, ""},
        ArgumentCase{"one_int", {7.0}, ScriptCallStatus::Ok, "one_int:7"},
        ArgumentCase{"one_int", {-2147483648.0}, ScriptCallStatus::Ok, "one_int:-2147483648"},
        ArgumentCase{"one_int", {QString(" 12 ")}, ScriptCallStatus::Ok, "one_int:12"},  // texts of numbers
        ArgumentCase{"one_int", {QString("12abc")}, ScriptCallStatus::BadArguments, ""},
        ArgumentCase{"one_int", {QString("0x10")}, ScriptCallStatus::BadArguments, ""},
        ArgumentCase{"one_int", {1.5}, ScriptCallStatus::BadArguments, ""},
        ArgumentCase{"one_int", {kTooBig}, ScriptCallStatus::BadArguments, ""},
        ArgumentCase{"one_int", {std::numeric_limits<double>::quiet_NaN()}, ScriptCallStatus::BadArguments, ""},
        ArgumentCase{"two_ints", {3.0, 4.0}, ScriptCallStatus::Ok, "two_ints:3,4"},
        ArgumentCase{"two_ints", {3.0}, ScriptCallStatus::BadArguments, ""},
        ArgumentCase{"two_ints", {3.0, QString("x")}, ScriptCallStatus::BadArguments, ""},
        ArgumentCase{"two_ints", {3.0, 4.0, 5.0}, ScriptCallStatus::BadArguments, ""},
        ArgumentCase{"missing", {}, ScriptCallStatus::UnknownMethod, ""},
        // A method's exception stops at the dispatch.
        ArgumentCase{"throws", {}, ScriptCallStatus::Failed, ""}));

class Target : public CScriptCommandTarget {
public:
    explicit Target(QString tag, QStringList* log)
    {
        m_scriptMethods.Add("shared", [log, tag] { log->append(tag + ":shared"); });
        m_scriptMethods.Add(tag + "_only", [log, tag] { log->append(tag + ":own"); });
    }
};

TEST(ScriptDispatchTest, PageModelFirstThenHandlersInOrder)
{
    QStringList log;
    Target window("window", &log);
    Target page("page", &log);
    CScriptDispatch dispatch;
    dispatch.AddHandler(&window);
    const QUrl caller("res:///opt/ui.rcc/home.html");
    EXPECT_EQ(dispatch.Invoke(caller, "shared", {}, &page), ScriptCallStatus::Ok);
    EXPECT_EQ(dispatch.Invoke(caller, "window_only", {}, &page), ScriptCallStatus::Ok);
    EXPECT_EQ(dispatch.Invoke(caller, "shared", {}, nullptr), ScriptCallStatus::Ok);
    EXPECT_EQ(log, (QStringList{"page:shared", "window:own", "window:shared"}));
}

TEST(ScriptDispatchTest, RefusesUntrustedCallersAndGoneTargets)
{
    QStringList log;
    CScriptDispatch dispatch;
    auto window = std::make_unique<Target>("window", &log);
    dispatch.AddHandler(window.get());
    EXPECT_EQ(dispatch.Invoke(QUrl("http://example.test/home.html"), "shared", {}, nullptr), ScriptCallStatus::Untrusted);
    EXPECT_EQ(dispatch.Invoke(QUrl("file:///tmp/pages/home.html"), "shared", {}, nullptr), ScriptCallStatus::Untrusted);
    dispatch.AddTrustedUrlPrefix("file:///tmp/pages/");
    EXPECT_EQ(dispatch.Invoke(QUrl("file:///tmp/pages/home.html"), "shared", {}, nullptr), ScriptCallStatus::Ok);
    EXPECT_EQ(dispatch.Invoke(QUrl("file:///tmp/other/home.html"), "shared", {}, nullptr), ScriptCallStatus::Untrusted);
    window.reset();
    EXPECT_EQ(dispatch.Invoke(QUrl("res:///opt/ui.rcc/home.html"), "shared", {}, nullptr),
              ScriptCallStatus::UnknownMethod);
    EXPECT_EQ(log, QStringList{"window:shared"});
    EXPECT_EQ(dispatch.RefusedCalls(), 4);
}

}  // namespace
