#include "meshSummary.h"

#include <algorithm>
#include <utility>
#include <vector>

int32_t VertexCount(const TMesh& mesh) {
  return static_cast<int32_t>(
      std::max<int64_t>(0, std::min<int64_t>(mesh.nVerts, mesh.verts.size())));
}

int32_t FaceCount(const TMesh& mesh) {
  return static_cast<int32_t>(
      std::max<int64_t>(0, std::min<int64_t>(mesh.nFaces, mesh.faces.size())));
}

bool ValidVertex(const TMesh& mesh, int64_t v) { return v >= 0 && v < VertexCount(mesh); }

TMeshSummary SummariseMesh(const TMesh& mesh) {
  TMeshSummary s;
  const int32_t nFaces = FaceCount(mesh);
  std::vector<bool> used(static_cast<size_t>(VertexCount(mesh)), false);
  std::vector<std::pair<int32_t, int32_t>> sides;
  sides.reserve(static_cast<size_t>(nFaces) * 4);

  for (int32_t f = 0; f < nFaces; ++f) {
    const TFace& face = mesh.faces[static_cast<size_t>(f)];
    if (face.kind >= 0 && face.kind < 3) ++s.facesByKind[static_cast<size_t>(face.kind)];
    for (int k = 0; k < 4; ++k) {
      const int32_t a = face.v[k];
      const int32_t b = face.v[(k + 1) % 4];
      if (!ValidVertex(mesh, a)) {
        ++s.badCorners;
        continue;
      }
      used[static_cast<size_t>(a)] = true;
      if (!ValidVertex(mesh, b) || a == b) continue;
      sides.emplace_back(std::min(a, b), std::max(a, b));
    }
  }
  s.usedVerts = std::count(used.begin(), used.end(), true);

  // Equal sides lie next to each other once sorted; a run's length is its face count.
  std::sort(sides.begin(), sides.end());
  for (size_t i = 0; i < sides.size();) {
    size_t j = i;
    while (j < sides.size() && sides[j] == sides[i]) ++j;
    ++s.faceEdges;
    if (j - i == 1) ++s.openEdges;
    if (j - i > 2) ++s.nonManifoldEdges;
    i = j;
  }
  return s;
}
