// The Diagram lay-out: the canonical Seifert surface of a planar diagram. One disk per Seifert
// circle, one band per crossing with a half twist of the crossing's sign.
//
// The geometry is built room by room. The circles cut the plane into regions; the circles inside
// a region (its kids) stand side by side one level above the circle around it (its parent), over
// that parent's disk, which is wide enough to hold them all; the parent's bands to them leave its
// rim at fixed ports. The kids and the bands of a region come from a barycentric drawing of the
// region's map with those ports fixed on a circle: every kid a wheel (a hub and one rim point per
// band end and per corner), every face fanned from a centre, so that the drawing is a
// triangulated disk with a convex border and the barycentric map draws it without a fold. Each
// disk sits inside its wheel, each band follows its drawn path, and the drawing is scaled until
// bands and disks keep their distance. Each disk's band ends keep the cyclic order in which the
// crossings meet its circle; a region's ports on its parent's rim are spread between the
// parent's own bands outward, so the two kinds interleave as they do along the circle.

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <numeric>

#include "core/checked.h"
#include "core/rangeError.h"
#include "diagram/diagramCodes.h"
#include "diagram/seifertCircles.h"
#include "seifert.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// Neighbouring band ends on a rim keep at least this share of an even spacing.
constexpr double kGapShare = 0.6;
// Clear space along a rim between neighbouring band ends, in band widths.
constexpr double kEndArc = 2.5;
constexpr double kMaxScale = 1e5;
// Gauss-Seidel sweeps of the barycentric drawing, over-relaxed; it converges long before.
constexpr int32_t kTutteSweeps = 20000;
constexpr double kRelax = 1.6;
constexpr double kFacePull = 0.05;
constexpr double kScaleStep = 1.1;
constexpr size_t kNoPoint = ~size_t{0};
// Bends sharper than this are counted as this sharp: the band would fold at any scale.
constexpr double kSharpest = 2.6;

double Wrap(double a) {
  a = std::fmod(a, 2 * kPi);
  return a < 0 ? a + 2 * kPi : a;
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
  // From an even spread turned to fit the wishes best, each angle in turn moves as near to its
  // wish as its neighbours, `gap` away on either side, let it.
  double sx = 0, sy = 0;
  for (size_t j = 0; j < m; ++j) {
    const double off = u[j] - 2 * kPi * static_cast<double>(j) / static_cast<double>(m);
    sx += std::cos(off);
    sy += std::sin(off);
  }
  const double base = sx == 0 && sy == 0 ? 0 : std::atan2(sy, sx);
  std::vector<double> best(m), target(m);
  for (size_t j = 0; j < m; ++j) {
    best[j] = base + 2 * kPi * static_cast<double>(j) / static_cast<double>(m);
    target[j] = best[j] + std::remainder(u[j] - best[j], 2 * kPi);
  }
  const double room = std::min(gap, 2 * kPi / static_cast<double>(m));
  for (int32_t sweep = 0; sweep < 200 && m > 1; ++sweep)
    for (size_t j = 0; j < m; ++j) {
      const double lo = j > 0 ? best[j - 1] + room : best[m - 1] - 2 * kPi + room;
      const double hi = j + 1 < m ? best[j + 1] - room : best[0] + 2 * kPi - room;
      if (lo <= hi) best[j] = std::clamp(target[j], lo, hi);
    }
  for (double& a : best) a = Wrap(dir * a);
  return best;
}


// Distance between the segments ab and cd in the plane.
double SegmentsDistance(double ax, double ay, double bx, double by, double cx, double cy, double dx,
                        double dy) {
  auto side = [](double px, double py, double qx, double qy, double rx, double ry) {
    return (qx - px) * (ry - py) - (qy - py) * (rx - px);
  };
  const double d1 = side(ax, ay, bx, by, cx, cy), d2 = side(ax, ay, bx, by, dx, dy);
  const double d3 = side(cx, cy, dx, dy, ax, ay), d4 = side(cx, cy, dx, dy, bx, by);
  if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) return 0;
  return std::min({SegmentDistance(ax, ay, cx, cy, dx, dy), SegmentDistance(bx, by, cx, cy, dx, dy),
                   SegmentDistance(cx, cy, ax, ay, bx, by), SegmentDistance(dx, dy, ax, ay, bx, by)});
}

// A barycentric drawing: fixed points, and free ones at a weighted mean of their neighbours.
// Any positive weights keep a triangulated disk with a convex border unfolded; light pulls
// towards the face centres keep a chain of kids from huddling in the middle of a room.
struct TTutte {
  std::vector<double> x, y;
  std::vector<uint8_t> fixed;
  std::vector<std::vector<int32_t>> next;
  std::vector<std::vector<double>> weight;

  int32_t Add() { return Add(0, 0, false); }
  int32_t Add(double px, double py, bool fix) {
    x.push_back(px);
    y.push_back(py);
    fixed.push_back(fix);
    next.emplace_back();
    weight.emplace_back();
    return static_cast<int32_t>(x.size()) - 1;
  }
  // In the mean of a, b weighs wb; in the mean of b, a weighs wa.
  void Join(int32_t a, int32_t b, double wa = 1, double wb = 1) {
    if (a == b) return;
    std::vector<int32_t>& na = next[static_cast<size_t>(a)];
    if (std::find(na.begin(), na.end(), b) != na.end()) return;
    na.push_back(b);
    weight[static_cast<size_t>(a)].push_back(wb);
    next[static_cast<size_t>(b)].push_back(a);
    weight[static_cast<size_t>(b)].push_back(wa);
  }
  void Solve() {
    const size_t n = x.size();
    for (int32_t sweep = 0; sweep < kTutteSweeps; ++sweep) {
      double moved = 0;
      for (size_t v = 0; v < n; ++v) {
        if (fixed[v] || next[v].empty()) continue;
        double sx = 0, sy = 0, sw = 0;
        for (size_t j = 0; j < next[v].size(); ++j) {
          const double w = weight[v][j];
          sx += w * x[static_cast<size_t>(next[v][j])];
          sy += w * y[static_cast<size_t>(next[v][j])];
          sw += w;
        }
        const double nx = x[v] + kRelax * (sx / sw - x[v]), ny = y[v] + kRelax * (sy / sw - y[v]);
        moved = std::max(moved, std::fabs(nx - x[v]) + std::fabs(ny - y[v]));
        x[v] = nx;
        y[v] = ny;
      }
      if (moved < 1e-13) break;
    }
  }
};

// One region of the smoothed diagram: the circles standing in it (kids, vertices 0..m-1), the
// circle around it (vertex m, -1 at the top of a piece) and its crossings as edges.
struct TRoom {
  int32_t region = -1;
  int32_t parent = -1;
  int32_t depth = 0;  // the kids' level
  std::vector<int32_t> kids;
  struct TEdge {
    int32_t crossing = -1;  // -1: a second copy of a bridge, drawn but never a band
    std::array<int32_t, 2> v{};
  };
  std::vector<TEdge> edges;
  std::vector<std::vector<int32_t>> rot;  // per vertex, its edges counter-clockwise
  std::vector<double> portAngle;          // per edge at the parent: its plane angle on the rim

  // The drawing, in a unit circle round the parent's centre.
  TTutte t;
  std::vector<int32_t> hub;
  std::vector<std::vector<int32_t>> rim, corner;  // per kid, per place in rot
  std::vector<int32_t> mid, port;                 // per edge
  // Per edge of a bundle (edges side by side between the same two kids, a face of two sides
  // between each two): the bundle's middle in the drawing, and the edge's place across it.
  std::vector<double> bundleX, bundleY, acrossX, acrossY;
  double scale = 0;
  // Whether ends turned far from their way run out until they can round that bend, bands skip
  // middles they would turn back at, and bundles are spread; where that leaves no room at any
  // scale, the room is drawn without them.
  bool refined = true;

  int32_t Vertices() const { return static_cast<int32_t>(kids.size()) + (parent >= 0 ? 1 : 0); }
  bool IsParent(int32_t v) const { return parent >= 0 && v == static_cast<int32_t>(kids.size()); }
};

int32_t Other(const TRoom::TEdge& e, int32_t v) { return e.v[0] == v ? e.v[1] : e.v[0]; }

int32_t Place(const std::vector<int32_t>& list, int32_t item) {
  return static_cast<int32_t>(std::find(list.begin(), list.end(), item) - list.begin());
}

// Whether edge e is the only link between its two ends.
bool IsBridge(const TRoom& room, int32_t e) {
  const int32_t n = room.Vertices();
  std::vector<uint8_t> seen(static_cast<size_t>(n), 0);
  std::vector<int32_t> stack{room.edges[static_cast<size_t>(e)].v[0]};
  seen[static_cast<size_t>(stack[0])] = 1;
  while (!stack.empty()) {
    const int32_t v = stack.back();
    stack.pop_back();
    for (int32_t f : room.rot[static_cast<size_t>(v)]) {
      if (f == e) continue;
      const int32_t w = Other(room.edges[static_cast<size_t>(f)], v);
      if (!seen[static_cast<size_t>(w)]) {
        seen[static_cast<size_t>(w)] = 1;
        stack.push_back(w);
      }
    }
  }
  return !seen[static_cast<size_t>(room.edges[static_cast<size_t>(e)].v[1])];
}

// The drawing of a room: wheels for the kids, fixed ports for the parent's edges, a centre per
// face, one fixed point per stretch of the parent's rim a face touches; at the top of a piece the
// face with the longest border is the outside, zipped to a ring of fixed points.
void DrawRoom(TRoom& room) {
  const int32_t m = static_cast<int32_t>(room.kids.size());
  TTutte& t = room.t;
  room.hub.assign(static_cast<size_t>(m), -1);
  room.rim.assign(static_cast<size_t>(m), {});
  room.corner.assign(static_cast<size_t>(m), {});
  for (int32_t v = 0; v < m; ++v) {
    room.hub[static_cast<size_t>(v)] = t.Add();
    for (size_t i = 0; i < room.rot[static_cast<size_t>(v)].size(); ++i) {
      room.rim[static_cast<size_t>(v)].push_back(t.Add());
      room.corner[static_cast<size_t>(v)].push_back(t.Add());
      t.Join(room.hub[static_cast<size_t>(v)], room.rim[static_cast<size_t>(v)].back());
      t.Join(room.hub[static_cast<size_t>(v)], room.corner[static_cast<size_t>(v)].back());
    }
  }
  room.mid.assign(room.edges.size(), -1);
  room.port.assign(room.edges.size(), -1);
  for (size_t e = 0; e < room.edges.size(); ++e) room.mid[e] = t.Add();
  if (room.parent >= 0)
    for (int32_t e : room.rot[static_cast<size_t>(m)]) {
      const double a = room.portAngle[static_cast<size_t>(e)];
      room.port[static_cast<size_t>(e)] = t.Add(std::cos(a), std::sin(a), true);
    }

  // Faces, each walked with itself on the left: at a kid the walk turns to the edge before the
  // one it came by (counter-clockwise order), at the parent's rim it follows the rim on.
  std::vector<std::vector<uint8_t>> walked(static_cast<size_t>(room.Vertices()));
  for (int32_t v = 0; v < room.Vertices(); ++v)
    walked[static_cast<size_t>(v)].assign(room.rot[static_cast<size_t>(v)].size(), 0);
  std::vector<std::vector<int32_t>> faces;
  for (int32_t v0 = 0; v0 < room.Vertices(); ++v0)
    for (size_t i0 = 0; i0 < room.rot[static_cast<size_t>(v0)].size(); ++i0) {
      if (walked[static_cast<size_t>(v0)][i0]) continue;
      std::vector<int32_t> poly;
      int32_t v = v0;
      size_t i = i0;
      while (!walked[static_cast<size_t>(v)][i]) {
        walked[static_cast<size_t>(v)][i] = 1;
        const int32_t e = room.rot[static_cast<size_t>(v)][i];
        const int32_t w = Other(room.edges[static_cast<size_t>(e)], v);
        const std::vector<int32_t>& rw = room.rot[static_cast<size_t>(w)];
        const size_t j = static_cast<size_t>(Place(rw, e)), d = rw.size();
        poly.push_back(room.IsParent(v) ? room.port[static_cast<size_t>(e)] : room.rim[static_cast<size_t>(v)][i]);
        poly.push_back(room.mid[static_cast<size_t>(e)]);
        size_t ni;
        if (room.IsParent(w)) {
          poly.push_back(room.port[static_cast<size_t>(e)]);
          ni = (j + 1) % d;
          const double a = room.portAngle[static_cast<size_t>(e)];
          double b = room.portAngle[static_cast<size_t>(rw[ni])];
          while (b <= a) b += 2 * kPi;
          if (d == 1) b = a + 2 * kPi;
          const double c = (a + b) / 2;
          poly.push_back(t.Add(std::cos(c), std::sin(c), true));
        } else {
          poly.push_back(room.rim[static_cast<size_t>(w)][j]);
          ni = (j + d - 1) % d;
          poly.push_back(room.corner[static_cast<size_t>(w)][ni]);
        }
        v = w;
        i = ni;
      }
      faces.push_back(std::move(poly));
    }
  size_t outside = faces.size();
  if (room.parent < 0) {
    outside = 0;
    for (size_t f = 1; f < faces.size(); ++f)
      if (faces[f].size() > faces[outside].size()) outside = f;
  }
  for (size_t f = 0; f < faces.size(); ++f) {
    const std::vector<int32_t>& poly = faces[f];
    const size_t L = poly.size();
    for (size_t j = 0; j < L; ++j) t.Join(poly[j], poly[(j + 1) % L]);
    if (f == outside) {
      // Its walk runs clockwise round the rest: so does the ring.
      std::vector<int32_t> ring;
      for (size_t j = 0; j < L; ++j) {
        const double phi = -2 * kPi * static_cast<double>(j) / static_cast<double>(L);
        ring.push_back(t.Add(std::cos(phi), std::sin(phi), true));
      }
      for (size_t j = 0; j < L; ++j) {
        t.Join(ring[j], ring[(j + 1) % L]);
        t.Join(ring[j], poly[j]);
        t.Join(ring[j], poly[(j + 1) % L]);
      }
    } else {
      const int32_t centre = t.Add();
      for (int32_t p : poly) t.Join(centre, p, kFacePull, 1);
    }
  }
  t.Solve();
}

// The polyline with its corners rounded: each corner becomes an arc of `radius`, or less where
// the pieces beside it are too short to hold the arcs of both their ends. The band's centre line
// is a smooth curve through the points it is given; through the bare corners it swung out far
// past them on long pieces and folded round the short ones.
std::vector<Vec3> Rounded(const std::vector<Vec3>& p, double radius) {
  const size_t n = p.size();
  if (n < 3) return p;
  std::vector<double> len(n - 1), turn(n, 0), reach(n, 0);
  for (size_t j = 0; j + 1 < n; ++j) len[j] = (p[j + 1] - p[j]).Length();
  for (size_t i = 1; i + 1 < n; ++i) {
    if (len[i - 1] == 0 || len[i] == 0) continue;
    const double c = (p[i] - p[i - 1]).Dot(p[i + 1] - p[i]) / (len[i - 1] * len[i]);
    turn[i] = std::acos(std::clamp(c, -1.0, 1.0));
    reach[i] = radius * std::tan(std::min(turn[i], kPi - 0.05) / 2);
  }
  std::vector<double> share(n - 1, 1);
  for (size_t j = 0; j + 1 < n; ++j)
    if (reach[j] + reach[j + 1] > len[j]) share[j] = len[j] / (reach[j] + reach[j + 1]);
  std::vector<Vec3> out{p[0]};
  for (size_t i = 1; i + 1 < n; ++i) {
    const double t = reach[i] * std::min(share[i - 1], share[i]);
    if (turn[i] < 1e-3 || !(t > 0)) {
      out.push_back(p[i]);
      continue;
    }
    const Vec3 in = (p[i] - p[i - 1]) / len[i - 1], on = (p[i + 1] - p[i]) / len[i];
    const Vec3 start = p[i] - in * t;
    // The arc's centre lies from its start across the bend, at its radius.
    const Vec3 across = (on - in * in.Dot(on)).Normalised();
    const double r = t / std::tan(turn[i] / 2);
    const Vec3 centre = start + across * r;
    const int32_t steps = std::max(2, static_cast<int32_t>(std::ceil(turn[i] / (kPi / 12))));
    for (int32_t s = 0; s <= steps; ++s) {
      const double phi = turn[i] * s / steps;
      const Vec3 q = centre - across * (r * std::cos(phi)) + in * (r * std::sin(phi));
      if ((q - out.back()).Length() > 1e-6) out.push_back(q);
    }
  }
  if ((p[n - 1] - out.back()).Length() > 1e-6) out.push_back(p[n - 1]);
  else out.back() = p[n - 1];
  return out;
}

struct TPoint {
  double x = 0, y = 0;
};

TPoint At(const TTutte& t, int32_t v) { return {t.x[static_cast<size_t>(v)], t.y[static_cast<size_t>(v)]}; }

// The bundles of a drawn room. A barycentric drawing squeezes the middles of parallel edges
// together, the more the more there are (five side by side came out a ten-thousandth of the
// room apart, so the room grew a thousandfold before their bands kept their distance); their
// bands instead pass a fixed distance apart, in the drawing's order across the bundle.
void FindBundles(TRoom& room) {
  const size_t ne = room.edges.size();
  room.bundleX.assign(ne, std::nan(""));
  room.bundleY.assign(ne, std::nan(""));
  room.acrossX.assign(ne, 0);
  room.acrossY.assign(ne, 0);
  // Two edges are neighbours in a bundle when they follow each other round both their kids.
  auto follows = [&](int32_t v, int32_t e, int32_t f) {
    const std::vector<int32_t>& r = room.rot[static_cast<size_t>(v)];
    const size_t d = r.size(), i = static_cast<size_t>(Place(r, e)), j = static_cast<size_t>(Place(r, f));
    return i < d && j < d && ((i + 1) % d == j || (j + 1) % d == i);
  };
  std::vector<size_t> group(ne);
  std::iota(group.begin(), group.end(), size_t{0});
  auto find = [&](size_t e) {
    while (group[e] != e) e = group[e] = group[group[e]];
    return e;
  };
  for (size_t e = 0; e < ne; ++e)
    for (size_t f = e + 1; f < ne; ++f) {
      const TRoom::TEdge &a = room.edges[e], &b = room.edges[f];
      const bool same = (a.v[0] == b.v[0] && a.v[1] == b.v[1]) || (a.v[0] == b.v[1] && a.v[1] == b.v[0]);
      if (!same || room.IsParent(a.v[0]) || room.IsParent(a.v[1]) || a.v[0] == a.v[1]) continue;
      const int32_t ei = static_cast<int32_t>(e), fi = static_cast<int32_t>(f);
      if (follows(a.v[0], ei, fi) && follows(a.v[1], ei, fi)) group[find(e)] = find(f);
    }
  for (size_t g = 0; g < ne; ++g) {
    std::vector<int32_t> members;
    for (size_t e = 0; e < ne; ++e)
      if (find(e) == g) members.push_back(static_cast<int32_t>(e));
    if (members.size() < 2) continue;
    const TRoom::TEdge& first = room.edges[static_cast<size_t>(members[0])];
    const TPoint u = At(room.t, room.hub[static_cast<size_t>(first.v[0])]);
    const TPoint w = At(room.t, room.hub[static_cast<size_t>(first.v[1])]);
    const double len = std::hypot(w.x - u.x, w.y - u.y);
    if (!(len > 0)) continue;
    const double px = -(w.y - u.y) / len, py = (w.x - u.x) / len;
    double mx = 0, my = 0;
    for (int32_t e : members) {
      const TPoint m = At(room.t, room.mid[static_cast<size_t>(e)]);
      mx += m.x / static_cast<double>(members.size());
      my += m.y / static_cast<double>(members.size());
    }
    // Counter-clockwise round the first kid: from right to left seen from it towards the other.
    const std::vector<int32_t>& r = room.rot[static_cast<size_t>(first.v[0])];
    auto member = [&](int32_t e) { return std::find(members.begin(), members.end(), e) != members.end(); };
    size_t start = 0;
    while (start < r.size() && !(member(r[start]) && !member(r[(start + r.size() - 1) % r.size()]))) ++start;
    if (start == r.size()) continue;
    for (size_t i = 0; i < members.size(); ++i) members[i] = r[(start + i) % r.size()];
    for (size_t i = 0; i < members.size(); ++i) {
      const size_t e = static_cast<size_t>(members[i]);
      const double place = static_cast<double>(i) - static_cast<double>(members.size() - 1) / 2;
      room.bundleX[e] = mx;
      room.bundleY[e] = my;
      room.acrossX[e] = place * px;
      room.acrossY[e] = place * py;
    }
  }
}

// What a room's plan needs of its circles: centres relative to the parent's, radii, the plane
// angle of each band end.
struct TRoomPlan {
  const TRoom& room;
  const std::vector<double>& radius;
  std::function<double(int32_t circle, int32_t crossing)> angle;
  double stub = 0;   // room kept between a kid's clear ring and its parent's rim
  double inset = 0;  // how far inside the parent's rim its bands come down to it
  double clear = 0;  // room kept round a disk with kids, beyond its rim (the turns over it)
  const std::vector<uint8_t>& hasKids;
  double Clear(int32_t c) const { return hasKids[static_cast<size_t>(c)] ? clear : apart; }
  double apart = 0;  // between the centre lines of two bands
  double turnRadius = 0;  // of a band's bends in the plane

  int32_t Circle(int32_t v) const { return room.IsParent(v) ? room.parent : room.kids[static_cast<size_t>(v)]; }
  TPoint Hub(int32_t v, double scale) const {
    const TPoint h = At(room.t, room.hub[static_cast<size_t>(v)]);
    return {scale * h.x, scale * h.y};
  }
  TPoint Middle(size_t e, double scale) const {
    if (room.refined && e < room.bundleX.size() && !std::isnan(room.bundleX[e])) {
      const double gap = 1.5 * apart;
      return {scale * room.bundleX[e] + gap * room.acrossX[e],
              scale * room.bundleY[e] + gap * room.acrossY[e]};
    }
    const TPoint m = At(room.t, room.mid[e]);
    return {scale * m.x, scale * m.y};
  }
  // The plan of band e at this scale, from its first end to its second: out of a kid's rim, to
  // its wheel's rim point where that lies beyond the disk, the edge's middle, and so on; at the
  // parent, the point inside its rim over which the band comes down.
  std::vector<TPoint> Path(size_t e, double scale, size_t* middleAt = nullptr) const {
    std::vector<TPoint> p;
    size_t middle = 0;
    const TRoom::TEdge& edge = room.edges[e];
    for (size_t s = 0; s < 2; ++s) {
      const int32_t v = edge.v[s];
      const int32_t c = Circle(v);
      const double a = angle(c, edge.crossing);
      std::vector<TPoint> side;
      if (room.IsParent(v)) {
        side.push_back({(scale - inset) * std::cos(a), (scale - inset) * std::sin(a)});
      } else {
        const TPoint h = Hub(v, scale);
        const double r = radius[static_cast<size_t>(c)];
        // Straight out past the turns of the bands that climb over this rim to its own kids.
        side.push_back({h.x + (r + Clear(c)) * std::cos(a), h.y + (r + Clear(c)) * std::sin(a)});

      }
      if (s == 1) {
        middle = p.size();
        p.push_back(Middle(e, scale));
        p.insert(p.end(), side.rbegin(), side.rend());
      } else {
        p.insert(p.end(), side.begin(), side.end());
      }
    }
    // A middle near the line between its neighbours would only make a needless bend; one the
    // band would have to turn back at (a middle drawn beside a disk much larger than its wheel)
    // would bring it back along itself.
    auto turnsBack = [&] {
      const double ax = p[middle].x - p[middle - 1].x, ay = p[middle].y - p[middle - 1].y;
      const double bx = p[middle + 1].x - p[middle].x, by = p[middle + 1].y - p[middle].y;
      return ax * bx + ay * by < std::cos(kSharpest) * std::hypot(ax, ay) * std::hypot(bx, by);
    };
    if (p.size() >= 3 && (SegmentDistance(p[middle].x, p[middle].y, p[middle - 1].x, p[middle - 1].y,
                                          p[middle + 1].x, p[middle + 1].y) < 0.5 * apart ||
                          (room.refined && turnsBack())))
      p.erase(p.begin() + static_cast<std::ptrdiff_t>(std::exchange(middle, kNoPoint)));
    // A band whose end the rim's order turned far from its way on runs straight out until it
    // has room to round that bend; the clear ring alone is too short for it at any scale.
    for (int32_t pass = 0; pass < 2 && p.size() >= 2 && room.refined; ++pass)
      for (size_t s = 0; s < 2; ++s) {
        const int32_t v = edge.v[s];
        if (room.IsParent(v)) continue;
        const int32_t c = Circle(v);
        const double a = angle(c, edge.crossing), r = radius[static_cast<size_t>(c)];
        TPoint& q = s == 0 ? p.front() : p.back();
        const TPoint& next = s == 0 ? p[1] : p[p.size() - 2];
        const double bx = next.x - q.x, by = next.y - q.y, lb = std::hypot(bx, by);
        if (lb == 0) continue;
        const double turn = std::acos(std::clamp((std::cos(a) * bx + std::sin(a) * by) / lb, -1.0, 1.0));
        const double out = std::max(Clear(c), 1.05 * turnRadius * std::tan(std::min(turn, kSharpest) / 2));
        const TPoint h = Hub(v, scale);
        q = {h.x + (r + out) * std::cos(a), h.y + (r + out) * std::sin(a)};
      }
    if (middleAt) *middleAt = middle;
    return p;
  }
  // Whether at this scale disks keep their room and bands their distance.
  bool Fits(double scale) const {
    const int32_t m = static_cast<int32_t>(room.kids.size());
    std::vector<std::vector<TPoint>> paths(room.edges.size());
    for (size_t e = 0; e < room.edges.size(); ++e)
      if (room.edges[e].crossing >= 0) paths[e] = Path(e, scale);
    for (int32_t v = 0; v < m; ++v) {
      const TPoint h = Hub(v, scale);
      const double r = radius[static_cast<size_t>(Circle(v))] + Clear(Circle(v));
      if (room.parent >= 0 && std::hypot(h.x, h.y) + r + stub > scale) return false;
      for (int32_t u = v + 1; u < m; ++u) {
        const TPoint g = Hub(u, scale);
        if (std::hypot(h.x - g.x, h.y - g.y) < r + radius[static_cast<size_t>(Circle(u))] + Clear(Circle(u))) return false;
      }
      for (size_t e = 0; e < paths.size(); ++e)
        for (size_t j = 0; j + 1 < paths[e].size(); ++j) {
          // A band's own step from this rim starts on the clear ring, and must not cut back in.
          const bool own = (j == 0 && room.edges[e].v[0] == v) || (j + 2 == paths[e].size() && room.edges[e].v[1] == v);
          const TPoint &a = paths[e][j], &b = paths[e][j + 1];
          if (SegmentDistance(h.x, h.y, a.x, a.y, b.x, b.y) < (own ? r - 0.25 * apart : r)) return false;
        }
    }
    for (size_t e = 0; e < paths.size(); ++e) {
      // Every bend with room to round it, the bends off the kids' rims too.
      std::vector<TPoint> p = paths[e];
      for (size_t s = 0; s < 2 && !p.empty(); ++s) {
        const int32_t v = room.edges[e].v[s];
        if (room.IsParent(v)) continue;
        const TPoint h = Hub(v, scale);
        const double a = angle(Circle(v), room.edges[e].crossing), r = radius[static_cast<size_t>(Circle(v))];
        const TPoint rim{h.x + r * std::cos(a), h.y + r * std::sin(a)};
        if (s == 0) p.insert(p.begin(), rim);
        else p.push_back(rim);
      }
      // Each piece holds the arcs of both its ends (in the fall-back, of either end).
      double before = 0;
      for (size_t j = 1; j < p.size(); ++j) {
        const double ax = p[j].x - p[j - 1].x, ay = p[j].y - p[j - 1].y, la = std::hypot(ax, ay);
        double reach = 0, next = la;
        if (j + 1 < p.size()) {
          const double bx = p[j + 1].x - p[j].x, by = p[j + 1].y - p[j].y, lb = std::hypot(bx, by);
          next = lb;
          if (la > 0 && lb > 0) {
            const double turn = std::acos(std::clamp((ax * bx + ay * by) / (la * lb), -1.0, 1.0));
            reach = turnRadius * std::tan(std::min(turn, kSharpest) / 2);
          }
        }
        if (room.refined ? la < before + reach : std::min(la, next) < reach) return false;
        before = reach;
      }
      if (room.parent >= 0)
        for (const TPoint& q : paths[e])
          if (std::hypot(q.x, q.y) > scale - inset + 1e-9) return false;
      for (size_t f = e + 1; f < paths.size(); ++f)
        for (size_t i = 0; i + 1 < paths[e].size(); ++i)
          for (size_t j = 0; j + 1 < paths[f].size(); ++j) {
            const TPoint &p = paths[e][i], &q = paths[e][i + 1], &r = paths[f][j], &s = paths[f][j + 1];
            if (SegmentsDistance(p.x, p.y, q.x, q.y, r.x, r.y, s.x, s.y) < apart) return false;
          }
    }
    return true;
  }
  // The least scale, in steps of kScaleStep, at which the room fits.
  double Scale(double least) const {
    double scale = std::max(least, 1e-3);
    for (const int32_t c : room.kids) scale = std::max(scale, radius[static_cast<size_t>(c)] + Clear(c) + stub);
    while (scale < kMaxScale && !Fits(scale)) scale *= kScaleStep;
    return scale;
  }
};

}  // namespace

void LayoutDiagram(TSeiffert& model, const TSettings& settings, const TPDCode& pd) {
  const TSeifertDiagram d = SeifertCircles(pd);
  const int32_t nCircles = static_cast<int32_t>(d.circles.size());
  if (nCircles == 0) {
    LayoutTrivial(model, settings);
    return;
  }
  for (const TSeifertCircle& c : d.circles)
    if (c.crossings.size() > static_cast<size_t>(kMaxBandEnds))
      throw RangeError("a disk holds at most 50 band ends (a Seifert circle of the diagram meets " +
                       std::to_string(c.crossings.size()) + " crossings)");
  const size_t nc = static_cast<size_t>(nCircles);
  const double band = std::max(settings.bandWidth, settings.bandHeight);
  const double pitch = settings.diskHeight + settings.diskDistance;
  // A band leaving a parent's rim for its kids turns up and back over the rim, out to
  // `hairpin` and up to `lift`; the kids' bands come down `inset` inside it. Bands leaving a
  // disk with kids run straight out past those turns.
  const double stub = 2 * band;
  const double hairpin = 3 * band;
  const double lift = 0.6 * pitch;

  // Rooms, one per region with circles in it, parents before the rooms inside their kids.
  const int32_t nRegions = static_cast<int32_t>(d.regionParent.size());
  std::vector<int32_t> roomOf(static_cast<size_t>(nRegions), -1);
  std::vector<TRoom> rooms;
  auto outerRegion = [&](const TSeifertCircle& c) {
    return c.leftRegion == c.innerRegion ? c.rightRegion : c.leftRegion;
  };
  std::vector<int32_t> byDepth(nc);
  std::iota(byDepth.begin(), byDepth.end(), 0);
  std::stable_sort(byDepth.begin(), byDepth.end(), [&](int32_t a, int32_t b) {
    return d.circles[static_cast<size_t>(a)].depth < d.circles[static_cast<size_t>(b)].depth;
  });
  for (int32_t c : byDepth) {
    const int32_t r = outerRegion(d.circles[static_cast<size_t>(c)]);
    if (roomOf[static_cast<size_t>(r)] < 0) {
      roomOf[static_cast<size_t>(r)] = static_cast<int32_t>(rooms.size());
      TRoom room;
      room.region = r;
      room.parent = d.regionParent[static_cast<size_t>(r)];
      room.depth = d.circles[static_cast<size_t>(c)].depth;
      rooms.push_back(room);
    }
    rooms[static_cast<size_t>(roomOf[static_cast<size_t>(r)])].kids.push_back(c);
  }
  std::vector<int32_t> vertexOf(nc, -1);
  for (TRoom& room : rooms) {
    for (size_t v = 0; v < room.kids.size(); ++v) vertexOf[static_cast<size_t>(room.kids[v])] = static_cast<int32_t>(v);
    room.rot.assign(static_cast<size_t>(room.Vertices()), {});
    const int32_t parentVertex = static_cast<int32_t>(room.kids.size());
    std::vector<int32_t> edgeOf(static_cast<size_t>(d.nCrossings), -1);
    for (int32_t k = 0; k < d.nCrossings; ++k) {
      if (d.crossingRegion[static_cast<size_t>(k)] != room.region) continue;
      TRoom::TEdge e;
      e.crossing = k;
      for (size_t s = 0; s < 2; ++s) {
        const int32_t c = d.crossingCircles[static_cast<size_t>(k)][s];
        e.v[s] = c == room.parent ? parentVertex : vertexOf[static_cast<size_t>(c)];
      }
      edgeOf[static_cast<size_t>(k)] = static_cast<int32_t>(room.edges.size());
      room.edges.push_back(e);
    }
    // Counter-clockwise: the order of travel on a counter-clockwise circle.
    auto rotation = [&](int32_t c) {
      const TSeifertCircle& circle = d.circles[static_cast<size_t>(c)];
      std::vector<int32_t> list;
      for (int32_t k : circle.crossings)
        if (edgeOf[static_cast<size_t>(k)] >= 0) list.push_back(edgeOf[static_cast<size_t>(k)]);
      if (!circle.counterClockwise) std::reverse(list.begin(), list.end());
      return list;
    };
    for (size_t v = 0; v < room.kids.size(); ++v) room.rot[v] = rotation(room.kids[v]);
    if (room.parent >= 0) room.rot[static_cast<size_t>(parentVertex)] = rotation(room.parent);
  }

  // Rim angles of every circle's band ends, in its order of travel, and its disk's slots.
  std::vector<std::vector<double>> angle(nc);
  std::vector<int32_t> slots(nc), ends(nc);
  std::vector<double> radius(nc);
  for (size_t c = 0; c < nc; ++c) {
    ends[c] = static_cast<int32_t>(d.circles[c].crossings.size());
    slots[c] = std::max<int32_t>(16, 4 * ends[c]);
    // Wide enough that the closest ends OrderedAngles allows keep their distance.
    radius[c] = std::max(settings.diskDiameter / 2,
                         kEndArc * band * ends[c] / (kGapShare * 2 * kPi));
  }
  std::vector<std::vector<int32_t>> slotOf(nc);
  auto setAngles = [&](int32_t c, const std::vector<double>& wish) {
    const size_t cc = static_cast<size_t>(c);
    const TSeifertCircle& circle = d.circles[cc];
    std::vector<double> a = OrderedAngles(wish, circle.counterClockwise, kGapShare * 2 * kPi / ends[cc]);
    slotOf[cc].resize(a.size());
    angle[cc].resize(a.size());
    for (size_t j = 0; j < a.size(); ++j) {
      // Slot s of n lies at the plane angle -2 pi s / n.
      slotOf[cc][j] = Mod(static_cast<int64_t>(std::nearbyint(-a[j] * slots[cc] / (2 * kPi))), slots[cc]);
      angle[cc][j] = -2 * kPi * slotOf[cc][j] / slots[cc];
    }
  };

  for (TRoom& room : rooms) {
    const int32_t m = static_cast<int32_t>(room.kids.size());
    // A second copy of every bridge, beside it, so that every face's border is a simple cycle.
    const size_t realEdges = room.edges.size();
    for (size_t e = 0; e < realEdges; ++e) {
      if (!IsBridge(room, static_cast<int32_t>(e))) continue;
      const int32_t copy = static_cast<int32_t>(room.edges.size());
      room.edges.push_back({-1, room.edges[e].v});
      std::vector<int32_t>& r0 = room.rot[static_cast<size_t>(room.edges[e].v[0])];
      r0.insert(r0.begin() + Place(r0, static_cast<int32_t>(e)) + 1, copy);
      std::vector<int32_t>& r1 = room.rot[static_cast<size_t>(room.edges[e].v[1])];
      r1.insert(r1.begin() + Place(r1, static_cast<int32_t>(e)), copy);
    }
    if (room.parent >= 0) {
      const std::vector<int32_t>& ports = room.rot[static_cast<size_t>(m)];
      room.portAngle.assign(room.edges.size(), 0);
      const size_t pc = static_cast<size_t>(room.parent);
      for (int32_t e : ports) {
        const int32_t k = room.edges[static_cast<size_t>(e)].crossing;
        if (k >= 0) room.portAngle[static_cast<size_t>(e)] = angle[pc][static_cast<size_t>(Place(d.circles[pc].crossings, k))];
      }
      // A copy of a bridge a third of the way to the next port.
      for (size_t i = 0; i < ports.size(); ++i) {
        const int32_t e = ports[i];
        if (room.edges[static_cast<size_t>(e)].crossing >= 0) continue;
        const double a = room.portAngle[static_cast<size_t>(ports[(i + ports.size() - 1) % ports.size()])];
        double b = room.portAngle[static_cast<size_t>(ports[(i + 1) % ports.size()])];
        while (b <= a) b += 2 * kPi;
        room.portAngle[static_cast<size_t>(e)] = Wrap(a + (b - a) / 3);
      }
    }
    if (m == 1 && room.edges.empty()) {
      room.hub = {room.t.Add()};
      room.rim = {{}};
      room.corner = {{}};
    } else {
      DrawRoom(room);
      FindBundles(room);
    }
    // The kids' ends towards this room point to their edges' middles; their other ends
    // (towards the rooms inside them) fall in between.
    for (int32_t v = 0; v < m; ++v) {
      const int32_t c = room.kids[static_cast<size_t>(v)];
      const TSeifertCircle& circle = d.circles[static_cast<size_t>(c)];
      std::vector<double> wish(circle.crossings.size(), std::nan(""));
      const TPoint h = At(room.t, room.hub[static_cast<size_t>(v)]);
      for (size_t e = 0; e < room.edges.size(); ++e) {
        const int32_t k = room.edges[e].crossing;
        if (k < 0 || (room.edges[e].v[0] != v && room.edges[e].v[1] != v)) continue;
        const TPoint q = At(room.t, room.mid[e]);
        wish[static_cast<size_t>(Place(circle.crossings, k))] = std::atan2(q.y - h.y, q.x - h.x);
      }
      setAngles(c, wish);
    }
  }

  // Sizes from the innermost rooms out: a parent's disk is its room's drawing at its scale.
  const double clear = std::max(stub, hairpin) + band;
  std::vector<uint8_t> hasKids(nc, 0);
  for (const TRoom& room : rooms)
    if (room.parent >= 0) hasKids[static_cast<size_t>(room.parent)] = 1;
  auto endAngle = [&](int32_t c, int32_t k) {
    const size_t cc = static_cast<size_t>(c);
    return angle[cc][static_cast<size_t>(Place(d.circles[cc].crossings, k))];
  };
  for (size_t i = rooms.size(); i-- > 0;) {
    TRoom& room = rooms[i];
    const TRoomPlan plan{room, radius, endAngle, stub, band, clear, hasKids, 1.5 * band, 2 * band};
    room.scale = plan.Scale(room.parent >= 0 ? radius[static_cast<size_t>(room.parent)] : 0);
    if (!(room.scale < kMaxScale)) {
      room.refined = false;
      room.scale = plan.Scale(room.parent >= 0 ? radius[static_cast<size_t>(room.parent)] : 0);
    }
    if (!(room.scale < kMaxScale))
      throw RangeError("the diagram's drawing leaves a Seifert circle no room (scale " +
                       std::to_string(room.scale) + ")");
    if (room.parent >= 0) radius[static_cast<size_t>(room.parent)] = room.scale;
  }

  // Places: the top rooms of the pieces side by side along x, each room over its parent.
  std::vector<double> cx(nc, 0), cy(nc, 0);
  double across = 0;
  for (TRoom& room : rooms) {
    double ox = 0, oy = 0;
    if (room.parent >= 0) {
      ox = cx[static_cast<size_t>(room.parent)];
      oy = cy[static_cast<size_t>(room.parent)];
    } else {
      double left = 0, right = 0;
      for (size_t v = 0; v < room.kids.size(); ++v) {
        const double x = room.scale * At(room.t, room.hub[v]).x;
        const double r = radius[static_cast<size_t>(room.kids[v])] + clear;
        left = std::min(left, x - r);
        right = std::max(right, x + r);
      }
      // A band may swing out past the disks of its piece; the next piece keeps clear of it
      // too, or the bands of two pieces cross and the boundary links across them.
      double bandLeft = left, bandRight = right;
      const TRoomPlan plan{room, radius, endAngle, stub, band, clear, hasKids, 1.5 * band, 2 * band};
      for (size_t e = 0; e < room.edges.size(); ++e) {
        if (room.edges[e].crossing < 0) continue;
        for (const TPoint& p : plan.Path(e, room.scale)) {
          bandLeft = std::min(bandLeft, p.x - clear);
          bandRight = std::max(bandRight, p.x + clear);
        }
      }
      // The first piece keeps its place; only those after it move.
      ox = across == 0 ? -left : across - bandLeft;
      across = ox + bandRight + clear;
    }
    for (size_t v = 0; v < room.kids.size(); ++v) {
      const TPoint h = At(room.t, room.hub[v]);
      cx[static_cast<size_t>(room.kids[v])] = ox + room.scale * h.x;
      cy[static_cast<size_t>(room.kids[v])] = oy + room.scale * h.y;
    }
  }

  ResizeLayout(model, nCircles, d.nCrossings);
  for (size_t c = 0; c < nc; ++c)
    InitDisk(model.Disk(static_cast<int32_t>(c) + 1),
             Vec3(cx[c], cy[c], d.circles[c].depth * pitch), 2 * radius[c], settings.diskHeight,
             slots[c], d.circles[c].counterClockwise ? 1 : 0);

  // Bands: one per crossing, its half twist against the crossing's sign.
  std::vector<std::array<TEndRef, 2>> endOf(static_cast<size_t>(d.nCrossings));
  std::vector<std::array<int32_t, 2>> circleOf(static_cast<size_t>(d.nCrossings));
  std::vector<int32_t> seen(static_cast<size_t>(d.nCrossings), 0);
  for (int32_t c = 0; c < nCircles; ++c) {
    const TSeifertCircle& circle = d.circles[static_cast<size_t>(c)];
    for (size_t j = 0; j < circle.crossings.size(); ++j) {
      const int32_t k = circle.crossings[j];
      const int32_t s = seen[static_cast<size_t>(k)]++;
      endOf[static_cast<size_t>(k)][static_cast<size_t>(s)] = AddEnd(model, c + 1, k + 1, slotOf[static_cast<size_t>(c)][j], 0);
      circleOf[static_cast<size_t>(k)][static_cast<size_t>(s)] = c;
    }
  }
  auto rimPoint = [&](int32_t c, int32_t k, double out, double up) {
    const size_t cc = static_cast<size_t>(c);
    const double a = endAngle(c, k);
    const double r = radius[cc] + out;
    return Vec3(cx[cc] + r * std::cos(a), cy[cc] + r * std::sin(a), d.circles[cc].depth * pitch + up);
  };
  for (const TRoom& room : rooms) {
    const TRoomPlan plan{room, radius, endAngle, stub, band, clear, hasKids, 1.5 * band, 2 * band};
    // The plan's origin: the parent's centre, or where the top room was put.
    double ox = 0, oy = 0;
    if (room.parent >= 0) {
      ox = cx[static_cast<size_t>(room.parent)];
      oy = cy[static_cast<size_t>(room.parent)];
    } else {
      const TPoint h = plan.Hub(0, room.scale);
      ox = cx[static_cast<size_t>(room.kids[0])] - h.x;
      oy = cy[static_cast<size_t>(room.kids[0])] - h.y;
    }
    const double level = room.depth * pitch;
    for (size_t e = 0; e < room.edges.size(); ++e) {
      const int32_t k = room.edges[e].crossing;
      if (k < 0) continue;
      size_t middle = 0;
      const std::vector<TPoint> flat = plan.Path(e, room.scale, &middle);
      const bool first = room.IsParent(room.edges[e].v[0]), second = room.IsParent(room.edges[e].v[1]);
      // From the kid's level down to over the parent's rim, then out and down to its side.
      const double low = level - pitch + lift;
      std::vector<Vec3> path;
      for (size_t j = 0; j < flat.size(); ++j) {
        double z = level;
        if (j == middle && (first || second)) z = (level + low) / 2;
        if ((first && j == 0) || (second && j + 1 == flat.size())) z = low;
        path.push_back(Vec3(ox + flat[j].x, oy + flat[j].y, z));
      }
      // Over the parent's rim, a round turn down to its side.
      std::vector<Vec3> turn;
      if (first || second)
        turn = {rimPoint(room.parent, k, 0.5 * hairpin, lift), rimPoint(room.parent, k, hairpin, 0.4 * lift)};
      if (first) path.insert(path.begin(), turn.rbegin(), turn.rend());
      if (second) path.insert(path.end(), turn.begin(), turn.end());
      // Rounded with the band's ends on the rims, so that its first and last bends are too.
      const int32_t ca = plan.Circle(room.edges[e].v[0]), cb = plan.Circle(room.edges[e].v[1]);
      path.insert(path.begin(), rimPoint(ca, k, 0, 0));
      path.push_back(rimPoint(cb, k, 0, 0));
      path = Rounded(path, plan.turnRadius);
      path.erase(path.begin());
      path.pop_back();
      const bool reversed = circleOf[static_cast<size_t>(k)][0] != plan.Circle(room.edges[e].v[0]);
      if (reversed) std::reverse(path.begin(), path.end());
      TTube& t = model.Tube(k + 1);
      t.endA = endOf[static_cast<size_t>(k)][0];
      t.endB = endOf[static_cast<size_t>(k)][1];
      t.twist = -d.signs[static_cast<size_t>(k)];
      t.route = std::move(path);
    }
  }
  for (int32_t c = 1; c <= nCircles; ++c) SortEnds(model, c);
  model.nDisks = nCircles;
  model.nTubes = d.nCrossings;
}
