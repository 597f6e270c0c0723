// korva.service.execute: companions start by name from their folder, with
// their parameters as separate arguments; nothing else starts.
#include <QFile>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>

#include "korvad_fixture.h"

using namespace NKorvaConstants;
using namespace std::chrono_literals;

namespace {

class Execute : public KorvadTest {
protected:
    void SetUp() override
    {
        bus_testing::EnsureApplication();
        std::string error;
        ASSERT_TRUE(m_bus.Start(&error)) << error;
        m_folder = m_state.Path() + "/companions";
        std::filesystem::create_directories(m_folder);
        // The companion records its arguments, one a line.
        WriteScript("qvpopuplog", "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$(dirname \"$0\")/ran.txt\"\n");
        ASSERT_TRUE(StartKorvad({"--companion-dir", m_folder}));
    }

    void WriteScript(const std::string& name, const std::string& text, mode_t mode = 0755)
    {
        const std::string path = m_folder + "/" + name;
        std::ofstream(path) << text;
        ::chmod(path.c_str(), mode);
    }

    std::string WaitForRun()
    {
        const std::string path = m_folder + "/ran.txt";
        for (int i = 0; i < 500 && !std::filesystem::exists(path); ++i)
            std::this_thread::sleep_for(10ms);
        std::this_thread::sleep_for(50ms);
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    CMsgResults Run(const std::string& application, const std::string& params = {})
    {
        CMsgRequest request(0);
        request["application"] = application;
        if (!params.empty())
            request["params"] = params;
        return request.Execute("korva.service.execute");
    }

    std::string m_folder;
};

TEST_F(Execute, StartsAKnownApplicationWithSplitParameters)
{
    const CMsgResults results = Run("tavrel.blacklist_panel", "/group=tavrel \"two words\" ;rm");
    ASSERT_TRUE(results.Succeeded()) << results.GetErrorText();
    EXPECT_GT(results.GetCursor()["process.id"].ToInteger64(), 0);
    EXPECT_EQ(WaitForRun(), "/group=tavrel\ntwo words\n;rm\n");
}

TEST_F(Execute, StartsAProgramOfTheFolderByItsOwnName)
{
    ASSERT_TRUE(Run("qvpopuplog").Succeeded());
    EXPECT_EQ(WaitForRun(), "");
}

TEST_F(Execute, RefusesEverythingOutsideTheFolder)
{
    WriteScript("notexec", "#!/bin/sh\ntouch \"$(dirname \"$0\")/ran.txt\"\n", 0644);
    std::filesystem::create_symlink("/bin/true", m_folder + "/outside");
    const char* names[] = {"../companions/qvpopuplog", "/bin/sh", "qvpopuplog;touch x", "sub/dir", ".hidden",
                           "-flag", "notexec", "outside", "no_such_program", "tavrel.restorekit"};
    for (const char* name : names) {
        const CMsgResults results = Run(name);
        EXPECT_EQ(results.GetErrorCode(), KORVA_E_NOT_FOUND) << name << ": " << results.GetErrorText();
    }
    EXPECT_EQ(Run("").GetErrorCode(), KORVA_E_INVALID_ARGUMENTS);
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(std::filesystem::exists(m_folder + "/ran.txt"));
}

}  // namespace
