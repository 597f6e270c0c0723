// korva.scanner.*, korva.targets.* and korva.updater.query_status: the
// scanner's requests (see scanner_service.h), the definitions' version and
// package descriptions.
#include "request_handlers.h"
#include "scanner_service.h"
#include "servicelink/korva_constants.h"

using namespace NKorvaConstants;
using bus::ServiceAnswer;
using bus::ServiceCall;

namespace korvad {

void RegisterScannerHandlers(ServiceContext& context, ScannerService& scanner, const Definitions& definitions)
{
    auto& server = context.server;
    server.AddHandler("korva.scanner.start", [&scanner](const ServiceCall& call) { return scanner.Start(call); });
    server.AddHandler("korva.scanner.stop", [&scanner](const ServiceCall& call) { return scanner.Stop(call); });
    server.AddHandler("korva.scanner.pause", [&scanner](const ServiceCall& call) { return scanner.Pause(call); });
    server.AddHandler("korva.scanner.resume", [&scanner](const ServiceCall& call) { return scanner.Resume(call); });
    server.AddHandler("korva.scanner.query_status",
                      [&scanner](const ServiceCall& call) { return scanner.QueryStatus(call); });
    server.AddHandler("korva.scanner.update_scanner_priority",
                      [&scanner](const ServiceCall& call) { return scanner.UpdatePriority(call); });
    server.AddHandler("korva.updater.query_status", [](const ServiceCall&) {
        CDictionary row;
        row["updater_active"] = 0;
        return ServiceAnswer::Row("status", row);
    });
    server.AddHandler("korva.targets.query_version", [&definitions](const ServiceCall&) {
        CDictionary row;
        row["definition_version"] = definitions.version;
        return ServiceAnswer::Row("version", row);
    });
    server.AddHandler("korva.targets.query_package_info", [&definitions](const ServiceCall& call) {
        const std::string code = call.request.GetValue("package_code").ToString();
        if (code.empty())
            return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`package_code` names the package");
        const Package* package = definitions.Find(code);
        if (package == nullptr)
            return ServiceAnswer::Error(KORVA_E_NOT_FOUND, "no package \"" + code + "\" in the definitions");
        CDictionary row;
        row["package_code"] = package->code;
        row["package_name"] = package->name;
        row["name"] = package->name;
        row["type"] = package->type;
        row["package_type"] = package->type;
        row["severity"] = package->SeverityNumber();
        row["severity_name"] = package->severity;
        row["description"] = package->description;
        row["virus_type"] = "";
        row["item_count"] = static_cast<std::int64_t>(package->items.size());
        return ServiceAnswer::Row("package", row);
    });
}

}  // namespace korvad
