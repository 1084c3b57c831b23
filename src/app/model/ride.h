#pragma once
// The knot roller coaster without GL or Qt: a car riding one link component along the uniform
// cubic B-spline of its vertices, its speed changed by the slope, and the camera fixed to it.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "app/model/controlPanel.h"
#include "core/vec3.h"
#include "surface/seifert.h"

// The "Race control" values and the ride buttons, as positions of their controls.
struct TRideControls {
  int32_t velocity = 10, accelerate = 30;
  int32_t roll = 90, pitch = 0, yaw = 0;
  int32_t upDown = 5, backFront = 10, leftRight = -5;
  int32_t link = 1;     // "Link", from 1
  bool paused = false;  // "Pause" is down
};

TRideControls ReadRideControls(const TControlPanel& controls);

struct TRideState {
  int32_t link = 0;   // ridden component, from 0
  int32_t index = 0;  // first of the four control vertices of the current segment
  double frac = 0;    // parameter within the segment
  double speed = 0;   // signed; 0: the next step takes the set velocity
  double target = 0;  // the set velocity
  double accel = 0;
  double gravity = 0;
  Vec3 prevPos;
  uint32_t lastTick = 0, nowTick = 0;  // milliseconds
  double lookH = 0, lookV = 0;         // look-around in degrees, springing back to 0
  int32_t framesSinceTick = 0;         // frames drawn since the clock was last set
};

// The car's place and axes (right, up, forward; the camera looks along -forward) and the
// model-view matrix they give, column-major.
struct TRideCamera {
  Vec3 p, r, u, f;
  std::array<double, 16> modelView{};
};

// A millisecond tick counter for the ride clock (wraps after about 49 days).
uint32_t RideTickCount();

// The car put on the refined link at the point nearest to where it was.
void CarryRideOver(TRideState& ride, const TSeiffert& refined);

// Why the ride cannot start on this model, or "" when it can: the component that "Link" names
// must exist and have at least four vertices for the spline.
std::string RideProblem(const TSeiffert& model, int32_t linkControl);

// "Restart": the car back at the start of the component "Link" names.
void RideRestart(TRideState& ride, const TSeiffert& model, const TRideControls& c, uint32_t tick);

// One frame of the ride: waits for the tick count (`tick`) to move on, advances the car by the
// time since the last frame, and places the camera. `up`: the view's up axis; `dragging`: a
// mouse button is held, so the look-around does not spring back. Needs RideProblem() == "".
TRideCamera RideStep(TRideState& ride, const TSeiffert& model, const TRideControls& c,
                     const std::function<uint32_t()>& tick, bool dragging, const Vec3& up);

// Camera presets "1".."4": the "Race control" values and the "surfaces" box.
void RidePreset(TControlPanel& controls, int preset);
