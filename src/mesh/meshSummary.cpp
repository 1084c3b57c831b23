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

TMeshSummary SummariseMesh(const TMesh& mesh, int64_t vertexRange) {
  const size_t range = static_cast<size_t>(std::max<int64_t>(vertexRange, 1));
  TMeshSummary s;
  const int32_t nFaces = FaceCount(mesh);
  const size_t nVerts = static_cast<size_t>(VertexCount(mesh));
  // The bounds in locals: the stores into the byte and index tables below may alias the mesh's
  // counts for all the compiler knows, which would reload them at every corner.
  const auto valid = [nVerts](int32_t v) { return static_cast<uint32_t>(v) < nVerts; };
  const TFace* const faces = mesh.faces.data();

  // Face sides filed by their lower vertex (a counting sort): equal sides meet in one small
  // bucket, and a count per upper vertex tells how many faces have each. Linear in the mesh.
  // The buckets of a range of lower vertices at a time, so that the table of sides stays
  // bounded however large the mesh: each range reads the faces once more.
  // Per vertex, bit k: a face of kind k uses it; bit 3: any face does. The first range's count
  // of sides reads the faces in the same pass; the table then serves as the side counts.
  constexpr uint8_t kUsed = 8;
  std::vector<uint8_t> count(nVerts, 0);
  std::vector<int32_t> end, other;
  // At least once: a mesh without vertices still has its faces' corners counted.
  size_t lo = 0;
  do {
    const auto eachSide = [&](auto&& visit) {
      for (int32_t f = 0; f < nFaces; ++f) {
        const TFace& face = faces[f];
        for (int k = 0; k < 4; ++k) {
          const int32_t a = face.v[k], b = face.v[(k + 1) % 4];
          if (!valid(a) || !valid(b) || a == b) continue;
          const size_t low = static_cast<size_t>(std::min(a, b));
          if (low >= lo && low - lo < range) visit(low - lo, std::max(a, b));
        }
      }
    };
    const size_t n = std::min(range, nVerts - lo);
    // end[v]: where bucket v ends; filling from the ends down leaves end[v] at its start.
    end.assign(n + 1, 0);
    if (lo == 0) {
      uint8_t* const uses = count.data();
      for (int32_t f = 0; f < nFaces; ++f) {
        const TFace& face = faces[f];
        const bool known = face.kind >= 0 && face.kind < 3;
        if (known) ++s.facesByKind[static_cast<size_t>(face.kind)];
        const uint8_t mark = known ? uint8_t(kUsed | (1u << face.kind)) : kUsed;
        for (int k = 0; k < 4; ++k) {
          const int32_t a = face.v[k], b = face.v[(k + 1) % 4];
          if (!valid(a)) {
            ++s.badCorners;
            continue;
          }
          uses[static_cast<size_t>(a)] |= mark;
          if (!valid(b) || a == b) continue;
          const size_t low = static_cast<size_t>(std::min(a, b));
          if (low < n) ++end[low];
        }
      }
      for (uint8_t& u : count) {
        s.usedVerts += (u & kUsed) != 0;
        for (size_t kind = 0; kind < 3; ++kind) s.vertsByKind[kind] += (u >> kind) & 1;
        u = 0;
      }
    } else {
      eachSide([&](size_t a, int32_t) { ++end[a]; });
    }
    for (size_t v = 1; v <= n; ++v) end[v] += end[v - 1];
    other.resize(static_cast<size_t>(end[n]));
    eachSide([&](size_t a, int32_t b) { other[static_cast<size_t>(--end[a])] = b; });

    // A side's face count, up to three (more than two is all that matters), by upper vertex.
    for (size_t v = 0; v < n; ++v) {
      const auto first = other.begin() + end[v], last = other.begin() + end[v + 1];
      for (auto i = first; i != last; ++i) {
        uint8_t& c = count[static_cast<size_t>(*i)];
        if (c < 3) ++c;
      }
      for (auto i = first; i != last; ++i) {
        uint8_t& c = count[static_cast<size_t>(*i)];
        if (c == 0) continue;
        ++s.faceEdges;
        if (c == 1) ++s.openEdges;
        if (c > 2) ++s.nonManifoldEdges;
        c = 0;
      }
    }
    lo += n;
  } while (lo < nVerts);
  return s;
}
