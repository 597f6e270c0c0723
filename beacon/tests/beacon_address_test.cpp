// The beacon's command line and the address it builds, without a browser.
#include <gtest/gtest.h>

#include <ostream>

#include "beacon_arguments.h"
#include "tracking_address.h"
#include "win/command_line.h"

namespace beacon {
namespace {

constexpr const char* kSite = "http://tracking.test";

struct AddressCase {
    const char* name;
    friend void PrintTo(const AddressCase& c, std::ostream* os) { *os << c.name; }
    const char* commandLine;
    const char* expectedAddress;  // nullptr: refused
    const char* expectedValue;
};

class BeaconAddress : public ::testing::TestWithParam<AddressCase> {};

TEST_P(BeaconAddress, BuildsAddressAndNamesRegistryValue)
{
    const AddressCase& c = GetParam();
    const BeaconArguments args = ParseBeaconArguments(win::SplitAtAny(c.commandLine));
    const std::optional<std::string> address = BuildTrackingAddress(args, kSite);
    if (c.expectedAddress == nullptr) {
        EXPECT_FALSE(address.has_value()) << *address;
    } else {
        ASSERT_TRUE(address.has_value());
        EXPECT_EQ(*address, c.expectedAddress);
    }
    EXPECT_STREQ(TrackPointFor(args.trackPoint).registryValue, c.expectedValue);
}

const std::string kLongItem = "qvtrackpoint:4 qvitem:" + std::string(600, '9');

INSTANTIATE_TEST_SUITE_P(
    Cases, BeaconAddress,
    ::testing::Values(
        AddressCase{"NoArguments", "/usr/bin/qvbeacon", "http://tracking.test/director/?type=FIRST_RUN_APP",
                    "qvinit_tps"},
        AddressCase{"ScanWithItemAndKey", "qvbeacon qvtrackpoint:4 qvitem:12 qvinstancekey:K1",
                    "http://tracking.test/app/SCAN_TRACKING.do?itemcount=12&ik=K1", "qv_scan_tps"},
        AddressCase{"ScanWithKeyOnly", "qvbeacon qvtrackpoint:4 qvinstancekey:K1",
                    "http://tracking.test/app/SCAN_TRACKING.do&ik=K1", "qv_scan_tps"},
        AddressCase{"ScanWithItemOnly", "qvbeacon qvtrackpoint:4 qvitem:3",
                    "http://tracking.test/app/SCAN_TRACKING.do?itemcount=3", "qv_scan_tps"},
        AddressCase{"OnlyFirstCharacterCounts", "qvbeacon qvtrackpoint:27", "http://tracking.test/app/qv-msi.do",
                    "msi_tps"},
        AddressCase{"StubInstaller", "qvbeacon qvtrackpoint:1", "http://tracking.test/app/qv-stub.do",
                    "stub_installer_tps"},
        AddressCase{"UnknownTrackPointIsFirstRun", "qvbeacon qvtrackpoint:x",
                    "http://tracking.test/director/?type=FIRST_RUN_APP", "qvinit_tps"},
        AddressCase{"EmptyTrackPointIsFirstRun", "qvbeacon qvtrackpoint:",
                    "http://tracking.test/director/?type=FIRST_RUN_APP", "qvinit_tps"},
        AddressCase{"PageReplacesPathButNotValueName", "qvbeacon qvtrackpoint:1 qvpage:/custom?a=1",
                    "http://tracking.test/custom?a=1", "stub_installer_tps"},
        AddressCase{"ItemIgnoredOutsideScan", "qvbeacon qvtrackpoint:2 qvitem:5 qvinstancekey:K",
                    "http://tracking.test/app/qv-msi.do", "msi_tps"},
        AddressCase{"SiteReplacesServer", "qvbeacon qvsite:http://other:8080 qvtrackpoint:2",
                    "http://other:8080/app/qv-msi.do", "msi_tps"},
        AddressCase{"LaterValueWins", "qvbeacon qvtrackpoint:1 qvtrackpoint:2", "http://tracking.test/app/qv-msi.do",
                    "msi_tps"},
        AddressCase{"TabsAndLineFeedsSeparate", "qvbeacon\tqvtrackpoint:4\nqvinstancekey:K2",
                    "http://tracking.test/app/SCAN_TRACKING.do&ik=K2", "qv_scan_tps"},
        // A prefix only counts at the start of a token: a path or value that
        // merely contains one is not read as that argument.
        AddressCase{"PrefixInsideTokenIgnored", "/opt/qvtrackpoint:4/qvbeacon xqvsite:http://evil",
                    "http://tracking.test/director/?type=FIRST_RUN_APP", "qvinit_tps"},
        AddressCase{"OverlongAddressRefused", kLongItem.c_str(), nullptr, "qv_scan_tps"}),
    [](const ::testing::TestParamInfo<AddressCase>& info) { return std::string(info.param.name); });

TEST(BeaconAddressLimit, AcceptsExactlyTheLongestAddress)
{
    BeaconArguments args;
    args.site = "http://a";
    args.page = "/" + std::string(kMaxAddressLength - 9, 'p');
    ASSERT_EQ(BuildTrackingAddress(args, "").value().size(), kMaxAddressLength);
    args.page->push_back('p');
    EXPECT_FALSE(BuildTrackingAddress(args, "").has_value());
}

}  // namespace
}  // namespace beacon
