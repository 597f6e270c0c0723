// korvad's answers to the browser add-on: registration, browser sessions and
// their properties, popup verdicts against blankets, the user's verdicts and
// the global switch, and the blocked-popup counter.
#include "korvad_fixture.h"

using namespace NKorvaConstants;

namespace {

using Values = std::vector<std::pair<std::string, CStringValue>>;

CMsgResults Send(const std::string& name, const Values& values, const CMsgRowSets& rows = {})
{
    CMsgRequest request(0);
    for (const auto& [key, value] : values)
        request[key] = value;
    request.SetExParams(rows);
    return request.Execute(name);
}

CMsgRowSets UrlRows(const std::vector<std::string>& urls)
{
    CMsgRowSet rows("popups");
    for (const auto& url : urls) {
        CDictionary row;
        row["url"] = url;
        row["last_hit"] = "now";
        rows.AddRow(row);
    }
    return {rows};
}

struct Verdict {
    int block = -1;
    long long id = -1;
};

Verdict AuthorizePopup(const std::string& url, bool solicited, bool blanketAllow = false)
{
    const CMsgResults r = Send("korva.justice.popup.authorize",
                               {{"url", url}, {"hwnd", "5"}, {"solicited", solicited ? "1" : "0"},
                                {"blanket_allow", blanketAllow ? "1" : "0"}});
    EXPECT_TRUE(r.Succeeded()) << r.GetErrorText();
    return {r.GetCursor()["block"].ToInteger(), r.GetCursor()["id"].ToInteger64()};
}

int AuthorizeTop(const std::string& url, bool firstNavigation)
{
    const CMsgResults r =
        Send("korva.justice.popup.authorize",
             {{"url", url}, {"hwnd", "5"}, {"top_level_browser", "1"}, {"check_parent", firstNavigation}});
    EXPECT_TRUE(r.Succeeded()) << r.GetErrorText();
    return r.GetCursor()["block"].ToInteger();
}

long long BlockedCount()
{
    const CMsgResults r = Send("korva.justice.popup.query_statistics", {});
    EXPECT_TRUE(r.Succeeded()) << r.GetErrorText();
    return r.GetCursor()["popup_count"].ToInteger64();
}

TEST_F(KorvadTest, RegistersClientsWithDistinctContexts)
{
    const CMsgResults a = Send("korva.service.register_client", {{"process.id", 10}, {"third_party_application", true}});
    const CMsgResults b = Send("korva.service.register_client", {{"process.id", 11}, {"third_party_application", true}});
    ASSERT_TRUE(a.Succeeded() && b.Succeeded());
    EXPECT_GT(a.GetCursor()["ctx.id"].ToInteger(), 0);
    EXPECT_NE(a.GetCursor()["ctx.id"].ToInteger(), b.GetCursor()["ctx.id"].ToInteger());
}

TEST_F(KorvadTest, BrowserSessionsKeepTheirOwnProperties)
{
    const CMsgResults one = Send("korva.browser.create_session", {});
    const CMsgResults two = Send("korva.browser.create_session", {});
    ASSERT_TRUE(one.Succeeded() && two.Succeeded());
    const std::string h1 = one.GetCursor()["handle"].ToString();
    const std::string h2 = two.GetCursor()["handle"].ToString();
    ASSERT_NE(h1, h2);

    ASSERT_TRUE(Send("korva.browser.set_properties",
                     {{"handle", h1}, {"ctx.id", 3}, {"is_popup", "1"}, {"opener_location", "http://a.com/"}})
                    .Succeeded());
    ASSERT_TRUE(Send("korva.browser.set_property", {{"handle", h2}, {"name", "is_solicited"}, {"value", "1"}})
                    .Succeeded());
    auto get = [](const std::string& h, const std::string& name) {
        const CMsgResults r = Send("korva.browser.get_property", {{"handle", h}, {"name", name}});
        EXPECT_TRUE(r.Succeeded()) << r.GetErrorText();
        return r.GetCursor()["value"].ToString();
    };
    EXPECT_EQ(get(h1, "is_popup"), "1");
    EXPECT_EQ(get(h1, "opener_location"), "http://a.com/");
    EXPECT_EQ(get(h1, "ctx.id"), "") << "the caller's context is not a property";
    EXPECT_EQ(get(h1, "is_solicited"), "");
    EXPECT_EQ(get(h2, "is_solicited"), "1");

    ASSERT_TRUE(Send("korva.browser.destroy_session", {{"handle", h1}}).Succeeded());
    for (const char* name : {"korva.browser.get_property", "korva.browser.destroy_session"})
        EXPECT_EQ(Send(name, {{"handle", h1}, {"name", "is_popup"}}).GetErrorCode(), KORVA_E_NOT_FOUND) << name;
    EXPECT_EQ(Send("korva.browser.set_property", {{"handle", "0"}, {"name", "x"}, {"value", "1"}}).GetErrorCode(),
              KORVA_E_NOT_FOUND);
    EXPECT_EQ(Send("korva.browser.set_property", {{"handle", h2}, {"name", ""}, {"value", "1"}}).GetErrorCode(),
              KORVA_E_INVALID_ARGUMENTS);
}

TEST_F(KorvadTest, PopupVerdictsFollowClicksBlanketsAndTheSwitch)
{
    struct Case {
        const char* what;
        const char* url;
        bool solicited;
        bool openerBlanketAllow;
        int block;
    };
    ASSERT_TRUE(Send("korva.justice.popup.apply_blanket", {{"state", "allow"}}, UrlRows({"friendly.org/page"}))
                    .Succeeded());
    ASSERT_TRUE(Send("korva.justice.popup.apply_blanket", {{"state", "block"}}, UrlRows({"ads.net/x"})).Succeeded());
    const Case cases[] = {
        {"unsolicited", "http://plain.com/pop.html", false, false, 1},
        {"clicked", "http://plain.com/clicked.html", true, false, 0},
        {"opener has allow blanket", "http://plain.com/other.html", false, true, 0},
        {"site has allow blanket", "http://Friendly.org/pop.html", false, false, 0},
        {"block blanket beats a click", "https://ads.net/pop.html", true, false, 1},
        {"empty address fallback", "adware.popup/[no path]", false, false, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AuthorizePopup(c.url, c.solicited, c.openerBlanketAllow).block, c.block) << c.what;

    // Top-level windows: only a first navigation to a blocked site is refused.
    EXPECT_EQ(AuthorizeTop("ads.net/index.html", /*firstNavigation=*/true), 1);
    EXPECT_EQ(AuthorizeTop("ads.net/index.html", /*firstNavigation=*/false), 0);
    EXPECT_EQ(AuthorizeTop("plain.com/index.html", /*firstNavigation=*/true), 0);

    // The global switch lets everything through.
    ASSERT_TRUE(Send("korva.config.set_value", {{"path", "korva.applications.tavrel.system.options"},
                                                {"name", "enable_blocking"}, {"value", "0"}, {"cfg.source", "system"}})
                    .Succeeded());
    EXPECT_EQ(AuthorizePopup("http://plain.com/pop.html", false).block, 0);
    EXPECT_EQ(AuthorizePopup("https://ads.net/pop.html", false).block, 0);
}

TEST_F(KorvadTest, BlockedPopupsAreCountedAndKeepTheirId)
{
    EXPECT_EQ(BlockedCount(), 0);
    const Verdict first = AuthorizePopup("http://plain.com/pop.html", false);
    const Verdict again = AuthorizePopup("http://PLAIN.com/pop.html", false);
    EXPECT_EQ(first.block, 1);
    EXPECT_GT(first.id, 0);
    EXPECT_EQ(first.id, again.id) << "one popup address is one record";
    AuthorizePopup("http://plain.com/clicked.html", true);
    EXPECT_EQ(BlockedCount(), 2);

    // The user blocks a popup from its window: no hit, but the next one is refused.
    const Verdict kept = AuthorizePopup("http://plain.com/kept.html", true);
    EXPECT_EQ(kept.block, 0);
    ASSERT_TRUE(Send("korva.justice.popup.set_state", {{"state", "block"}, {"no_hit", true}},
                     UrlRows({"plain.com/kept.html"}))
                    .Succeeded());
    EXPECT_EQ(BlockedCount(), 2);
    EXPECT_EQ(AuthorizePopup("http://plain.com/kept.html", false).block, 1);
    EXPECT_EQ(BlockedCount(), 3);
    // A dialog report counts a hit.
    ASSERT_TRUE(Send("korva.justice.popup.set_state", {{"state", "block"}}, UrlRows({"dialogs.com [no path]"}))
                    .Succeeded());
    EXPECT_EQ(BlockedCount(), 4);
}

TEST_F(KorvadTest, BlanketsAnswerPerSiteAndCanApplyToExistingPopups)
{
    auto blanket = [](const std::string& url) {
        const CMsgResults r = Send("korva.justice.popup.get_blanket_info", {{"url", url}});
        EXPECT_TRUE(r.Succeeded()) << r.GetErrorText();
        return r.GetCursor()["blanket"].ToString();
    };
    EXPECT_EQ(blanket("site.com/a"), "none");
    ASSERT_EQ(AuthorizePopup("http://site.com/p.html", false).block, 1);
    ASSERT_TRUE(Send("korva.justice.popup.apply_blanket", {{"state", "allow"}, {"apply_existing", true}},
                     UrlRows({"site.com/a/b.html"}))
                    .Succeeded());
    EXPECT_EQ(blanket("site.com/a"), "allow");
    EXPECT_EQ(blanket("http://SITE.com/"), "allow");
    EXPECT_EQ(blanket("other.com/"), "none");
    EXPECT_EQ(AuthorizePopup("http://site.com/p.html", false).block, 0);

    ASSERT_TRUE(Send("korva.justice.popup.apply_blanket", {{"state", "block"}}, UrlRows({"site.com"})).Succeeded());
    EXPECT_EQ(blanket("site.com/a"), "block");
}

TEST_F(KorvadTest, PopupRequestsRefuseBadInput)
{
    struct Case {
        const char* name;
        Values values;
        CMsgRowSets rows;
    };
    const Case cases[] = {
        {"korva.justice.popup.authorize", {{"url", ""}}, {}},
        {"korva.justice.popup.authorize", {{"url", std::string(5000, 'a')}}, {}},
        {"korva.justice.popup.get_blanket_info", {}, {}},
        {"korva.justice.popup.set_state", {{"state", "maybe"}}, UrlRows({"a.com/x"})},
        {"korva.justice.popup.set_state", {{"state", "block"}}, {}},
        {"korva.justice.popup.apply_blanket", {{"state", "allow"}}, UrlRows({"/x"})},
        {"korva.justice.popup.apply_blanket", {{"state", "deny"}}, UrlRows({"a.com"})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Send(c.name, c.values, c.rows).GetErrorCode(), KORVA_E_INVALID_ARGUMENTS) << c.name;
}

}  // namespace
