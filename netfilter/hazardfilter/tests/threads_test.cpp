// Many sockets on many threads while the detection file is replaced and
// reloaded: every response is judged by one whole table (old or new), never
// by a freed or half-built one. Run it under the thread sanitizer too (see
// netfilter/README.md).
#include "filter_fixture.h"

#include <atomic>
#include <thread>

namespace {

class ThreadsTest : public nftest::FilterFixture {};

TEST_F(ThreadsTest, ParallelSocketsSurviveAReloadInTheMiddle)
{
    Start(R"(
0x10 1 action1|disarm|http|html "old-disarmable"
0x20 1 block|http|html "always-blocked"
)");
    constexpr int kThreads = 8;
    constexpr int kRounds = 60;
    std::atomic<int> ready{0};
    std::atomic<int> failures{0};
    std::atomic<bool> published{false};

    auto worker = [&](int thread) {
        for (int round = 0; round < kRounds; ++round) {
            const KelmSocket socket = static_cast<KelmSocket>(1000 + thread * 1000 + round % 4);
            std::string request = "GET /r HTTP/1.1\r\nHost: x\r\n\r\n";
            FilterBuffer out{static_cast<std::uint32_t>(request.size()), request.data()};
            filter.Send(socket, &out, 1, out.len);

            const bool blockRound = round % 3 == 0;
            std::string body = std::string(nftest::kHtmlHead) + std::string(400, 'a') +
                               (blockRound ? "always-blocked" : "old-disarmable new-disarmable") +
                               std::string(400, 'b');
            // Two receives: split inside the blocking signature (found through
            // the carry-over), before the disarmable ones (overwritten whole).
            const std::size_t cut = std::string(nftest::kHtmlHead).size() + (blockRound ? 405 : 200);
            FilterBuffer first{static_cast<std::uint32_t>(cut), body.data()};
            FilterBuffer second{static_cast<std::uint32_t>(body.size() - cut), body.data() + cut};
            const auto remote = nftest::Address(0x0A000000u + static_cast<std::uint32_t>(thread), 80);
            int verdict = filter.Recv(socket, &first, 1, first.len, &remote);
            if (verdict == 0)
                verdict = filter.Recv(socket, &second, 1, second.len, &remote);
            if (blockRound && verdict != KELM_FILTER_BLOCKED)
                ++failures;
            // Exactly one table judged the response: one of the two
            // disarmable signatures was overwritten, the other left alone.
            if (!blockRound) {
                const bool oldDisarmed = body.find("old-disarmable") == std::string::npos;
                const bool newDisarmed = body.find("new-disarmable") == std::string::npos;
                if (verdict != 0 || oldDisarmed == newDisarmed)
                    ++failures;
            }
            if (round % 10 == 9)
                filter.CloseSocket(socket);
            if (round == kRounds / 2) {
                // Half the rounds on the old table; the rest run after the new
                // one is published, while other threads may still be busy.
                ++ready;
                if (thread % 2 == 0) {
                    while (!published.load())
                        std::this_thread::yield();
                }
            }
        }
    };

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(worker, t);
    while (ready.load() < kThreads / 2)
        std::this_thread::yield();
    // Replace the table while the workers are busy; the next first receive of
    // any socket notices the newer time and reloads.
    nftest::WriteFile(path, nftest::DetectionFile(R"(
0x11 1 action1|disarm|http|html "new-disarmable"
0x20 1 block|http|html "always-blocked"
)"));
    // Newer than the last load, older than any load from now on: one reload.
    const std::uint32_t loadedAt = now.load();
    now = loadedAt + 10;
    host.databaseTime = loadedAt + 5;
    published = true;
    for (auto& t : threads)
        t.join();

    EXPECT_EQ(failures.load(), 0);
    ASSERT_TRUE(filter.Database());
    EXPECT_EQ(filter.Database()->Records()[0].id, 0x11u);
}

}  // namespace
