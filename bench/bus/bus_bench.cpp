// Round-trip latency and throughput of requests to korvad, and how many
// notifications per second reach a subscriber, on a private session bus.
//
//   bus_bench [--benchmark_filter=...]
//
// Aims: median round trip under 150 us; 20,000 notifications per second
// delivered without loss.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "bus_testing.h"
#include "servicelink/korva_client.h"
#include "servicelink/msg_dispatcher.h"
#include "servicelink/msg_provider.h"
#include "servicelink/msg_request.h"

namespace {

using Clock = std::chrono::steady_clock;

// One bus and one korvad for the whole run.
struct Environment {
    bus_testing::TempDir state;
    bus_testing::PrivateBus bus;
    bus_testing::ChildProcess korvad;
    bool ok = false;

    Environment()
    {
        bus_testing::EnsureApplication();
        std::string error;
        if (!bus.Start(&error)) {
            std::fprintf(stderr, "bus_bench: %s\n", error.c_str());
            return;
        }
        ok = bus_testing::StartKorvad(korvad, KORVAD_PATH, state.Path());
        if (!ok)
            std::fprintf(stderr, "bus_bench: korvad did not start\n");
    }
};

Environment& Env()
{
    // Destroyed at exit, which stops korvad and the bus.
    static Environment env;
    return env;
}

void BM_ExecuteRoundTrip(benchmark::State& state)
{
    if (!Env().ok) {
        state.SkipWithError("no korvad");
        return;
    }
    CMsgRequest request(0);
    request["path"] = "korva.applications.tavrel.system.options";
    request["name"] = "auto_update_time_hour";
    std::vector<double> micros;
    micros.reserve(200000);
    for (auto _ : state) {
        const auto start = Clock::now();
        const CMsgResults results = request.Execute("korva.config.get_value");
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (results.Failed()) {
            state.SkipWithError(results.GetErrorText().c_str());
            return;
        }
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_ExecuteRoundTrip)->MinTime(3.0)->UseRealTime();

// Requests answered per second with several callers at once.
void BM_ExecuteThroughput(benchmark::State& state)
{
    if (!Env().ok) {
        state.SkipWithError("no korvad");
        return;
    }
    CMsgRequest request(0);
    for (auto _ : state) {
        if (request.Execute("korva.service.get_version").Failed()) {
            state.SkipWithError("request failed");
            return;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_ExecuteThroughput)->Threads(1)->Threads(4)->MinTime(2.0)->UseRealTime();

// One-way requests: a batch of Notify calls, then one Execute; the bus keeps
// order per connection, so its answer means the whole batch was handled.
void BM_NotifyThroughput(benchmark::State& state)
{
    if (!Env().ok) {
        state.SkipWithError("no korvad");
        return;
    }
    const int batch = 1000;
    CMsgRequest request(0);
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i)
            request.Notify("korva.service.get_version");
        if (request.Execute("korva.service.get_version").Failed()) {
            state.SkipWithError("request failed");
            return;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * (batch + 1));
}
BENCHMARK(BM_NotifyThroughput)->MinTime(2.0)->UseRealTime();

// Counts the benchmark notifications and checks that none is missing.
class Counter : public CMsgProvider {
public:
    void BuildMap() override
    {
        AddProvider("root:korva.bench.notify", [this](CMsgRequest& r) {
            const long long seq = r.GetValue("seq").ToInteger64();
            if (seq != m_next.load())
                m_outOfOrder.fetch_add(1);
            m_next.store(seq + 1);
            m_received.fetch_add(1);
            m_last = Clock::now();
            return true;
        });
    }
    void Reset()
    {
        m_next = 0;
        m_received = 0;
        m_outOfOrder = 0;
    }
    std::atomic<long long> m_next{0};
    std::atomic<long long> m_received{0};
    std::atomic<long long> m_outOfOrder{0};
    Clock::time_point m_last;
};

void BM_NotificationsDelivered(benchmark::State& state)
{
    if (!Env().ok) {
        state.SkipWithError("no korvad");
        return;
    }
    static Counter counter;
    static CKorvaClient client;
    static bool registered = [] {
        return CMsgDispatcher::Instance().RegisterProvider("bench", &counter, 1) && client.Initialize(0) &&
               client.RegisterCallback("korva.bench.notify");
    }();
    if (!registered) {
        state.SkipWithError("cannot subscribe");
        return;
    }
    const long long count = state.range(0);
    long long lost = 0, outOfOrder = 0;
    double sendSeconds = 0;
    for (auto _ : state) {
        counter.Reset();
        CMsgRequest request(0);
        request["notification"] = "korva.bench.notify";
        request["count"] = static_cast<std::int64_t>(count);
        request["path"] = "korva.applications.tavrel.system.options";
        request["name"] = "enable_alarm";
        request["value"] = "1";
        const auto start = Clock::now();
        const CMsgResults sent = request.Execute("korva.service.send_notification", 60000);
        if (sent.Failed()) {
            state.SkipWithError(sent.GetErrorText().c_str());
            return;
        }
        sendSeconds += std::chrono::duration<double>(Clock::now() - start).count();
        // Wait for the last one (or give up after 30 s without progress).
        auto lastProgress = Clock::now();
        long long seen = 0;
        while (counter.m_received.load() < count) {
            if (counter.m_received.load() != seen) {
                seen = counter.m_received.load();
                lastProgress = Clock::now();
            }
            if (Clock::now() - lastProgress > std::chrono::seconds(30))
                break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const auto end = counter.m_received.load() == count ? counter.m_last : Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        lost += count - counter.m_received.load();
        outOfOrder += counter.m_outOfOrder.load();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * count);
    state.counters["lost"] = static_cast<double>(lost);
    state.counters["out_of_order"] = static_cast<double>(outOfOrder);
    // How fast korvad itself sends them (its answer comes after the last).
    state.counters["service_sent_per_s"] =
        sendSeconds > 0 ? static_cast<double>(count) * static_cast<double>(state.iterations()) / sendSeconds : 0;
}
BENCHMARK(BM_NotificationsDelivered)->Arg(20000)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
