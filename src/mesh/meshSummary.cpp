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
  const size_t nVerts = static_cast<size_t>(VertexCount(mesh));
  std::vector<bool> used(nVerts, false);
  std::vector<uint8_t> kinds(nVerts, 0);  // bit k: a face of kind k uses the vertex
  // Face sides filed by their lower vertex (a counting sort), so that equal sides meet in one
  // small bucket: linear in the mesh rather than a sort of every side.
  std::vector<int32_t> start(nVerts + 1, 0);
  const auto eachSide = [&](auto&& visit) {
    for (int32_t f = 0; f < nFaces; ++f) {
      const TFace& face = mesh.faces[static_cast<size_t>(f)];
      for (int k = 0; k < 4; ++k) {
        const int32_t a = face.v[k], b = face.v[(k + 1) % 4];
        if (!ValidVertex(mesh, a) || !ValidVertex(mesh, b) || a == b) continue;
        visit(std::min(a, b), std::max(a, b));
      }
    }
  };
  for (int32_t f = 0; f < nFaces; ++f) {
    const TFace& face = mesh.faces[static_cast<size_t>(f)];
    if (face.kind >= 0 && face.kind < 3) ++s.facesByKind[static_cast<size_t>(face.kind)];
    for (const int32_t a : face.v) {
      if (ValidVertex(mesh, a)) {
        used[static_cast<size_t>(a)] = true;
        if (face.kind >= 0 && face.kind < 3)
          kinds[static_cast<size_t>(a)] |= static_cast<uint8_t>(1u << face.kind);
      } else
        ++s.badCorners;
    }
  }
  s.usedVerts = std::count(used.begin(), used.end(), true);
  for (const uint8_t k : kinds)
    for (size_t kind = 0; kind < 3; ++kind) s.vertsByKind[kind] += (k >> kind) & 1;

  eachSide([&](int32_t a, int32_t) { ++start[static_cast<size_t>(a) + 1]; });
  for (size_t v = 0; v < nVerts; ++v) start[v + 1] += start[v];
  std::vector<int32_t> fill(start.begin(), start.end() - 1);
  std::vector<int32_t> other(static_cast<size_t>(start[nVerts]));
  eachSide([&](int32_t a, int32_t b) { other[static_cast<size_t>(fill[a]++)] = b; });

  // Within a bucket equal sides lie next to each other once sorted; a run's length is its face
  // count.
  for (size_t v = 0; v < nVerts; ++v) {
    const auto first = other.begin() + start[v], last = other.begin() + start[v + 1];
    std::sort(first, last);
    for (auto i = first; i != last;) {
      auto j = i;
      while (j != last && *j == *i) ++j;
      ++s.faceEdges;
      if (j - i == 1) ++s.openEdges;
      if (j - i > 2) ++s.nonManifoldEdges;
      i = j;
    }
  }
  return s;
}
