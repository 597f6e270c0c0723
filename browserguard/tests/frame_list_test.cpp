#include "browserguard/frame_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace browserguard {
namespace {

struct Counted {
  int refs = 1;
  void AddRef() { ++refs; }
  void Release() { --refs; }
};

TEST(FrameList, HoldsExactlyOneReferencePerObject) {
  Counted a, b;
  {
    FrameHelperList<Counted> list;
    EXPECT_TRUE(list.Add(&a));
    EXPECT_FALSE(list.Add(&a));
    EXPECT_TRUE(list.Add(&b));
    EXPECT_EQ(a.refs, 2);
    EXPECT_TRUE(list.Remove(&a));
    EXPECT_FALSE(list.Remove(&a));
    EXPECT_EQ(a.refs, 1);
    auto snapshot = list.Snapshot();
    ASSERT_EQ(snapshot.size(), 1u);
    EXPECT_EQ(b.refs, 3);
    for (auto* o : snapshot) o->Release();
    // Another owner holds b too: the frame's end releases only its own.
    b.AddRef();
    list.ReleaseAll();
    EXPECT_EQ(b.refs, 2);
    EXPECT_EQ(list.size(), 0u);
  }
  EXPECT_EQ(a.refs, 1);
  EXPECT_EQ(b.refs, 2);
}

TEST(FrameList, TableMakesOneFramePerWindowAcrossThreads) {
  FrameTable<int, int> table;
  std::atomic<int> made{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int w = 0; w < 200; ++w)
        table.FindOrCreate(w, [&] {
          ++made;
          return std::make_shared<int>(w);
        });
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(made, 200);
  auto kept = table.Find(5);
  ASSERT_TRUE(kept);
  table.Remove(5);
  EXPECT_FALSE(table.Find(5));
  EXPECT_EQ(*kept, 5) << "a frame found before removal stays valid";
  EXPECT_EQ(table.All().size(), 199u);
}

}  // namespace
}  // namespace browserguard
