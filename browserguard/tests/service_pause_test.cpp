#include "browserguard/service_pause.h"

#include <gtest/gtest.h>

namespace browserguard {
namespace {

TEST(ServicePause, ThreeTimeoutsPauseForThirtySeconds) {
  ServicePause pause;
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(pause.MaySend(1000));
    pause.Record(kErrorTimeout, 1000);
  }
  EXPECT_FALSE(pause.paused());
  pause.Record(kErrorTimeout, 2000);
  EXPECT_TRUE(pause.paused());
  EXPECT_EQ(pause.consecutiveTimeouts(), 0);
  EXPECT_FALSE(pause.MaySend(2000));
  EXPECT_FALSE(pause.MaySend(2000 + kPauseMs - 1));
  EXPECT_TRUE(pause.MaySend(2000 + kPauseMs));
  EXPECT_FALSE(pause.paused());
}

TEST(ServicePause, SuccessResetsOtherErrorsDoNot) {
  ServicePause pause;
  pause.Record(kErrorTimeout, 0);
  pause.Record(kErrorTimeout, 0);
  pause.Record(5, 0);  // another failure leaves the count
  EXPECT_EQ(pause.consecutiveTimeouts(), 2);
  pause.Record(0, 0);
  EXPECT_EQ(pause.consecutiveTimeouts(), 0);
  pause.Record(kErrorTimeout, 0);
  pause.Record(kErrorTimeout, 0);
  EXPECT_FALSE(pause.paused());
}

TEST(ServicePause, ClockGoingBackEndsPause) {
  ServicePause pause;
  for (int i = 0; i < 3; ++i) pause.Record(kErrorTimeout, 50000);
  ASSERT_TRUE(pause.paused());
  EXPECT_TRUE(pause.MaySend(100));
}

}  // namespace
}  // namespace browserguard
