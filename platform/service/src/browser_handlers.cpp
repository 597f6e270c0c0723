// korva.service.register_client and korva.browser.*: the browser add-on's
// registration and its per-browser sessions, each a small bag of named text
// properties. Sessions live only as long as korvad runs (a browser's session
// means nothing to the next korvad), so they are kept in memory, bounded.
#include <QtGlobal>
#include <cstdint>
#include <memory>
#include <map>
#include <string>

#include "request_handlers.h"
#include "servicelink/korva_constants.h"

using namespace NKorvaConstants;
using bus::ServiceAnswer;
using bus::ServiceCall;

namespace korvad {

namespace {

constexpr std::size_t kMaxSessions = 4096;
constexpr std::size_t kMaxPropertiesPerSession = 256;
constexpr std::size_t kMaxNameLength = 255;
constexpr std::size_t kMaxValueLength = 64 * 1024;

struct BrowserSessions {
    std::int32_t nextContext = 1;
    std::int32_t nextHandle = 1;
    std::map<std::int32_t, std::map<std::string, std::string>> sessions;

    std::int32_t NewHandle()
    {
        // Handles stay positive (0 means "no session") and are not reused
        // while a session with that number lives.
        for (;;) {
            const std::int32_t handle = nextHandle;
            nextHandle = nextHandle == INT32_MAX ? 1 : nextHandle + 1;
            if (!sessions.count(handle))
                return handle;
        }
    }
};

// The session named by "handle", or null (with the error answer filled in).
std::map<std::string, std::string>* FindSession(BrowserSessions& state, const ServiceCall& call,
                                                ServiceAnswer& error)
{
    const CStringValue& text = call.request.GetValue("handle");
    const std::int32_t handle = text.ToInteger();
    auto it = handle > 0 ? state.sessions.find(handle) : state.sessions.end();
    if (it == state.sessions.end()) {
        error = ServiceAnswer::Error(KORVA_E_NOT_FOUND, "no browser session \"" + text.ToString() + "\"");
        return nullptr;
    }
    return &it->second;
}

// Stores one property; false (with the error answer) when it breaks a limit.
bool StoreProperty(std::map<std::string, std::string>& session, const std::string& name, const std::string& value,
                   ServiceAnswer& error)
{
    if (name.empty() || name.size() > kMaxNameLength) {
        error = ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "property names are 1 to 255 characters");
        return false;
    }
    if (value.size() > kMaxValueLength) {
        error = ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "property values are at most 64 KiB");
        return false;
    }
    if (!session.count(name) && session.size() >= kMaxPropertiesPerSession) {
        error = ServiceAnswer::Error(KORVA_E_NOT_ALLOWED, "too many properties in one session");
        return false;
    }
    session[name] = value;
    return true;
}

}  // namespace

void RegisterBrowserHandlers(ServiceContext& context)
{
    auto state = std::make_shared<BrowserSessions>();
    auto& server = context.server;

    server.AddHandler("korva.service.register_client", [state](const ServiceCall& call) {
        const std::int32_t id = state->nextContext;
        state->nextContext = state->nextContext == INT32_MAX ? 1 : state->nextContext + 1;
        qInfo("client %s registered (process %s) as context %d", call.sender.c_str(),
              call.request.GetValue("process.id").ToString().c_str(), id);
        CDictionary row;
        row["ctx.id"] = id;
        return ServiceAnswer::Row("client", row);
    });

    server.AddHandler("korva.browser.create_session", [state](const ServiceCall&) {
        if (state->sessions.size() >= kMaxSessions)
            return ServiceAnswer::Error(KORVA_E_NOT_ALLOWED, "too many browser sessions");
        const std::int32_t handle = state->NewHandle();
        state->sessions[handle];
        CDictionary row;
        row["handle"] = handle;
        return ServiceAnswer::Row("session", row);
    });

    server.AddHandler("korva.browser.destroy_session", [state](const ServiceCall& call) {
        ServiceAnswer error;
        if (FindSession(*state, call, error) == nullptr)
            return error;
        state->sessions.erase(call.request.GetValue("handle").ToInteger());
        return ServiceAnswer{};
    });

    server.AddHandler("korva.browser.get_property", [state](const ServiceCall& call) {
        ServiceAnswer error;
        auto* session = FindSession(*state, call, error);
        if (session == nullptr)
            return error;
        const std::string name = call.request.GetValue("name").ToString();
        auto it = session->find(name);
        CDictionary row;
        row["value"] = it == session->end() ? std::string() : it->second;
        return ServiceAnswer::Row("property", row);
    });

    server.AddHandler("korva.browser.set_property", [state](const ServiceCall& call) {
        ServiceAnswer error;
        auto* session = FindSession(*state, call, error);
        if (session == nullptr)
            return error;
        if (!StoreProperty(*session, call.request.GetValue("name").ToString(),
                           call.request.GetValue("value").ToString(), error))
            return error;
        return ServiceAnswer{};
    });

    // Every named value other than the handle (and the caller's context) is a
    // property; all are checked before any is stored.
    server.AddHandler("korva.browser.set_properties", [state](const ServiceCall& call) {
        ServiceAnswer error;
        auto* session = FindSession(*state, call, error);
        if (session == nullptr)
            return error;
        std::map<std::string, std::string> updated = *session;
        for (const auto& [key, value] : call.request) {
            if (key == "handle" || key == "ctx.id")
                continue;
            if (!StoreProperty(updated, key, value.ToString(), error))
                return error;
        }
        *session = std::move(updated);
        return ServiceAnswer{};
    });
}

}  // namespace korvad
