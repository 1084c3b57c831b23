// The frame pacing of the window's loops: at most one frame per refresh, none while the last
// is on its way, and never more than half of the time spent drawing.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "app/model/framePacer.h"

TEST(FramePacer, SpacesFramesByTheRefreshAndByTwiceTheirCost) {
  struct TCase {
    double hertz, costMs, expectSpacingMs;
  };
  // 60 Hz: 16.7 ms apart unless a frame costs more than half that; a slow frame of 30 ms
  // leaves 30 ms to the model before the next.
  for (const TCase& c : {TCase{60, 2, 1000.0 / 60}, TCase{60, 30, 60}, TCase{144, 1, 1000.0 / 144},
                         TCase{30, 20, 40}}) {
    TFramePacer pacer;
    pacer.SetRefreshRate(c.hertz);
    EXPECT_TRUE(pacer.Due(1000)) << "the first frame waits for nothing";
    pacer.Requested(1000);
    EXPECT_FALSE(pacer.Due(1000 + 100)) << "nothing is asked for while a frame is on its way";
    pacer.Shown(1000 + c.costMs);
    const double spacing = c.expectSpacingMs;
    EXPECT_FALSE(pacer.Due(1000 + spacing - 0.01)) << c.hertz << " Hz, cost " << c.costMs;
    EXPECT_TRUE(pacer.Due(1000 + spacing + 1e-6)) << c.hertz << " Hz, cost " << c.costMs;
    EXPECT_NEAR(pacer.WaitMs(1000 + spacing - 5), 5, 1e-9);
  }
}

TEST(FramePacer, LostFramesOddRatesAndClocksHoldNothingUpForLong) {
  TFramePacer pacer;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double hertz : {0.0, -60.0, 0.5, 1.0e6, nan, std::numeric_limits<double>::infinity()}) {
    pacer.SetRefreshRate(hertz);
    EXPECT_DOUBLE_EQ(pacer.IntervalMs(), 1000.0 / 60) << hertz;
  }
  // A frame that never reaches the screen (a hidden window) is given up after a while; asking
  // again meanwhile does not move the wait on.
  pacer.Requested(0);
  pacer.Requested(100);
  EXPECT_FALSE(pacer.Due(TFramePacer::kLostFrameMs - 1));
  EXPECT_GE(pacer.WaitMs(TFramePacer::kLostFrameMs - 1), 1);
  EXPECT_TRUE(pacer.Due(TFramePacer::kLostFrameMs));
  // Its late arrival says nothing about the cost of the next.
  pacer.Shown(TFramePacer::kLostFrameMs + 400);
  pacer.Requested(1000);
  pacer.Shown(1001);
  EXPECT_TRUE(pacer.Due(1000 + 17));
  // A clock that goes back, or one that is not a number, never stalls the loop.
  EXPECT_TRUE(pacer.Due(500));
  EXPECT_TRUE(pacer.Due(nan));
  EXPECT_EQ(pacer.WaitMs(nan), 0);
}
