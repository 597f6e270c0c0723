// A fresh state root per test: KELM_STATE_ROOT points at a new temporary
// folder for the test's life, so registry hives and runtime objects of one
// test never meet another's.
#pragma once

#include "win/state_root.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace win::test {

class TempStateRoot : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelm-win-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        ::setenv(kStateRootVariable, root_.c_str(), 1);
    }

    void TearDown() override
    {
        ::unsetenv(kStateRootVariable);
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path root_;
};

}  // namespace win::test
