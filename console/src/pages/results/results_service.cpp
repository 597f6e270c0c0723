#include "results_service.h"

#include "config_accessor.h"
#include "servicelink/msg_request.h"

CMsgResults CBusResultsService::Query(const std::string& name, const NamedValues& values)
{
    CMsgRequest request(0);
    for (const auto& [key, value] : values)
        request[key] = value;
    return request.Execute(name);
}

bool CBusResultsService::ReadTime(int setting, std::int64_t& value)
{
    CServiceConfigAccessor accessor;
    return accessor.ReadTime(setting, value);
}

CBusResultsService& CBusResultsService::Instance()
{
    static CBusResultsService service;
    return service;
}
