#pragma once
// Where a triangle soup passes through itself: the faults a slicer meets in a printed solid.
//
// The input is a soup as an STL file holds it, three corners a triangle. Corners at the same
// point are one vertex (as every reader of such a file takes them), so two triangles share a
// vertex or an edge exactly where they have corners at the same points.
//
// Two triangles intersect when they meet in more than the vertices and the edge they share:
//   - sharing no vertex: when the closed triangles have any point in common (touching counts);
//   - sharing one vertex: when the edge of either opposite that vertex meets the other;
//   - sharing an edge: when they are coplanar and fold onto each other (their third corners
//     lie on the same side of the edge);
//   - sharing three corners: always (a facet stored twice).
// Every decision is exact: orientation tests in double with an error bound, and exact integer
// or rational arithmetic where the bound cannot decide, so that the answer depends only on the
// corners' values and not on rounding.
//
// A "place" is a connected set of intersecting triangles, two triangles connected when they
// intersect each other: a curve where two sheets cross is one place, however many facets it
// runs through.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/vec3.h"

struct TSelfIntersections {
  int64_t pairs = 0;   // pairs of triangles that intersect
  int64_t places = 0;  // connected sets of such triangles
  // The triangles that intersect another one, by number (corner / 3), in increasing order.
  std::vector<int32_t> faces;
};

// `corners` holds 3 x n points, triangle t at 3t, 3t+1, 3t+2; n must be below 2^31 / 3.
// A std::invalid_argument when a corner is not finite or the count is not a multiple of 3.
// Triangles whose corners are all one point take no part.
TSelfIntersections FindSelfIntersections(std::span<const Vec3> corners);

// The warning before a file of an intersecting surface is written, "" when `found` has none.
std::string SelfIntersectionWarning(const TSelfIntersections& found);
