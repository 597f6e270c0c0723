#include "browserguard/helper_registry.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace browserguard {
namespace {

TEST(HelperRegistry, RefTextRoundTrips) {
  EXPECT_EQ(FormatHelperRef({19088743, 4242}), "19088743:4242");
  EXPECT_EQ(FormatHelperRef({-5, 7}), "-5:7");
  auto ref = ParseHelperRef("-5:7");
  ASSERT_TRUE(ref);
  EXPECT_EQ(ref->id, -5);
  EXPECT_EQ(ref->processId, 7);
  for (const char* bad : {"", "0", ":", "1:", ":2", "a:1", "1:2x", "99999999999:1", "1: 2"})
    EXPECT_FALSE(ParseHelperRef(bad)) << bad;
}

struct Counted {
  int refs = 1;
  void AddRef() { ++refs; }
};

TEST(HelperRegistry, AcquireAddsReferenceAndMissesGoneObjects) {
  LiveTable<Counted> table;
  Counted a, b;
  const int32_t ida = table.Add(&a);
  const int32_t idb = table.Add(&b);
  EXPECT_NE(ida, idb);
  EXPECT_GT(ida, 0);
  EXPECT_EQ(table.Acquire(ida), &a);
  EXPECT_EQ(a.refs, 2);
  table.Remove(ida);
  EXPECT_EQ(table.Acquire(ida), nullptr);  // a stale id finds nothing
  EXPECT_EQ(a.refs, 2);
  EXPECT_EQ(table.Acquire(12345), nullptr);
}

TEST(HelperRegistry, ConcurrentAddRemove) {
  LiveTable<Counted> table;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&table] {
      for (int i = 0; i < 1000; ++i) {
        Counted c;
        const int32_t id = table.Add(&c);
        Counted* got = table.Acquire(id);
        ASSERT_EQ(got, &c);
        table.Remove(id);
      }
    });
  for (auto& t : threads) t.join();
  int left = 0;
  table.ForEach([&left](Counted*) { ++left; });
  EXPECT_EQ(left, 0);
}

}  // namespace
}  // namespace browserguard
