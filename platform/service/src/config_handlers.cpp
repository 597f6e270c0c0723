// korva.config.*: reads and writes of the configuration store.
//
// Parameters: `path` (section), `name` (key), `value`, `cfg.source`
// ("user", "system" or both; reads default to "user,system", writes to
// "system"), `user.sid` (the user of user values; the caller's own user id
// when absent). Every change is announced with "korva.config.notify".
#include <QtGlobal>
#include <algorithm>

#include "config_store.h"
#include "request_handlers.h"
#include "servicelink/korva_constants.h"

using namespace NKorvaConstants;
using bus::ServiceAnswer;
using bus::ServiceCall;

namespace korvad {

namespace {

constexpr std::size_t kMaxNameLength = 255;
constexpr std::size_t kMaxValueLength = 64 * 1024;

const std::vector<ConfigSource> kReadSources{ConfigSource::User, ConfigSource::System};
const std::vector<ConfigSource> kWriteSources{ConfigSource::System};

bool ValidName(const std::string& text) { return !text.empty() && text.size() <= kMaxNameLength; }

// Builds the scope of a request; an error answer when its parameters are bad.
std::optional<ServiceAnswer> ReadScope(const ServiceCall& call, bool forWrite, ConfigScope& scope)
{
    const CMsgRequest& request = call.request;
    scope.section = request.GetValue("path").ToString();
    if (!ValidName(scope.section))
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`path` must name a section (1 to 255 characters)");
    if (!ParseSources(request.GetValue("cfg.source").ToString(), forWrite ? kWriteSources : kReadSources,
                      scope.sources))
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS,
                                    "`cfg.source` must be \"user\", \"system\" or \"user,system\"");
    scope.userId = request.GetValue("user.sid").ToString();
    if (scope.userId.empty() && call.senderUid != UINT32_MAX)
        scope.userId = std::to_string(call.senderUid);
    if (scope.userId.size() > kMaxNameLength)
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`user.sid` is too long");
    const bool wantsUser = forWrite ? scope.sources.front() == ConfigSource::User
                                    : std::find(scope.sources.begin(), scope.sources.end(), ConfigSource::User) !=
                                          scope.sources.end();
    if (wantsUser && scope.userId.empty())
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "user values need `user.sid`");
    return std::nullopt;
}

CDictionary NotificationValues(const ConfigScope& scope)
{
    CDictionary values;
    values["path"] = scope.section;
    values["cfg.source"] = SourceName(scope.sources.front());
    if (scope.sources.front() == ConfigSource::User)
        values["user.sid"] = scope.userId;
    return values;
}

ServiceAnswer GetValue(ServiceContext& context, const ServiceCall& call)
{
    ConfigScope scope;
    if (auto error = ReadScope(call, /*forWrite=*/false, scope))
        return *error;
    const std::string name = call.request.GetValue("name").ToString();
    if (!ValidName(name))
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`name` must name a key (1 to 255 characters)");
    const auto value = context.config.Get(scope, name);
    if (!value)
        return ServiceAnswer::Error(KORVA_E_NOT_FOUND, "no value " + scope.section + "." + name);
    // The value is answered under its own name and as "value"; callers read
    // either column.
    CDictionary row;
    row[name] = *value;
    row["value"] = *value;
    return ServiceAnswer::Row("config", row);
}

ServiceAnswer GetValues(ServiceContext& context, const ServiceCall& call)
{
    ConfigScope scope;
    if (auto error = ReadScope(call, /*forWrite=*/false, scope))
        return *error;
    CDictionary row;
    for (const auto& [key, value] : context.config.GetSection(scope))
        row[key] = value;
    return ServiceAnswer::Row("config", row);
}

ServiceAnswer SetValue(ServiceContext& context, const ServiceCall& call)
{
    ConfigScope scope;
    if (auto error = ReadScope(call, /*forWrite=*/true, scope))
        return *error;
    const std::string name = call.request.GetValue("name").ToString();
    if (!ValidName(name))
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`name` must name a key (1 to 255 characters)");
    if (!call.request.HasValue("value"))
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`value` is missing");
    const std::string value = call.request.GetValue("value").ToString();
    if (value.size() > kMaxValueLength)
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`value` is longer than 65536 bytes");
    std::string error;
    const auto result = context.config.Set(scope, name, value, &error);
    if (result == ConfigStore::WriteResult::Failed)
        return ServiceAnswer::Error(KORVA_E_STORE_FAILED, "cannot store the value: " + error);
    if (result == ConfigStore::WriteResult::Changed) {
        CDictionary values = NotificationValues(scope);
        values["name"] = name;
        values["value"] = value;
        context.server.SendNotification(kConfigNotification, values);
    }
    return ServiceAnswer{};
}

// The values to write are the first row of the first row set, column by
// column.
ServiceAnswer SetValues(ServiceContext& context, const ServiceCall& call)
{
    ConfigScope scope;
    if (auto error = ReadScope(call, /*forWrite=*/true, scope))
        return *error;
    const CMsgRowSets& rowSets = call.request.GetExParams();
    if (rowSets.empty() || rowSets.front().GetRowCount() == 0)
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "the values come as the first row of a row set");
    const CMsgRowSet& set = rowSets.front();
    std::vector<std::pair<std::string, std::string>> values;
    for (std::size_t c = 0; c < set.GetColumnCount(); ++c) {
        const std::string& value = set.GetValue(0, c).ToString();
        if (value.size() > kMaxValueLength)
            return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "a value is longer than 65536 bytes");
        values.emplace_back(set.GetColumns()[c], value);
    }
    std::vector<std::pair<std::string, std::string>> changed;
    std::string error;
    if (!context.config.SetMany(scope, values, changed, &error))
        return ServiceAnswer::Error(KORVA_E_STORE_FAILED, "cannot store the values: " + error);
    if (!changed.empty()) {
        CMsgRowSet row("values");
        const std::size_t r = row.AddRow();
        for (const auto& [key, value] : changed)
            row.SetValue(r, key, value);
        context.server.SendNotification(kConfigNotification, NotificationValues(scope), {row});
    }
    return ServiceAnswer{};
}

}  // namespace

void RegisterConfigHandlers(ServiceContext& context)
{
    auto& server = context.server;
    server.AddHandler("korva.config.get_value", [&context](const ServiceCall& call) { return GetValue(context, call); });
    server.AddHandler("korva.config.get_values", [&context](const ServiceCall& call) { return GetValues(context, call); });
    server.AddHandler("korva.config.set_value", [&context](const ServiceCall& call) { return SetValue(context, call); });
    server.AddHandler("korva.config.set_values", [&context](const ServiceCall& call) { return SetValues(context, call); });
}

}  // namespace korvad
