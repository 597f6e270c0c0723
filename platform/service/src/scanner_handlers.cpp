// korva.scanner.*: the scanner's status. There is no scanner yet, so it is
// never running; the columns are the ones clients read.
#include "request_handlers.h"

using bus::ServiceAnswer;
using bus::ServiceCall;

namespace korvad {

void RegisterScannerHandlers(ServiceContext& context)
{
    context.server.AddHandler("korva.scanner.query_status", [](const ServiceCall&) {
        CDictionary row;
        row["scan_status"] = "not_running";
        row["scan_type"] = "";
        row["scan_initialized"] = 0;
        row["last_scan_elements"] = 0;
        row["last_scan_total"] = 0;
        row["last_scan_percent"] = 0;
        row["last_scan_item"] = "";
        row["last_scan_scanner"] = "";
        return ServiceAnswer::Row("status", row);
    });
    context.server.AddHandler("korva.updater.query_status", [](const ServiceCall&) {
        CDictionary row;
        row["updater_active"] = 0;
        return ServiceAnswer::Row("status", row);
    });
}

}  // namespace korvad
