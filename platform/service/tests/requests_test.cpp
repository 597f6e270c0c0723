// korvad's request handling over a real bus: round trips, errors for bad
// input, and a service that dies or stalls mid-call.
#include <QDBusArgument>
#include <chrono>
#include <future>
#include <sys/wait.h>
#include <thread>

#include "korvad_fixture.h"
#include "win/event.h"
#include "win/state_root.h"
#include "servicelink/korva_client.h"
#include "servicelink/msg_dispatcher.h"
#include "servicelink/msg_provider.h"

using namespace NKorvaConstants;
using namespace std::chrono_literals;

namespace {

TEST_F(KorvadTest, AnswersVersionAndScannerStatus)
{
    CMsgRequest request(0);
    const CMsgResults version = request.Execute("korva.service.get_version");
    ASSERT_TRUE(version.Succeeded()) << version.GetErrorText();
    EXPECT_FALSE(version.GetCursor()["file_version"].IsEmpty());
    EXPECT_EQ(version.GetCursor()["file_version"].ToString().find('.') != std::string::npos, true);

    const CMsgResults status = request.Execute("korva.scanner.query_status");
    ASSERT_TRUE(status.Succeeded());
    EXPECT_NE(status.GetCursor()["scan_status"].ToString(), "running");
    EXPECT_TRUE(status.GetCursor().HasValue("last_scan_percent"));
}

TEST_F(KorvadTest, NamedValuesAndRowSetsRoundTripThroughANotification)
{
    // send_notification hands the request's values and row sets back to a
    // subscriber, so both directions of the wire carry them.
    struct Catcher : CMsgProvider {
        std::promise<CMsgRequest> got;
        void BuildMap() override
        {
            AddProvider("root:korva.test.echo", [this](CMsgRequest& r) {
                got.set_value(r);
                return true;
            });
        }
    } catcher;
    auto future = catcher.got.get_future();
    ASSERT_TRUE(CMsgDispatcher::Instance().RegisterProvider("qvclient", &catcher, 1));
    CKorvaClient client;
    ASSERT_TRUE(client.Initialize(0));
    ASSERT_TRUE(client.RegisterCallback("korva.test.echo"));

    CMsgRequest request(0);
    request["notification"] = "korva.test.echo";
    request["ctx.id"] = 7;
    request["text"] = "ünïcode & spaces";
    CMsgRowSet rows("popups");
    for (int i = 0; i < 4; ++i) {
        CDictionary row;
        row["id"] = i;
        row["url"] = "host" + std::to_string(i) + ".example/p";
        rows.AddRow(row);
    }
    request.SetExParams(rows);
    const CMsgResults sent = request.Execute("korva.service.send_notification");
    ASSERT_TRUE(sent.Succeeded()) << sent.GetErrorText();
    EXPECT_EQ(sent.GetCursor()["delivered"].ToInteger(), 1);

    ASSERT_EQ(future.wait_for(5s), std::future_status::ready);
    const CMsgRequest got = future.get();
    EXPECT_EQ(got.GetValue("ctx.id").ToInteger(), 7);
    EXPECT_EQ(got.GetValue("text").ToString(), "ünïcode & spaces");
    EXPECT_FALSE(got.HasValue("notification"));
    ASSERT_EQ(got.GetExParams().size(), 1u);
    EXPECT_EQ(got.GetExParams()[0], rows);

    client.TermCallbacks();
    CMsgDispatcher::Instance().DeleteTarget("qvclient");
}

TEST_F(KorvadTest, RefusesToSendItsOwnNotifications)
{
    CMsgRequest request(0);
    request["notification"] = "korva.config.notify";
    EXPECT_EQ(request.Execute("korva.service.send_notification").GetErrorCode(), KORVA_E_NOT_ALLOWED);
    request["notification"] = "korva.test.x";
    request["count"] = 0;
    EXPECT_EQ(request.Execute("korva.service.send_notification").GetErrorCode(), KORVA_E_INVALID_ARGUMENTS);
}

TEST_F(KorvadTest, UnknownRequestAnswersCodeAndText)
{
    const CMsgResults results = CMsgRequest(0).Execute("korva.quarantine.does_not_exist");
    EXPECT_EQ(results.GetErrorCode(), KORVA_E_UNKNOWN_REQUEST);
    EXPECT_EQ(results.GetErrorText(), "unknown request \"korva.quarantine.does_not_exist\"");
}

TEST_F(KorvadTest, MalformedAndOversizedInputGetErrorAnswers)
{
    // Wrong argument types, sent by hand.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(SERVICE_BUS_NAME), QString::fromLatin1(SERVICE_OBJECT_PATH),
        QString::fromLatin1(SERVICE_INTERFACE), QString::fromLatin1(bus::kRequestMethod));
    call << QStringLiteral("korva.service.get_version") << 12;
    const bus::DecodedAnswer wrong = bus::DecodeAnswer(Other().call(call, QDBus::Block, 5000));
    ASSERT_TRUE(wrong.ok) << wrong.error;
    EXPECT_EQ(wrong.code, KORVA_E_INVALID_ARGUMENTS);

    // Bad parameters of a known request.
    CDictionary badSource;
    badSource["path"] = "korva.applications.tavrel.system.options";
    badSource["name"] = "enable_alarm";
    badSource["cfg.source"] = "everyone";
    EXPECT_EQ(OtherRequest("korva.config.get_value", badSource).code, KORVA_E_INVALID_ARGUMENTS);
    CDictionary noPath;
    noPath["name"] = "enable_alarm";
    EXPECT_EQ(OtherRequest("korva.config.get_value", noPath).code, KORVA_E_INVALID_ARGUMENTS);

    // A message over the service's size limit.
    CDictionary huge;
    huge["path"] = "korva.applications.tavrel.system.options";
    huge["name"] = "home_page";
    huge["value"] = std::string(9u << 20, 'x');
    const bus::DecodedAnswer big = OtherRequest("korva.config.set_value", huge);
    ASSERT_TRUE(big.ok) << big.error;
    EXPECT_EQ(big.code, KORVA_E_REQUEST_TOO_LARGE);
    // A value within the message limit but over the store's.
    huge["value"] = std::string(70000, 'x');
    EXPECT_EQ(OtherRequest("korva.config.set_value", huge).code, KORVA_E_INVALID_ARGUMENTS);

    // Still serving.
    EXPECT_TRUE(CMsgRequest(0).Execute("korva.service.get_version").Succeeded());
}

TEST_F(KorvadTest, ServiceKilledMidCallFailsWellWithinTheTimeOut)
{
    m_korvad.Pause();  // the request is queued but never answered
    const auto start = std::chrono::steady_clock::now();
    auto pending = std::async(std::launch::async, [] { return CMsgRequest(0).Execute("korva.service.get_version", 20000); });
    std::this_thread::sleep_for(300ms);
    m_korvad.Kill();
    ASSERT_EQ(pending.wait_for(5s), std::future_status::ready) << "Execute hung after the service died";
    const CMsgResults results = pending.get();
    EXPECT_TRUE(results.Failed());
    EXPECT_EQ(results.GetErrorCode(), KORVA_E_SERVICE_GONE) << results.GetErrorText();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(KorvadTest, StalledServiceFailsAtTheTimeOut)
{
    m_korvad.Pause();
    const auto start = std::chrono::steady_clock::now();
    const CMsgResults results = CMsgRequest(0).Execute("korva.service.get_version", 400);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    m_korvad.Resume();
    EXPECT_EQ(results.GetErrorCode(), KORVA_E_TIMEOUT) << results.GetErrorText();
    EXPECT_GE(elapsed, 350ms);
    EXPECT_LT(elapsed, 3s);
}

TEST_F(KorvadTest, SecondInstanceRefusesToStart)
{
    bus_testing::ChildProcess second;
    ASSERT_TRUE(second.Start(KORVAD_PATH, {}));
    int status = 0;
    ASSERT_TRUE(second.WaitExit(5000, &status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_TRUE(CMsgRequest(0).Execute("korva.service.get_version").Succeeded());
}

}  // namespace

namespace {

// Other processes tell a running service by a machine-wide named event that
// exists exactly while korvad lives.
TEST_F(KorvadTest, HoldsTheRunningEventWhileItLives)
{
    qputenv(win::kStateRootVariable, QByteArray::fromStdString(m_state.Path()));
    // korvad creates it right after opening its database, which may follow
    // the moment its bus name appears.
    const auto existsWithin = [](bool expected) {
        for (int i = 0; i < 200; ++i) {
            if (win::Event::Exists("Global\\activated_qvserver") == expected)
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    };
    EXPECT_TRUE(existsWithin(true));
    m_korvad.Kill();
    EXPECT_TRUE(existsWithin(false));
    qunsetenv(win::kStateRootVariable);
}

}  // namespace
