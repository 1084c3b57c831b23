#include "app/model/ride.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/model/pipeline.h"
#include "core/rangeError.h"
#include "helpers.h"

namespace {

TAppState Built(const std::string& word) {
  TAppState app;
  TSettings s = StartSettings();
  RunPipeline(word, app.Seifert, s, app);
  return app;
}

// A tick counter that moves on by `ms` on every read.
std::function<uint32_t()> Clock(uint32_t& now, uint32_t ms) {
  return [&now, ms] { return now += ms; };
}

const Vec3 kZUp(0, 0, 1);

}  // namespace

TEST(Ride, VelocityAndAccelerationRules) {
  const TAppState app = Built("AAA");
  ASSERT_EQ(RideProblem(app.Seifert, 1), "");
  uint32_t now = 1000;
  TRideControls c;

  // "Velocity" 0: the car stands, but the camera is placed with orthonormal axes.
  c.velocity = 0;
  TRideState ride;
  RideRestart(ride, app.Seifert, c, now);
  const TRideCamera a = RideStep(ride, app.Seifert, c, Clock(now, 20), false, kZUp);
  const TRideCamera b = RideStep(ride, app.Seifert, c, Clock(now, 20), false, kZUp);
  EXPECT_EQ(a.p, b.p);
  for (const Vec3& axis : {b.r, b.u, b.f}) EXPECT_NEAR(axis.Length(), 1, 1e-5);
  EXPECT_NEAR(b.r.Dot(b.u), 0, 1e-5);
  EXPECT_NEAR(b.u.Dot(b.f), 0, 1e-5);
  EXPECT_NEAR(b.modelView[12] * b.r.x + b.modelView[13] * b.u.x + b.modelView[14] * b.f.x,
              -b.p.x, 1e-4);  // the matrix takes the camera's place to the eye

  // "Accelerate" 0: friction only; the speed never falls below the set velocity's magnitude,
  // and the car moves on.
  c.velocity = 30;
  c.accelerate = 0;
  RideRestart(ride, app.Seifert, c, now);
  Vec3 last = RideStep(ride, app.Seifert, c, Clock(now, 20), false, kZUp).p;
  for (int frame = 0; frame < 50; ++frame) {
    const Vec3 p = RideStep(ride, app.Seifert, c, Clock(now, 20), false, kZUp).p;
    EXPECT_LE(ride.speed, -0.3 + 1e-12);
    EXPECT_GT((p - last).Length(), 0);
    last = p;
  }

  // Pause freezes the car.
  c.paused = true;
  const Vec3 held = RideStep(ride, app.Seifert, c, Clock(now, 20), false, kZUp).p;
  EXPECT_EQ(RideStep(ride, app.Seifert, c, Clock(now, 20), false, kZUp).p, held);
}

TEST(Ride, LookAroundSpringsBackUnlessDragging) {
  const TAppState app = Built("AAA");
  uint32_t now = 0;
  TRideControls c;
  TRideState ride;
  RideRestart(ride, app.Seifert, c, now);
  ride.lookH = 40;
  ride.lookV = -20;
  RideStep(ride, app.Seifert, c, Clock(now, 100), true, kZUp);
  EXPECT_EQ(ride.lookH, 40);
  RideStep(ride, app.Seifert, c, Clock(now, 100), false, kZUp);
  EXPECT_NEAR(ride.lookH, 36, 1e-9);
  EXPECT_NEAR(ride.lookV, -18, 1e-9);
  RideStep(ride, app.Seifert, c, Clock(now, 2000), false, kZUp);  // a long frame: all the way
  EXPECT_EQ(ride.lookH, 0);
}

TEST(Ride, LinksWrapAndUnridableTracksAreRefused) {
  const TAppState hopf = Built("AA");  // two components
  ASSERT_EQ(hopf.Seifert.nLinks, 2);
  TRideControls c;
  c.link = 3;
  TRideState ride;
  RideRestart(ride, hopf.Seifert, c, 0);
  EXPECT_EQ(ride.link, 0);
  c.link = 2;
  RideRestart(ride, hopf.Seifert, c, 0);
  EXPECT_EQ(ride.link, 1);

  TSeiffert none;
  EXPECT_NE(RideProblem(none, 1), "");
  TAppState shortTrack = Built("AAA");
  shortTrack.Seifert.links[0].nVerts = 3;
  EXPECT_NE(RideProblem(shortTrack.Seifert, 1), "");
  uint32_t now = 0;
  EXPECT_THROW(RideStep(ride, shortTrack.Seifert, c, Clock(now, 10), false, kZUp), RangeError);

  // A track whose points all coincide takes no time per step: the frame still ends.
  TAppState flat = Built("AAA");
  for (int32_t v : flat.Seifert.links[0].verts) flat.Seifert.mesh.verts[v].pos = Vec3(1, 2, 3);
  c.link = 1;
  RideRestart(ride, flat.Seifert, c, 0);
  ride.speed = -0.1;
  const Vec3 p = RideStep(ride, flat.Seifert, c, Clock(now, 10), false, kZUp).p;
  EXPECT_LT((p - Vec3(1, 2, 3)).Length(), 0.2);  // within the camera's offsets
}

// Gravity works against the car's motion, whichever way it runs: climbing never adds speed and
// descending does, for both signs of "Velocity" (presets 2 and 3 run it negative) and every up axis.
TEST(Ride, GravitySlowsAClimbInEitherDirection) {
  const TAppState app = Built("AAA");
  for (const Vec3& up : {kZUp, Vec3(-1, 0, 0), Vec3(0, -1, 0)})
    for (int32_t velocity : {10, -10}) {
      SCOPED_TRACE(testing::Message() << "velocity " << velocity << ", up " << up.x << up.y << up.z);
      TRideControls c;
      c.velocity = velocity;
      c.accelerate = 100;
      uint32_t now = 0;
      TRideState ride;
      RideRestart(ride, app.Seifert, c, now);
      // Short frames, so that a frame is one step of one slope.
      RideStep(ride, app.Seifert, c, Clock(now, 1), false, up);
      Vec3 last = ride.prevPos;
      double lastSpeed = std::abs(ride.speed);
      int gains = 0, climbGains = 0;
      for (int frame = 0; frame < 8000; ++frame) {  // past the first climb either way
        RideStep(ride, app.Seifert, c, Clock(now, 1), false, up);
        const double climb = up.Dot(ride.prevPos) - up.Dot(last);
        if (climb > 1e-9 && std::abs(ride.speed) > lastSpeed + 1e-12) ++climbGains;
        if (climb < -1e-9 && std::abs(ride.speed) > lastSpeed) ++gains;
        last = ride.prevPos;
        lastSpeed = std::abs(ride.speed);
      }
      EXPECT_EQ(climbGains, 0);
      EXPECT_GT(gains, 0);  // the car does pick up speed going down
    }
}
