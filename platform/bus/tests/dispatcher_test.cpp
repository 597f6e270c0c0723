// Notification delivery: providers on the bus thread, window bindings on the
// window's thread, subscriptions kept in step with the service.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "bus_testing.h"
#include "server_thread.h"
#include "servicelink/korva_client.h"
#include "servicelink/msg_dispatcher.h"
#include "servicelink/msg_provider.h"
#include "servicelink/msg_request.h"

namespace {

using namespace std::chrono_literals;

// Records what it is handed; waits for a count with a deadline.
struct Recorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<CMsgRequest> seen;
    std::vector<QThread*> threads;

    bool Record(CMsgRequest& request)
    {
        std::lock_guard lock(mutex);
        request.SetServed();
        seen.push_back(request);
        threads.push_back(QThread::currentThread());
        changed.notify_all();
        return true;
    }
    bool WaitFor(std::size_t count, std::chrono::milliseconds limit = 5000ms)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return seen.size() >= count; });
    }
    std::size_t Count()
    {
        std::lock_guard lock(mutex);
        return seen.size();
    }
};

class TestProvider : public CMsgProvider {
public:
    explicit TestProvider(Recorder& recorder) : m_recorder(recorder) {}
    void BuildMap() override
    {
        AddProvider("root:test.ping", [this](CMsgRequest& r) { return m_recorder.Record(r); });
    }

private:
    Recorder& m_recorder;
};

class AggregateHandler : public CMsgProvider {
public:
    explicit AggregateHandler(Recorder& recorder) : m_recorder(recorder) {}
    bool OnNotify(CMsgRequest& request) override { return m_recorder.Record(request); }

private:
    Recorder& m_recorder;
};

class Dispatcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        bus_testing::EnsureApplication();
        std::string error;
        ASSERT_TRUE(m_bus.Start(&error)) << error;
        m_server = std::make_unique<ServerThread>([](bus::BusServer&) {});
        ASSERT_TRUE(m_server->Start());
        ASSERT_TRUE(m_client.Initialize(0));
    }
    void TearDown() override
    {
        m_client.TermCallbacks();
        CMsgDispatcher::Instance().DeleteTarget("qvclient");
        CMsgDispatcher::Instance().EnableNotifications(true);
        m_server.reset();
    }

    int Send(const std::string& name, const CDictionary& values, const CMsgRowSets& rowSets = {})
    {
        int sent = 0;
        m_server->Run([&] { sent = m_server->Server().SendNotification(name, values, rowSets); });
        return sent;
    }
    std::size_t Subscribers(const std::string& name)
    {
        std::size_t count = 0;
        m_server->Run([&] { count = m_server->Server().SubscriberCount(name); });
        return count;
    }
    // Runs the main thread's events until PRED holds or the time is up.
    template <typename Pred>
    bool PumpUntil(Pred pred, std::chrono::milliseconds limit = 5000ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!pred() && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(2ms);
        }
        return pred();
    }

    bus_testing::PrivateBus m_bus;
    std::unique_ptr<ServerThread> m_server;
    CKorvaClient m_client;
};

TEST_F(Dispatcher, ProviderGetsSubscribedNotificationOnTheBusThread)
{
    Recorder recorder;
    TestProvider provider(recorder);
    ASSERT_TRUE(CMsgDispatcher::Instance().RegisterProvider("qvclient", &provider, 1));
    ASSERT_TRUE(m_client.RegisterCallback("test.ping"));
    EXPECT_EQ(Subscribers("test.ping"), 1u);

    CDictionary values;
    values["path"] = "korva.applications.tavrel.system.options";
    values["name"] = "enable_alarm";
    values["value"] = "0";
    CMsgRowSet set("values");
    CDictionary row;
    row["show_tray_icon"] = 1;
    set.AddRow(row);
    ASSERT_EQ(Send("test.ping", values, {set}), 1);
    EXPECT_EQ(Send("test.unsubscribed", values), 0);

    ASSERT_TRUE(recorder.WaitFor(1));
    const CMsgRequest& got = recorder.seen[0];
    EXPECT_EQ(got.GetRequestName(), "test.ping");
    EXPECT_EQ(static_cast<const CDictionary&>(got), values);
    ASSERT_EQ(got.GetExParams().size(), 1u);
    EXPECT_EQ(got.GetExParams()[0], set);
    EXPECT_TRUE(got.IsServed());
    EXPECT_NE(recorder.threads[0], QThread::currentThread());

    m_client.TermCallbacks();
    EXPECT_EQ(Subscribers("test.ping"), 0u);
}

TEST_F(Dispatcher, AggregateHandlersAndInactiveProviders)
{
    Recorder active, inactive;
    CMsgProvider outer;
    outer.AddProvider("root:test.agg", std::make_shared<AggregateHandler>(active));
    TestProvider idle(inactive);
    ASSERT_TRUE(CMsgDispatcher::Instance().RegisterProvider("qvclient", &outer, 1));
    ASSERT_TRUE(CMsgDispatcher::Instance().RegisterProvider("qvclient", &idle, 0));
    EXPECT_FALSE(CMsgDispatcher::Instance().RegisterProvider("qvclient", &outer, 1));  // once per target
    ASSERT_TRUE(m_client.RegisterCallback("test.agg"));
    ASSERT_TRUE(m_client.RegisterCallback("test.ping"));
    Send("test.ping", {});
    Send("test.agg", {});
    ASSERT_TRUE(active.WaitFor(1));
    EXPECT_EQ(active.seen[0].GetRequestName(), "test.agg");
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(inactive.Count(), 0u);
}

TEST_F(Dispatcher, DisabledNotificationsAreDroppedAndDeletedTargetsGetNothing)
{
    Recorder recorder;
    TestProvider provider(recorder);
    ASSERT_TRUE(CMsgDispatcher::Instance().RegisterProvider("qvclient", &provider, 1));
    ASSERT_TRUE(m_client.RegisterCallback("test.ping"));

    CMsgDispatcher::Instance().EnableNotifications(false);
    Send("test.ping", {});
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(recorder.Count(), 0u);
    CMsgDispatcher::Instance().EnableNotifications(true);
    Send("test.ping", {});
    ASSERT_TRUE(recorder.WaitFor(1));

    EXPECT_TRUE(CMsgDispatcher::Instance().DeleteTarget("qvclient"));
    EXPECT_FALSE(CMsgDispatcher::Instance().DeleteTarget("qvclient"));
    Send("test.ping", {});
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(recorder.Count(), 1u);
}

TEST_F(Dispatcher, TargetsResolveToTheRootUntilRegistered)
{
    CMsgDispatcher& dispatcher = CMsgDispatcher::Instance();
    EXPECT_EQ(dispatcher.LookupTarget("korva"), dispatcher.LookupTarget("root"));
    ASSERT_TRUE(dispatcher.RegisterTarget("korva", "local_pipe:korva5"));
    const CMsgTarget* korva = dispatcher.LookupTarget("korva");
    EXPECT_NE(korva, dispatcher.LookupTarget("root"));
    EXPECT_EQ(korva->busName, dispatcher.LookupTarget("root")->busName);
    // A request to that target reaches the same service.
    CMsgRequest request(0);
    request.SetTarget("korva");
    EXPECT_EQ(request.Execute("korva.unknown", 5000).GetErrorCode(), NKorvaConstants::KORVA_E_UNKNOWN_REQUEST);
    EXPECT_TRUE(dispatcher.DeleteTarget("korva"));
    EXPECT_FALSE(dispatcher.RegisterTarget("root", "elsewhere"));
}

TEST_F(Dispatcher, WindowBindingRunsOnTheWindowThreadAndEndsWithTheWindow)
{
    auto* window = new QObject();
    std::vector<std::string> got;
    QThread* handlerThread = nullptr;
    ASSERT_TRUE(CMsgDispatcher::Instance().BindWindow("test.window", window, [&](CMsgRequest& r) {
        got.push_back(r.GetValue("status").ToString());
        handlerThread = QThread::currentThread();
    }));
    EXPECT_EQ(Subscribers("test.window"), 1u);
    CDictionary values;
    values["status"] = "failed_to_launch";
    Send("test.window", values);
    ASSERT_TRUE(PumpUntil([&] { return !got.empty(); }));
    EXPECT_EQ(got[0], "failed_to_launch");
    EXPECT_EQ(handlerThread, QThread::currentThread());

    // A window destroyed with a delivery still queued never sees it.
    Send("test.window", values);
    std::this_thread::sleep_for(200ms);
    delete window;
    QCoreApplication::processEvents();
    EXPECT_EQ(got.size(), 1u);
    EXPECT_EQ(Subscribers("test.window"), 0u);
}

TEST_F(Dispatcher, ExplicitUnbindByName)
{
    QObject window;
    int a = 0, b = 0;
    ASSERT_TRUE(CMsgDispatcher::Instance().BindWindow("test.a", &window, [&](CMsgRequest&) { ++a; }));
    ASSERT_TRUE(CMsgDispatcher::Instance().BindWindow("test.b", &window, [&](CMsgRequest&) { ++b; }));
    CMsgDispatcher::Instance().UnbindWindow(&window, "test.a");
    EXPECT_EQ(Subscribers("test.a"), 0u);
    Send("test.a", {});
    Send("test.b", {});
    ASSERT_TRUE(PumpUntil([&] { return b == 1; }));
    EXPECT_EQ(a, 0);
    CMsgDispatcher::Instance().UnbindWindow(&window);
    EXPECT_EQ(Subscribers("test.b"), 0u);
}

TEST_F(Dispatcher, RestartedServiceGetsTheSubscriptionsAgain)
{
    Recorder recorder;
    TestProvider provider(recorder);
    ASSERT_TRUE(CMsgDispatcher::Instance().RegisterProvider("qvclient", &provider, 1));
    ASSERT_TRUE(m_client.RegisterCallback("test.ping"));
    m_server->Stop();
    m_server = std::make_unique<ServerThread>([](bus::BusServer&) {});
    ASSERT_TRUE(m_server->Start());
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (Subscribers("test.ping") == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(Subscribers("test.ping"), 1u);
    Send("test.ping", {});
    EXPECT_TRUE(recorder.WaitFor(1));
}

TEST_F(Dispatcher, ShutDownQueueStopsDeliveryUntilNeededAgain)
{
    Recorder recorder;
    TestProvider provider(recorder);
    ASSERT_TRUE(CMsgDispatcher::Instance().RegisterProvider("qvclient", &provider, 1));
    ASSERT_TRUE(m_client.RegisterCallback("test.ping"));
    CMsgDispatcher::Instance().ShutDownNotificationQueue(/*wait=*/true);
    Send("test.ping", {});
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(recorder.Count(), 0u);
    // Subscribing again starts the thread again.
    ASSERT_TRUE(m_client.RegisterCallback("test.other"));
    Send("test.ping", {});
    EXPECT_TRUE(recorder.WaitFor(1));
}

TEST_F(Dispatcher, ClientWithoutServiceRefusesSubscriptions)
{
    m_server->Stop();
    CKorvaClient client;
    EXPECT_FALSE(client.Initialize(0));
    EXPECT_FALSE(client.RegisterCallback("test.ping"));
    EXPECT_FALSE(m_client.RegisterCallback("test.ping"));  // the service is gone
}

}  // namespace
