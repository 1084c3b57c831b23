#include "invariants/diagramForm.h"

#include <algorithm>
#include <stdexcept>

#include "core/checked.h"
#include "core/rangeError.h"
#include "diagram/diagramCodes.h"

namespace {

// The corners of crossing k (indices 0..3: corner i lies between slots i and i + 1) by the part
// they play: `toX` and `toY` the two the smoothing joins, whose loops run through the band to
// circle X (the one through the incoming under-strand) and to circle Y; `cutX` and `cutY` the
// corners the smoothed arcs of X and Y cut off.
struct TCorners {
  int32_t toX, toY, cutX, cutY;
};

TCorners CornersOf(int32_t sign) {
  // Right-handed, the smoothed arcs run from slot 0 to 1 (X) and 3 to 2 (Y); left-handed from 0
  // to 3 (X) and 1 to 2 (Y).
  if (sign > 0) return {1, 3, 0, 2};
  return {0, 2, 3, 1};
}

// The circle through crossing k's incoming under-strand: the one that leaves it by the
// over-strand's exit.
int32_t CircleX(const TSeifertDiagram& d, int32_t k) {
  for (int32_t c : d.crossingCircles.at(static_cast<size_t>(k))) {
    const TSeifertCircle& circle = d.circles.at(static_cast<size_t>(c));
    for (size_t j = 0; j < circle.crossings.size(); ++j)
      if (circle.crossings[j] == k && circle.edgeSlots[j] != 2) return c;
  }
  throw std::logic_error("ComputeDiagramInvariants: no circle leaves a crossing by its over-strand");
}

}  // namespace

TInvariants ComputeDiagramInvariants(const TPDCode& pd, TRoads roads) {
  if (pd.empty()) {
    // No crossings: the one disk of the unknot.
    TInvariants r = ComputeInvariants(std::string(), roads);
    r.surfaceName = "diagram surface";
    return r;
  }
  const TSeifertDiagram d = SeifertCircles(pd);
  const TOrientedPD m = OrientPD(pd);
  const int32_t n = d.nCrossings;
  TInvariants r;
  r.surfaceName = "diagram surface";
  r.nDisks = std::max<int32_t>(1, static_cast<int32_t>(d.circles.size()));
  r.nBands = n;
  r.eulerCharacteristic = r.nDisks - r.nBands;
  r.surfaceParts = std::max<int32_t>(1, d.pieces);
  r.components = std::max<int32_t>(1, d.components);
  r.genus = (2 * r.surfaceParts - r.eulerCharacteristic - r.components) / 2;

  // Every face of a region but one is a loop: the diagram's outer face, else the region's face
  // of most corners (the first of them), is left out.
  const size_t nFaces = static_cast<size_t>(d.nFaces);
  int32_t nRegions = 0;
  for (int32_t region : d.faceRegion) nRegions = std::max(nRegions, region + 1);
  std::vector<int32_t> corners(nFaces, 0);
  for (const auto& f : d.face)
    for (int32_t face : f) ++corners.at(static_cast<size_t>(face));
  std::vector<int32_t> dropped(static_cast<size_t>(nRegions), -1);
  std::vector<bool> outside(static_cast<size_t>(nRegions), false);
  for (int32_t f : d.outerFace) {
    const size_t region = static_cast<size_t>(d.faceRegion.at(static_cast<size_t>(f)));
    dropped.at(region) = f;
    outside.at(region) = true;
  }
  for (size_t f = 0; f < nFaces; ++f) {
    const size_t region = static_cast<size_t>(d.faceRegion[f]);
    if (outside[region]) continue;
    if (dropped[region] < 0 || corners[f] > corners[static_cast<size_t>(dropped[region])])
      dropped[region] = static_cast<int32_t>(f);
  }
  std::vector<int32_t> loopOf(nFaces, -1);
  size_t nLoops = 0;
  for (size_t f = 0; f < nFaces; ++f)
    if (dropped[static_cast<size_t>(d.faceRegion[f])] != static_cast<int32_t>(f))
      loopOf[f] = static_cast<int32_t>(nLoops++);
  if (nLoops > static_cast<size_t>(kMaxSeifertLoops))
    throw RangeError("the invariants of a diagram surface are computed for at most " +
                     std::to_string(kMaxSeifertLoops) + " loops (this one has " +
                     std::to_string(nLoops) + ")");
  r.rank = static_cast<int32_t>(nLoops);

  // Each loop's walk: around its face counter-clockwise (the face lies left of the edge leaving
  // each of its corners), through the band of every crossing where it is a joined corner.
  r.loopSteps.assign(nLoops, {});
  std::vector<uint8_t> walked(static_cast<size_t>(4) * static_cast<size_t>(n), 0);
  for (int32_t k = 0; k < n; ++k)
    for (int32_t i = 0; i < 4; ++i) {
      const int32_t loop = loopOf[static_cast<size_t>(d.face[static_cast<size_t>(k)][static_cast<size_t>(i)])];
      if (loop < 0 || walked[static_cast<size_t>(4 * k + i)]) continue;
      int32_t x = k, s = i;
      do {
        walked[static_cast<size_t>(4 * x + s)] = 1;
        const TCorners c = CornersOf(d.signs[static_cast<size_t>(x)]);
        const int32_t cx = CircleX(d, x);
        const auto& cc = d.crossingCircles[static_cast<size_t>(x)];
        const int32_t cy = cc[0] == cx ? cc[1] : cc[0];
        if (s == c.toX) r.loopSteps[static_cast<size_t>(loop)].push_back({x + 1, cx + 1});
        if (s == c.toY) r.loopSteps[static_cast<size_t>(loop)].push_back({x + 1, cy + 1});
        const auto [x2, s2] = m.across[static_cast<size_t>(x)][static_cast<size_t>(s)];
        x = x2;
        s = (s2 + 3) % 4;
      } while (x != k || s != i);
    }

  // The matrix as twice its symmetric part G = V + V^T and its antisymmetric part
  // I = V - V^T (the loops' intersection numbers), each a sum over crossings.
  std::vector<std::vector<int64_t>> g(nLoops, std::vector<int64_t>(nLoops, 0));
  std::vector<std::vector<int64_t>> in(nLoops, std::vector<int64_t>(nLoops, 0));
  auto loopAt = [&](int32_t k, int32_t corner) {
    return loopOf[static_cast<size_t>(d.face[static_cast<size_t>(k)][static_cast<size_t>(corner)])];
  };
  // Both entries of a symmetric pair (twice the one entry when a = b, as the loop then passes
  // twice); the antisymmetric pair cancels for a = b.
  auto addG = [&](int32_t a, int32_t b, int64_t v) {
    if (a < 0 || b < 0) return;
    g[static_cast<size_t>(a)][static_cast<size_t>(b)] += v;
    g[static_cast<size_t>(b)][static_cast<size_t>(a)] += v;
  };
  auto addI = [&](int32_t a, int32_t b, int64_t v) {
    if (a < 0 || b < 0) return;
    in[static_cast<size_t>(a)][static_cast<size_t>(b)] += v;
    in[static_cast<size_t>(b)][static_cast<size_t>(a)] -= v;
  };
  for (int32_t k = 0; k < n; ++k) {
    const int64_t e = d.signs[static_cast<size_t>(k)];
    const TCorners c = CornersOf(static_cast<int32_t>(e));
    const int32_t a = loopAt(k, c.toX), b = loopAt(k, c.toY);
    // The half twist: each loop through it links its own push-off by -e/2; the two loops
    // through it, running opposite ways, cross once in it and once on a disk.
    if (a >= 0) g[static_cast<size_t>(a)][static_cast<size_t>(a)] -= e;
    if (b >= 0) g[static_cast<size_t>(b)][static_cast<size_t>(b)] -= e;
    addG(a, b, e);
    addI(a, b, e);
    // A band between a circle and one inside it folds back over the outer disk; the loop along
    // the outer circle's cut-off corner runs under the fold, across both loops of the band.
    const int32_t cx = CircleX(d, k);
    const auto& cc = d.crossingCircles[static_cast<size_t>(k)];
    const int32_t cy = cc[0] == cx ? cc[1] : cc[0];
    const int32_t region = d.crossingRegion[static_cast<size_t>(k)];
    const bool xOuter = d.circles[static_cast<size_t>(cx)].innerRegion == region;
    const bool yOuter = d.circles[static_cast<size_t>(cy)].innerRegion == region;
    if (!xOuter && !yOuter) continue;
    const int32_t toOuter = xOuter ? a : b, toInner = xOuter ? b : a;
    const int32_t under = loopAt(k, xOuter ? c.cutX : c.cutY);
    const int64_t side = xOuter ? e : -e;
    if (toOuter >= 0) g[static_cast<size_t>(toOuter)][static_cast<size_t>(toOuter)] += 1;
    if (toInner >= 0) g[static_cast<size_t>(toInner)][static_cast<size_t>(toInner)] -= 1;
    addG(under, toOuter, -1);
    addG(under, toInner, 1);
    addI(under, toOuter, side);
    addI(under, toInner, -side);
  }
  r.seifert.assign(nLoops, std::vector<int64_t>(nLoops, 0));
  for (size_t i = 0; i < nLoops; ++i)
    for (size_t j = 0; j < nLoops; ++j) {
      const int64_t twice = CheckedAdd64(g[i][j], in[i][j]);
      if (twice % 2 != 0)
        throw std::logic_error("ComputeDiagramInvariants: a linking number came out a half");
      r.seifert[i][j] = twice / 2;
    }
  InvariantsFromSeifertMatrix(r, roads);
  return r;
}
