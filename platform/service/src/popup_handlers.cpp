// korva.justice.popup.*: the popup verdicts the browser add-on asks for, the
// per-site blankets, the user's own verdicts and the blocked-popup counter.
// Popups and blankets are kept in the service database.
//
// Verdict order for a popup window: blocking switched off allows everything;
// a "block" blanket on the popup's site blocks even a clicked window; the
// user's own "block" for that address blocks; an "allow" blanket (the
// popup's site, or the opener's as the add-on reports it), the user's own
// "allow" or a click allows; anything else is blocked. A top-level window is
// blocked only on its first navigation to a site with a "block" blanket.
#include <QtGlobal>
#include <algorithm>
#include <cctype>
#include <string>

#include "config_store.h"
#include "request_handlers.h"
#include "service_database.h"
#include "servicelink/korva_constants.h"

using namespace NKorvaConstants;
using bus::ServiceAnswer;
using bus::ServiceCall;

namespace korvad {

namespace {

constexpr std::size_t kMaxUrlLength = 4096;
constexpr const char* kOptionsSection = "korva.applications.tavrel.system.options";

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The key popups are stored under: lower-case, without an http(s) scheme.
std::string PopupKey(const std::string& url)
{
    std::string key = Lower(url);
    for (const char* scheme : {"http://", "https://"})
        if (key.rfind(scheme, 0) == 0)
            return key.substr(std::char_traits<char>::length(scheme));
    return key;
}

// The site a blanket applies to: the key up to its first "/".
std::string SiteOf(const std::string& url)
{
    const std::string key = PopupKey(url);
    return key.substr(0, key.find('/'));
}

bool ValidUrl(const std::string& url, ServiceAnswer& error)
{
    if (url.empty() || url.size() > kMaxUrlLength) {
        error = ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`url` must be 1 to 4096 characters");
        return false;
    }
    return true;
}

class PopupStore {
public:
    PopupStore(ServiceDatabase& db, ConfigStore& config) : m_db(db), m_config(config) {}

    bool BlockingEnabled() const
    {
        const ConfigScope scope{kOptionsSection, {ConfigSource::System}, {}};
        const auto value = m_config.Get(scope, "enable_blocking");
        return !value || *value != "0";
    }

    std::string Blanket(const std::string& site)
    {
        Statement query(m_db.Cached("SELECT state FROM popup_blankets WHERE domain=?1"));
        query.Bind(1, site);
        return query.Step() == SQLITE_ROW ? query.Text(0) : std::string();
    }

    std::string UserState(const std::string& key)
    {
        Statement query(m_db.Cached("SELECT user_state FROM popups WHERE url=?1"));
        query.Bind(1, key);
        return query.Step() == SQLITE_ROW ? query.Text(0) : std::string();
    }

    // Records one verdict for KEY (a hit when blocked); the popup's id, or -1.
    long long Record(const std::string& key, bool blocked, bool hit, const std::string& userState)
    {
        Statement upsert(m_db.Cached(
            "INSERT INTO popups(url, domain, state, user_state, hits, last_hit) "
            "VALUES(?1, ?2, ?3, ?4, ?5, strftime('%s','now')) "
            "ON CONFLICT(url) DO UPDATE SET state=excluded.state, hits=hits+excluded.hits, "
            "user_state=CASE WHEN excluded.user_state='' THEN user_state ELSE excluded.user_state END, "
            "last_hit=excluded.last_hit"));
        upsert.Bind(1, key)
            .Bind(2, SiteOf(key))
            .Bind(3, std::string(blocked ? "blocked" : "allowed"))
            .Bind(4, userState)
            .Bind(5, static_cast<long long>(hit ? 1 : 0));
        if (upsert.Step() != SQLITE_DONE)
            return -1;
        Statement id(m_db.Cached("SELECT id FROM popups WHERE url=?1"));
        id.Bind(1, key);
        return id.Step() == SQLITE_ROW ? id.Int(0) : -1;
    }

    bool SetBlanket(const std::string& site, const std::string& state, bool applyExisting)
    {
        if (!m_db.Exec("BEGIN IMMEDIATE;"))
            return false;
        Statement upsert(m_db.Cached("INSERT INTO popup_blankets(domain, state) VALUES(?1, ?2) "
                                     "ON CONFLICT(domain) DO UPDATE SET state=excluded.state"));
        upsert.Bind(1, site).Bind(2, state);
        bool ok = upsert.Step() == SQLITE_DONE;
        if (ok && applyExisting) {
            Statement update(m_db.Cached("UPDATE popups SET state=?2, user_state=?3 WHERE domain=?1"));
            update.Bind(1, site).Bind(2, std::string(state == "block" ? "blocked" : "allowed")).Bind(3, state);
            ok = update.Step() == SQLITE_DONE;
        }
        m_db.Exec(ok ? "COMMIT;" : "ROLLBACK;");
        return ok;
    }

    long long BlockedCount()
    {
        Statement query(m_db.Cached("SELECT COALESCE(SUM(hits), 0) FROM popups"));
        return query.Step() == SQLITE_ROW ? query.Int(0) : 0;
    }

private:
    ServiceDatabase& m_db;
    ConfigStore& m_config;
};

ServiceAnswer Authorize(PopupStore& store, const ServiceCall& call)
{
    const auto& request = call.request;
    const std::string url = request.GetValue("url").ToString();
    ServiceAnswer error;
    if (!ValidUrl(url, error))
        return error;
    const std::string key = PopupKey(url);
    const std::string blanket = store.Blanket(SiteOf(key));
    const bool topLevel = request.GetValue("top_level_browser").ToInteger() != 0;
    bool block = false;
    if (!store.BlockingEnabled()) {
        block = false;
    } else if (topLevel) {
        block = blanket == "block" && request.GetValue("check_parent").ToBool();
    } else if (blanket == "block") {
        block = true;
    } else if (store.UserState(key) == "block") {
        block = true;
    } else {
        const bool allowed = blanket == "allow" || request.GetValue("blanket_allow").ToInteger() != 0 ||
                             store.UserState(key) == "allow" || request.GetValue("solicited").ToInteger() != 0;
        block = !allowed;
    }
    // Top-level windows the user keeps are not popups; only their refusals are recorded.
    long long id = 0;
    if (!topLevel || block) {
        id = store.Record(key, block, /*hit=*/block, /*userState=*/"");
        if (id < 0)
            return ServiceAnswer::Error(KORVA_E_STORE_FAILED, "cannot record the popup");
    }
    qInfo("popup %s: %s", key.c_str(), block ? "blocked" : "allowed");
    CDictionary row;
    row["id"] = static_cast<std::int64_t>(id);
    row["block"] = block ? 1 : 0;
    return ServiceAnswer::Row("popup", row);
}

// The user's (or the add-on's) verdict on the addresses in the row set.
ServiceAnswer SetState(PopupStore& store, const ServiceCall& call)
{
    const std::string state = call.request.GetValue("state").ToString();
    if (state != "block" && state != "allow")
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`state` is \"block\" or \"allow\"");
    const bool hit = state == "block" && !call.request.GetValue("no_hit").ToBool();
    std::size_t stored = 0;
    for (const auto& rowSet : call.request.GetExParams()) {
        if (rowSet.GetColumnIndex("url") < 0)
            continue;
        for (std::size_t row = 0; row < rowSet.GetRowCount(); ++row) {
            const std::string url = rowSet.GetValue(row, "url").ToString();
            ServiceAnswer error;
            if (!ValidUrl(url, error))
                return error;
            if (store.Record(PopupKey(url), state == "block", hit, state) < 0)
                return ServiceAnswer::Error(KORVA_E_STORE_FAILED, "cannot store the popup state");
            ++stored;
        }
    }
    if (stored == 0)
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "a row set with a `url` column names the popups");
    return ServiceAnswer{};
}

ServiceAnswer ApplyBlanket(PopupStore& store, const ServiceCall& call)
{
    const std::string state = call.request.GetValue("state").ToString();
    if (state != "block" && state != "allow")
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`state` is \"block\" or \"allow\"");
    const bool applyExisting = call.request.GetValue("apply_existing").ToBool();
    std::size_t stored = 0;
    for (const auto& rowSet : call.request.GetExParams()) {
        if (rowSet.GetColumnIndex("url") < 0)
            continue;
        for (std::size_t row = 0; row < rowSet.GetRowCount(); ++row) {
            const std::string url = rowSet.GetValue(row, "url").ToString();
            ServiceAnswer error;
            if (!ValidUrl(url, error))
                return error;
            const std::string site = SiteOf(url);
            if (site.empty())
                return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "no site in \"" + url + "\"");
            if (!store.SetBlanket(site, state, applyExisting))
                return ServiceAnswer::Error(KORVA_E_STORE_FAILED, "cannot store the blanket");
            ++stored;
        }
    }
    if (stored == 0)
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "a row set with a `url` column names the sites");
    return ServiceAnswer{};
}

}  // namespace

void RegisterPopupHandlers(ServiceContext& context, ServiceDatabase& database)
{
    auto store = std::make_shared<PopupStore>(database, context.config);
    auto& server = context.server;
    server.AddHandler("korva.justice.popup.authorize",
                      [store](const ServiceCall& call) { return Authorize(*store, call); });
    server.AddHandler("korva.justice.popup.get_blanket_info", [store](const ServiceCall& call) {
        const std::string url = call.request.GetValue("url").ToString();
        ServiceAnswer error;
        if (!ValidUrl(url, error))
            return error;
        const std::string blanket = store->Blanket(SiteOf(url));
        CDictionary row;
        row["blanket"] = blanket.empty() ? std::string("none") : blanket;
        return ServiceAnswer::Row("blanket", row);
    });
    server.AddHandler("korva.justice.popup.set_state",
                      [store](const ServiceCall& call) { return SetState(*store, call); });
    server.AddHandler("korva.justice.popup.apply_blanket",
                      [store](const ServiceCall& call) { return ApplyBlanket(*store, call); });
    server.AddHandler("korva.justice.popup.query_statistics", [store](const ServiceCall&) {
        CDictionary row;
        row["popup_count"] = static_cast<std::int64_t>(store->BlockedCount());
        return ServiceAnswer::Row("statistics", row);
    });
}

}  // namespace korvad
