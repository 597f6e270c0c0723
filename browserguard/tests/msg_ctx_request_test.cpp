#include "browserguard/msg_ctx_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "servicelink/korva_constants.h"

namespace browserguard {
namespace {

// A link whose clock and transport the test owns.
struct FakeLink {
  ServiceLink link;
  uint64_t now = 1000;
  int nextError = 0;
  std::vector<std::string> sentNames;
  std::vector<std::string> sentContext;
  std::vector<unsigned> sentTimeouts;

  FakeLink() {
    link.tick = [this] { return now; };
    link.send = [this](const CMsgRequest& r, std::string_view name, unsigned timeoutMs) {
      sentNames.emplace_back(name);
      sentContext.push_back(r.GetValue("ctx.id").ToString());
      sentTimeouts.push_back(timeoutMs);
      return CMsgResults(nextError, nextError ? "failed" : "");
    };
  }
};

TEST(MsgCtxRequest, AddsContextAndTimeout) {
  FakeLink fake;
  fake.link.contextId = 77;
  CMsgCtxRequest request(kRequestTimeoutMs, fake.link);
  EXPECT_TRUE(request.Execute("korva.browser.create_session").Succeeded());
  ASSERT_EQ(fake.sentNames.size(), 1u);
  EXPECT_EQ(fake.sentContext[0], "77");
  EXPECT_EQ(fake.sentTimeouts[0], 5000u);
}

TEST(MsgCtxRequest, ThreeBusTimeoutsHoldRequestsBackForThirtySeconds) {
  FakeLink fake;
  fake.nextError = NKorvaConstants::KORVA_E_TIMEOUT;
  for (int i = 0; i < 3; ++i) {
    CMsgCtxRequest request(kRequestTimeoutMs, fake.link);
    EXPECT_EQ(request.Execute("korva.justice.popup.authorize").GetErrorCode(), kErrorTimeout);
  }
  ASSERT_EQ(fake.sentNames.size(), 3u);

  fake.nextError = 0;
  fake.now += kPauseMs - 1;
  CMsgCtxRequest held(kRequestTimeoutMs, fake.link);
  EXPECT_EQ(held.Execute("korva.justice.popup.authorize").GetErrorCode(), kErrorTimeout);
  EXPECT_EQ(fake.sentNames.size(), 3u) << "a paused request must not be sent";

  fake.now += 1;
  CMsgCtxRequest after(kRequestTimeoutMs, fake.link);
  EXPECT_TRUE(after.Execute("korva.justice.popup.authorize").Succeeded());
  EXPECT_EQ(fake.sentNames.size(), 4u);
}

TEST(MsgCtxRequest, OtherFailuresDoNotPause) {
  FakeLink fake;
  fake.nextError = NKorvaConstants::KORVA_E_TIMEOUT;
  CMsgCtxRequest(kRequestTimeoutMs, fake.link).Execute("a");
  CMsgCtxRequest(kRequestTimeoutMs, fake.link).Execute("a");
  fake.nextError = 1001;
  CMsgCtxRequest(kRequestTimeoutMs, fake.link).Execute("a");
  fake.nextError = 0;
  CMsgCtxRequest(kRequestTimeoutMs, fake.link).Execute("a");
  fake.nextError = NKorvaConstants::KORVA_E_TIMEOUT;
  CMsgCtxRequest(kRequestTimeoutMs, fake.link).Execute("a");
  CMsgCtxRequest(kRequestTimeoutMs, fake.link).Execute("a");
  EXPECT_FALSE(fake.link.pause.paused());
  EXPECT_EQ(fake.sentNames.size(), 6u);
}

}  // namespace
}  // namespace browserguard
