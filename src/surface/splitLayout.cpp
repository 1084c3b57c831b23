// The stacked lay-out cut into two stacks side by side at strand S: the strands below S form the
// left stack, the others the right one. The bands between strands S - 1 and S bridge the two
// stacks; a search over the rotations of both stacks turns their ends to the facing sides.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>

#include "core/checked.h"
#include "seifert.h"

namespace {

// The two stacks: disks below strand S on the left, rising with falling strand number, the
// others on the right; disks S - 1 and S both stand at z = 0. They stand far enough apart that
// the bands of one, which bulge out from the rims by about tubeCurve times the pitch, never
// meet those of the other in the gap.
void PlaceStacks(TSeiffert& model, const TSettings& settings, int32_t slotsL, int32_t slotsR) {
  const int32_t S = settings.splitAt;
  const double pitch = settings.diskHeight + settings.diskDistance;
  const double half = (settings.diskDiameter + settings.diskDistance) / 2 +
                      pitch * (1 + settings.tubeCurve);
  for (int32_t i = 1; i <= model.nStrands; ++i) {
    const bool left = i < S;
    const Vec3 centre = left ? Vec3(-half, 0, (double(S) - i - 1) * pitch)
                             : Vec3(half, 0, (double(i) - S) * pitch);
    InitDisk(model.disks[i], centre, settings.diskDiameter, settings.diskHeight,
             left ? slotsL : slotsR, left ? 1 : 0);
  }
}

constexpr int32_t kMaxBridgingBands = 100;
// The rotation fields hold positions in this range; a rotation written to them is clamped.
constexpr int32_t kRotationMin = -100, kRotationMax = 100;

Vec3 RimPoint(const TDisk& d, int64_t slot) {
  const double t = double(slot) * 2 * std::numbers::pi / d.nSlots;
  return d.centre + Vec3(std::cos(t), std::sin(t), 0) * (d.diameter / 2);
}

// The rotations (a, b) of disks S - 1 and S that bring the bridging bands closest together,
// the first pair in loop order among equal costs.
void SearchRotations(const TSeiffert& model, int32_t S, TSplitRotation& rotation) {
  std::vector<TEndRef> lower, upper;  // ends on disk S - 1 and on disk S, band by band
  for (int32_t t = 1; t <= model.nTubes; ++t) {
    const TTube& tube = model.Tube(t);
    TEndRef a = tube.endA, b = tube.endB;
    if (a.disk == S) std::swap(a, b);
    if (a.disk != S - 1 || b.disk != S) continue;
    if (lower.size() >= kMaxBridgingBands)
      throw RangeError("the split lay-out takes at most " + std::to_string(kMaxBridgingBands) +
                       " bands between the two stacks");
    lower.push_back(a);
    upper.push_back(b);
  }
  const TDisk& dl = model.Disk(S - 1);
  const TDisk& dr = model.Disk(S);
  double best = 1e10;
  int32_t bestA = 0, bestB = 0;
  for (int32_t a = 0; a < dl.nSlots; ++a) {
    for (int32_t b = 0; b < dr.nSlots; ++b) {
      double mL = -1000, mR = -1000, sum = 0;
      for (size_t i = 0; i < lower.size(); ++i) {
        const Vec3 pa = RimPoint(dl, int64_t{model.End(lower[i]).slot} + a);
        const Vec3 pb = RimPoint(dr, int64_t{model.End(upper[i]).slot} + b);
        mL = std::max(mL, double(std::abs(pa.x)));
        mR = std::max(mR, double(std::abs(pb.x)));
        sum += std::abs(double(pb.y) - double(pa.y));
      }
      const double cost = mL + mR + 0.2 * sum;
      if (cost < best) {
        best = cost;
        bestA = a;
        bestB = b;
      }
    }
  }
  rotation.r1 = std::clamp(bestA, kRotationMin, kRotationMax);
  rotation.r2 = std::clamp(bestB, kRotationMin, kRotationMax);
}

// The stacked lay-out folded: the disks below strand S swing, bands and all, half a turn about
// a line beside the stack and parallel to y, and stand upside down beside the others. Every band
// keeps its place around its disks, one slot pair per crossing as in the stacked lay-out,
// mirrored in x on the left; a band between the stacks then joins two rim points of equal y and
// hangs below in its own plane, nested in the others: no two of them meet. One rotation of
// both stacks turns these bands to the sides that face each other.
void LayoutFolded(TSeiffert& model, const TSettings& settings, TSplitRotation& rotation) {
  const int32_t nCross = model.nCross, S = settings.splitAt;
  const int32_t nSlots = CheckedMul(2, std::max(nCross, 4));
  const auto left = [S](int32_t i) { return i < S; };
  PlaceStacks(model, settings, nSlots, nSlots);

  // Slot 2(k - 1) for crossing k, before the rotation; the right stack's rim faces the left one
  // at slot nSlots / 2, so the rotation that brings the bridging bands nearest it wins.
  int32_t bridging = 0;
  for (int32_t k = 1; k <= nCross; ++k) bridging += std::abs(model.gen[k]) == S - 1;
  if (bridging > kMaxBridgingBands)
    throw RangeError("the split lay-out takes at most " + std::to_string(kMaxBridgingBands) +
                     " bands between the two stacks");
  if (rotation.autoTwist) {
    double best = 1e10;
    int32_t bestR = 0;
    for (int32_t r = 0; r < nSlots; ++r) {
      double cost = 0;
      for (int32_t k = 1; k <= nCross; ++k)
        if (std::abs(model.gen[k]) == S - 1)
          cost += 1 + std::cos(2 * std::numbers::pi * (2 * (k - 1) + r) / nSlots);
      if (cost < best - 1e-9) {
        best = cost;
        bestR = r;
      }
    }
    rotation.r1 = rotation.r2 = std::clamp(bestR, kRotationMin, kRotationMax);
  }
  // Both stacks turn by the one rotation r1, the left one mirrored in x (the slot of angle
  // pi - phi): the stacks are the two halves of one stacked lay-out, and a band between them
  // keeps its own plane only when both halves turn alike. A different r2, typed in with the
  // search off, would tilt those planes into each other.
  const int64_t r = rotation.r1;
  const auto slot = [&](int32_t disk, int32_t k) {
    return left(disk) ? Mod(int64_t{nSlots} / 2 - 2 * (int64_t{k} - 1) - r, nSlots)
                      : Mod(2 * (int64_t{k} - 1) + r, nSlots);
  };
  for (int32_t k = 1; k <= nCross; ++k) {
    const int32_t g = model.gen[k], j = std::abs(g);
    TTube& t = model.tubes[k];
    t.endA = AddEnd(model, j, k, slot(j, k), 0);
    t.endB = AddEnd(model, j + 1, k, slot(j + 1, k), 1);
    t.twist = CheckedMul(g > 0 ? 1 : -1, At(model.power, k, "crossing list"));
    t.hangs = j == S - 1;
  }
}

}  // namespace

void LayoutSplit(TSeiffert& model, const TSettings& settings, TSplitRotation& rotation) {
  const int32_t nDisks = model.nStrands, nCross = model.nCross, S = settings.splitAt;
  ResizeLayout(model, nDisks, nCross);

  int32_t nL = 0, nR = 0;
  for (int32_t k = 1; k <= nCross; ++k) {
    const int32_t j = std::abs(At(model.gen, k, "crossing list"));
    if (j < S) ++nL;
    if (int64_t{j} + 1 >= S) ++nR;
  }
  int32_t stepL = 1, stepR = 1;
  if (nL < 3) { nL = 4; stepL = 2; }
  if (nR < 3) { nR = 4; stepR = 2; }
  const int32_t slotsL = CheckedMul(2, nL), slotsR = CheckedMul(2, nR);

  PlaceStacks(model, settings, slotsL, slotsR);
  const auto left = [S](int32_t i) { return i < S; };

  // From split strand 3 on, a disk of the left stack carries bands of both kinds, and stacks
  // laid out each on its own leave the bands between them crossing under the disks. At strand
  // 2 they do so too unless the search has turned the bands to face each other in line, so
  // rotations typed in by hand fold the stacks there as well.
  if ((S >= 3 || (S == 2 && !rotation.autoTwist)) && S <= nDisks) {
    LayoutFolded(model, settings, rotation);
    return;
  }

  // The right stack numbers its slots the other way round.
  int32_t cL = 0, cR = 0;
  for (int32_t k = 1; k <= nCross; ++k) {
    const int32_t g = model.gen[k], j = std::abs(g);
    if (j < S) cL += stepL;
    if (int64_t{j} + 1 >= S) cR += stepR;
    const auto slot = [&](int32_t disk) {
      return left(disk) ? 2 * (cL - 1) : slotsR - 1 - 2 * (cR - 1);
    };
    TTube& t = model.tubes[k];
    t.endA = AddEnd(model, j, k, slot(j), 0);
    t.endB = AddEnd(model, j + 1, k, slot(j + 1), 1);
    t.twist = CheckedMul(g > 0 ? 1 : -1, At(model.power, k, "crossing list"));
    t.hangs = j == S - 1;
  }

  if (rotation.autoTwist && S >= 2 && S <= nDisks) SearchRotations(model, S, rotation);

  for (int32_t i = 1; i <= nDisks; ++i) {
    TDisk& d = model.disks[i];
    const int32_t r = left(i) ? rotation.r1 : rotation.r2;
    for (int32_t e = 0; e < d.nEnds; ++e) d.ends[e].slot = Mod(int64_t{d.ends[e].slot} + r, d.nSlots);
  }
}
