// What the results pages ask of the service: their queries and the one
// setting they read with the typed accessor. Behind an interface so the
// loaders can be tested against a recording stand-in of the service.
#pragma once

#include <cstdint>
#include <string>

#include "console_services.h"
#include "servicelink/msg_results.h"

class IResultsService {
public:
    virtual ~IResultsService() = default;
    // Sends NAME with VALUES and waits for the answer.
    virtual CMsgResults Query(const std::string& name, const NamedValues& values = {}) = 0;
    // A time setting of the settings table by number; false when it cannot
    // be read.
    virtual bool ReadTime(int setting, std::int64_t& value) = 0;
};

// The service on the bus.
class CBusResultsService : public IResultsService {
public:
    CMsgResults Query(const std::string& name, const NamedValues& values = {}) override;
    bool ReadTime(int setting, std::int64_t& value) override;

    // One shared instance for documents that are given none.
    static CBusResultsService& Instance();
};
