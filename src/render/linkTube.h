#pragma once
// The knot drawn as a round tube: a ring of points swept along a closed chain of link vertices.
// Geometry only; the scene drawing turns every strip into a GL quad strip.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/settings.h"
#include "mesh/meshModel.h"

// Most points a tube ring may have; a display list of longer rings would not fit in memory.
constexpr int32_t kMaxTubeRing = 16384;

struct TTubeRing {
  std::vector<Vec3> points;
  std::vector<Vec3> normals;  // unit, pointing away from the chain
};

// Points around the tube: 2 (resolution + Catmull-Clark levels) + 8 + 8 per refine step,
// doubled while racing (the ride looks at it from close by).
// Throws RangeError above kMaxTubeRing. A result below 3 means: draw no tubes.
int32_t TubeRingSize(const TSettings& settings, int32_t refineCount, bool racing);

// The chain's vertex positions pushed back along their normals by `offset`. Vertex references
// outside the mesh are skipped, and so is a point equal to the one before it (also the last
// against the first): a zero-length edge has no direction to sweep along.
std::vector<Vec3> LinkTubePoints(const TMesh& mesh, const TLinkLine& link, double offset);

// One band of the tube: for k = 0..m, from.point[k mod m] then to.point[(k + shift) mod m],
// each with its normal (a quad strip).
using TTubeStrip =
    std::function<void(const TTubeRing& from, const TTubeRing& to, int32_t shift)>;

// Sweeps a ring of m points and the given radius along the closed chain: one strip per advance
// of the ring (two at turns sharper than about 150 degrees), then one closing strip back to the
// first ring. Chains of fewer than three points and m < 3 draw nothing.
void SweepLinkTube(std::span<const Vec3> points, double radius, int32_t m,
                   const TTubeStrip& strip);
