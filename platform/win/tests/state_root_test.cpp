#include "win/state_root.h"

#include "temp_state_root.h"

#include <gtest/gtest.h>

#include <set>

namespace win {
namespace {

class WinStateRootTest : public test::TempStateRoot {};

TEST_F(WinStateRootTest, RootMovesEveryFolderAndEachKindHasItsOwn)
{
    std::set<std::filesystem::path> seen;
    for (StateFolder kind :
         {StateFolder::Registry, StateFolder::Runtime, StateFolder::Service, StateFolder::Logs, StateFolder::Config}) {
        const std::filesystem::path folder = StateFolderPath(kind);
        EXPECT_EQ(folder.parent_path(), root());
        EXPECT_TRUE(std::filesystem::is_directory(folder));
        EXPECT_TRUE(seen.insert(folder).second) << folder;
    }
    EXPECT_EQ(GlobalRuntimePath().parent_path(), root());
    EXPECT_FALSE(seen.count(GlobalRuntimePath()));
}

}  // namespace
}  // namespace win
