#include "win/components.h"

#include "temp_state_root.h"

#include <gtest/gtest.h>

#include <fstream>

namespace win {
namespace {

constexpr const char* kHelp = "{0D4B9A12-6E73-4C58-A1F0-93B2C5E7D846}";
constexpr const char* kSound = "{91F3D6A8-2B45-4E7C-B8D1-6A0C3E9F5721}";
constexpr const char* kTool = "{7A21E5C9-3D84-4B6F-9E02-58C1F6A3B7D4}";
constexpr const char* kModule = "{2C95B7E4-8A16-4D3F-B7C9-E04A61D8F352}";

class WinComponentsTest : public test::TempStateRoot {
protected:
    void Write(const std::string& text)
    {
        std::ofstream file(ComponentsFilePath(), std::ios::binary | std::ios::trunc);
        file << text;
        ASSERT_TRUE(file.good());
    }
};

TEST_F(WinComponentsTest, LookupFollowsTheFileAndMissingMeansNotInstalled)
{
    std::string path = "stale";
    EXPECT_EQ(GetComponentPath(kHelp, path), INSTALLSTATE_UNKNOWN);  // no file at all
    EXPECT_EQ(path, "");

    Write("; installed parts\n"
          "[{0d4b9a12-6e73-4c58-a1f0-93b2c5e7d846}]\n"
          "path = /usr/share/kelm/help/index.html\n"
          "state = local\n"
          "\n"
          "[91F3D6A8-2B45-4E7C-B8D1-6A0C3E9F5721]\r\n"
          "path=/usr/share/kelm/sounds/roar.wav\r\n"
          "state=absent\r\n"
          "[" + std::string(kTool) + "]\n"
          "path=/opt/kelm/Talvik\n"
          "state=4\n");
    EXPECT_EQ(GetComponentPath(kHelp, path), INSTALLSTATE_LOCAL);
    EXPECT_EQ(path, "/usr/share/kelm/help/index.html");
    EXPECT_EQ(GetComponentPath(kSound, path), INSTALLSTATE_ABSENT);
    EXPECT_EQ(path, "");  // an absent component has no usable path
    EXPECT_EQ(GetComponentPath(kTool, path), INSTALLSTATE_SOURCE);
    EXPECT_EQ(path, "/opt/kelm/Talvik");
    EXPECT_EQ(GetComponentPath(kModule, path), INSTALLSTATE_UNKNOWN);
    EXPECT_EQ(ComponentPath(kModule), "");
    EXPECT_EQ(GetComponentPath("Talvik.exe", path), INSTALLSTATE_INVALIDARG);

    // Edits count at once.
    Write("[" + std::string(kModule) + "]\npath=/opt/kelm/siteguard.so\n");
    EXPECT_EQ(GetComponentPath(kModule, path), INSTALLSTATE_LOCAL);  // a path without a state is local
    EXPECT_EQ(GetComponentPath(kHelp, path), INSTALLSTATE_UNKNOWN);
}

TEST(WinComponentsParseTest, OddLinesAreSkipped)
{
    const auto entries = ParseComponents("path=/before/any/section\n"
                                         "[not-a-code]\npath=/ignored\n"
                                         "[{0D4B9A12-6E73-4C58-A1F0-93B2C5E7D846}]\n"
                                         "no equals sign here\n"
                                         "unknown=key\n"
                                         "state=gibberish\n"
                                         "path=/p\n"
                                         "[{2C95B7E4-8A16-4D3F-B7C9-E04A61D8F352}]\n"
                                         "# empty section\n");
    ASSERT_EQ(entries.size(), 0u);  // the state "gibberish" makes the only real section unusable

    const auto good = ParseComponents("[{0D4B9A12-6E73-4C58-A1F0-93B2C5E7D846}]\npath=/p\nstate=LOCAL\n");
    ASSERT_EQ(good.size(), 1u);
    EXPECT_EQ(good.begin()->first, "{0D4B9A12-6E73-4C58-A1F0-93B2C5E7D846}");
    EXPECT_EQ(good.begin()->second.state, INSTALLSTATE_LOCAL);
}

TEST(WinComponentsParseTest, CodesNormalize)
{
    EXPECT_EQ(NormalizeComponentCode("{0d4b9a12-6e73-4c58-a1f0-93b2c5e7d846}"), "{0D4B9A12-6E73-4C58-A1F0-93B2C5E7D846}");
    EXPECT_EQ(NormalizeComponentCode("0D4B9A12-6E73-4C58-A1F0-93B2C5E7D846"), "{0D4B9A12-6E73-4C58-A1F0-93B2C5E7D846}");
    EXPECT_EQ(NormalizeComponentCode("{0D4B9A12-6E73-4C58-A1F0-93B2C5E7D84}"), "");
    EXPECT_EQ(NormalizeComponentCode("{0D4B9A12x6E73-4C58-A1F0-93B2C5E7D846}"), "");
    EXPECT_EQ(NormalizeComponentCode("{0D4B9A12-6E73-4C58-A1F0-93B2C5E7D84G}"), "");
    EXPECT_EQ(NormalizeComponentCode(""), "");
}

}  // namespace
}  // namespace win
