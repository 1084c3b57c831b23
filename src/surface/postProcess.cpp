// Simplifications of a finished lay-out (cancelling opposite twists, merging disks that only
// pass two bands through) and the checks that decide whether a lay-out can carry T-joints.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "core/checked.h"
#include "core/rounding.h"
#include "seifert.h"

void ReduceTwists(TSeiffert& model) {
  for (bool changed = true; changed;) {
    changed = false;
    for (int32_t i = 1; i <= model.nDisks; ++i) {
      TDisk& d = model.Disk(i);
      if (d.nEnds != 2 || d.ends[0].tube == d.ends[1].tube) continue;
      TTube& t0 = model.Tube(d.ends[0].tube);
      TTube& t1 = model.Tube(d.ends[1].tube);
      if (t0.twist == 0 || int64_t{t0.twist} != -int64_t{t1.twist}) continue;
      t0.twist = 0;
      t1.twist = 0;
      d.side ^= 1;
      changed = true;
    }
  }
}

namespace {

// Whether the two bands of a two-ended disk can become one band without changing the boundary.
// Bands that lead on to two other disks pass the disk on their way: one band does the same. Bands
// that both return to one disk make a loop on it, which the mesh lays beside that disk's rim; it
// keeps the knot only when no other band leaves the rim between the loop's two ends (5_2's
// "AAABaB" in the stacked lay-out has one, and the loop would pass through it).
bool Mergeable(const TSeiffert& model, int32_t disk) {
  const TDisk& d = model.Disk(disk);
  if (d.nEnds != 2 || d.ends[0].tube == d.ends[1].tube) return false;
  // A band between the split lay-out's stacks keeps its own path under the disks.
  if (model.Tube(d.ends[0].tube).hangs || model.Tube(d.ends[1].tube).hangs) return false;
  // So does a band of the Diagram lay-out, which follows its drawing.
  if (!model.Tube(d.ends[0].tube).route.empty() || !model.Tube(d.ends[1].tube).route.empty()) return false;
  const TEndRef f0 = OtherEnd(model, {disk, 0}), f1 = OtherEnd(model, {disk, 1});
  if (f0.disk != f1.disk) return true;
  const int32_t n = model.Disk(f0.disk).nEnds;
  const int32_t gap = std::abs(f0.end - f1.end);
  return gap == 1 || gap == n - 1;
}

}  // namespace

bool MergeTwoBandDisks(TSeiffert& model) {
  int32_t a = 0;
  for (int32_t i = model.nDisks; i >= 1 && a == 0; --i)
    if (Mergeable(model, i)) a = i;
  if (a == 0) return false;

  const TEndRef e0{a, 0}, e1{a, 1};
  const int32_t t0 = model.End(e0).tube, t1 = model.End(e1).tube;
  const TEndRef f1 = OtherEnd(model, e1);
  TTube& T0 = model.Tube(t0);
  const TTube& T1 = model.Tube(t1);
  T0.twist = CheckedAdd(T0.twist, T1.twist);

  // The way the two bands went, through disk a, from F0 to F1: the mesh can follow it.
  using TPath = std::vector<TTube::TWaypoint>;
  const auto reversed = [](TPath p) {
    std::reverse(p.begin(), p.end());
    for (TTube::TWaypoint& w : p) w.heading = -w.heading;
    return p;
  };
  TPath path = T0.endA == e0 ? reversed(T0.via) : T0.via;  // F0 to a
  const TPath after = T1.endA == e1 ? T1.via : reversed(T1.via);  // a to F1
  const TDisk& d = model.Disk(a);
  const auto rimDirection = [&](int32_t slot) {
    const Vec3 n = d.normal.Normalised();
    const Vec3 u = Vec3(0, 1, 0).Cross(n).Normalised(), v = u.Cross(n);
    const double phi = 2 * std::numbers::pi * slot / std::max(d.nSlots, 1);
    return u * std::cos(phi) + v * std::sin(phi);
  };
  // Into the disk where the first band entered it and out where the second left it.
  const Vec3 in = rimDirection(d.ends[0].slot), out = rimDirection(d.ends[1].slot);
  path.push_back({d.centre + in * (d.diameter / 2), -in});
  path.push_back({d.centre + out * (d.diameter / 2), out});
  path.insert(path.end(), after.begin(), after.end());
  const bool f1IsA = T0.endA == e0;
  T0.via = f1IsA ? reversed(std::move(path)) : std::move(path);

  model.End(f1).tube = t0;
  (f1IsA ? T0.endA : T0.endB) = f1;
  DeleteTube(model, t1);
  DeleteDisk(model, a);
  return true;
}

bool FollowsWaypoints(const TSeiffert& model, const TTube& tube) {
  if (tube.via.empty() || tube.endA.disk == tube.endB.disk) return false;
  const TDisk& a = model.Disk(tube.endA.disk);
  const TDisk& b = model.Disk(tube.endB.disk);
  const Vec3 n = a.normal.Normalised();
  const double tolerance = 1e-4 * std::max(1.0, a.diameter);
  const auto inPlane = [&](const Vec3& p) { return std::abs((p - a.centre).Dot(n)) <= tolerance; };
  if (b.normal.Normalised().Cross(n).Length() > 1e-6 || !inPlane(b.centre)) return false;
  for (const TTube::TWaypoint& w : tube.via)
    if (!inPlane(w.point)) return false;
  return true;
}

double WaypointLength(const TSeiffert& model, const TTube& tube) {
  Vec3 at = model.Disk(tube.endA.disk).centre;
  double length = 0;
  for (const TTube::TWaypoint& w : tube.via) {
    length += (w.point - at).Length();
    at = w.point;
  }
  return length + (model.Disk(tube.endB.disk).centre - at).Length();
}

void ReslotEnds(TSeiffert& model, int32_t di) {
  TDisk& d = model.Disk(di);
  const int32_t n = d.nEnds, nSlots = d.nSlots;
  if (n == 0) return;
  std::vector<int32_t> want(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    // A band that follows the disks it was merged through heads for the nearest of them.
    const TTube& t = model.Tube(d.ends[i].tube);
    const TEndRef self{di, i};
    Vec3 toward = model.Disk(OtherEnd(model, self).disk).centre;
    if (FollowsWaypoints(model, t)) toward = (t.endA == self ? t.via.front() : t.via.back()).point;
    const Vec3 dv = toward - d.centre;
    double angle = -std::atan2(double(dv.y), double(dv.x));
    if (angle < 0) angle += 2 * std::numbers::pi;
    int32_t w = RoundToInt(angle * nSlots / (2 * std::numbers::pi), "end direction");
    if (w >= nSlots) w -= nSlots;
    want[i] = w;
  }
  // Only an end that faces straight away from its partner moves, and only to a free slot.
  for (int32_t i = 0; i < n; ++i) {
    const int32_t s = d.ends[i].slot;
    if (std::abs(int64_t{want[i]} - s) != nSlots / 2) continue;
    const int32_t prev = d.ends[(i + n - 1) % n].slot, next = d.ends[(i + 1) % n].slot;
    for (const int32_t c : {Mod(int64_t{s} + nSlots - 2, nSlots), Mod(int64_t{s} + 2, nSlots)}) {
      if (c != prev && c != next) {
        d.ends[i].slot = c;
        break;
      }
    }
  }
}

bool AllDisksThreeEnds(const TSeiffert& model) {
  for (int32_t i = 1; i <= model.nDisks; ++i)
    if (model.Disk(i).nEnds != 3) return false;
  return true;
}

bool LayoutUsable(const TSeiffert& model, const TSettings& settings) {
  if (model.nDisks == 0) return false;
  return !settings.tJoints || AllDisksThreeEnds(model);
}
