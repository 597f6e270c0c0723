#include "filter_fixture.h"

#include <kit/debug_output.h>

#include <cstring>

namespace {

using nftest::Bytes;
using nftest::FilterFixture;
using nftest::Text;

std::vector<std::uint8_t> Html(const std::string& body)
{
    return Bytes(nftest::kHtmlHead + body);
}

std::string Filler(std::size_t n)
{
    std::string s;
    while (s.size() < n)
        s += "<p>some ordinary text</p>\n";
    return s.substr(0, n);
}

// ---- Plug-in information and host context ---------------------------------------

TEST(HazardFilterInfo, FillsTheBlock)
{
    hazard::HazardFilter filter;
    EXPECT_EQ(filter.GetPluginInfo(nullptr), KELM_FILTER_INVALID_PARAMETER);
    FilterPluginInfo info;
    std::memset(&info, 0x55, sizeof info);
    ASSERT_EQ(filter.GetPluginInfo(&info), 0);
    EXPECT_EQ(info.reserved, 0x55555555u);
    EXPECT_EQ(std::string(info.name), "KelmHazardFilter");
    EXPECT_EQ(info.name[16], '\0');
    EXPECT_EQ(info.name[17], 0x55);  // 16 characters and the NUL, nothing more
    EXPECT_EQ(std::strlen(info.vendor) + 1, 38u);
    EXPECT_EQ(info.vendor[38], 0x55);
    EXPECT_EQ(info.version, 0x0207037Cu);
    EXPECT_EQ(info.build, 2308u);
}

TEST_F(FilterFixture, ContextWithoutSiteDatabasePathIsRejectedAndTrafficPasses)
{
    nftest::WriteFile(path, nftest::DetectionFile(nftest::kTestSignatures));
    host.SetDetectionPath(path);
    host.context.siteDatabasePath[0] = '\0';
    filter.InitPlugin();
    filter.InitPlugin2(&host.context);
    EXPECT_EQ(filter.HostContext(), nullptr);
    EXPECT_FALSE(filter.Database());  // no path was ever copied
    auto response = Html("block-me-now");
    EXPECT_EQ(Receive(1, response.data(), response.size()), 0);
}

TEST_F(FilterFixture, ContextMissingACallbackIsRejected)
{
    host.context.SettingsChanged = nullptr;
    filter.InitPlugin2(&host.context);
    EXPECT_EQ(filter.HostContext(), nullptr);
}

// ---- Stream splitting ----------------------------------------------------------------

class StreamSplit : public FilterFixture, public ::testing::WithParamInterface<std::size_t> {};

// The receive (0 = the head) that holds byte AT when the body comes PIECE
// bytes at a time after a first receive of HEAD bytes.
int ReceiveOf(std::size_t at, std::size_t head, std::size_t piece)
{
    return at < head ? 0 : 1 + static_cast<int>((at - head) / piece);
}

TEST_P(StreamSplit, DisarmsOnlyTheBytesOfTheReceiveThatCompletesTheSignature)
{
    Start();
    const std::size_t piece = GetParam();
    const std::string head = nftest::kHtmlHead;
    const std::string body = Filler(300) + "disarm-me-please" + Filler(300);
    auto response = Bytes(head + body);
    const std::size_t start = head.size() + 300;
    const std::size_t end = start + 16;

    ASSERT_EQ(Request(7), 0);
    EXPECT_EQ(Deliver(7, response, head.size(), piece).first, 0);

    std::string expected = head + body;
    if (piece >= hazard::kMinScannedBytes) {
        const int completing = ReceiveOf(end - 1, head.size(), piece);
        for (std::size_t i = start; i < end; ++i) {
            if (ReceiveOf(i, head.size(), piece) == completing)
                expected[i] = 'X';
        }
        ASSERT_EQ(host.DetectionCount(), 1u);
        EXPECT_EQ(host.Detections()[0].detectionId, 0x10u);
        EXPECT_EQ(host.Detections()[0].actionLevel, 1u);
    } else {
        EXPECT_EQ(host.DetectionCount(), 0u);  // receives under 8 bytes are not scanned
    }
    EXPECT_EQ(Text(response), expected);
}

TEST_P(StreamSplit, BlocksAtTheReceiveThatCompletesTheSignature)
{
    Start();
    const std::size_t piece = GetParam();
    const std::string head = nftest::kHtmlHead;
    auto response = Bytes(head + Filler(500) + "block-me-now" + Filler(40));
    const std::size_t last = head.size() + 500 + 11;

    ASSERT_EQ(Request(8), 0);
    const auto [verdict, index] = Deliver(8, response, head.size(), piece);
    if (piece >= hazard::kMinScannedBytes) {
        EXPECT_EQ(verdict, KELM_FILTER_BLOCKED);
        EXPECT_EQ(index, ReceiveOf(last, head.size(), piece));
        EXPECT_EQ(host.Context(8).stateFlags & KELM_SOCKET_BLOCK_MASK, KELM_SOCKET_BLOCKED_AS_EXPLOIT);
    } else {
        EXPECT_EQ(verdict, 0);
    }
}

TEST_P(StreamSplit, FindsAnEscapedSignatureInTheNormalisedPass)
{
    Start();
    const std::size_t piece = GetParam();
    const std::string head = nftest::kHtmlHead;
    // "block-me-now" written with %XX and %uXXXX escapes and a line break.
    const std::string escaped = "%62lock-%u006De-n\r\n%6Fw";
    auto response = Bytes(head + Filler(200) + escaped + Filler(100));
    ASSERT_EQ(Request(9), 0);
    const auto [verdict, index] = Deliver(9, response, head.size(), piece);
    EXPECT_EQ(verdict, piece >= hazard::kMinScannedBytes ? KELM_FILTER_BLOCKED : 0);
    EXPECT_EQ(Text(response).find('X'), std::string::npos);  // never overwritten
}

INSTANTIATE_TEST_SUITE_P(Pieces, StreamSplit,
                         ::testing::Values(1, 2, 3, 5, 7, 8, 9, 13, 16, 17, 31, 64, 255, 256, 257, 100000));

// ---- Gzip bodies ---------------------------------------------------------------------

class GzipSplit : public FilterFixture, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(GzipSplit, SignatureInAGzipHtmlBodyBlocksWhateverTheSplit)
{
    Start();
    const std::string head = nftest::kGzipHtmlHead;
    const auto body = nftest::Gzip(Filler(20000) + "block-me-now" + Filler(20000));
    auto response = Bytes(head);
    response.insert(response.end(), body.begin(), body.end());
    ASSERT_EQ(Request(11), 0);
    // The first receive holds the head and the gzip member header.
    EXPECT_EQ(Deliver(11, response, head.size() + 20, GetParam()).first, KELM_FILTER_BLOCKED);
}

INSTANTIATE_TEST_SUITE_P(Pieces, GzipSplit, ::testing::Values(8, 9, 13, 64, 1000, 100000));

TEST_F(FilterFixture, DisarmableSignatureInGzipHtmlIsBlockedNeverOverwritten)
{
    Start();
    const auto body = nftest::Gzip("<html>block-but-disarm</html>");
    auto response = Bytes(nftest::kGzipHtmlHead);
    response.insert(response.end(), body.begin(), body.end());
    const auto before = response;
    ASSERT_EQ(Request(12), 0);
    EXPECT_EQ(Receive(12, response.data(), response.size()), KELM_FILTER_BLOCKED);
    EXPECT_EQ(response, before);
}

TEST_F(FilterFixture, GzipWithoutHtmlTypeIsScannedRaw)
{
    Start();
    const auto body = nftest::Gzip("block-me-now and more text to make it longer");
    auto response = Bytes("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n\r\n");
    response.insert(response.end(), body.begin(), body.end());
    ASSERT_EQ(Request(13), 0);
    EXPECT_EQ(Receive(13, response.data(), response.size()), 0);  // the raw bytes are compressed
}

TEST_F(FilterFixture, GzipHtmlWithoutMagicIsDemotedToRaw)
{
    Start();
    auto response = Bytes(std::string(nftest::kGzipHtmlHead) + "plain block-me-now");
    ASSERT_EQ(Request(14), 0);
    // "block-me-now" applies to HTTP HTML only; the demoted stream has
    // neither class, so only class-free signatures still apply.
    EXPECT_EQ(Receive(14, response.data(), response.size()), 0);
    auto more = Bytes("then anystream-sig arrives");
    EXPECT_EQ(Receive(14, more.data(), more.size()), KELM_FILTER_BLOCKED);
}

TEST_F(FilterFixture, GzipBombIsInflatedOnlyUpToTheCapAndTheRestPasses)
{
    Start();
    const auto bomb = nftest::Gzip(std::string(64u << 20, '\0'));  // 64 MB of zeros
    ASSERT_LT(bomb.size(), hazard::kMaxScannedBytes);
    auto response = Bytes(nftest::kGzipHtmlHead);
    response.insert(response.end(), bomb.begin(), bomb.end());
    ASSERT_EQ(Request(15), 0);
    EXPECT_EQ(Receive(15, response.data(), response.size()), 0);
    auto later = Bytes("block-me-now after the bomb");
    EXPECT_EQ(Receive(15, later.data(), later.size()), 0);  // the stream is no longer scanned
    // The next request starts afresh.
    ASSERT_EQ(Request(15), 0);
    auto plain = Html("block-me-now");
    EXPECT_EQ(Receive(15, plain.data(), plain.size()), KELM_FILTER_BLOCKED);
}

// ---- Receives that are not scanned -----------------------------------------------------

TEST_F(FilterFixture, ShortHugeAndManyBufferReceivesPassUnscanned)
{
    Start();
    ASSERT_EQ(Request(20), 0);
    auto head = Bytes(nftest::kHtmlHead);
    ASSERT_EQ(Receive(20, head.data(), head.size()), 0);

    auto seven = Bytes("anystre");
    EXPECT_EQ(Receive(20, seven.data(), seven.size()), 0);

    std::vector<std::uint8_t> huge(hazard::kMaxScannedBytes + 1, 'a');
    std::memcpy(huge.data() + 1000, "block-me-now", 12);
    EXPECT_EQ(Receive(20, huge.data(), huge.size()), 0);

    std::string parts[5] = {"xx block", "-me-now ", "tail....", "more....", "end....."};
    FilterBuffer five[5];
    for (int i = 0; i < 5; ++i)
        five[i] = FilterBuffer{8, parts[i].data()};
    EXPECT_EQ(filter.Recv(20, five, 5, 40, &remote), 0);
    // The same bytes in four buffers are scanned; the view joins them.
    EXPECT_EQ(filter.Recv(20, five, 4, 32, &remote), KELM_FILTER_BLOCKED);
}

TEST_F(FilterFixture, ExploitSettingOffPassesEverything)
{
    Start();
    host.context.exploitFilterSetting = 0;
    ASSERT_EQ(Request(21), 0);
    auto response = Html("block-me-now");
    EXPECT_EQ(Receive(21, response.data(), response.size()), 0);
    EXPECT_EQ(host.checkDataCalls.load(), 0);
}

// ---- The legacy user agent ------------------------------------------------------------------

constexpr const char* kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1;";

TEST_F(FilterFixture, AgentMarker1813IsRewrittenInACopyAndTheResponseIsNotScanned)
{
    Start();
    const std::string request = std::string("GET / HTTP/1.1\r\nUser-Agent: ") + kAgent + "1813)\r\n\r\n";
    const std::string original = request;
    FilterBuffer buffer{static_cast<std::uint32_t>(request.size()), const_cast<char*>(request.data())};
    ASSERT_EQ(filter.Send(30, &buffer, 1, buffer.len), 0);
    EXPECT_EQ(request, original);  // the caller's bytes are untouched
    ASSERT_NE(buffer.buf, request.data());
    const std::string sent(buffer.buf, buffer.len);
    EXPECT_EQ(sent, std::string("GET / HTTP/1.1\r\nUser-Agent: ") + kAgent + " SV1)\r\n\r\n");

    auto response = Html("block-me-now");
    EXPECT_EQ(Receive(30, response.data(), response.size()), 0);
}

TEST_F(FilterFixture, OtherAgentMarkersAndMarkersPastTheByteCountAreLeftAlone)
{
    Start();
    for (const std::string tail : {"1814)", "181", "zzzz"}) {
        std::string request = std::string("GET / HTTP/1.1\r\nUser-Agent: ") + kAgent + tail;
        FilterBuffer buffer{static_cast<std::uint32_t>(request.size()), request.data()};
        ASSERT_EQ(filter.Send(31, &buffer, 1, buffer.len), 0);
        EXPECT_EQ(buffer.buf, request.data()) << tail;
        auto response = Html("block-me-now");
        EXPECT_EQ(Receive(31, response.data(), response.size()), KELM_FILTER_BLOCKED) << tail;
    }
    // The marker lies in the buffer but past the bytes being sent.
    std::string request = std::string("GET / HTTP/1.1\r\nUser-Agent: ") + kAgent + "1813";
    FilterBuffer buffer{static_cast<std::uint32_t>(request.size()), request.data()};
    ASSERT_EQ(filter.Send(32, &buffer, 1, buffer.len - 2), 0);
    EXPECT_EQ(buffer.buf, request.data());
}

// ---- Reports ---------------------------------------------------------------------------------

TEST_F(FilterFixture, DetectionRecordCarriesTheContextAndBlockKeepsItsKind)
{
    Start();
    SocketContext& context = host.Context(40);
    context.detectionValue = 0xABCD1234;
    context.stateFlags = KELM_SOCKET_CONNECTED | KELM_SOCKET_BLOCKED_BY_SITE_LIST;
    ASSERT_EQ(Request(40), 0);
    auto response = Html("block-me-now");
    EXPECT_EQ(Receive(40, response.data(), response.size()), KELM_FILTER_BLOCKED);

    ASSERT_EQ(host.DetectionCount(), 1u);
    const FilterDetectionRecord record = host.Detections()[0];
    EXPECT_EQ(record.size, sizeof(FilterDetectionRecord));
    EXPECT_EQ(record.detectionId, 0x20u);
    EXPECT_EQ(record.actionLevel, 3u);
    EXPECT_EQ(record.connectionReference, &context.connectionReference);
    EXPECT_EQ(record.unused[0] | record.unused[1] | record.unused[2] | record.unused[3], 0u);
    EXPECT_EQ(record.detectionValue, 0xABCD1234u);
    EXPECT_EQ(record.reserved, 0u);
    // The kind is exactly "exploit": the earlier site-list bit did not stay.
    EXPECT_EQ(context.stateFlags, KELM_SOCKET_CONNECTED | KELM_SOCKET_BLOCKED_AS_EXPLOIT);
}

TEST_F(FilterFixture, HostTurningTheBlockFlagOffLetsTheReceivePass)
{
    Start();
    host.reportAnswer = 0;
    ASSERT_EQ(Request(41), 0);
    auto response = Html("block-me-now");
    EXPECT_EQ(Receive(41, response.data(), response.size()), 0);
    EXPECT_EQ(host.Context(41).stateFlags, 0u);
}

TEST_F(FilterFixture, HostBlockingADisarmableDetectionStillDisarmsAndPasses)
{
    Start();
    ASSERT_EQ(Request(42), 0);
    auto response = Html("..block-but-disarm..");
    EXPECT_EQ(Receive(42, response.data(), response.size()), 0);
    EXPECT_NE(Text(response).find("..XXXXXXXXXXXXXXXX.."), std::string::npos);
}

TEST_F(FilterFixture, SameExploitFromTheSameAddressWithinThreeSecondsIsReportedOnce)
{
    Start();
    host.reportAnswer = 1;
    for (KelmSocket socket : {50, 51}) {
        ASSERT_EQ(Request(socket), 0);
        auto response = Html("report-only-sig");
        EXPECT_EQ(Receive(socket, response.data(), response.size()), KELM_FILTER_BLOCKED) << socket;
        now += 1000;
    }
    EXPECT_EQ(host.DetectionCount(), 1u);
    // The repeat was blocked as the first one was, and its context marked.
    EXPECT_EQ(host.Context(51).stateFlags & KELM_SOCKET_BLOCK_MASK, KELM_SOCKET_BLOCKED_AS_EXPLOIT);

    now += 3000;
    ASSERT_EQ(Request(52), 0);
    auto again = Html("report-only-sig");
    Receive(52, again.data(), again.size());
    EXPECT_EQ(host.DetectionCount(), 2u);

    remote = nftest::Address(0x0A000002, 80);  // another address: a new report at once
    ASSERT_EQ(Request(53), 0);
    auto other = Html("report-only-sig");
    Receive(53, other.data(), other.size());
    EXPECT_EQ(host.DetectionCount(), 3u);
}

TEST_F(FilterFixture, HitInsideTheCarriedBytesIsNotReportedAgain)
{
    Start();
    ASSERT_EQ(Request(60), 0);
    auto response = Html("text report-only-sig text");
    EXPECT_EQ(Receive(60, response.data(), response.size()), 0);
    ASSERT_EQ(host.DetectionCount(), 1u);
    now += 10000;  // past the repeat window: only the carry-over rule can keep it quiet
    auto more = Bytes("just more ordinary text");
    EXPECT_EQ(Receive(60, more.data(), more.size()), 0);
    EXPECT_EQ(host.DetectionCount(), 1u);
}

TEST_F(FilterFixture, NoSocketContextMeansNoReportAndBlockOnlyForActionThree)
{
    Start();
    host.WithoutContext(61);
    ASSERT_EQ(Request(61), 0);
    auto blocking = Html("block-me-now");
    EXPECT_EQ(Receive(61, blocking.data(), blocking.size()), KELM_FILTER_BLOCKED);
    ASSERT_EQ(Request(61), 0);
    auto reportOnly = Html("report-only-sig");
    EXPECT_EQ(Receive(61, reportOnly.data(), reportOnly.size()), 0);
    EXPECT_EQ(host.DetectionCount(), 0u);
}

TEST_F(FilterFixture, HostVerdictOnTheFirstReceiveBlocks)
{
    Start();
    host.checkVerdict = 1;
    host.Context(62).stateFlags = KELM_SOCKET_CONNECTED | KELM_SOCKET_BLOCKED_AS_EXPLOIT;
    ASSERT_EQ(Request(62), 0);
    auto response = Html("nothing here");
    EXPECT_EQ(Receive(62, response.data(), response.size()), KELM_FILTER_BLOCKED);
    EXPECT_EQ(host.Context(62).stateFlags, KELM_SOCKET_CONNECTED | KELM_SOCKET_BLOCKED_BY_HOST);
    EXPECT_EQ(host.checkDataCalls.load(), 1);
}

TEST_F(FilterFixture, SettingsChangedDuringTheCheckAreReported)
{
    Start();
    host.flipSettingDuringCheck = true;
    ASSERT_EQ(Request(63), 0);
    auto response = Html("nothing here");
    EXPECT_EQ(Receive(63, response.data(), response.size()), 0);
    EXPECT_EQ(host.settingsChangedCalls.load(), 1);
}

// ---- Groups and auxiliary members -------------------------------------------------------------

TEST_F(FilterFixture, OrderedGroupCompletesInOrderAcrossReceives)
{
    Start();
    ASSERT_EQ(Request(70), 0);
    auto head = Html("group-one ...");
    EXPECT_EQ(Receive(70, head.data(), head.size()), 0);
    auto two = Bytes(Filler(300) + "group-two");
    EXPECT_EQ(Receive(70, two.data(), two.size()), 0);
    auto three = Bytes(Filler(300) + "group-three");
    EXPECT_EQ(Receive(70, three.data(), three.size()), KELM_FILTER_BLOCKED);
    ASSERT_EQ(host.DetectionCount(), 1u);
    EXPECT_EQ(host.Detections()[0].detectionId, 0x40u);
}

TEST_F(FilterFixture, OrderedGroupOutOfOrderDoesNotComplete)
{
    Start();
    ASSERT_EQ(Request(71), 0);
    // The line breaks make the normalised pass see the members a second
    // time; it must not advance the group with them again.
    auto response = Html("group-two group-one " + Filler(300) + " group-three");
    EXPECT_EQ(Receive(71, response.data(), response.size()), 0);
    // A new request starts the group afresh.
    ASSERT_EQ(Request(71), 0);
    auto ordered = Html("group-one group-two group-three");
    EXPECT_EQ(Receive(71, ordered.data(), ordered.size()), KELM_FILTER_BLOCKED);
}

TEST_F(FilterFixture, UnorderedGroupCompletesInAnyOrder)
{
    Start();
    ASSERT_EQ(Request(72), 0);
    auto first = Html("uno-gamma uno-alpha");
    EXPECT_EQ(Receive(72, first.data(), first.size()), 0);
    auto second = Bytes(Filler(300) + "uno-beta");
    EXPECT_EQ(Receive(72, second.data(), second.size()), KELM_FILTER_BLOCKED);
}

TEST_F(FilterFixture, AuxiliaryHitLendsItsFlagsButIsNeverReportedAlone)
{
    Start();
    ASSERT_EQ(Request(73), 0);
    auto alone = Html("aux-boost only");
    EXPECT_EQ(Receive(73, alone.data(), alone.size()), 0);
    EXPECT_EQ(host.DetectionCount(), 0u);

    ASSERT_EQ(Request(73), 0);
    auto both = Html("aux-base then aux-boost");
    EXPECT_EQ(Receive(73, both.data(), both.size()), KELM_FILTER_BLOCKED);
    ASSERT_EQ(host.DetectionCount(), 1u);
    EXPECT_EQ(host.Detections()[0].actionLevel, 3u);
}

TEST_F(FilterFixture, UnorderedGroupIgnoresSubIdentifiersOutsideItsMask)
{
    Start(R"(
0x90 1 block|group|http|html "mask-one"
0x90 2 block|group|http|html "mask-two"
0x90 40 block|group|http|html "mask-forty"
0x90 33 block|group|http|html "mask-thirty-three"
)");
    ASSERT_EQ(Request(74), 0);
    auto response = Html("mask-forty mask-thirty-three mask-one");
    EXPECT_EQ(Receive(74, response.data(), response.size()), 0);
    auto rest = Bytes(Filler(300) + "mask-two");
    // Four members expect the mask 0xF; sub-identifiers 33 and 40 cannot set
    // a bit of it, so the group never completes.
    EXPECT_EQ(Receive(74, rest.data(), rest.size()), 0);
}

// ---- Database reloads --------------------------------------------------------------------------

TEST_F(FilterFixture, NewerDatabaseTimeReloadsAndAFailedReloadKeepsTheOldTable)
{
    std::vector<std::string> debug;
    auto previous = nfkit::SetDebugOutputHandler([&](std::string_view t) { debug.emplace_back(t); });
    GMCTraceLog* trace = new GMCTraceLog(4, "");
    filter.SetTrace(trace);  // before InitPlugin: the test keeps it
    Start();
    auto old = filter.Database();

    nftest::WriteFile(path, nftest::DetectionFile(R"(0x99 1 block|http|html "fresh-signature")"));
    host.databaseTime = now + 10;
    now += 20;
    ASSERT_EQ(Request(80), 0);
    auto response = Html("fresh-signature");
    EXPECT_EQ(Receive(80, response.data(), response.size()), KELM_FILTER_BLOCKED);
    EXPECT_NE(filter.Database(), old);

    nftest::WriteFile(path, {0x01, 0x88, 0xEE, 0xFF, 0});  // truncated: -2
    host.databaseTime = now + 10;
    now += 20;
    ASSERT_EQ(Request(81), 0);
    auto again = Html("fresh-signature");
    EXPECT_EQ(Receive(81, again.data(), again.size()), KELM_FILTER_BLOCKED);
    bool keptTraced = false;
    for (const auto& line : debug)
        keptTraced |= line.find("keeping the 1 detections") != std::string::npos;
    EXPECT_TRUE(keptTraced);
    filter.TermPlugin();
    delete trace;
    nfkit::SetDebugOutputHandler(std::move(previous));
}

TEST_F(FilterFixture, NoDatabaseMeansNothingIsScannedOrAsked)
{
    host.SetDetectionPath((root.path() / "missing.dat").string());
    filter.InitPlugin();
    filter.InitPlugin2(&host.context);
    EXPECT_FALSE(filter.Database());
    ASSERT_EQ(Request(82), 0);
    auto response = Html("block-me-now");
    EXPECT_EQ(Receive(82, response.data(), response.size()), 0);
    EXPECT_EQ(host.checkDataCalls.load(), 0);
}

TEST_F(FilterFixture, CloseDropsTheSocketState)
{
    Start();
    ASSERT_EQ(Request(90), 0);
    ASSERT_EQ(Request(91), 0);
    EXPECT_EQ(filter.SocketStateCount(), 2u);
    EXPECT_EQ(filter.CloseSocket(90), 0);
    EXPECT_EQ(filter.SocketStateCount(), 1u);
    EXPECT_EQ(filter.TermPlugin(), 0);
    EXPECT_EQ(filter.SocketStateCount(), 0u);
    EXPECT_FALSE(filter.Database());
}

}  // namespace
