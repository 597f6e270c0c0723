#include "tracking_address.h"

#include <array>

namespace beacon {
namespace {

const std::array<TrackPoint, 4> kTrackPoints{{
    {'1', "/app/qv-stub.do", "stub_installer_tps"},
    {'2', "/app/qv-msi.do", "msi_tps"},
    {'3', "/director/?type=FIRST_RUN_APP", "qvinit_tps"},
    {'4', "/app/SCAN_TRACKING.do", "qv_scan_tps"},
}};

}  // namespace

const TrackPoint& TrackPointFor(const std::optional<std::string>& value)
{
    const char code = (value && !value->empty()) ? value->front() : '3';
    for (const TrackPoint& point : kTrackPoints) {
        if (point.code == code)
            return point;
    }
    return kTrackPoints[2];
}

std::optional<std::string> BuildTrackingAddress(const BeaconArguments& args, const std::string& defaultSite)
{
    const TrackPoint& point = TrackPointFor(args.trackPoint);
    std::string address = args.site ? *args.site : defaultSite;
    address += args.page ? *args.page : std::string(point.defaultPath);
    if (point.code == '4') {
        if (args.item)
            address += "?itemcount=" + *args.item;
        if (args.instanceKey)
            address += "&ik=" + *args.instanceKey;
    }
    if (address.size() > kMaxAddressLength)
        return std::nullopt;
    return address;
}

}  // namespace beacon
