#include "socket_table.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace lsp {
namespace {

TEST(SocketTable, SlotsAreMadeOnDemandAndStay)
{
    SocketTable table;
    EXPECT_EQ(table.Find(5), nullptr);
    SocketSlot* slot = table.Get(5);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->fd, 5);
    EXPECT_EQ(slot->kind.load(), SlotKind::Unknown);
    EXPECT_EQ(table.Find(5), slot);
    EXPECT_EQ(table.Get(5), slot);
    // The neighbours share the chunk.
    ASSERT_NE(table.Find(6), nullptr);
    EXPECT_EQ(table.Find(6)->fd, 6);
    EXPECT_EQ(table.Find(SocketTable::kMaxDescriptor - 1), nullptr);
}

TEST(SocketTable, OutOfRangeDescriptorsHaveNoSlot)
{
    SocketTable table;
    EXPECT_EQ(table.Get(-1), nullptr);
    EXPECT_EQ(table.Get(SocketTable::kMaxDescriptor), nullptr);
    EXPECT_NE(table.Get(SocketTable::kMaxDescriptor - 1), nullptr);
}

TEST(SocketTable, ThreadsRacingForAChunkGetTheSameSlots)
{
    SocketTable table;
    std::vector<SocketSlot*> seen(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] { seen[static_cast<std::size_t>(t)] = table.Get(70000 + t % 2); });
    for (std::thread& thread : threads)
        thread.join();
    std::set<SocketSlot*> distinct(seen.begin(), seen.end());
    EXPECT_EQ(distinct.size(), 2u);
}

}  // namespace
}  // namespace lsp
