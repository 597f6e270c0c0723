#include "console_services.h"

#include <cstdlib>

#include "servicelink/korva_config.h"
#include "servicelink/korva_constants.h"
#include "servicelink/korva_utilities.h"
#include "servicelink/msg_request.h"
#include "servicelink/msg_results.h"

bool CBusConsoleServices::IsScanRunning()
{
    const CMsgResults status = CMsgRequest(0).Execute("korva.scanner.query_status");
    return status.Succeeded() && status.GetCursor()["scan_status"].ToString() == "running";
}

int CBusConsoleServices::DetectedItemCount()
{
    const CMsgResults count = CMsgRequest(0).Execute("korva.quarantine.v2_query_detected_items_count");
    if (!count.Succeeded())
        return 0;
    return std::atoi(count.GetCursor()["count"].ToString().c_str());
}

namespace {

CMsgRequest BuildRequest(const NamedValues& values)
{
    CMsgRequest request(0);
    for (const auto& [key, value] : values)
        request[key] = value;
    return request;
}

}  // namespace

CMsgResults IConsoleServices::Query(const std::string& name, const NamedValues& values)
{
    Send(name, values);
    return CMsgResults(NKorvaConstants::KORVA_E_NO_SERVICE, "no service");
}

CMsgResults CBusConsoleServices::Query(const std::string& name, const NamedValues& values)
{
    return BuildRequest(values).Execute(name);
}

void CBusConsoleServices::Post(const std::string& name, const NamedValues& values)
{
    BuildRequest(values).Notify(name);
}

bool CBusConsoleServices::IsUpdaterActive() { return CKorvaUtilities::IsUpdaterActive(); }

void CBusConsoleServices::Send(const std::string& name, const NamedValues& values)
{
    CMsgRequest request(0);
    for (const auto& [key, value] : values)
        request[key] = value;
    request.Execute(name);
}

int CBusConsoleServices::ExternalInteger(const std::string& name, int fallback)
{
    CKorvaConfig external(NKorvaConstants::CONFIG_SECTION_TAVRELEXTERNAL, NKorvaConstants::CONFIG_SOURCE_SYSTEM);
    CStringValue value;
    if (external.GetValue(name.c_str(), value) != 0)
        return fallback;
    const std::string text = value.ToString();
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end == nullptr || *end != '\0')
        return fallback;
    return static_cast<int>(parsed);
}
