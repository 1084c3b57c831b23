#pragma once
// What smoothing must keep: the knot the link lines bound, and a mesh that passes through itself
// nowhere it did not before. Shared by the smoothing tests and the table sweep.

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "app/model/boundaryReport.h"
#include "mesh/selfIntersection.h"

// The quads of one side of the surface (face kind `kind`) as triangles, each cut along the
// diagonal that bends it least, as a reader of the surface takes it; `quads` gets each one's
// quad. The two sides of the closed mesh close in on one another as the mesh relaxes, so
// each side is held against itself: one side crosses itself where the surface does.
inline std::vector<Vec3> SmoothingTriangles(const TMesh& mesh, int32_t kind, std::vector<int32_t>& quads) {
  std::vector<Vec3> corners;
  quads.clear();
  for (int32_t f = 0; f < mesh.nFaces; ++f) {
    const TFace& q = mesh.faces[static_cast<size_t>(f)];
    if (q.kind != kind) continue;
    quads.push_back(f);
    Vec3 p[4];
    for (size_t k = 0; k < 4; ++k) p[k] = mesh.verts[static_cast<size_t>(q.v[k])].pos;
    auto normal = [&](int a, int b, int c) { return (p[b] - p[a]).Cross(p[c] - p[a]).Normalised(); };
    const bool first = normal(0, 1, 2).Dot(normal(0, 2, 3)) >= normal(0, 1, 3).Dot(normal(1, 2, 3));
    for (const int c : first ? std::array<int, 6>{0, 1, 2, 0, 2, 3} : std::array<int, 6>{0, 1, 3, 1, 2, 3})
      corners.push_back(p[c]);
  }
  return corners;
}

struct TSmoothingBaseline {
  bool named = false;
  std::string name;             // the boundary's name, chirality included
  TLaurent jones;               // what tells the knot when the table does not name it
  std::vector<int32_t> faces;   // quads that pass through another part of the mesh
  int64_t crossingPairs = 0;
};

// The quads, in increasing order, that cross another quad of their side.
inline std::vector<int32_t> CrossingQuads(const TMesh& mesh, int64_t* pairs = nullptr) {
  std::vector<int32_t> crossing, of;
  if (pairs) *pairs = 0;
  for (int32_t kind : {0, 1, 2}) {
    const TSelfIntersections found = FindSelfIntersections(SmoothingTriangles(mesh, kind, of));
    if (pairs) *pairs += found.pairs;
    for (int32_t t : found.faces) crossing.push_back(of[static_cast<size_t>(t / 2)]);
  }
  std::sort(crossing.begin(), crossing.end());
  crossing.erase(std::unique(crossing.begin(), crossing.end()), crossing.end());
  return crossing;
}

inline TSmoothingBaseline SmoothingBaseline(const TSeiffert& m, const TKnotTable& table,
                                            bool meshCheck = true) {
  TSmoothingBaseline b;
  const TBoundaryReport r = IdentifySurfaceBoundary(m, table);
  b.named = r.ok;
  b.name = r.ok ? r.id.name : r.error;
  b.jones = r.id.jonesPoly;
  if (meshCheck) b.faces = CrossingQuads(m.mesh, &b.crossingPairs);
  return b;
}

// "" when the smoothed model still bounds the knot of `start` and its mesh crosses itself only
// in quads that crossed at the start (or, without `countFolds`, only where quads fold round a
// corner they share); else what went wrong.
inline std::string SmoothingFault(const TSeiffert& m, const TKnotTable& table,
                                  const TSmoothingBaseline& start, bool meshCheck = true,
                                  bool countFolds = true) {
  const TBoundaryReport r = IdentifySurfaceBoundary(m, table);
  if (!r.ok || r.id.name != start.name || !(r.id.jonesPoly == start.jones))
    return "the boundary is " + (r.ok ? r.id.name : r.error) + ", not " + start.name;
  if (!meshCheck) return "";
  std::vector<int32_t> now = CrossingQuads(m.mesh), fresh;
  std::set_difference(now.begin(), now.end(), start.faces.begin(), start.faces.end(),
                      std::back_inserter(fresh));
  // Of those, the ones that cross a quad they share no corner with: one part of the surface
  // through another, rather than a fold round a vertex.
  const auto corners = [&](int32_t f, std::vector<Vec3>& out) {
    const TFace& q = m.mesh.faces[static_cast<size_t>(f)];
    Vec3 p[4];
    for (size_t k = 0; k < 4; ++k) p[k] = m.mesh.verts[static_cast<size_t>(q.v[k])].pos;
    auto normal = [&](int a, int b, int c) { return (p[b] - p[a]).Cross(p[c] - p[a]).Normalised(); };
    const bool first = normal(0, 1, 2).Dot(normal(0, 2, 3)) >= normal(0, 1, 3).Dot(normal(1, 2, 3));
    for (const int c : first ? std::array<int, 6>{0, 1, 2, 0, 2, 3} : std::array<int, 6>{0, 1, 3, 1, 2, 3})
      out.push_back(p[c]);
  };
  int32_t through = 0;
  for (int32_t a : fresh) {
    for (int32_t b : now) {
      const TFace &fa = m.mesh.faces[size_t(a)], &fb = m.mesh.faces[size_t(b)];
      bool shared = fa.kind != fb.kind;
      for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) shared = shared || fa.v[i] == fb.v[j];
      if (shared) continue;
      std::vector<Vec3> two;
      corners(a, two);
      corners(b, two);
      if (FindSelfIntersections(two).pairs > 0) {
        ++through;
        break;
      }
    }
  }
  if (through > 0)
    return std::to_string(through) + " quads pass through parts of the surface they share no corner with";
  if (!fresh.empty() && countFolds)
    return std::to_string(fresh.size()) + " quads fold over a neighbour round a shared corner";
  return "";
}
