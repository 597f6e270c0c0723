// Runs the real qvbeacon against a local HTTP server and reads what it
// recorded in the registry. Each test has its own state root.
#include <gtest/gtest.h>

#include <ostream>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include "local_http_server.h"
#include "tracking_record.h"
#include "win/registry.h"
#include "win/state_root.h"

#ifndef QVBEACON_PATH
#error "QVBEACON_PATH must name the built qvbeacon"
#endif

namespace beacon {
namespace {

using testsupport::LocalHttpServer;

class BeaconProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        qputenv(win::kStateRootVariable, m_root.path().toUtf8());
    }
    void TearDown() override { qunsetenv(win::kStateRootVariable); }

    // Runs qvbeacon with ARGS; returns its exit code (-1 when it did not end).
    int Run(const QStringList& args, int timeoutMs = 60000)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(win::kStateRootVariable, m_root.path());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(QVBEACON_PATH), args);
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        m_stderr = QString::fromUtf8(process.readAllStandardError());
        return process.exitCode();
    }

    win::RegKey TrackingKey()
    {
        win::RegKey key;
        EXPECT_EQ(win::RegKey::Create(win::Hive::LocalMachine, kTrackingKey, key), win::ERROR_SUCCESS);
        return key;
    }

    // The recorded value, or -1 when there is none.
    long Recorded(const char* valueName)
    {
        win::DWORD value = 0;
        if (TrackingKey().QueryDword(valueName, value) != win::ERROR_SUCCESS)
            return -1;
        return static_cast<long>(value);
    }

    void SetDefaultServer(const std::string& address) { TrackingKey().SetString(kServerValue, address); }

    QTemporaryDir m_root;
    QString m_stderr;
};

TEST_F(BeaconProcess, FirstRunWithoutArgumentsLoadsDefaultServerAndRecordsOne)
{
    LocalHttpServer server;
    SetDefaultServer(server.baseUrl());
    ASSERT_EQ(Run({}), 0) << m_stderr.toStdString();
    ASSERT_FALSE(server.targets().empty());
    EXPECT_EQ(server.targets().front(), "/director/?type=FIRST_RUN_APP");
    EXPECT_EQ(Recorded("qvinit_tps"), 1);
}

struct FailureCase {
    const char* name;
    friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }
    int status;  // 0: nothing listens on the port
};

class BeaconFailure : public BeaconProcess, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(BeaconFailure, RecordsZeroAndRetriesNextTime)
{
    std::string site;
    std::unique_ptr<LocalHttpServer> server;
    if (GetParam().status == 0) {
        site = "http://127.0.0.1:" + std::to_string(LocalHttpServer::UnusedPort());
    } else {
        server = std::make_unique<LocalHttpServer>(GetParam().status);
        site = server->baseUrl();
    }
    const QStringList args{QString::fromStdString("qvsite:" + site), "qvtrackpoint:2"};
    ASSERT_EQ(Run(args), 0) << m_stderr.toStdString();
    EXPECT_EQ(Recorded("msi_tps"), 0) << m_stderr.toStdString();

    // A failed report is tried again on the next start.
    if (server) {
        const std::size_t before = server->targets().size();
        ASSERT_EQ(Run(args), 0);
        EXPECT_GT(server->targets().size(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BeaconFailure,
                         ::testing::Values(FailureCase{"NotFound", 404}, FailureCase{"ServerError", 500},
                                           FailureCase{"ConnectionRefused", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BeaconProcess, AlreadyReportedTrackPointLoadsNothing)
{
    LocalHttpServer server;
    TrackingKey().SetDword("qv_scan_tps", 1);
    ASSERT_EQ(Run({QString::fromStdString("qvsite:" + server.baseUrl()), "qvtrackpoint:4", "qvitem:3"}), 0);
    EXPECT_TRUE(server.targets().empty());
    EXPECT_EQ(Recorded("qv_scan_tps"), 1);
}

TEST_F(BeaconProcess, ServerThatNeverAnswersIsRecordedAsFailedAfterTimeout)
{
    LocalHttpServer server(200, LocalHttpServer::Mode::Silent);
    TrackingKey().SetDword(kTimeoutValue, 2);
    ASSERT_EQ(Run({QString::fromStdString("qvsite:" + server.baseUrl()), "qvtrackpoint:1"}, 30000), 0)
        << m_stderr.toStdString();
    EXPECT_EQ(Recorded("stub_installer_tps"), 0);
}

TEST_F(BeaconProcess, OverlongArgumentsAreRefusedAndNothingLoads)
{
    LocalHttpServer server;
    const QString item = QStringLiteral("qvitem:") + QString(600, QLatin1Char('7'));
    EXPECT_EQ(Run({QString::fromStdString("qvsite:" + server.baseUrl()), "qvtrackpoint:4", item}), 2);
    EXPECT_TRUE(m_stderr.contains("longer than 519")) << m_stderr.toStdString();
    EXPECT_TRUE(server.targets().empty());
    EXPECT_EQ(Recorded("qv_scan_tps"), -1);
}

struct AddressCase {
    const char* name;
    friend void PrintTo(const AddressCase& c, std::ostream* os) { *os << c.name; }
    QStringList args;  // qvsite: is added
    const char* expectedTarget;
    const char* expectedValue;
};

class BeaconAddressOnWire : public BeaconProcess, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(BeaconAddressOnWire, RequestsTheAddressAndRecordsTheTrackPoint)
{
    LocalHttpServer server;
    QStringList args = GetParam().args;
    args.prepend(QString::fromStdString("qvsite:" + server.baseUrl()));
    ASSERT_EQ(Run(args), 0) << m_stderr.toStdString();
    ASSERT_FALSE(server.targets().empty());
    EXPECT_EQ(server.targets().front(), GetParam().expectedTarget);
    EXPECT_EQ(Recorded(GetParam().expectedValue), 1) << m_stderr.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BeaconAddressOnWire,
    ::testing::Values(
        AddressCase{"ScanWithItemAndKey", {"qvtrackpoint:4", "qvitem:12", "qvinstancekey:K1"},
                    "/app/SCAN_TRACKING.do?itemcount=12&ik=K1", "qv_scan_tps"},
        AddressCase{"ScanWithKeyOnly", {"qvtrackpoint:4", "qvinstancekey:K1"}, "/app/SCAN_TRACKING.do&ik=K1",
                    "qv_scan_tps"},
        AddressCase{"TrackPoint27IsMsi", {"qvtrackpoint:27"}, "/app/qv-msi.do", "msi_tps"},
        AddressCase{"PageReplacesPathValueFollowsTrackPoint", {"qvtrackpoint:1", "qvpage:/landing?x=1"},
                    "/landing?x=1", "stub_installer_tps"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace beacon
