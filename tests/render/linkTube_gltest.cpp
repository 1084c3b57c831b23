// Geometry of the link tubes, without drawing.

#include "render/linkTube.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "core/rangeError.h"

namespace {

struct TStrip {
  TTubeRing from, to;
  int32_t shift;
};

std::vector<TStrip> Sweep(const std::vector<Vec3>& points, double radius, int32_t m) {
  std::vector<TStrip> strips;
  SweepLinkTube(points, radius, m, [&](const TTubeRing& a, const TTubeRing& b, int32_t s) {
    strips.push_back({a, b, s});
  });
  return strips;
}

double DistanceToLine(const Vec3& x, const Vec3& p, const Vec3& dir) {
  return (x - p).Cross(dir.Normalised()).Length();
}

TEST(LinkTube, RingsStayOnTheTubeAndCloseWithoutATwist) {
  // A trefoil-shaped closed chain: not planar, so the swept ring comes back turned.
  std::vector<Vec3> p;
  const int n = 90;
  for (int i = 0; i < n; ++i) {
    const double t = 2 * std::numbers::pi * i / n;
    p.emplace_back((2 + std::cos(3 * t)) * std::cos(2 * t), (2 + std::cos(3 * t)) * std::sin(2 * t),
                   std::sin(3 * t));
  }
  const double r = 0.05;
  const int m = 16;
  const std::vector<TStrip> strips = Sweep(p, r, m);
  ASSERT_EQ(strips.size(), size_t(n) + 1);  // gentle turns: one advance per vertex, then closing
  // The ring reaching vertex i is cut from the tube around edge i - 1 (and i), so each of its
  // points lies at the radius from that edge's line; its normals point away from the line.
  for (int i = 1; i <= n; ++i) {
    const TTubeRing& ring = strips[i - 1].to;
    const Vec3 a = p[i - 1], b = p[i % n];
    for (int k = 0; k < m; ++k) {
      EXPECT_NEAR(DistanceToLine(ring.points[k], a, b - a), r, 1e-4) << i << " " << k;
      EXPECT_GT(ring.normals[k].Dot(ring.points[k] - b), 0);
      EXPECT_NEAR(ring.normals[k].Length(), 1, 1e-5);
    }
  }
  // Closing: every joined pair is about as far apart as the first ring is from vertex 0.
  const TStrip& closing = strips.back();
  EXPECT_NE(closing.shift, 0);
  for (int k = 0; k < m; ++k) {
    const Vec3& joined = closing.to.points[(k + closing.shift) % m];
    const double gap = (closing.from.points[k] - joined).Length();
    EXPECT_LT(gap, (p[1] - p[0]).Length() * 0.5 + r * 2 * std::sin(std::numbers::pi / m));
  }
}

TEST(LinkTube, FullReversalAdvancesOntoTheTurningPointsOwnPlane) {
  // Out along x to (2,0,0), straight back to (1,0,0), then round to the start.
  const std::vector<Vec3> p = {Vec3(0, 0, 0), Vec3(2, 0, 0), Vec3(1, 0, 0), Vec3(1, 1, 0)};
  const std::vector<TStrip> strips = Sweep(p, 0.1, 12);
  ASSERT_EQ(strips.size(), p.size() + 2);  // one extra advance at the reversal
  // Both advances at (2,0,0) end on the plane x = 2, in a circle of the radius around it.
  for (int s : {0, 1})
    for (const Vec3& x : strips[s].to.points) {
      EXPECT_NEAR(x.x, 2, 1e-6);
      EXPECT_NEAR((x - p[1]).Length(), 0.1, 1e-6);
    }
  for (const TStrip& s : strips)
    for (const Vec3& x : s.to.points)
      EXPECT_TRUE(std::isfinite(x.x) && std::isfinite(x.y) && std::isfinite(x.z));
}

TEST(LinkTube, DegenerateChainsDrawNothingAndOversizedRingsAreRefused) {
  for (size_t n : {0, 1, 2})
    EXPECT_TRUE(Sweep(std::vector<Vec3>(n, Vec3(0, 0, 0)), 0.1, 8).empty()) << n;
  EXPECT_TRUE(Sweep({Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)}, 0.1, 2).empty());

  // Chain points: pushed back along the normal; repeats (also last against first) and
  // references outside the mesh dropped, so no edge is without a direction.
  TMesh mesh;
  mesh.verts.resize(4);
  for (const Vec3& q : {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(1, 1, 0)}) AddVertex(mesh, q, false);
  for (int v = 0; v < 3; ++v) mesh.verts[v].normal = Vec3(0, 0, 1);
  const TLinkLine line{7, {0, 0, 1, -1, 3, 1 << 30, 2, 0}};
  const std::vector<Vec3> points = LinkTubePoints(mesh, line, 0.25);
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[1], Vec3(1, 0, -0.25));

  TSettings s;
  s.resolution = 4;
  EXPECT_EQ(TubeRingSize(s, 0, false), 16);
  EXPECT_EQ(TubeRingSize(s, 1, true), 48);  // each refine step adds 8; racing doubles
  EXPECT_THROW(TubeRingSize(s, 1'000'000, false), RangeError);
}

}  // namespace
