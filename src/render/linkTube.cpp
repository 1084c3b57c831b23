#include "linkTube.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "core/rangeError.h"

namespace {

// |E.T| below this is a turn sharper than about 150 degrees: the bisecting plane there is too
// oblique (at a full reversal undefined), so the ring is advanced onto each edge's own plane.
constexpr double kSharpTurn = 0.258;

// Moves every ring point along d onto the plane through p with normal a, then recomputes the
// normals from the neighbours on the new ring.
void Advance(const TTubeRing& from, TTubeRing& to, const Vec3& p, const Vec3& a, const Vec3& d) {
  const size_t m = from.points.size();
  const double ad = a.Dot(d);
  for (size_t k = 0; k < m; ++k) {
    const Vec3& x = from.points[k];
    to.points[k] = x + d * ((p - x).Dot(a) / ad);
  }
  for (size_t k = 0; k < m; ++k) {
    const Vec3& before = to.points[(k + m - 1) % m];
    const Vec3& after = to.points[(k + 1) % m];
    to.normals[k] = (before - after).Cross(d).Normalised();
  }
}

}  // namespace

int32_t TubeRingSize(const TSettings& settings, int32_t refineCount, bool racing) {
  int64_t m = 2 * (int64_t{settings.resolution} + settings.catmullClark) + 8 +
              8 * int64_t{refineCount};
  if (racing) m *= 2;
  if (m > kMaxTubeRing)
    throw RangeError("a link tube ring holds at most " + std::to_string(kMaxTubeRing) +
                     " points (" + std::to_string(m) + " asked for)");
  return static_cast<int32_t>(m < 0 ? 0 : m);
}

std::vector<Vec3> LinkTubePoints(const TMesh& mesh, const TLinkLine& link, double offset) {
  std::vector<Vec3> points;
  const size_t n = std::min(link.verts.size(), static_cast<size_t>(std::max(link.nVerts, 0)));
  points.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    const int32_t v = link.verts[i];
    if (v < 0 || v >= mesh.nVerts || static_cast<size_t>(v) >= mesh.verts.size()) continue;
    const TVertex& x = mesh.verts[static_cast<size_t>(v)];
    const Vec3 p = x.pos - x.normal * offset;
    if (!points.empty() && p == points.back()) continue;
    points.push_back(p);
  }
  while (points.size() > 1 && points.back() == points.front()) points.pop_back();
  return points;
}

void SweepLinkTube(std::span<const Vec3> points, double radius, int32_t m,
                   const TTubeStrip& strip) {
  const size_t n = points.size();
  if (n < 3 || m < 3) return;

  // Edge directions and the bisecting directions at the joints (T[i] sits at vertex i + 1).
  std::vector<Vec3> e(n), t(n);
  for (size_t i = 0; i < n; ++i) e[i] = (points[(i + 1) % n] - points[i]).Normalised();
  for (size_t i = 0; i < n; ++i) t[i] = (e[i] + e[(i + 1) % n]).Normalised();

  // First ring around the middle of the first edge; (1, 2, 3) only fixes where it starts.
  const Vec3 centre = (points[0] + points[1]) / 2;
  const Vec3 u = e[0].Cross(Vec3(1, 2, 3)).Normalised();
  const Vec3 v = e[0].Cross(u);
  const auto size = static_cast<size_t>(m);
  TTubeRing first{std::vector<Vec3>(size), std::vector<Vec3>(size)};
  for (size_t k = 0; k < size; ++k) {
    const double theta = 2 * std::numbers::pi * static_cast<double>(k) / m;
    const Vec3 normal = v * std::cos(theta) + u * std::sin(theta);
    first.normals[k] = normal;
    first.points[k] = centre + normal * radius;
  }

  TTubeRing ring = first;
  TTubeRing next = first;
  auto advance = [&](const Vec3& p, const Vec3& a, const Vec3& d) {
    Advance(ring, next, p, a, d);
    strip(ring, next, 0);
    std::swap(ring, next);
  };
  for (size_t i = 1; i <= n; ++i) {
    const Vec3& p = points[i % n];
    const Vec3& before = e[i - 1];
    if (std::fabs(before.Dot(t[i - 1])) < kSharpTurn) {
      advance(p, before, before);
      advance(p, e[i % n], e[i % n]);
    } else {
      advance(p, t[i - 1], before);
    }
  }

  // Close onto the first ring, starting at its point nearest to the final ring's point 0 so
  // that the strip does not twist.
  int32_t shift = 0;
  double best = 100000;
  for (size_t k = 0; k < size; ++k) {
    const double d2 = (first.points[k] - ring.points[0]).LengthSq();
    if (d2 < best) {
      best = d2;
      shift = static_cast<int32_t>(k);
    }
  }
  strip(ring, first, shift);
}
