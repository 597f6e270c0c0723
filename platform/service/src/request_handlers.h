// korvad answers requests from a table of handlers. Each area of the service
// adds its handlers in its own file through one Register function, so a new
// area (scanner, quarantine, popups...) is a new file and one line in
// main.cpp.
#pragma once

#include <string>

#include "bus/bus_server.h"

namespace korvad {

class CompanionLauncher;
class ConfigStore;
class Quarantine;
class QuarantineStore;
class ScannerService;
class ServiceDatabase;
struct Definitions;

struct ServiceContext {
    bus::BusServer& server;
    ConfigStore& config;
    CompanionLauncher& launcher;
    std::string version;
};

void RegisterConfigHandlers(ServiceContext& context);
void RegisterScannerHandlers(ServiceContext& context, ScannerService& scanner, const Definitions& definitions);
void RegisterQuarantineHandlers(ServiceContext& context, QuarantineStore& store, Quarantine& quarantine);
void RegisterServiceHandlers(ServiceContext& context);
void RegisterBrowserHandlers(ServiceContext& context);
void RegisterPopupHandlers(ServiceContext& context, ServiceDatabase& database);

// The name korvad sends when a configuration value changes.
inline constexpr const char* kConfigNotification = "korva.config.notify";

}  // namespace korvad
