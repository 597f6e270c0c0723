// The add-on's registration and browser sessions against the real korvad on a
// private bus.
#include "browserguard/service_session.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "bus_testing.h"
#include "win/event.h"

namespace browserguard {
namespace {

class ServiceSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bus_testing::EnsureApplication();
    ::setenv("KELM_STATE_ROOT", m_state.Path().c_str(), 1);
    std::string error;
    ASSERT_TRUE(m_bus.Start(&error)) << error;
    ASSERT_TRUE(bus_testing::StartKorvad(m_korvad, KORVAD_PATH, m_state.Path()));
  }
  void TearDown() override { m_korvad.Stop(); }

  // korvad holds the running marker while it serves; this makes one without
  // korvad, or a second holder beside it.
  void MarkServiceRunning() {
    ASSERT_NE(win::Event::Create(kServiceRunningEvent, true, false, m_running), 0xFFFFFFFFu);
    ASSERT_TRUE(m_running.IsOpen());
  }

  bus_testing::TempDir m_state;
  bus_testing::PrivateBus m_bus;
  bus_testing::ChildProcess m_korvad;
  win::Event m_running;
};

TEST_F(ServiceSessionTest, NoConnectionWhileTheServiceIsNotMarkedRunning) {
  // Without korvad nobody holds the marker.
  m_korvad.Kill();
  ASSERT_FALSE(ServiceIsRunning());
  ServiceLink link;
  ServiceConnection connection(link);
  EXPECT_FALSE(connection.Ensure());
  // The failure is kept: marking the service running later changes nothing.
  MarkServiceRunning();
  EXPECT_FALSE(connection.Ensure());
  EXPECT_EQ(link.contextId, 0);
  BrowserSession session(link);
  m_running.Close();
  EXPECT_FALSE(session.Create());
}

TEST_F(ServiceSessionTest, RegistersOnceAndKeepsPropertiesPerSession) {
  MarkServiceRunning();
  ServiceLink link;
  ServiceConnection connection(link);
  ASSERT_TRUE(connection.Ensure());
  const int32_t context = link.contextId;
  EXPECT_GT(context, 0);
  ASSERT_TRUE(connection.Ensure());
  EXPECT_EQ(link.contextId, context) << "registration happens once";

  BrowserSession opener(link), popup(link);
  ASSERT_TRUE(opener.Create());
  ASSERT_TRUE(popup.Create());
  EXPECT_NE(opener.handle(), popup.handle());

  opener.SetInt("is_solicited", 1);
  popup.SetMany({{"is_popup", "1"}, {"opener_location", "http://a.com/x"}, {"is_solicited", "0"}});
  EXPECT_EQ(opener.GetInt("is_solicited"), 1);
  EXPECT_EQ(popup.GetInt("is_popup"), 1);
  EXPECT_EQ(popup.Get("opener_location"), "http://a.com/x");
  EXPECT_EQ(popup.GetInt("is_solicited"), 0);
  EXPECT_EQ(popup.GetInt("never_set"), 0);
  popup.Set("opener_location", "not a number");
  EXPECT_EQ(popup.GetInt("opener_location"), 0);

  // Another object of the browser adopts the handle kept on the browser.
  BrowserSession adopted(link);
  adopted.Adopt(popup.handle());
  EXPECT_EQ(adopted.GetInt("is_popup"), 1);

  popup.Destroy();
  EXPECT_EQ(popup.handle(), 0);
  EXPECT_EQ(adopted.Get("opener_location"), "") << "a destroyed session reads empty";
  // Without a session writes are dropped and reads are empty.
  popup.SetInt("is_popup", 1);
  EXPECT_EQ(popup.GetInt("is_popup"), 0);
}

}  // namespace
}  // namespace browserguard
