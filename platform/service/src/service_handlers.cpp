// korva.service.*: the service's version, starting companion programs, and
// sending a notification on a client's behalf.
#include "companion_launcher.h"
#include "request_handlers.h"
#include "servicelink/korva_constants.h"

using namespace NKorvaConstants;
using bus::ServiceAnswer;
using bus::ServiceCall;

namespace korvad {

namespace {

constexpr long long kMaxRepeat = 1000000;

ServiceAnswer Execute(ServiceContext& context, const ServiceCall& call)
{
    const std::string application = call.request.GetValue("application").ToString();
    if (application.empty())
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`application` names the program to start");
    const auto result = context.launcher.Start(application, call.request.GetValue("params").ToString());
    if (result.notFound)
        return ServiceAnswer::Error(KORVA_E_NOT_FOUND, result.error);
    if (!result.started)
        return ServiceAnswer::Error(KORVA_E_START_FAILED, result.error);
    qInfo("started %s (process %lld) for %s", application.c_str(), result.pid, call.sender.c_str());
    CDictionary row;
    row["process.id"] = static_cast<std::int64_t>(result.pid);
    return ServiceAnswer::Row("process", row);
}

// Sends `notification` with the request's other values and its row sets to
// the subscribers, `count` times (default 1) with the sequence number in
// "seq". The service's own notifications cannot be sent this way.
ServiceAnswer SendNotification(ServiceContext& context, const ServiceCall& call)
{
    const std::string name = call.request.GetValue("notification").ToString();
    if (name.empty())
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`notification` names what to send");
    if (name == kConfigNotification)
        return ServiceAnswer::Error(KORVA_E_NOT_ALLOWED, "\"" + name + "\" is sent only by the service");
    long long count = 1;
    if (call.request.HasValue("count")) {
        count = call.request.GetValue("count").ToInteger64();
        if (count < 1 || count > kMaxRepeat)
            return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`count` must be 1 to 1000000");
    }
    CDictionary values;
    for (const auto& [key, value] : call.request)
        if (key != "notification" && key != "count")
            values[key] = value;
    int delivered = 0;
    for (long long seq = 0; seq < count; ++seq) {
        values["seq"] = static_cast<std::int64_t>(seq);
        delivered += context.server.SendNotification(name, values, call.request.GetExParams());
    }
    CDictionary row;
    row["delivered"] = delivered;
    return ServiceAnswer::Row("sent", row);
}

}  // namespace

void RegisterServiceHandlers(ServiceContext& context)
{
    auto& server = context.server;
    server.AddHandler("korva.service.get_version", [&context](const ServiceCall&) {
        CDictionary row;
        row["file_version"] = context.version;
        row["product_version"] = context.version;
        return ServiceAnswer::Row("version", row);
    });
    server.AddHandler("korva.service.execute", [&context](const ServiceCall& call) { return Execute(context, call); });
    server.AddHandler("korva.service.send_notification",
                      [&context](const ServiceCall& call) { return SendNotification(context, call); });
}

}  // namespace korvad
