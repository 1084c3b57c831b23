#include "ride.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

#include "core/checked.h"
#include "core/rangeError.h"

namespace {

constexpr double kDegree = std::numbers::pi / 180;
constexpr int32_t kMinTrackVertices = 4;

// Uniform cubic B-spline weights and their derivatives at t.
std::array<double, 4> Weights(double t) {
  const double s = 1 - t;
  return {s * s * s / 6, (3 * t * t * t - 6 * t * t + 4) / 6,
          (-3 * t * t * t + 3 * t * t + 3 * t + 1) / 6, t * t * t / 6};
}

std::array<double, 4> Slopes(double t) {
  const double s = 1 - t;
  return {-s * s / 2, (9 * t * t - 12 * t) / 6, (-9 * t * t + 6 * t + 3) / 6, t * t / 2};
}

const TLinkLine& Track(const TSeiffert& m, int32_t link) { return At(m.links, link, "link lines"); }

int32_t LinkIndex(const TSeiffert& m, int32_t linkControl) {
  return Mod(int64_t{linkControl} - 1, m.nLinks);
}

// The spline point over the four vertices from `index` on, of positions or of normals.
Vec3 Spline(const TMesh& mesh, const TLinkLine& track, int32_t index,
            const std::array<double, 4>& w, bool normals) {
  Vec3 sum;
  for (int i = 0; i < 4; ++i) {
    const TVertex& v = mesh.verts.at(static_cast<size_t>(track.verts[Mod(int64_t{index} + i, track.nVerts)]));
    sum += (normals ? v.normal : v.pos) * w[i];
  }
  return sum;
}

// Turns the pair (a, b) by angle x in their plane, both from their old values.
void Turn(Vec3& a, Vec3& b, double x) {
  const double c = std::cos(x), s = std::sin(x);
  const Vec3 na = a * c + b * s, nb = a * -s + b * c;
  a = na;
  b = nb;
}

}  // namespace

uint32_t RideTickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void CarryRideOver(TRideState& ride, const TSeiffert& m) {
  ride.speed = 0;
  if (ride.link < 0 || ride.link >= m.nLinks || ride.link >= static_cast<int32_t>(m.links.size()))
    return;
  const TLinkLine& track = m.links[static_cast<size_t>(ride.link)];
  int32_t nearest = -1;
  double best = 0;
  for (int32_t i = 0; i < track.nVerts; ++i) {
    const int32_t v = track.verts[static_cast<size_t>(i)];
    if (v < 0 || v >= m.mesh.nVerts) continue;
    const double d = (m.mesh.verts[static_cast<size_t>(v)].pos - ride.prevPos).LengthSq();
    if (nearest < 0 || d < best) {
      best = d;
      nearest = i;
    }
  }
  // At the start of a segment the spline lies next to its second control vertex.
  if (nearest >= 0) {
    ride.index = Mod(int64_t{nearest} - 1, track.nVerts);
    ride.frac = 0;
  }
}

TRideControls ReadRideControls(const TControlPanel& c) {
  TRideControls r;
  r.velocity = c.Position("ud_speed");
  r.accelerate = c.Position("ud_acc");
  r.roll = c.Position("ud_roll");
  r.pitch = c.Position("ud_pitch");
  r.yaw = c.Position("ud_yaw");
  r.upDown = c.Position("ud_ud");
  r.backFront = c.Position("ud_bf");
  r.leftRight = c.Position("ud_lr");
  r.link = c.Position("ud_ilink");
  r.paused = c.Checked("but_pause");
  return r;
}

std::string RideProblem(const TSeiffert& m, int32_t linkControl) {
  if (m.nLinks <= 0 || m.links.size() < static_cast<size_t>(m.nLinks))
    return "The surface has no knot line to ride on.";
  const TLinkLine& track = Track(m, LinkIndex(m, linkControl));
  if (track.nVerts < kMinTrackVertices || track.verts.size() < static_cast<size_t>(track.nVerts))
    return "Knot line " + std::to_string(LinkIndex(m, linkControl) + 1) + " has only " +
           std::to_string(track.nVerts) + " points; the ride needs at least " +
           std::to_string(kMinTrackVertices) + ".";
  for (int32_t i = 0; i < track.nVerts; ++i)
    if (track.verts[i] < 0 || track.verts[i] >= m.mesh.nVerts)
      return "The knot line names a point the mesh does not hold.";
  return "";
}

void RideRestart(TRideState& ride, const TSeiffert& m, const TRideControls& c, uint32_t tick) {
  ride.speed = ride.gravity = ride.target = ride.frac = 0;
  if (m.nLinks <= 0) return;
  ride.link = LinkIndex(m, c.link);
  const int32_t n = Track(m, ride.link).nVerts;
  ride.index = c.velocity <= 0 ? 3 : n - 3;
  if (n > 0) ride.index = Mod(ride.index, n);
  ride.lastTick = tick;
}

TRideCamera RideStep(TRideState& ride, const TSeiffert& m, const TRideControls& c,
                     const std::function<uint32_t()>& tick, bool dragging, const Vec3& up) {
  if (const std::string problem = RideProblem(m, c.link); !problem.empty()) throw RangeError(problem);

  uint32_t now = tick();
  while (now == ride.lastTick) now = tick();
  ride.nowTick = now;
  double dt = static_cast<uint32_t>(now - ride.lastTick) / 1000.0;  // wraps like the counter
  ride.lastTick = now;

  const double v = c.paused ? 0 : -c.velocity / 100.0;
  ride.target = -c.velocity / 100.0;
  ride.accel = c.accelerate / 100.0;
  if (!dragging) {
    const double fade = std::max(1 - dt, 0.0);
    ride.lookH *= fade;
    ride.lookV *= fade;
  }
  ride.link = LinkIndex(m, c.link);
  const TLinkLine& track = Track(m, ride.link);
  const int32_t n = track.nVerts;
  ride.index = Mod(ride.index, n);

  // A frame covers at most a hundred laps: a track whose points coincide takes no time per
  // step and would otherwise hold the car (and the window) in this loop for good.
  const int64_t maxSteps = std::min<int64_t>(int64_t{100} * 100 * n, 1'000'000);
  Vec3 p;
  for (int64_t step = 0;; ++step) {
    if (v > 0) ride.frac += 0.01;
    if (v < 0) ride.frac -= 0.01;
    if (ride.frac > 1) {
      ride.frac -= 1;
      ++ride.index;
    }
    if (ride.frac < 0) {
      ride.frac += 1;
      --ride.index;
    }
    if (ride.index >= n) ride.index = 0;
    if (ride.index < 0) ride.index = n - 1;

    p = Spline(m.mesh, track, ride.index, Weights(ride.frac), false);
    const Vec3 d = p - ride.prevPos;
    if (ride.speed != 0) {
      const double tau = d.Length() / std::abs(ride.speed);
      dt -= tau;
      ride.gravity = ride.accel * up.Dot(d.Normalised());
      // d is the way the car went, so a climb makes the gravity positive: it takes speed off
      // whichever sign the speed has (a car running backwards has a positive speed).
      const double slowing = ride.speed < 0 ? 1 : -1;
      ride.speed = (1 - 0.02 * tau) * ride.speed + slowing * tau * ride.gravity;
      if ((ride.target >= 0 && ride.target > ride.speed) ||
          (ride.target < 0 && ride.target < ride.speed))
        ride.speed = ride.target;
    }
    if (ride.speed == 0 || !std::isfinite(ride.speed)) ride.speed = ride.target;
    ride.prevPos = p;
    if (v == 0 || !(dt >= 0) || step >= maxSteps) break;
  }

  TRideCamera cam;
  Vec3 f = Spline(m.mesh, track, ride.index, Slopes(ride.frac), false).Normalised();
  Vec3 u = Spline(m.mesh, track, ride.index, Weights(ride.frac), true);
  Vec3 r = u.Cross(f).Normalised();
  u = r.Cross(f);
  r = -r;
  Turn(r, u, c.roll * kDegree);
  Turn(u, f, c.yaw * kDegree);
  Turn(r, f, c.pitch * kDegree);
  p = p + f * (c.backFront / 100.0) + r * (c.leftRight / 100.0) + u * (c.upDown / 100.0);
  Turn(r, f, ride.lookH * kDegree);
  Turn(u, f, -ride.lookV * kDegree);

  cam.p = p;
  cam.r = r;
  cam.u = u;
  cam.f = f;
  const Vec3 rows[3] = {r, u, f};
  for (int i = 0; i < 3; ++i) {
    cam.modelView[0 + i] = rows[i].x;
    cam.modelView[4 + i] = rows[i].y;
    cam.modelView[8 + i] = rows[i].z;
    cam.modelView[12 + i] = -rows[i].Dot(p);
  }
  cam.modelView[15] = 1;
  return cam;
}

void RidePreset(TControlPanel& controls, int preset) {
  struct TPreset { int sign, roll, yaw, pitch, backFront, leftRight, upDown; bool surfaces; };
  static const TPreset kPresets[4] = {{1, 90, 0, 0, 5, -5, 5, true},
                                      {-1, -90, 0, 180, 5, -5, 5, true},
                                      {-1, 0, 0, 180, 0, 0, 5, true},
                                      {1, -90, 0, 0, 0, 0, 0, false}};
  if (preset < 1 || preset > 4) throw RangeError("camera presets are 1 to 4");
  const TPreset& p = kPresets[preset - 1];
  const int32_t velocity = controls.Position("ud_speed");
  if ((p.sign > 0 && velocity < 0) || (p.sign < 0 && velocity > 0))
    controls.SetPosition("ud_speed", -velocity);
  controls.SetPosition("ud_roll", p.roll);
  controls.SetPosition("ud_yaw", p.yaw);
  controls.SetPosition("ud_pitch", p.pitch);
  controls.SetPosition("ud_bf", p.backFront);
  controls.SetPosition("ud_lr", p.leftRight);
  controls.SetPosition("ud_ud", p.upDown);
  controls.SetChecked("cb_showsurfaces", p.surfaces);
}
