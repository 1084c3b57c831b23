#include "selfIntersection.h"

#include <gmpxx.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <numeric>
#include <stdexcept>

#include "core/disjointSets.h"

namespace {

// ---- Exact orientation tests on float corners ----------------------------------------------

// Error bounds of the double evaluation (the differences, the products and the sums all
// rounded), relative to the sum of the terms' magnitudes; the unit roundoff is 2^-53.
constexpr double kEps = 0x1p-53;
constexpr double kOrient3dBound = (7.0 + 56.0 * kEps) * kEps;
constexpr double kOrient2dBound = (3.0 + 16.0 * kEps) * kEps;
// The integer road takes corners whose binary places span at most this many bits: differences
// then fit 41 bits and a 3 x 3 determinant 126, inside a signed 128-bit integer.
constexpr int kIntegerSpan = 40;

// 128-bit integers (a compiler extension) hold a 3 x 3 determinant of 41-bit differences.
__extension__ typedef __int128 TInt128;

template <typename T>
int SignOfExact(const T& v) { return (v > 0) - (v < 0); }

// The lowest binary place set in a float and the highest, over a few values (zeros left out).
struct TPlaces {
  int lo = INT_MAX, hi = INT_MIN;
  void Add(float v) {
    if (v == 0) return;
    int e;
    std::frexp(double(v), &e);  // |v| < 2^e, a multiple of 2^(e-24) as a float holds 24 bits
    lo = std::min(lo, e - 24);
    hi = std::max(hi, e);
  }
  bool Fits() const { return lo == INT_MAX || hi - lo <= kIntegerSpan; }
  TInt128 Integer(float v) const {
    return lo == INT_MAX ? 0 : static_cast<TInt128>(static_cast<int64_t>(std::ldexp(double(v), -lo)));
  }
};

template <typename T>
T Det3(const T& ax, const T& ay, const T& az, const T& bx, const T& by, const T& bz,
       const T& cx, const T& cy, const T& cz) {
  return az * (bx * cy - cx * by) + bz * (cx * ay - ax * cy) + cz * (ax * by - bx * ay);
}

int ExactOrient3d(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
  TPlaces places;
  for (const Vec3* p : {&a, &b, &c, &d})
    for (float v : {p->x, p->y, p->z}) places.Add(v);
  if (places.Fits()) {
    const auto I = [&](float v) { return places.Integer(v); };
    const TInt128 det =
        Det3(I(a.x) - I(d.x), I(a.y) - I(d.y), I(a.z) - I(d.z), I(b.x) - I(d.x), I(b.y) - I(d.y),
             I(b.z) - I(d.z), I(c.x) - I(d.x), I(c.y) - I(d.y), I(c.z) - I(d.z));
    return SignOfExact(det);
  }
  const auto Q = [](float v) { return mpq_class(double(v)); };
  const mpq_class det =
      Det3<mpq_class>(Q(a.x) - Q(d.x), Q(a.y) - Q(d.y), Q(a.z) - Q(d.z), Q(b.x) - Q(d.x),
                      Q(b.y) - Q(d.y), Q(b.z) - Q(d.z), Q(c.x) - Q(d.x), Q(c.y) - Q(d.y),
                      Q(c.z) - Q(d.z));
  return sgn(det);
}

// Which side of the plane through a, b, c the point d lies on: +1, -1, or 0 on the plane.
int Orient3d(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
  const double adx = double(a.x) - d.x, bdx = double(b.x) - d.x, cdx = double(c.x) - d.x;
  const double ady = double(a.y) - d.y, bdy = double(b.y) - d.y, cdy = double(c.y) - d.y;
  const double adz = double(a.z) - d.z, bdz = double(b.z) - d.z, cdz = double(c.z) - d.z;
  const double bdxcdy = bdx * cdy, cdxbdy = cdx * bdy;
  const double cdxady = cdx * ady, adxcdy = adx * cdy;
  const double adxbdy = adx * bdy, bdxady = bdx * ady;
  const double det = adz * (bdxcdy - cdxbdy) + bdz * (cdxady - adxcdy) + cdz * (adxbdy - bdxady);
  const double permanent = (std::fabs(bdxcdy) + std::fabs(cdxbdy)) * std::fabs(adz) +
                           (std::fabs(cdxady) + std::fabs(adxcdy)) * std::fabs(bdz) +
                           (std::fabs(adxbdy) + std::fabs(bdxady)) * std::fabs(cdz);
  // Differences of floats never round to zero and their products never underflow, so a zero
  // permanent means every term is exactly zero: the common case of faces in one axis plane.
  if (permanent == 0) return 0;
  const double bound = kOrient3dBound * permanent;
  if (det > bound) return 1;
  if (-det > bound) return -1;
  return ExactOrient3d(a, b, c, d);
}

// The corners seen along axis `drop` (0 = x, 1 = y, 2 = z): the two other coordinates.
struct TFlat {
  float u, v;
};
TFlat Flatten(const Vec3& p, int drop) {
  switch (drop) {
    case 0: return {p.y, p.z};
    case 1: return {p.z, p.x};
    default: return {p.x, p.y};
  }
}

int ExactOrient2d(TFlat a, TFlat b, TFlat c) {
  TPlaces places;
  for (const TFlat* p : {&a, &b, &c})
    for (float v : {p->u, p->v}) places.Add(v);
  if (places.Fits()) {
    const auto I = [&](float v) { return places.Integer(v); };
    return SignOfExact((I(a.u) - I(c.u)) * (I(b.v) - I(c.v)) -
                       (I(a.v) - I(c.v)) * (I(b.u) - I(c.u)));
  }
  const auto Q = [](float v) { return mpq_class(double(v)); };
  const mpq_class det = (Q(a.u) - Q(c.u)) * (Q(b.v) - Q(c.v)) - (Q(a.v) - Q(c.v)) * (Q(b.u) - Q(c.u));
  return sgn(det);
}

// Which side of the line through a and b the point c lies on, seen along axis `drop`.
int Orient2d(const Vec3& pa, const Vec3& pb, const Vec3& pc, int drop) {
  const TFlat a = Flatten(pa, drop), b = Flatten(pb, drop), c = Flatten(pc, drop);
  const double left = (double(a.u) - c.u) * (double(b.v) - c.v);
  const double right = (double(a.v) - c.v) * (double(b.u) - c.u);
  const double det = left - right;
  const double permanent = std::fabs(left) + std::fabs(right);
  if (permanent == 0) return 0;
  const double bound = kOrient2dBound * permanent;
  if (det > bound) return 1;
  if (-det > bound) return -1;
  return ExactOrient2d(a, b, c);
}

// An axis along which the triangle a, b, c is seen as a triangle, or -1 when its corners lie
// on one line. Points of its plane are then told apart by their two other coordinates alone.
int SeeingAxis(const Vec3& a, const Vec3& b, const Vec3& c) {
  for (int drop : {2, 0, 1})
    if (Orient2d(a, b, c, drop) != 0) return drop;
  return -1;
}

// ---- Closed point sets meeting ------------------------------------------------------------

// c on the closed segment ab, given that the three are on one line seen along `drop`.
bool Between(const Vec3& a, const Vec3& b, const Vec3& c, int drop) {
  const TFlat fa = Flatten(a, drop), fb = Flatten(b, drop), fc = Flatten(c, drop);
  return std::min(fa.u, fb.u) <= fc.u && fc.u <= std::max(fa.u, fb.u) &&
         std::min(fa.v, fb.v) <= fc.v && fc.v <= std::max(fa.v, fb.v);
}

// Closed segments ab and cd of one plane, seen along `drop` (which shows that plane as a plane).
bool SegmentsMeetFlat(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d, int drop) {
  const int o1 = Orient2d(a, b, c, drop), o2 = Orient2d(a, b, d, drop);
  const int o3 = Orient2d(c, d, a, drop), o4 = Orient2d(c, d, b, drop);
  if (o1 * o2 < 0 && o3 * o4 < 0) return true;
  return (o1 == 0 && Between(a, b, c, drop)) || (o2 == 0 && Between(a, b, d, drop)) ||
         (o3 == 0 && Between(c, d, a, drop)) || (o4 == 0 && Between(c, d, b, drop));
}

// p in the closed triangle abc of the same plane, seen along `drop` (abc is a triangle there).
bool InTriangleFlat(const Vec3& p, const Vec3& a, const Vec3& b, const Vec3& c, int drop) {
  const int o1 = Orient2d(a, b, p, drop), o2 = Orient2d(b, c, p, drop), o3 = Orient2d(c, a, p, drop);
  return !((o1 > 0 || o2 > 0 || o3 > 0) && (o1 < 0 || o2 < 0 || o3 < 0));
}

// The closed segment ab (a != b) and the closed triangle t, whose corners are not on one line.
bool SegmentMeetsTriangle(const Vec3& a, const Vec3& b, const std::array<Vec3, 3>& t) {
  const int oa = Orient3d(t[0], t[1], t[2], a), ob = Orient3d(t[0], t[1], t[2], b);
  if (oa * ob > 0) return false;
  if (oa == 0 && ob == 0) {
    const int drop = SeeingAxis(t[0], t[1], t[2]);
    return InTriangleFlat(a, t[0], t[1], t[2], drop) || InTriangleFlat(b, t[0], t[1], t[2], drop) ||
           SegmentsMeetFlat(a, b, t[0], t[1], drop) || SegmentsMeetFlat(a, b, t[1], t[2], drop) ||
           SegmentsMeetFlat(a, b, t[2], t[0], drop);
  }
  // The line through a and b crosses the plane in one point of the segment: inside the
  // triangle when the line passes no two of its edges on opposite turns.
  const int s1 = Orient3d(a, b, t[0], t[1]), s2 = Orient3d(a, b, t[1], t[2]),
            s3 = Orient3d(a, b, t[2], t[0]);
  return !((s1 > 0 || s2 > 0 || s3 > 0) && (s1 < 0 || s2 < 0 || s3 < 0));
}

// Closed segments ab and cd in space (a != b, c != d).
bool SegmentsMeet(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
  if (Orient3d(a, b, c, d) != 0) return false;
  for (const Vec3* e : {&c, &d})
    if (const int drop = SeeingAxis(a, b, *e); drop >= 0) return SegmentsMeetFlat(a, b, c, d, drop);
  // All four on one line: intervals along a coordinate in which a and b differ.
  const auto coord = [](const Vec3& p, int k) { return k == 0 ? p.x : k == 1 ? p.y : p.z; };
  int k = 0;
  while (k < 2 && coord(a, k) == coord(b, k)) ++k;
  const float lo = std::max(std::min(coord(a, k), coord(b, k)), std::min(coord(c, k), coord(d, k)));
  const float hi = std::min(std::max(coord(a, k), coord(b, k)), std::max(coord(c, k), coord(d, k)));
  return lo <= hi;
}

// One triangle of the soup: its corners, their vertex numbers, and whether it is flat to a
// line (corners on one line, or a vertex repeated).
struct TTri {
  std::array<Vec3, 3> p;
  std::array<int32_t, 3> id;
  bool onLine;
};

// The closed segment ab (a != b) and the triangle t, which may lie on a line.
bool SegmentMeets(const Vec3& a, const Vec3& b, const TTri& t) {
  if (!t.onLine) return SegmentMeetsTriangle(a, b, t.p);
  for (int k = 0; k < 3; ++k)
    if (t.id[k] != t.id[(k + 1) % 3] && SegmentsMeet(a, b, t.p[k], t.p[(k + 1) % 3])) return true;
  return false;
}

// Closed triangles that share no vertex.
bool TrianglesMeet(const TTri& s, const TTri& t) {
  if (!s.onLine && !t.onLine) {
    // Quick answer: one triangle wholly on one side of the other's plane.
    for (const auto& [x, y] : {std::pair{&s, &t}, std::pair{&t, &s}}) {
      const int o0 = Orient3d(x->p[0], x->p[1], x->p[2], y->p[0]);
      const int o1 = Orient3d(x->p[0], x->p[1], x->p[2], y->p[1]);
      const int o2 = Orient3d(x->p[0], x->p[1], x->p[2], y->p[2]);
      if ((o0 > 0 && o1 > 0 && o2 > 0) || (o0 < 0 && o1 < 0 && o2 < 0)) return false;
    }
  }
  // Two closed triangles meet exactly where an edge of one meets the other: their common
  // part, on the line where their planes cross or in their common plane, is bounded by
  // points on their edges.
  for (const auto& [x, y] : {std::pair{&s, &t}, std::pair{&t, &s}})
    for (int k = 0; k < 3; ++k)
      if (x->id[k] != x->id[(k + 1) % 3] && SegmentMeets(x->p[k], x->p[(k + 1) % 3], *y))
        return true;
  return false;
}

// Whether two triangles meet in more than what they share.
bool Intersect(const TTri& s, const TTri& t) {
  int shared = 0, si = -1, ti = -1;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      if (s.id[i] == t.id[j]) {
        if (shared == 0) si = i, ti = j;
        ++shared;
        break;
      }
  if (shared == 0) return TrianglesMeet(s, t);
  if (shared >= 3) return true;
  if (shared == 1) {
    // Each triangle's edge across from the shared corner, against the other triangle.
    const Vec3 &a = s.p[(si + 1) % 3], &b = s.p[(si + 2) % 3];
    const Vec3 &c = t.p[(ti + 1) % 3], &d = t.p[(ti + 2) % 3];
    return (s.id[(si + 1) % 3] != s.id[(si + 2) % 3] && SegmentMeets(a, b, t)) ||
           (t.id[(ti + 1) % 3] != t.id[(ti + 2) % 3] && SegmentMeets(c, d, s));
  }
  // A shared edge: only a fold, both in one plane with their third corners on one side.
  if (s.onLine || t.onLine) return false;
  int third = 0;
  while (third < 2 && (t.id[third] == s.id[0] || t.id[third] == s.id[1] || t.id[third] == s.id[2]))
    ++third;
  const Vec3& q = t.p[third];
  if (Orient3d(s.p[0], s.p[1], s.p[2], q) != 0) return false;
  int sOwn = 0;
  while (sOwn < 2 && (s.id[sOwn] == t.id[0] || s.id[sOwn] == t.id[1] || s.id[sOwn] == t.id[2]))
    ++sOwn;
  const Vec3 &e0 = s.p[(sOwn + 1) % 3], &e1 = s.p[(sOwn + 2) % 3];
  const int drop = SeeingAxis(s.p[0], s.p[1], s.p[2]);
  return Orient2d(e0, e1, s.p[sOwn], drop) * Orient2d(e0, e1, q, drop) > 0;
}

// ---- The search ------------------------------------------------------------------------------

struct TBox3 {
  float lo[3], hi[3];
};

bool Overlap(const TBox3& a, const TBox3& b) {
  for (int k = 0; k < 3; ++k)
    if (a.hi[k] < b.lo[k] || b.hi[k] < a.lo[k]) return false;
  return true;
}

// Grid cells are at most this many along an axis, and the triangles are entered in at most
// kEntriesPerTriangle cells each on the average (plus kSpareEntries in all) before the cells
// grow: a few large faces among many small ones (a disk beside fine bands) stay cheap.
constexpr double kMaxCellsPerAxis = 1 << 20;
constexpr int64_t kEntriesPerTriangle = 16, kSpareEntries = 1 << 20;

}  // namespace

TSelfIntersections FindSelfIntersections(std::span<const Vec3> corners) {
  TSelfIntersections result;
  if (corners.size() % 3 != 0)
    throw std::invalid_argument("FindSelfIntersections: the corners are not whole triangles");
  if (corners.size() / 3 >= size_t{INT32_MAX} / 3)
    throw std::invalid_argument("FindSelfIntersections: too many triangles");
  for (const Vec3& p : corners)
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
      throw std::invalid_argument("FindSelfIntersections: a corner is not a finite point");
  const int32_t nCorners = static_cast<int32_t>(corners.size());
  const int32_t n = nCorners / 3;
  if (n < 2) return result;

  // Vertices: corners at one point get one number, as a reader of the file gives them.
  struct TKeyed {
    float x, y, z;
    int32_t corner;
  };
  const auto less = [](const TKeyed& a, const TKeyed& b) {
    return a.x != b.x ? a.x < b.x : a.y != b.y ? a.y < b.y : a.z < b.z;
  };
  std::vector<TKeyed> order(static_cast<size_t>(nCorners));
  for (int32_t k = 0; k < nCorners; ++k)
    order[k] = {corners[k].x, corners[k].y, corners[k].z, k};
  std::sort(order.begin(), order.end(), less);
  std::vector<int32_t> id(static_cast<size_t>(nCorners));
  for (int32_t k = 0, next = -1; k < nCorners; ++k) {
    if (k == 0 || less(order[k - 1], order[k])) ++next;
    id[order[k].corner] = next;
  }
  order = {};

  // The triangles and their boxes; those that are a single point take no part.
  std::vector<TTri> tris(static_cast<size_t>(n));
  std::vector<TBox3> boxes(static_cast<size_t>(n));
  std::vector<int32_t> live;
  live.reserve(static_cast<size_t>(n));
  double lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
  double sizeSum = 0;
  for (int32_t t = 0; t < n; ++t) {
    TTri& tri = tris[t];
    for (int k = 0; k < 3; ++k) tri.p[k] = corners[3 * t + k], tri.id[k] = id[3 * t + k];
    if (tri.id[0] == tri.id[1] && tri.id[1] == tri.id[2]) continue;
    tri.onLine = tri.id[0] == tri.id[1] || tri.id[1] == tri.id[2] || tri.id[0] == tri.id[2] ||
                 SeeingAxis(tri.p[0], tri.p[1], tri.p[2]) < 0;
    TBox3& b = boxes[t];
    double size = 0;
    for (int k = 0; k < 3; ++k) {
      const auto c = [&](const Vec3& p) { return k == 0 ? p.x : k == 1 ? p.y : p.z; };
      b.lo[k] = std::min({c(tri.p[0]), c(tri.p[1]), c(tri.p[2])});
      b.hi[k] = std::max({c(tri.p[0]), c(tri.p[1]), c(tri.p[2])});
      lo[k] = std::min<double>(lo[k], b.lo[k]);
      hi[k] = std::max<double>(hi[k], b.hi[k]);
      size = std::max(size, double(b.hi[k]) - b.lo[k]);
    }
    sizeSum += size;
    live.push_back(t);
  }
  if (live.size() < 2) return result;

  // A uniform grid of cubes about a triangle's size; a triangle is entered in every cell its
  // box touches. Where a few large triangles would fill too many cells, the cells grow.
  const double extent = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
  double cell = std::max(sizeSum / double(live.size()), extent / kMaxCellsPerAxis);
  if (!(cell > 0)) cell = 1;  // every triangle in one point of space
  int64_t dims[3];
  const auto cellOf = [&](double x, int k) {
    return std::clamp<int64_t>(static_cast<int64_t>(std::floor((x - lo[k]) / cell)), 0, dims[k] - 1);
  };
  for (;;) {
    for (int k = 0; k < 3; ++k)
      dims[k] = std::min<int64_t>(static_cast<int64_t>((hi[k] - lo[k]) / cell) + 1,
                                  static_cast<int64_t>(kMaxCellsPerAxis));
    int64_t entries = 0;
    for (int32_t t : live) {
      int64_t m = 1;
      for (int k = 0; k < 3; ++k) m *= cellOf(boxes[t].hi[k], k) - cellOf(boxes[t].lo[k], k) + 1;
      entries += m;
      if (entries > kEntriesPerTriangle * int64_t(live.size()) + kSpareEntries) break;
    }
    if (entries <= kEntriesPerTriangle * int64_t(live.size()) + kSpareEntries) break;
    cell *= 2;
  }
  std::vector<std::pair<int64_t, int32_t>> entries;
  // The cell of each triangle's lowest corner: that of two boxes' common part is the larger.
  std::vector<std::array<int32_t, 3>> firstCell(static_cast<size_t>(n));
  for (int32_t t : live) {
    int64_t from[3], to[3];
    for (int k = 0; k < 3; ++k) from[k] = cellOf(boxes[t].lo[k], k), to[k] = cellOf(boxes[t].hi[k], k);
    for (int k = 0; k < 3; ++k) firstCell[t][k] = static_cast<int32_t>(from[k]);
    for (int64_t z = from[2]; z <= to[2]; ++z)
      for (int64_t y = from[1]; y <= to[1]; ++y)
        for (int64_t x = from[0]; x <= to[0]; ++x)
          entries.emplace_back(x + dims[0] * (y + dims[1] * z), t);
  }
  std::sort(entries.begin(), entries.end());

  // Every pair of triangles in a cell whose boxes meet, taken only in the cell that holds the
  // lowest corner of their boxes' common part, so that each pair is tested once.
  TDisjointSets sets(static_cast<size_t>(n));
  std::vector<char> hit(static_cast<size_t>(n), 0);
  for (size_t start = 0; start < entries.size();) {
    size_t end = start;
    while (end < entries.size() && entries[end].first == entries[start].first) ++end;
    const int64_t key = entries[start].first;
    const int64_t cx = key % dims[0], cy = key / dims[0] % dims[1], cz = key / dims[0] / dims[1];
    for (size_t i = start; i < end; ++i)
      for (size_t j = i + 1; j < end; ++j) {
        const int32_t s = entries[i].second, t = entries[j].second;
        const TBox3 &a = boxes[s], &b = boxes[t];
        if (!Overlap(a, b)) continue;
        const auto &fs = firstCell[s], &ft = firstCell[t];
        if (std::max(fs[0], ft[0]) != cx || std::max(fs[1], ft[1]) != cy ||
            std::max(fs[2], ft[2]) != cz)
          continue;
        if (!Intersect(tris[s], tris[t])) continue;
        ++result.pairs;
        hit[s] = hit[t] = 1;
        sets.Join(s, t);
      }
    start = end;
  }

  for (int32_t t = 0; t < n; ++t)
    if (hit[t]) {
      result.faces.push_back(t);
      result.places += sets.Find(t) == t;
    }
  return result;
}

std::string SelfIntersectionWarning(const TSelfIntersections& found) {
  if (found.places == 0) return "";
  return "the surface intersects itself in " + std::to_string(found.places) +
         (found.places == 1 ? " place" : " places") + "; a print of it will fail";
}
