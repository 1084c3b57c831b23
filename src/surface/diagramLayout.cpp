// The Diagram lay-out: the canonical Seifert surface of a planar diagram. One disk per Seifert
// circle, one band per crossing with a half twist of the crossing's sign. Circles nested in a
// circle are stacked above its disk: a lone child sits right above it with the same plan size, as
// the stacked lay-out's disks do, several children stand side by side on a ring inside it; the
// circles of the outside stand side by side in the plane z = 0. Each disk's band ends keep the
// cyclic order in which the crossings meet its circle, at angles as near as that order allows
// to the directions of the disks they lead to.

#include <algorithm>
#include <cmath>
#include <numeric>

#include "core/checked.h"
#include "core/rangeError.h"
#include "diagram/diagramCodes.h"
#include "diagram/seifertCircles.h"
#include "seifert.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// Band ends on a rim stay this many slots apart, so their holes in the disk's grid never meet.
constexpr double kSlotGap = 2.5;
constexpr double kWidest = 1.0;
constexpr double kMaxScale = 1e5;

// Gauss-Seidel sweeps of the barycentric drawing; it converges long before for table knots.
constexpr int32_t kTutteSweeps = 4000;

double Wrap(double a) {
  a = std::fmod(a, 2 * kPi);
  return a < 0 ? a + 2 * kPi : a;
}

// The circle at the other side of crossing k from circle c.
int32_t Across(const TSeifertDiagram& d, int32_t k, int32_t c) {
  const auto& cc = d.crossingCircles[static_cast<size_t>(k)];
  return cc[0] == c ? cc[1] : cc[0];
}

// Positions of a drawing of the diagram: crossings and edge midpoints.
struct TDrawing {
  std::vector<double> x, y;                   // crossings 0..n-1, then edges, then faces
  std::vector<std::array<int32_t, 4>> edge;   // the edge at each slot of each crossing
  int32_t n = 0;
};

// A barycentric (Tutte) drawing of the diagram's barycentric subdivision (crossings, edge
// midpoints and face centres, each joined to what it touches), which unlike the diagram itself
// has no parallel edges to collapse: the corners and edges of each piece's outer face lie on a
// circle in their order around it, every other point at the mean of its neighbours. Pieces stand
// side by side along x.
TDrawing DrawDiagram(const TSeifertDiagram& d, const TOrientedPD& m) {
  const int32_t n = d.nCrossings;
  TDrawing w;
  w.n = n;
  w.edge.assign(static_cast<size_t>(n), {-1, -1, -1, -1});
  int32_t nEdges = 0;
  for (int32_t k = 0; k < n; ++k)
    for (int32_t i = 0; i < 4; ++i) {
      if (w.edge[static_cast<size_t>(k)][static_cast<size_t>(i)] >= 0) continue;
      const auto [k2, i2] = m.across[static_cast<size_t>(k)][static_cast<size_t>(i)];
      w.edge[static_cast<size_t>(k)][static_cast<size_t>(i)] = nEdges;
      w.edge[static_cast<size_t>(k2)][static_cast<size_t>(i2)] = nEdges;
      ++nEdges;
    }
  const int32_t total = n + nEdges + d.nFaces;
  std::vector<std::vector<int32_t>> next(static_cast<size_t>(total));
  auto join = [&](int32_t a, int32_t b) {
    next[static_cast<size_t>(a)].push_back(b);
    next[static_cast<size_t>(b)].push_back(a);
  };
  for (int32_t k = 0; k < n; ++k)
    for (int32_t i = 0; i < 4; ++i) {
      const int32_t e = n + w.edge[static_cast<size_t>(k)][static_cast<size_t>(i)];
      const int32_t f = n + nEdges + d.face[static_cast<size_t>(k)][static_cast<size_t>(i)];
      next[static_cast<size_t>(k)].push_back(e);   // crossing to edge; the edge's own list
      next[static_cast<size_t>(e)].push_back(k);   // gets both of its ends this way
      join(k, f);                                  // the corner between slots i and i + 1
      // The face to the left of the edge leaving through slot i touches that edge.
      join(e, f);
    }
  w.x.assign(static_cast<size_t>(total), 0);
  w.y.assign(static_cast<size_t>(total), 0);
  std::vector<bool> fixed(static_cast<size_t>(total), false);
  for (int32_t p = 0; p < d.pieces; ++p) {
    const int32_t f = d.outerFace[static_cast<size_t>(p)];
    fixed[static_cast<size_t>(n + nEdges + f)] = true;  // at infinity: never a neighbour's pull
    std::vector<int32_t> around;
    for (int32_t k = 0; k < n && around.empty(); ++k)
      for (int32_t i = 0; i < 4 && around.empty(); ++i) {
        if (d.face[static_cast<size_t>(k)][static_cast<size_t>(i)] != f) continue;
        int32_t a = k, s = i;
        do {
          around.push_back(a);
          around.push_back(n + w.edge[static_cast<size_t>(a)][static_cast<size_t>(s)]);
          const auto [a2, s2] = m.across[static_cast<size_t>(a)][static_cast<size_t>(s)];
          a = a2;
          s = (s2 + 3) % 4;
        } while (a != k || s != i);
      }
    const double cx = 3.0 * p;
    for (size_t j = 0; j < around.size(); ++j) {
      if (fixed[static_cast<size_t>(around[j])]) continue;  // a corner met twice keeps its first place
      // Clockwise, so that the rest lies on the walk's left, inside.
      const double phi = -2 * kPi * static_cast<double>(j) / static_cast<double>(around.size());
      w.x[static_cast<size_t>(around[j])] = cx + std::cos(phi);
      w.y[static_cast<size_t>(around[j])] = std::sin(phi);
      fixed[static_cast<size_t>(around[j])] = true;
    }
    for (int32_t k = 0; k < n; ++k)
      if (d.piece[static_cast<size_t>(k)] == p)
        for (int32_t v : next[static_cast<size_t>(k)])
          if (!fixed[static_cast<size_t>(v)]) w.x[static_cast<size_t>(v)] = cx;
  }
  const int32_t outerBase = n + nEdges;
  for (int32_t sweep = 0; sweep < kTutteSweeps; ++sweep) {
    double moved = 0;
    for (int32_t v = 0; v < total; ++v) {
      if (fixed[static_cast<size_t>(v)]) continue;
      double sx = 0, sy = 0;
      int32_t count = 0;
      for (int32_t o : next[static_cast<size_t>(v)]) {
        if (o >= outerBase && fixed[static_cast<size_t>(o)]) continue;  // the outer face's centre
        sx += w.x[static_cast<size_t>(o)];
        sy += w.y[static_cast<size_t>(o)];
        ++count;
      }
      if (count == 0) continue;
      sx /= count;
      sy /= count;
      moved = std::max(moved, std::fabs(sx - w.x[static_cast<size_t>(v)]) + std::fabs(sy - w.y[static_cast<size_t>(v)]));
      w.x[static_cast<size_t>(v)] = sx;
      w.y[static_cast<size_t>(v)] = sy;
    }
    if (moved < 1e-10) break;
  }
  return w;
}

// Distance from (px, py) to the segment from a to b.
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double l2 = dx * dx + dy * dy;
  double t = l2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / l2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - ax - t * dx, py - ay - t * dy);
}

// Angles (in the plane, counter-clockwise from +x) for a disk's ends in the order of travel:
// as near to the wished ones as the order allows, at least `gap` apart. An end with no wish
// (NaN) takes its place between its neighbours.
std::vector<double> OrderedAngles(const std::vector<double>& wish, bool counterClockwise, double gap) {
  const size_t m = wish.size();
  std::vector<double> u(m);
  // Along the travel the angles grow on a counter-clockwise circle and shrink on a clockwise one.
  const double dir = counterClockwise ? 1 : -1;
  size_t known = 0;
  for (size_t j = 0; j < m; ++j) {
    u[j] = std::isnan(wish[j]) ? std::nan("") : Wrap(dir * wish[j]);
    known += !std::isnan(u[j]);
  }
  if (known == 0)
    for (size_t j = 0; j < m; ++j) u[j] = 2 * kPi * static_cast<double>(j) / static_cast<double>(m);
  // Ends without a wish: spread between the known ones around them.
  for (size_t j = 0; j < m; ++j) {
    if (!std::isnan(u[j])) continue;
    size_t back = 1, ahead = 1;
    while (std::isnan(u[(j + m - back) % m]) && back < m) ++back;
    while (std::isnan(u[(j + ahead) % m]) && ahead < m) ++ahead;
    const double a = u[(j + m - back) % m];
    double b = u[(j + ahead) % m];
    while (b <= a) b += 2 * kPi;
    if (std::isnan(a)) continue;
    u[j] = Wrap(a + (b - a) * static_cast<double>(back) / static_cast<double>(back + ahead));
  }
  // Unwrapped increasing values from the best start.
  std::vector<double> best;
  double bestCost = 0;
  for (size_t s = 0; s < m; ++s) {
    std::vector<double> v(m);
    v[0] = u[s];
    double cost = 0;
    for (size_t i = 1; i < m; ++i) {
      double t = u[(s + i) % m];
      while (t < v[i - 1] + gap) t += 2 * kPi;
      while (t - 2 * kPi >= v[i - 1] + gap) t -= 2 * kPi;
      v[i] = t;
      cost += t - v[i - 1];
    }
    if (v[m - 1] > v[0] + 2 * kPi - gap) cost += 1e6;
    if (best.empty() || cost < bestCost) {
      best.resize(m);
      for (size_t i = 0; i < m; ++i) best[(s + i) % m] = v[i];
      bestCost = cost;
    }
  }
  if (bestCost >= 1e6)
    for (size_t j = 0; j < m; ++j) best[j] = u[0] + 2 * kPi * static_cast<double>(j) / static_cast<double>(m);
  for (double& a : best) a = Wrap(dir * a);
  return best;
}

}  // namespace

void LayoutDiagram(TSeiffert& model, const TSettings& settings, const TPDCode& pd) {
  const TSeifertDiagram d = SeifertCircles(pd);
  const TOrientedPD m = OrientPD(pd);
  const int32_t nCircles = static_cast<int32_t>(d.circles.size());
  if (nCircles == 0) {
    LayoutTrivial(model, settings);
    return;
  }
  for (const TSeifertCircle& c : d.circles)
    if (c.crossings.size() > static_cast<size_t>(kMaxBandEnds))
      throw RangeError("a disk holds at most 50 band ends (a Seifert circle of the diagram meets " +
                       std::to_string(c.crossings.size()) + " crossings)");
  const double band = std::max(settings.bandWidth, settings.bandHeight);
  const TDrawing w = DrawDiagram(d, m);
  const std::vector<double>& kx = w.x;
  const std::vector<double>& ky = w.y;

  // Each circle's disk at the mean of the points of its polygon (its crossings and edge
  // midpoints), as wide as the polygon allows, narrowed where it would touch a disk at its own
  // height.
  const size_t nc = static_cast<size_t>(nCircles);
  std::vector<double> cx(nc, 0), cy(nc, 0), r(nc, 0);
  for (size_t c = 0; c < nc; ++c) {
    const TSeifertCircle& circle = d.circles[c];
    std::vector<int32_t> poly;
    for (size_t j = 0; j < circle.crossings.size(); ++j) {
      const int32_t k = circle.crossings[j];
      poly.push_back(k);
      poly.push_back(w.n + w.edge[static_cast<size_t>(k)][static_cast<size_t>(circle.edgeSlots[j])]);
    }
    for (int32_t v : poly) {
      cx[c] += kx[static_cast<size_t>(v)] / static_cast<double>(poly.size());
      cy[c] += ky[static_cast<size_t>(v)] / static_cast<double>(poly.size());
    }
    // A circle through one crossing is a flat polygon of two points: half way to them is room.
    double edge = 1e300, point = 1e300;
    for (size_t j = 0; j < poly.size(); ++j) {
      const size_t a = static_cast<size_t>(poly[j]), b = static_cast<size_t>(poly[(j + 1) % poly.size()]);
      edge = std::min(edge, SegmentDistance(cx[c], cy[c], kx[a], ky[a], kx[b], ky[b]));
      point = std::min(point, std::hypot(kx[a] - cx[c], ky[a] - cy[c]));
    }
    r[c] = 0.8 * std::max(edge, 0.5 * point);
  }
  for (size_t a = 0; a < nc; ++a)
    for (size_t b = a + 1; b < nc; ++b) {
      if (d.circles[a].depth != d.circles[b].depth) continue;
      const double gap = 0.85 * std::hypot(cx[a] - cx[b], cy[a] - cy[b]);
      if (r[a] + r[b] > gap) {
        const double f = gap / (r[a] + r[b]);
        r[a] *= f;
        r[b] *= f;
      }
    }
  // One scale for the whole drawing, so that the narrowest disk still holds its band ends.
  // Wide room need not make a wide disk: past kWidest times what it needs a disk only lengthens
  // the bands that leave it.
  double scale = 0;
  std::vector<double> need(nc);
  for (size_t c = 0; c < nc; ++c) {
    const double ends = static_cast<double>(d.circles[c].crossings.size());
    need[c] = std::max(settings.diskDiameter / 2, ends * band * 3 / (2 * kPi));
    scale = std::max(scale, need[c] / std::max(r[c], 1e-9));
  }
  // A drawing that squeezes a circle to nothing would need a scale past what floats resolve.
  if (!(scale < kMaxScale))
    throw RangeError("the diagram's drawing leaves a Seifert circle no room (scale " +
                     std::to_string(scale) + ")");
  for (size_t c = 0; c < nc; ++c) r[c] = std::min(scale * r[c], kWidest * need[c]) / scale;
  std::vector<int32_t> byDepth(nc);
  std::iota(byDepth.begin(), byDepth.end(), 0);
  std::stable_sort(byDepth.begin(), byDepth.end(), [&](int32_t a, int32_t b) {
    return d.circles[static_cast<size_t>(a)].depth < d.circles[static_cast<size_t>(b)].depth;
  });

  // Disks: a circle's inside on its left makes it counter-clockwise, and the side that faces
  // up is the same on all of those.
  ResizeLayout(model, nCircles, d.nCrossings);
  const double pitch = settings.diskHeight + settings.diskDistance;
  std::vector<int32_t> slots(static_cast<size_t>(nCircles));
  for (int32_t c = 0; c < nCircles; ++c) {
    const TSeifertCircle& circle = d.circles[static_cast<size_t>(c)];
    slots[static_cast<size_t>(c)] = std::max<int32_t>(8, 4 * static_cast<int32_t>(circle.crossings.size()));
    InitDisk(model.Disk(c + 1),
             Vec3(scale * cx[static_cast<size_t>(c)], scale * cy[static_cast<size_t>(c)], circle.depth * pitch),
             2 * scale * r[static_cast<size_t>(c)], settings.diskHeight, slots[static_cast<size_t>(c)],
             circle.counterClockwise ? 1 : 0);
  }

  // Angles of the band ends: towards the crossing, in the circle's order.
  std::vector<std::vector<double>> angle(nc);
  for (size_t c = 0; c < nc; ++c) {
    const TSeifertCircle& circle = d.circles[c];
    std::vector<double> wish;
    for (int32_t k : circle.crossings)
      wish.push_back(std::atan2(ky[static_cast<size_t>(k)] - cy[c], kx[static_cast<size_t>(k)] - cx[c]));
    angle[c] = OrderedAngles(wish, circle.counterClockwise, 2 * kPi * kSlotGap / slots[c]);
  }

  // Bands: one per crossing, its half twist against the crossing's sign.
  std::vector<std::array<TEndRef, 2>> ends(static_cast<size_t>(d.nCrossings));
  std::vector<int32_t> seen(static_cast<size_t>(d.nCrossings), 0);
  for (int32_t c = 0; c < nCircles; ++c) {
    const TSeifertCircle& circle = d.circles[static_cast<size_t>(c)];
    const int32_t n = slots[static_cast<size_t>(c)];
    for (size_t j = 0; j < circle.crossings.size(); ++j) {
      const int32_t k = circle.crossings[j];
      // Slot s of n lies at the plane angle -2 pi s / n.
      const int32_t slot = Mod(static_cast<int64_t>(std::nearbyint(-angle[static_cast<size_t>(c)][j] * n / (2 * kPi))), n);
      ends[static_cast<size_t>(k)][static_cast<size_t>(seen[static_cast<size_t>(k)]++)] = AddEnd(model, c + 1, k + 1, slot, 0);
    }
  }
  for (int32_t k = 0; k < d.nCrossings; ++k) {
    TTube& t = model.Tube(k + 1);
    t.endA = ends[static_cast<size_t>(k)][0];
    t.endB = ends[static_cast<size_t>(k)][1];
    t.twist = -d.signs[static_cast<size_t>(k)];
  }
  for (int32_t c = 1; c <= nCircles; ++c) SortEnds(model, c);
  model.nDisks = nCircles;
  model.nTubes = d.nCrossings;
}
