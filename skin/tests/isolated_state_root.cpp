// Gives each test program a fresh state root (KELM_STATE_ROOT), so the
// message layer's session files and the registry hives of one test run
// never meet another's. Linked into every skin test program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

class IsolatedStateRoot : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "skin-test-XXXXXX").string();
        if (char* made = mkdtemp(pattern.data())) {
            root_ = made;
            setenv("KELM_STATE_ROOT", made, /*overwrite=*/1);
        }
    }
    void TearDown() override
    {
        std::error_code ec;
        if (!root_.empty())
            std::filesystem::remove_all(root_, ec);
    }

private:
    std::filesystem::path root_;
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new IsolatedStateRoot);

}  // namespace
