#include "meshModel.h"

#include <malloc.h>

#include <algorithm>
#include <string>
#include <type_traits>
#include <vector>

#include "core/rangeError.h"

int32_t AddVertex(TMesh& mesh, const Vec3& pos, bool movable) {
  if (mesh.nVerts >= static_cast<int32_t>(mesh.verts.size()))
    throw RangeError("the mesh's vertex storage is full (" + std::to_string(mesh.verts.size()) +
                     " vertices)");
  TVertex& v = mesh.verts[mesh.nVerts];
  v = TVertex{};
  v.pos = pos;
  v.movable = movable;
  return mesh.nVerts++;
}

void AddFace(TMesh& mesh, int32_t v0, int32_t v1, int32_t v2, int32_t v3, int32_t kind) {
  if (v0 == kNone || v1 == kNone || v2 == kNone || v3 == kNone) return;
  if (mesh.nFaces >= static_cast<int32_t>(mesh.faces.size()))
    throw RangeError("the mesh's face storage is full (" + std::to_string(mesh.faces.size()) +
                     " faces)");
  TFace& f = mesh.faces[mesh.nFaces++];
  mesh.edgesPaired = false;  // the edges no longer match the faces
  mesh.edgesDeferred = false;
  f = TFace{};
  f.v[0] = v0;
  f.v[1] = v1;
  f.v[2] = v2;
  f.v[3] = v3;
  f.kind = kind;
}

namespace {

// The positions in a table of their own: the faces read their corners out of order, and a
// vertex record is many times the size of its position.
std::vector<Vec3> Positions(const TMesh& mesh) {
  std::vector<Vec3> pos(static_cast<size_t>(mesh.nVerts));
  for (int32_t i = 0; i < mesh.nVerts; ++i) pos[i] = mesh.verts[i].pos;
  return pos;
}

// Vec3::Normalise with one division instead of three: the divider is what a sweep over the
// faces waits for. The product differs from the quotient by an ulp of a double at most, far
// below the single precision the normal is stored in.
void NormaliseByReciprocal(Vec3& n) {
  const double l = n.Length();
  if (l > 0) {
    const double r = 1 / l;
    n = Vec3(n.x * r, n.y * r, n.z * r);
  }
}

// The crease normals of ComputeVertexNormals over the sums `sum` (by vertex).
template <typename Sum>
void CreaseCorrection(const TMesh& mesh, Sum&& sum) {
  // A sharp fold (the knot band folded onto itself) would average to nothing; use the crease.
  for (int32_t i = 0; i < mesh.nEdges; ++i) {
    const TEdge& e = mesh.edges[i];
    if (e.f1 == kNone || e.f2 == kNone) continue;
    if (mesh.faces[e.f1].normal.Dot(mesh.faces[e.f2].normal) >= -0.85) continue;
    const Vec3 d = mesh.verts[e.b].pos - mesh.verts[e.a].pos;
    const Vec3 n = mesh.faces[e.f1].normal.Cross(d).Normalised();
    sum(e.a) = n;
    sum(e.b) = n;
  }
}

}  // namespace

void ComputeFaceNormals(TMesh& mesh) {
  const std::vector<Vec3> pos = Positions(mesh);
  for (int32_t i = 0; i < mesh.nFaces; ++i) {
    TFace& f = mesh.faces[i];
    Vec3 d[4];
    for (int k = 0; k < 4; ++k) d[k] = pos.at(f.v[(k + 1) % 4]) - pos.at(f.v[k]);
    f.normal = (d[0].Cross(d[1]) + d[2].Cross(d[3])).Normalised();
  }
}

void ComputeVertexNormals(TMesh& mesh, bool creaseCorrection) {
  // Summed in a table of their own, in face order as ever, and written back once.
  std::vector<Vec3> sum(static_cast<size_t>(mesh.nVerts));
  for (int32_t i = 0; i < mesh.nFaces; ++i) {
    const TFace& f = mesh.faces[i];
    for (int k = 0; k < 4; ++k) sum.at(f.v[k]) += f.normal;
  }
  if (creaseCorrection) {
    EnsureEdges(mesh);
    CreaseCorrection(mesh, [&](int32_t v) -> Vec3& { return sum.at(v); });
  }
  for (int32_t i = 0; i < mesh.nVerts; ++i) {
    sum[i].Normalise();
    mesh.verts[i].normal = sum[i];
  }
}

void ComputeNormals(TMesh& mesh, bool creaseCorrection) {
  const int32_t nVerts = mesh.nVerts;
  if (nVerts > static_cast<int64_t>(mesh.verts.size()) ||
      mesh.nFaces > static_cast<int64_t>(mesh.faces.size()))
    throw RangeError("the mesh's counts exceed its storage");
  // The sums are kept in the normals themselves; every corner is checked before it is read.
  for (int32_t i = 0; i < nVerts; ++i) mesh.verts[i].normal = Vec3();
  for (int32_t i = 0; i < mesh.nFaces; ++i) {
    TFace& f = mesh.faces[i];
    for (int32_t c : f.v)
      if (c < 0 || c >= nVerts) throw RangeError("a face corner lies outside the mesh's vertices");
    Vec3 d[4];
    for (int k = 0; k < 4; ++k) d[k] = mesh.verts[f.v[(k + 1) % 4]].pos - mesh.verts[f.v[k]].pos;
    f.normal = d[0].Cross(d[1]) + d[2].Cross(d[3]);
    NormaliseByReciprocal(f.normal);
    for (int32_t c : f.v) mesh.verts[c].normal += f.normal;
  }
  if (creaseCorrection) {
    EnsureEdges(mesh);
    const auto sum = [&](int32_t v) -> Vec3& {
      if (v < 0 || v >= nVerts) throw RangeError("an edge end lies outside the mesh's vertices");
      return mesh.verts[v].normal;
    };
    CreaseCorrection(mesh, sum);
  }
  for (int32_t i = 0; i < nVerts; ++i) NormaliseByReciprocal(mesh.verts[i].normal);
}

bool IsSeamEdge(const TMesh& mesh, const TEdge& edge) {
  if (edge.f1 == kNone || edge.f2 == kNone) return false;
  return mesh.faces[edge.f1].kind != mesh.faces[edge.f2].kind;
}

bool IsUniform(const TMesh& mesh, int32_t vertex) {
  const std::span<const int32_t> fan = VEdges(mesh, vertex);
  if (fan.empty()) return true;
  const int32_t kind = mesh.faces[mesh.edges[fan[0]].f1].kind;
  for (int32_t ei : fan) {
    const TEdge& e = mesh.edges[ei];
    if (mesh.faces[e.f1].kind != kind) return false;
    if (e.f2 != kNone && mesh.faces[e.f2].kind != kind) return false;
  }
  return true;
}

void ClassifyVertices(TMesh& mesh) {
  EnsureEdges(mesh);
  for (int32_t i = 0; i < mesh.nVerts; ++i) {
    TVertex& v = mesh.verts[i];
    if (v.nEdges == 0) {
      v.tag = -2;
      continue;
    }
    v.tag = IsUniform(mesh, i) ? mesh.faces[mesh.edges[VEdges(mesh, i)[0]].f1].kind : -1;
  }
}

void ReleaseOversizedStorage(TMesh& mesh, int64_t needed) {
  bool released = false;
  const auto release = [&](auto& table, int64_t perVertex) {
    const int64_t room = static_cast<int64_t>(table.capacity());
    if (room > 250'000 && room > 2 * perVertex * std::max<int64_t>(needed, 1)) {
      std::remove_reference_t<decltype(table)>().swap(table);
      released = true;
    }
  };
  release(mesh.verts, 1);
  release(mesh.faces, 1);
  release(mesh.edges, 2);
  release(mesh.fans, 4);
  release(mesh.twins, 4);
  release(mesh.faceEdges, 4);
  release(mesh.velocity, 1);
  release(mesh.scratch, 16);
  // The allocator keeps freed pages for later use; a large mesh's are handed back.
  if (released) malloc_trim(0);
}

void KeepFreedStorageForReuse() {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
}
