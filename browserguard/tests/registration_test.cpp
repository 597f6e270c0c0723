// The add-on's class registration in the registry stand-in: the keys the
// browser reads, the programmatic ids, the type library record, and their
// removal.
#include "browserguard/registration.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>

#include <filesystem>
#include <string>

#include "browser/addon_registry.h"
#include "browser/com_runtime.h"
#include "win/registry.h"

namespace browserguard {
namespace {

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "bg-registration-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    m_root = pattern;
    ::setenv("KELM_STATE_ROOT", m_root.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("KELM_STATE_ROOT");
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
  }
  static std::string Default(const std::string& path) {
    win::RegKey key;
    std::string value;
    if (win::RegKey::Open(win::Hive::LocalMachine, path, key) != win::ERROR_SUCCESS) return "<no key>";
    if (key.QueryString("", value) != win::ERROR_SUCCESS) return "<no value>";
    return value;
  }
  static bool Exists(const std::string& path) {
    win::RegKey key;
    return win::RegKey::Open(win::Hive::LocalMachine, path, key) == win::ERROR_SUCCESS;
  }

  std::filesystem::path m_root;
};

TEST_F(RegistrationTest, WritesTheKeysTheBrowserAndToolsRead) {
  ASSERT_EQ(RegisterServer("/opt/kelm/qvbrowserguard.so"), 0);
  const std::string clsid = "Software\\Classes\\CLSID\\{5B7C2E40-91AD-4F3A-8C66-2D9E14A7F0B3}";
  const std::string libid = "{5B7C2E31-91AD-4F3A-8C66-2D9E14A7F0B3}";
  const struct {
    std::string path;
    std::string value;
  } expected[] = {
      {clsid, "BrowserHelper Class"},
      {clsid + "\\ProgID", "TavrelBHO.BrowserHelper.1"},
      {clsid + "\\VersionIndependentProgID", "TavrelBHO.BrowserHelper"},
      {clsid + "\\InprocServer32", "/opt/kelm/qvbrowserguard.so"},
      {clsid + "\\TypeLib", libid},
      {clsid + "\\Programmable", "<no value>"},
      {"Software\\Classes\\TavrelBHO.BrowserHelper.1", "BrowserHelper Class"},
      {"Software\\Classes\\TavrelBHO.BrowserHelper", "BrowserHelper Class"},
      {"Software\\Classes\\TavrelBHO.BrowserHelper\\CurVer", "TavrelBHO.BrowserHelper.1"},
      {"Software\\Classes\\TypeLib\\" + libid + "\\1.0", "TavrelBHO 4.3 Type Library"},
  };
  for (const auto& e : expected) EXPECT_EQ(Default(e.path), e.value) << e.path;
  win::RegKey server;
  std::string model;
  ASSERT_EQ(win::RegKey::Open(win::Hive::LocalMachine, clsid + "\\InprocServer32", server), win::ERROR_SUCCESS);
  ASSERT_EQ(server.QueryString("ThreadingModel", model), win::ERROR_SUCCESS);
  EXPECT_EQ(model, "Both");
  EXPECT_EQ(win::FindInprocServer(CLSID_BrowserHelper), "/opt/kelm/qvbrowserguard.so");
  // The server never lists itself as a browser helper object.
  EXPECT_TRUE(win::EnumerateBrowserHelperObjects().empty());
}

TEST_F(RegistrationTest, RegisteringAgainRemakesTheClassKeyAndUnregisterRemovesEverything) {
  ASSERT_EQ(RegisterServer("/old/qvbrowserguard.so"), 0);
  const std::string clsid = "Software\\Classes\\CLSID\\{5B7C2E40-91AD-4F3A-8C66-2D9E14A7F0B3}";
  {
    win::RegKey stale;
    ASSERT_EQ(win::RegKey::Create(win::Hive::LocalMachine, clsid + "\\Stale", stale), win::ERROR_SUCCESS);
  }
  ASSERT_EQ(RegisterServer("/new/qvbrowserguard.so"), 0);
  EXPECT_FALSE(Exists(clsid + "\\Stale")) << "the class key is made afresh";
  EXPECT_EQ(win::FindInprocServer(CLSID_BrowserHelper), "/new/qvbrowserguard.so");

  ASSERT_EQ(InstallAsBrowserHelper(), 0);
  ASSERT_EQ(win::EnumerateBrowserHelperObjects().size(), 1u);
  ASSERT_EQ(UninstallAsBrowserHelper(), 0);
  EXPECT_TRUE(win::EnumerateBrowserHelperObjects().empty());

  ASSERT_EQ(UnregisterServer(), 0);
  EXPECT_FALSE(Exists(clsid));
  EXPECT_FALSE(Exists("Software\\Classes\\TavrelBHO.BrowserHelper"));
  EXPECT_FALSE(Exists("Software\\Classes\\TavrelBHO.BrowserHelper.1"));
  EXPECT_FALSE(Exists("Software\\Classes\\TypeLib\\{5B7C2E31-91AD-4F3A-8C66-2D9E14A7F0B3}"));
  EXPECT_TRUE(Exists("Software\\Classes\\CLSID")) << "CLSID itself stays";
  EXPECT_EQ(UnregisterServer(), 0) << "unregistering twice is harmless";
}

// The tool loads the library and calls its registration entry, as an
// installer would; the library refuses to work inside the desktop shell.
TEST_F(RegistrationTest, TheToolRegistersTheLibraryExceptFromTheShell) {
  const std::filesystem::path shell = m_root / "explorer.exe";
  std::filesystem::copy_file(REGISTER_TOOL, shell);
  const std::string library = QVBROWSERGUARD_PATH;
  EXPECT_NE(std::system((shell.string() + " " + library + " >/dev/null 2>&1").c_str()), 0);
  EXPECT_TRUE(win::FindInprocServer(CLSID_BrowserHelper).empty()) << "nothing registered from the shell";

  ASSERT_EQ(std::system((std::string(REGISTER_TOOL) + " " + library + " >/dev/null").c_str()), 0);
  EXPECT_EQ(win::FindInprocServer(CLSID_BrowserHelper), library);
  ASSERT_EQ(win::EnumerateBrowserHelperObjects().size(), 1u);
  EXPECT_EQ(win::EnumerateBrowserHelperObjects()[0], CLSID_BrowserHelper);

  ASSERT_EQ(std::system((std::string(REGISTER_TOOL) + " --unregister " + library + " >/dev/null").c_str()), 0);
  EXPECT_TRUE(win::FindInprocServer(CLSID_BrowserHelper).empty());
  EXPECT_TRUE(win::EnumerateBrowserHelperObjects().empty());
}

}  // namespace
}  // namespace browserguard
