#include "subdivision.h"

#include <malloc.h>

#include <algorithm>
#include <cstddef>
#include <span>
#include <unordered_map>
#include <string>
#include <utility>
#include <vector>

#include "buildProgress.h"
#include "core/checked.h"
#include "core/rangeError.h"

namespace {

// Double-precision point for the sums of a pass; positions are stored as float Vec3.
struct DPoint {
  double x = 0, y = 0, z = 0;

  DPoint() = default;
  DPoint(double ax, double ay, double az) : x(ax), y(ay), z(az) {}
  explicit DPoint(const Vec3& v) : x(v.x), y(v.y), z(v.z) {}

  DPoint operator+(const DPoint& o) const { return {x + o.x, y + o.y, z + o.z}; }
  DPoint operator-(const DPoint& o) const { return {x - o.x, y - o.y, z - o.z}; }
  DPoint operator*(double s) const { return {x * s, y * s, z * s}; }
  DPoint operator/(double s) const { return {x / s, y / s, z / s}; }
  DPoint& operator+=(const DPoint& o) { x += o.x; y += o.y; z += o.z; return *this; }
  double Dot(const DPoint& o) const { return x * o.x + y * o.y + z * o.z; }
  Vec3 ToVec3() const { return Vec3(x, y, z); }
};

bool InRange(int32_t i, int64_t n) { return i >= 0 && i < n; }

// The end of an edge that is not `v`.
int32_t OtherEnd(const TEdge& e, int32_t v) { return e.a == v ? e.b : e.a; }

// Whether two edges have a face in common; empty face slots match nothing.
bool ShareFace(const TEdge& p, const TEdge& q) {
  const int32_t pf[2] = {p.f1, p.f2};
  const int32_t qf[2] = {q.f1, q.f2};
  for (int32_t a : pf) {
    if (a == kNone) continue;
    for (int32_t b : qf)
      if (a == b) return true;
  }
  return false;
}

// Whether vertex v has room in its fan for one more edge (two entries for a degenerate edge
// from v to itself).
bool HasEdgeRoom(const TVertex& v, bool selfLoop) {
  const int64_t need = static_cast<int64_t>(v.nEdges) + (selfLoop ? 2 : 1);
  return need <= v.fanRoom;
}

// Edge tables larger than this, once let go, are handed back to the system at once (see
// KeepFreedStorageForReuse): a level of this size costs more than the page faults.
constexpr size_t kTrimAfterFreeing = size_t{16} << 20;

// Vertices with more edges than this (disk poles on long words carry thousands) are searched
// and sorted through tables instead of by scanning their edge list, which is quadratic.
constexpr int32_t kLargeFan = 16;

// Puts an edge list in fan order, so that consecutive edges share a face: for each position i,
// every later edge (from i + 2 on, in list order) that shares a face with the edge at i is
// swapped into position i + 1.
void SortFan(TMesh& mesh, int32_t v) {
  const std::span<int32_t> list = VEdges(mesh, v);
  const int32_t n = static_cast<int32_t>(list.size());
  if (n <= kLargeFan) {
    for (int32_t i = 0; i + 1 < n; ++i) {
      const TEdge& ei = mesh.edges[list[i]];
      for (int32_t j = i + 2; j < n; ++j) {
        if (ShareFace(ei, mesh.edges[list[j]])) std::swap(list[j], list[i + 1]);
      }
    }
    return;
  }
  // The same swaps, found through a table of (face, entry) instead of a scan: only edges that
  // share a face with the edge at i can move, and they move in the order of their positions.
  // Entries are the list's original slots; `where` is an entry's current position.
  std::vector<int32_t> at(static_cast<size_t>(n)), where(static_cast<size_t>(n));
  std::vector<std::pair<int32_t, int32_t>> byFace;
  byFace.reserve(2 * static_cast<size_t>(n));
  for (int32_t e = 0; e < n; ++e) {
    at[e] = where[e] = e;
    const TEdge& edge = mesh.edges[list[e]];
    if (edge.f1 != kNone) byFace.emplace_back(edge.f1, e);
    if (edge.f2 != kNone && edge.f2 != edge.f1) byFace.emplace_back(edge.f2, e);
  }
  std::sort(byFace.begin(), byFace.end());
  const std::vector<int32_t> original(list.begin(), list.end());
  std::vector<int32_t> movers;
  for (int32_t i = 0; i + 1 < n; ++i) {
    const TEdge& ei = mesh.edges[original[at[i]]];
    movers.clear();
    for (int32_t f : {ei.f1, ei.f2}) {
      if (f == kNone || (f == ei.f2 && ei.f2 == ei.f1)) continue;
      auto it = std::lower_bound(byFace.begin(), byFace.end(), std::pair<int32_t, int32_t>{f, 0});
      for (; it != byFace.end() && it->first == f; ++it)
        if (where[it->second] >= i + 2) movers.push_back(it->second);
    }
    std::sort(movers.begin(), movers.end(),
              [&](int32_t a, int32_t b) { return where[a] < where[b]; });
    movers.erase(std::unique(movers.begin(), movers.end()), movers.end());
    for (int32_t e : movers) {
      const int32_t from = where[e], displaced = at[i + 1];
      std::swap(at[from], at[i + 1]);
      where[displaced] = from;
      where[e] = i + 1;
    }
  }
  for (int32_t p = 0; p < n; ++p) list[p] = original[at[p]];
}

// Key of the edge between a and b, either way round.
uint64_t EdgeKey(int32_t a, int32_t b) {
  const auto lo = static_cast<uint32_t>(std::min(a, b)), hi = static_cast<uint32_t>(std::max(a, b));
  return (uint64_t{lo} << 32) | hi;
}

// Everything a pass reads, checked before it writes anything: the edges of every face really
// join its corners and name it, every edge has two faces and old-vertex ends, every vertex's
// edge list holds edges of that vertex. False means the mesh is inconsistent (e.g. an open
// border, or an edge build that had to start over).
bool PassInputConsistent(const TMesh& mesh, bool rangesOnly) {
  const int32_t m = mesh.nVerts;
  if (m > static_cast<int64_t>(mesh.verts.size())) return false;
  if (mesh.nFaces > static_cast<int64_t>(mesh.faces.size())) return false;
  if (mesh.nEdges > static_cast<int64_t>(mesh.edges.size())) return false;
  if (int64_t{4} * mesh.nFaces > static_cast<int64_t>(mesh.faceEdges.size())) return false;
  for (int32_t i = 0; i < mesh.nEdges; ++i) {
    const TEdge& e = mesh.edges[i];
    if (!InRange(e.a, m) || !InRange(e.b, m)) return false;
    if (!InRange(e.f1, mesh.nFaces) || !InRange(e.f2, mesh.nFaces)) return false;
  }
  for (int32_t i = 0; i < mesh.nFaces; ++i) {
    const TFace& f = mesh.faces[i];
    for (int k = 0; k < 4; ++k) {
      const int32_t c0 = f.v[k], c1 = f.v[(k + 1) % 4];
      const int32_t ek = mesh.faceEdges[4 * i + k];
      if (!InRange(c0, m) || !InRange(ek, mesh.nEdges)) return false;
      if (rangesOnly) continue;
      const TEdge& e = mesh.edges[ek];
      if (!((e.a == c0 && e.b == c1) || (e.a == c1 && e.b == c0))) return false;
      if (e.f1 != i && e.f2 != i) return false;
    }
  }
  for (int32_t i = 0; i < m; ++i) {
    const TVertex& v = mesh.verts[i];
    if (v.nEdges < 0 || v.nEdges > v.fanRoom || v.fanStart < 0 ||
        int64_t(v.fanStart) + v.fanRoom > static_cast<int64_t>(mesh.fans.size()))
      return false;
    for (int32_t ei : VEdges(mesh, i)) {
      if (!InRange(ei, mesh.nEdges)) return false;
      if (rangesOnly) continue;
      if (mesh.edges[ei].a != i && mesh.edges[ei].b != i) return false;
    }
  }
  return true;
}

// The first vertex reached through v's edges in fan order that is not `exclude` and lies on
// a seam (tag -1); kNone when there is none.
int32_t SeamNeighbour(const TMesh& mesh, int32_t v, int32_t exclude) {
  for (int32_t ei : VEdges(mesh, v)) {
    const int32_t w = OtherEnd(mesh.edges[ei], v);
    if (w != exclude && mesh.verts[w].tag == -1) return w;
  }
  return kNone;
}

// The edge build by search, for meshes the twin road does not take (open borders, edges of
// more than two faces, a face edge from a vertex to itself): its outcome there is the rule.
void BuildEdgesBySearch(TMesh& mesh) {
  mesh.edgesPaired = false;
  const int32_t nVerts = mesh.nVerts;
  const int32_t nFaces = mesh.nFaces;

  // 1. A cleared edge table of twice the face count.
  mesh.edges.assign(static_cast<size_t>(CheckedMul(2, nFaces)), TEdge{});
  mesh.faceEdges.assign(static_cast<size_t>(CheckedMul(4, nFaces)), kNone);
  mesh.nEdges = 0;
  const int64_t edgeCapacity = static_cast<int64_t>(mesh.edges.size());

  // 2. Size every edge list by the vertex's corner uses.
  for (int32_t i = 0; i < nVerts; ++i) mesh.verts[i].nEdges = 0;
  for (int32_t i = 0; i < nFaces; ++i)
    for (int32_t c : mesh.faces[i].v)
      if (InRange(c, nVerts)) ++mesh.verts[c].nEdges;
  int64_t fanTotal = 0;
  for (int32_t i = 0; i < nVerts; ++i) {
    TVertex& v = mesh.verts[i];
    v.fanStart = static_cast<int32_t>(fanTotal);
    v.fanRoom = v.nEdges;
    fanTotal += v.nEdges;
    v.nEdges = 0;
  }
  mesh.fans.assign(static_cast<size_t>(fanTotal), kNone);

  // 3. Edges face by face: an edge met before gets this face as its second one, otherwise a
  // new edge starts here. A face whose edge does not fit (an open border) starts the edge
  // count over and the building goes on with the next face. The edges at a vertex with a
  // large fan are also kept in a table, so that finding one is not a scan of the whole fan;
  // once the count starts over, scans alone find what they found before.
  std::unordered_map<uint64_t, int32_t> largeFanEdges;
  bool tableValid = true;
  for (int32_t fi = 0; fi < nFaces; ++fi) {
    TFace& f = mesh.faces[fi];
    for (int k = 0; k < 4; ++k) {
      const int32_t a = f.v[k], b = f.v[(k + 1) % 4];
      if (!InRange(a, nVerts) || !InRange(b, nVerts)) {
        mesh.nEdges = 0;
        tableValid = false;
        break;
      }
      TVertex& va = mesh.verts[a];
      int32_t found = kNone;
      if (tableValid && va.fanRoom > kLargeFan) {
        const auto it = largeFanEdges.find(EdgeKey(a, b));
        if (it != largeFanEdges.end()) found = it->second;
      } else {
        for (int32_t ei : VEdges(mesh, a)) {
          const TEdge& e = mesh.edges[ei];
          if ((e.a == a && e.b == b) || (e.a == b && e.b == a)) {
            found = ei;
            break;
          }
        }
      }
      if (found != kNone) {
        mesh.edges[found].f2 = fi;
        mesh.faceEdges[4 * fi + k] = found;
        continue;
      }
      TVertex& vb = mesh.verts[b];
      if (mesh.nEdges >= edgeCapacity || !HasEdgeRoom(va, a == b) || !HasEdgeRoom(vb, a == b)) {
        mesh.nEdges = 0;
        tableValid = false;
        break;
      }
      const int32_t ei = mesh.nEdges++;
      if (va.fanRoom > kLargeFan || vb.fanRoom > kLargeFan) largeFanEdges.emplace(EdgeKey(a, b), ei);
      TEdge& e = mesh.edges[ei];
      e = TEdge{};
      e.a = a;
      e.b = b;
      e.f1 = fi;
      mesh.fans[va.fanStart + va.nEdges++] = ei;
      mesh.fans[vb.fanStart + vb.nEdges++] = ei;
      mesh.faceEdges[4 * fi + k] = ei;
    }
  }

  // 4. Fan order.
  for (int32_t i = 0; i < nVerts; ++i) SortFan(mesh, i);
}

// Half-edge h = 4 x face + k runs from v[k] to v[(k+1) mod 4] of its face. On a mesh where
// every edge has exactly two face sides, twins[h] is the other side of h's edge, and the edge
// table follows from the twins alone: the edge build by search numbers an edge where its first
// side is met and gives it its second side's face as f2.

// Whether the pass's edge tables can be taken from twins; false for a corner outside the
// vertices or a face edge from a vertex to itself.
bool CornersFitTwins(const TMesh& mesh) {
  const int32_t nVerts = mesh.nVerts;
  if (mesh.nFaces < 0 || mesh.nFaces > static_cast<int64_t>(mesh.faces.size()) ||
      nVerts > static_cast<int64_t>(mesh.verts.size()) || int64_t{4} * mesh.nFaces > INT32_MAX)
    return false;
  for (int32_t i = 0; i < mesh.nFaces; ++i) {
    const TFace& f = mesh.faces[i];
    for (int k = 0; k < 4; ++k) {
      if (!InRange(f.v[k], nVerts)) return false;
      if (f.v[k] == f.v[(k + 1) % 4]) return false;
    }
  }
  return true;
}

// The twins of every half-edge, found by bucketing the half-edges by their lower end: inside
// a bucket, the two sides of an edge share the upper end. False when an edge has one side or
// more than two.
bool TwinsByBuckets(const TMesh& mesh, std::vector<int32_t>& twins) {
  const int32_t nVerts = mesh.nVerts, nHalf = 4 * mesh.nFaces;
  std::vector<int32_t> start(static_cast<size_t>(nVerts) + 1, 0);
  for (int32_t i = 0; i < mesh.nFaces; ++i) {
    const TFace& f = mesh.faces[i];
    for (int k = 0; k < 4; ++k) ++start[std::min(f.v[k], f.v[(k + 1) % 4]) + 1];
  }
  for (int32_t v = 0; v < nVerts; ++v) start[v + 1] += start[v];
  // Each bucket holds (upper end, half-edge), in half-edge order.
  std::vector<std::pair<int32_t, int32_t>> bucket(static_cast<size_t>(nHalf));
  {
    std::vector<int32_t> fill(start.begin(), start.end() - 1);
    for (int32_t h = 0; h < nHalf; ++h) {
      const TFace& f = mesh.faces[h >> 2];
      const int32_t a = f.v[h & 3], b = f.v[((h & 3) + 1) & 3];
      bucket[fill[std::min(a, b)]++] = {std::max(a, b), h};
    }
  }
  twins.assign(static_cast<size_t>(nHalf), kNone);
  for (int32_t v = 0; v < nVerts; ++v) {
    const auto first = bucket.begin() + start[v], last = bucket.begin() + start[v + 1];
    if ((last - first) % 2 != 0) return false;
    if (last - first > 2 * kLargeFan) std::sort(first, last);
    else
      // Small buckets: an insertion sort by upper end keeps the half-edge order within it.
      for (auto i = first + 1; i < last; ++i)
        for (auto j = i; j > first && j->first < (j - 1)->first; --j) std::iter_swap(j, j - 1);
    for (auto i = first; i < last; i += 2) {
      if (i[0].first != i[1].first || (i + 2 < last && i[2].first == i[0].first)) return false;
      twins[i[0].second] = i[1].second;
      twins[i[1].second] = i[0].second;
    }
  }
  return true;
}

// Whether every side of the faces runs opposite to its twin.
bool TwinsRunOpposite(const TMesh& mesh) {
  const int32_t nHalf = 4 * mesh.nFaces;
  for (int32_t h = 0; h < nHalf; ++h) {
    const int32_t t = mesh.twins[h];
    const TFace &f = mesh.faces[h >> 2], &g = mesh.faces[t >> 2];
    if (f.v[h & 3] != g.v[((t & 3) + 1) & 3]) return false;
  }
  return true;
}

// Puts a small fan in fan order with the same swaps as SortFan, given the faces of its edges
// side by side with it (f1, f2), so that the edge records are not read again.
void SortSmallFan(int32_t* list, int32_t* f1, int32_t* f2, int32_t n) {
  for (int32_t i = 0; i + 1 < n; ++i) {
    for (int32_t j = i + 2; j < n; ++j) {
      const bool share = (f1[i] != kNone && (f1[i] == f1[j] || f1[i] == f2[j])) ||
                         (f2[i] != kNone && (f2[i] == f1[j] || f2[i] == f2[j]));
      if (!share) continue;
      std::swap(list[j], list[i + 1]);
      std::swap(f1[j], f1[i + 1]);
      std::swap(f2[j], f2[i + 1]);
    }
  }
}

// The sub-faces of old face i when a level has nFaces faces: q = 0 keeps the old slot, the
// others follow all old faces, three per face.
int32_t SubFace(int32_t nFaces, int32_t i, int32_t q) {
  return q == 0 ? i : nFaces + 3 * i + q - 1;
}

// The new sides that old side (i, k) leaves: the piece at its start corner c_k lies in the
// sub-face at c_k, the piece at its end corner in the sub-face at c_k+1; both keep slot k.
int32_t PieceAtStart(int32_t nFaces, int32_t i, int32_t k) { return 4 * SubFace(nFaces, i, k) + k; }
int32_t PieceAtEnd(int32_t nFaces, int32_t i, int32_t k) {
  return 4 * SubFace(nFaces, i, (k + 1) % 4) + k;
}

// Resizes a table whose content is about to be rewritten: a table that must grow is let go
// first, so that the old and the new one are not held at once.
template <typename T>
void ResizeDropping(std::vector<T>& table, int64_t size) {
  if (static_cast<size_t>(size) > table.capacity()) std::vector<T>().swap(table);
  table.resize(static_cast<size_t>(size));
}

// Edges, face edges and fans from the twins (mesh.twins) of a closed mesh: what the search
// would build.
// refinedFrom: for a mesh just refined from one with that many vertices and edges built from
// twins, whose corner uses are known without counting: an old vertex keeps its own (its
// fanRoom), every new point has four. kNone: count them.
void EdgesFromTwins(TMesh& mesh, int32_t refinedFrom = kNone) {
  const int32_t nVerts = mesh.nVerts, nFaces = mesh.nFaces, nHalf = 4 * nFaces;
  const std::vector<int32_t>& twins = mesh.twins;

  // Fan slices sized by corner uses; on such a mesh a vertex has as many edges as corners.
  // The counts and fill positions live in a table of their own: the vertex records are large.
  std::vector<int32_t> fill(static_cast<size_t>(nVerts), 0);
  if (refinedFrom == kNone) {
    for (int32_t i = 0; i < nFaces; ++i)
      for (int32_t c : mesh.faces[i].v) ++fill[c];
  } else {
    for (int32_t i = 0; i < nVerts; ++i) fill[i] = i < refinedFrom ? mesh.verts[i].fanRoom : 4;
  }
  int32_t fanTotal = 0;
  for (int32_t i = 0; i < nVerts; ++i) {
    TVertex& v = mesh.verts[i];
    v.fanStart = fanTotal;
    v.fanRoom = v.nEdges = fill[i];
    fill[i] = fanTotal;
    fanTotal += v.fanRoom;
  }
  ResizeDropping(mesh.fans, fanTotal);

  // An edge is numbered at its first side, in face order, and joins that side's ends; its
  // second side comes later and takes the number its twin got.
  ResizeDropping(mesh.edges, 2 * nFaces);
  ResizeDropping(mesh.faceEdges, nHalf);
  int32_t nEdges = 0;
  for (int32_t h = 0; h < nHalf; ++h) {
    TFace& f = mesh.faces[h >> 2];
    const int32_t t = twins[h];
    if (t < h) {
      mesh.faceEdges[h] = mesh.faceEdges[t];
      continue;
    }
    const int32_t ei = nEdges++;
    TEdge& e = mesh.edges[ei];
    e = TEdge{};
    e.a = f.v[h & 3];
    e.b = f.v[((h & 3) + 1) & 3];
    e.f1 = h >> 2;
    e.f2 = t >> 2;
    mesh.faceEdges[h] = ei;
  }
  mesh.nEdges = nEdges;
  mesh.edgesPaired = true;
  mesh.edgesDeferred = false;

  // Fans in edge order, each entry with its edge's faces beside it, then in fan order.
  std::vector<int32_t> fanF1(static_cast<size_t>(fanTotal)), fanF2(static_cast<size_t>(fanTotal));
  for (int32_t ei = 0; ei < nEdges; ++ei) {
    const TEdge& e = mesh.edges[ei];
    for (int32_t end : {e.a, e.b}) {
      const int32_t at = fill[end]++;
      mesh.fans[at] = ei;
      fanF1[at] = e.f1;
      fanF2[at] = e.f2;
    }
  }
  for (int32_t i = 0; i < nVerts; ++i) {
    const TVertex& v = mesh.verts[i];
    if (v.nEdges <= kLargeFan)
      SortSmallFan(mesh.fans.data() + v.fanStart, fanF1.data() + v.fanStart,
                   fanF2.data() + v.fanStart, v.nEdges);
    else
      SortFan(mesh, i);
  }
}

// Whether mesh.twins pairs the sides of the faces as they are: one entry per side, each naming
// another side that names it back.
bool TwinsFitFaces(const TMesh& mesh) {
  if (!CornersFitTwins(mesh)) return false;
  const int64_t nHalf = int64_t{4} * mesh.nFaces;
  if (static_cast<int64_t>(mesh.twins.size()) != nHalf) return false;
  for (int32_t h = 0; h < nHalf; ++h) {
    const int32_t t = mesh.twins[h];
    if (t < 0 || t >= nHalf || t == h || mesh.twins[t] != h) return false;
  }
  return true;
}

// Side h of the faces: where it starts and ends, and the sides before and after it in its face.
int32_t SideStart(const TMesh& mesh, int32_t h) { return mesh.faces[h >> 2].v[h & 3]; }
int32_t SideEnd(const TMesh& mesh, int32_t h) { return mesh.faces[h >> 2].v[((h & 3) + 1) & 3]; }
int32_t NextSide(int32_t h) { return (h & ~3) | ((h + 1) & 3); }
int32_t PrevSide(int32_t h) { return (h & ~3) | ((h + 3) & 3); }

// The fan of vertex v while the edges are deferred, as the edge build would order it: its edges
// named by their first sides (which number them in the same order), found by turning round v
// from `via`, a first side of one of its edges. False when the turn does not meet every corner
// of v once (a vertex where two fans touch) or the fan is large: then the edges are built.
bool DeferredFan(const TMesh& mesh, int32_t v, int32_t via, std::vector<int32_t>& fan) {
  const int32_t corners = mesh.verts[v].fanRoom;
  if (corners <= 0 || corners > kLargeFan) return false;
  int32_t out = SideStart(mesh, via) == v ? via : NextSide(via);
  if (SideStart(mesh, out) != v) return false;
  const int32_t first = out;
  fan.clear();
  // Each step crosses the edge of the side that ends at v in this corner's face, to the corner
  // beyond it.
  for (;;) {
    if (static_cast<int32_t>(fan.size()) == corners) return false;
    const int32_t in = PrevSide(out), across = mesh.twins[in];
    if (across < 0 || across >= static_cast<int32_t>(mesh.twins.size()) ||
        mesh.twins[across] != in)
      return false;
    fan.push_back(std::min(in, across));
    out = SideStart(mesh, across) == v ? across : NextSide(across);
    if (SideStart(mesh, out) != v) return false;
    if (out == first) break;
  }
  if (static_cast<int32_t>(fan.size()) != corners) return false;
  std::sort(fan.begin(), fan.end());
  if (std::adjacent_find(fan.begin(), fan.end()) != fan.end()) return false;
  int32_t f1[kLargeFan], f2[kLargeFan];
  for (size_t j = 0; j < fan.size(); ++j) {
    f1[j] = fan[j] >> 2;
    f2[j] = mesh.twins[fan[j]] >> 2;
  }
  SortSmallFan(fan.data(), f1, f2, corners);
  return true;
}

// The seam walk on deferred edges (see WalkSeams). False when a fan cannot be told without the
// edges, or the pairing does not fit the faces.
bool WalkDeferredSeams(const TMesh& mesh, std::vector<std::vector<int32_t>>& walks) {
  const int32_t nHalf = 4 * mesh.nFaces;
  if (mesh.nFaces < 0 || mesh.nFaces > static_cast<int64_t>(mesh.faces.size()) ||
      static_cast<int64_t>(mesh.twins.size()) != int64_t{4} * mesh.nFaces ||
      mesh.nVerts > static_cast<int64_t>(mesh.verts.size()))
    return false;
  std::vector<int32_t> kinds(static_cast<size_t>(mesh.nFaces));
  for (int32_t i = 0; i < mesh.nFaces; ++i) kinds[i] = mesh.faces[i].kind;
  // Seam sides are few: their walked marks are kept as bits.
  std::vector<bool> traced(static_cast<size_t>(nHalf), false);
  std::vector<int32_t> fan;
  const auto seam = [&](int32_t h) { return kinds[h >> 2] != kinds[mesh.twins[h] >> 2]; };
  for (int32_t h = 0; h < nHalf; ++h) {
    const int32_t t = mesh.twins[h];
    if (t < 0 || t >= nHalf) return false;
    if (t < h || kinds[h >> 2] == kinds[t >> 2] || traced[h]) continue;
    const int32_t start = SideStart(mesh, h);
    std::vector<int32_t> walk{start};
    int32_t cur = start, via = h;
    for (;;) {
      if (cur < 0 || cur >= mesh.nVerts || !DeferredFan(mesh, cur, via, fan)) return false;
      int32_t next = kNone;
      for (int32_t e : fan) {
        if (traced[e] || !seam(e)) continue;
        traced[e] = true;
        const int32_t a = SideStart(mesh, e);
        next = a == cur ? SideEnd(mesh, e) : a;
        via = e;
        break;
      }
      if (next == kNone || next == start) break;
      walk.push_back(next);
      cur = next;
    }
    traced[h] = true;
    walks.push_back(std::move(walk));
  }
  return true;
}

// The seam walk on built edges.
void WalkBuiltSeams(const TMesh& mesh, std::vector<std::vector<int32_t>>& walks) {
  // Which edges are seams, from the face kinds copied into a table of their own: the edges
  // name their faces out of order, and a face record is many times the size of its kind.
  // Afterwards only seam edges are looked at; `traced` marks those the walk has taken.
  std::vector<char> seam(static_cast<size_t>(mesh.nEdges), 0);
  std::vector<char> traced(static_cast<size_t>(mesh.nEdges), 0);
  {
    std::vector<int32_t> kinds(static_cast<size_t>(mesh.nFaces));
    for (int32_t i = 0; i < mesh.nFaces; ++i) kinds[i] = mesh.faces[i].kind;
    for (int32_t i = 0; i < mesh.nEdges; ++i) {
      const TEdge& e = mesh.edges[i];
      if (e.f1 != kNone && e.f2 != kNone) seam[i] = kinds.at(e.f1) != kinds.at(e.f2);
    }
  }
  for (int32_t i = 0; i < mesh.nEdges; ++i) {
    if (!seam[i] || traced[i]) continue;
    const int32_t start = mesh.edges[i].a;
    std::vector<int32_t> walk{start};
    int32_t cur = start;
    for (;;) {
      int32_t next = kNone;
      for (int32_t ei : VEdges(mesh, cur)) {
        const TEdge& e = mesh.edges[ei];
        if (traced[ei] || !seam.at(ei)) continue;
        traced[ei] = 1;
        next = (e.a == cur) ? e.b : e.a;
        break;
      }
      if (next == kNone || next == start) break;
      walk.push_back(next);
      cur = next;
    }
    traced[i] = 1;
    walks.push_back(std::move(walk));
  }
}

}  // namespace

void BuildEdges(TMesh& mesh) {
  mesh.edgesDeferred = false;
  if (CornersFitTwins(mesh) && TwinsByBuckets(mesh, mesh.twins)) {
    mesh.twinsOpposite = TwinsRunOpposite(mesh);
    EdgesFromTwins(mesh);
  } else {
    mesh.twins.clear();
    BuildEdgesBySearch(mesh);
  }
}

void EnsureEdges(TMesh& mesh) {
  if (!mesh.edgesDeferred) return;
  if (TwinsFitFaces(mesh)) EdgesFromTwins(mesh);
  else BuildEdges(mesh);
}

int32_t EdgeCount(const TMesh& mesh) {
  return mesh.edgesDeferred ? static_cast<int32_t>(mesh.twins.size() / 2) : mesh.nEdges;
}

std::vector<std::vector<int32_t>> WalkSeams(TMesh& mesh) {
  std::vector<std::vector<int32_t>> walks;
  if (mesh.edgesDeferred && WalkDeferredSeams(mesh, walks)) return walks;
  walks.clear();
  EnsureEdges(mesh);
  WalkBuiltSeams(mesh, walks);
  return walks;
}

namespace {

// Leaves the refined mesh's edges deferred: the pairing stays in mesh.twins, the old level's
// edges and fans are let go, and every vertex keeps its corner uses as fanRoom (old vertices
// below m their own, the new points four), for the fans read before the edges are built.
void DeferEdges(TMesh& mesh, int32_t m) {
  std::vector<TEdge>().swap(mesh.edges);
  std::vector<int32_t>().swap(mesh.fans);
  std::vector<int32_t>().swap(mesh.faceEdges);
  mesh.nEdges = 0;
  mesh.edgesPaired = true;
  mesh.edgesDeferred = true;
  for (int32_t i = 0; i < mesh.nVerts; ++i) {
    TVertex& v = mesh.verts[i];
    v.nEdges = v.fanStart = 0;
    if (i >= m) v.fanRoom = 4;
  }
}

// One pass on built edges; `next` says what it leaves of the edges.
bool Pass(TMesh& mesh, bool refine, bool allVertices, TNextEdges next) {
  EnsureEdges(mesh);
  // Old vertices are those below m; old faces those below nFaces.
  const int32_t m = mesh.nVerts;
  const int32_t nFaces = mesh.nFaces;
  const int32_t nEdges = mesh.nEdges;

  // Room and consistency, before anything changes. Faces share the capacity of the vertices,
  // so a refinement normally fits; it is checked all the same.
  // Edges built from twins are consistent with the faces by their making; then only the
  // indices are checked, which reads every table once in order.
  if (!PassInputConsistent(mesh, mesh.edgesPaired)) return false;
  const int64_t vertsNeeded = int64_t{m} + nFaces + nEdges;
  if (vertsNeeded > static_cast<int64_t>(mesh.verts.size()) || vertsNeeded > INT32_MAX)
    return false;
  if (refine && (int64_t{4} * nFaces > static_cast<int64_t>(mesh.faces.size()) ||
                 int64_t{4} * nFaces > INT32_MAX))
    return false;

  // The slots of the new points: face points first, then edge points, as they are numbered.
  const int32_t firstFacePoint = m, firstEdgePoint = m + nFaces;

  // Which old vertices lie on a seam (only needed when seams are kept).
  std::vector<char> uniform;
  if (!allVertices) {
    uniform.resize(static_cast<size_t>(m));
    for (int32_t i = 0; i < m; ++i) uniform[i] = IsUniform(mesh, i) ? 1 : 0;
  }

  // Face points: the mean of the four corners.
  std::vector<DPoint> facePts(static_cast<size_t>(nFaces));
  for (int32_t i = 0; i < nFaces; ++i) {
    BuildStep(i);
    TFace& f = mesh.faces[i];
    DPoint s;
    bool movable = true;
    for (int32_t c : f.v) {
      s += DPoint(mesh.verts[c].pos);
      movable = movable && mesh.verts[c].movable;
    }
    facePts[i] = s / 4.0;
    TVertex& p = mesh.verts[firstFacePoint + i];
    p = TVertex{};
    p.pos = facePts[i].ToVec3();
    p.movable = movable;
    p.fanRoom = 4;  // a face point of a refinement has four corners
  }
  BuildLoopDone(nFaces);

  // Edge points: the mean of the ends and the two face points; between two seam vertices
  // (when seams are kept) the four-point rule along the seam, or the midpoint.
  for (int32_t i = 0; i < nEdges; ++i) {
    BuildStep(i);
    TEdge& e = mesh.edges[i];
    const TVertex& va = mesh.verts[e.a];
    const TVertex& vb = mesh.verts[e.b];
    const DPoint a(va.pos), b(vb.pos);
    const DPoint ab = a + b;
    DPoint p;
    if (allVertices || uniform[e.a] || uniform[e.b]) {
      p = (ab + facePts[e.f1] + facePts[e.f2]) / 4.0;
    } else {
      const int32_t wa = SeamNeighbour(mesh, e.a, e.b);
      const int32_t wb = SeamNeighbour(mesh, e.b, e.a);
      if (wa != kNone && wb != kNone)
        p = (a * 9.0 - DPoint(mesh.verts[wa].pos) + b * 9.0 - DPoint(mesh.verts[wb].pos)) / 16.0;
      else
        p = ab / 2.0;
    }
    const bool movable = va.movable && vb.movable;
    TVertex& v = mesh.verts[firstEdgePoint + i];
    v = TVertex{};
    v.pos = p.ToVec3();
    v.movable = movable;
    v.fanRoom = 4;
  }
  BuildLoopDone(nEdges);

  // Vertex points into a table of their own: ((2R + Q)/n + (n - 3)P)/n, R and Q summed over
  // the n edges in fan order, R of the means of the edges' ends and Q of their face points'.
  std::vector<Vec3> vertexPts(static_cast<size_t>(m));
  for (int32_t i = 0; i < m; ++i) {
    BuildStep(i);
    const TVertex& v = mesh.verts[i];
    const int32_t n = v.nEdges;
    if ((!allVertices && !uniform[i]) || n == 0) {
      vertexPts[i] = v.pos;
      continue;
    }
    DPoint q, r;
    for (int32_t ei : VEdges(mesh, i)) {
      const TEdge& e = mesh.edges[ei];
      q += (facePts[e.f1] + facePts[e.f2]) / 2.0;
      r += (DPoint(mesh.verts[e.a].pos) + DPoint(mesh.verts[e.b].pos)) / 2.0;
    }
    const DPoint p(v.pos);
    vertexPts[i] = (((r * 2.0 + q) / n + p * (n - 3.0)) / n).ToVec3();
  }
  BuildLoopDone(m);
  std::vector<DPoint>().swap(facePts);

  // Apply: all old vertices when refining, only the movable ones when presmoothing.
  for (int32_t i = 0; i < m; ++i) {
    TVertex& v = mesh.verts[i];
    if (refine || v.movable) v.pos = vertexPts[i];
  }
  std::vector<Vec3>().swap(vertexPts);

  if (!refine) {
    // Presmoothing: the face and edge points are dropped; the edges stay those of the mesh.
    mesh.nVerts = m;
    return true;
  }
  mesh.nVerts = static_cast<int32_t>(vertsNeeded);

  // Split every old face in four, keeping its orientation: the face itself becomes the corner
  // at c0, and the corners at c1, c2, c3 are appended in that order (at nFaces + 3i + q - 1).
  for (int32_t i = 0; i < nFaces; ++i) {
    BuildStep(i);
    TFace& face = mesh.faces[i];
    const int32_t c[4] = {face.v[0], face.v[1], face.v[2], face.v[3]};
    int32_t ep[4];
    for (int k = 0; k < 4; ++k) ep[k] = firstEdgePoint + mesh.faceEdges[4 * i + k];
    const int32_t fp = firstFacePoint + i;
    const int32_t kind = face.kind;
    const Vec3 normal = face.normal;

    const int32_t quads[4][4] = {{c[0], ep[0], fp, ep[3]},
                                 {ep[0], c[1], ep[1], fp},
                                 {fp, ep[1], c[2], ep[2]},
                                 {ep[3], fp, ep[2], c[3]}};
    for (int q = 0; q < 4; ++q) {
      TFace& out = mesh.faces[SubFace(nFaces, i, q)];
      TFace fresh;
      for (int k = 0; k < 4; ++k) fresh.v[k] = quads[q][k];
      fresh.kind = kind;
      fresh.normal = normal;  // a stand-in until the normals are recomputed
      out = fresh;
    }
  }
  BuildLoopDone(nFaces);
  mesh.nFaces = 4 * nFaces;
  if (next == TNextEdges::kOldLevel) {
    // The edge table stays the old level's; the new faces have none.
    mesh.edgesPaired = false;
    mesh.twins.clear();
    mesh.faceEdges.assign(static_cast<size_t>(4) * mesh.nFaces, kNone);
    return true;
  }

  // The next level's pairing, from the old one where every edge had two sides (else the
  // edges are built by search). Each old side (i, k) from c_k to c_k+1 leaves two new sides,
  // the one at c_k and the one at c_k+1; against an old twin of opposite direction the piece at
  // c_k meets the twin's piece at its end, against one of the same direction its piece at its
  // start. The four inner edges of a face pair its sub-faces. Old corner k of face i is now
  // corner k of its sub-face k.
  if (!mesh.edgesPaired || mesh.twins.size() != static_cast<size_t>(4) * nFaces ||
      int64_t{16} * nFaces > INT32_MAX) {
    BuildEdges(mesh);
    return true;
  }
  if (next == TNextEdges::kDeferred) {
    // Not needed past this point; let go before the larger pairing is made, and hand the
    // pages back when they are many: the allocator would keep them beside the pairing, which
    // it takes from the system afresh.
    const size_t freed = mesh.edges.capacity() * sizeof(TEdge) +
                         (mesh.fans.capacity() + mesh.faceEdges.capacity()) * sizeof(int32_t);
    std::vector<TEdge>().swap(mesh.edges);
    std::vector<int32_t>().swap(mesh.fans);
    std::vector<int32_t>().swap(mesh.faceEdges);
    mesh.nEdges = 0;
    if (freed > kTrimAfterFreeing) malloc_trim(0);
  }
  std::vector<int32_t> twins(static_cast<size_t>(16) * nFaces);
  const auto pair = [&](int32_t p, int32_t q) {
    twins[p] = q;
    twins[q] = p;
  };
  for (int32_t i = 0; i < nFaces; ++i) {
    const int32_t s0 = 4 * SubFace(nFaces, i, 0), s1 = 4 * SubFace(nFaces, i, 1),
                  s2 = 4 * SubFace(nFaces, i, 2), s3 = 4 * SubFace(nFaces, i, 3);
    pair(s0 + 1, s1 + 3);
    pair(s1 + 2, s2 + 0);
    pair(s2 + 3, s3 + 1);
    pair(s0 + 2, s3 + 0);
  }
  const auto oldCorner = [&](int32_t i, int32_t k) {
    return mesh.faces[SubFace(nFaces, i, k)].v[k];
  };
  const bool opposite = mesh.twinsOpposite;
  for (int32_t h = 0; h < 4 * nFaces; ++h) {
    BuildStep(h);
    const int32_t t = mesh.twins[h];
    if (t < h) continue;
    const int32_t i = h >> 2, k = h & 3, j = t >> 2, l = t & 3;
    if (opposite || oldCorner(i, k) != oldCorner(j, l)) {
      pair(PieceAtStart(nFaces, i, k), PieceAtEnd(nFaces, j, l));
      pair(PieceAtEnd(nFaces, i, k), PieceAtStart(nFaces, j, l));
    } else {
      pair(PieceAtStart(nFaces, i, k), PieceAtStart(nFaces, j, l));
      pair(PieceAtEnd(nFaces, i, k), PieceAtEnd(nFaces, j, l));
    }
  }
  BuildLoopDone(4 * nFaces);
  mesh.twins.swap(twins);
  std::vector<int32_t>().swap(twins);
  if (next == TNextEdges::kDeferred) DeferEdges(mesh, m);
  else EdgesFromTwins(mesh, m);
  return true;
}

}  // namespace

bool SubdivisionPass(TMesh& mesh, bool refine, bool allVertices) {
  BuildEdges(mesh);
  return Pass(mesh, refine, allVertices, TNextEdges::kOldLevel);
}

bool SubdivisionPassOnEdges(TMesh& mesh, bool refine, bool allVertices, TNextEdges next) {
  return Pass(mesh, refine, allVertices, next);
}

void PrepareRefine(TMesh& mesh) {
  EnsureEdges(mesh);
  const int32_t nVerts = mesh.nVerts;
  if (nVerts > static_cast<int64_t>(mesh.verts.size()) ||
      mesh.nFaces > static_cast<int64_t>(mesh.faces.size()) || nVerts < 0 || mesh.nFaces < 0 ||
      mesh.nEdges < 0)
    throw RangeError("PrepareRefine: the mesh counts do not fit its storage");
  // The new sizes first, so that an overflow leaves the mesh as it was.
  const int32_t faceCount = CheckedMul(4, mesh.nFaces);
  const int32_t vertCount = CheckedAdd(CheckedAdd(nVerts, mesh.nEdges), mesh.nFaces);

  // 1. The corners are vertex indices, so they stay valid across the re-sizing below (no tag
  // needs to carry a vertex's index, and a byte could not); they are checked first.
  for (int32_t i = 0; i < mesh.nFaces; ++i)
    for (int32_t c : mesh.faces[i].v)
      if (!InRange(c, nVerts))
        throw RangeError("PrepareRefine: face " + std::to_string(i) +
                         " has a corner outside 0.." + std::to_string(nVerts - 1));

  // 2. Storage for one more level.
  mesh.faces.resize(static_cast<size_t>(faceCount));
  mesh.verts.resize(static_cast<size_t>(vertCount));
}

void MinimalSurfaceIterations(TMesh& mesh, int32_t count, bool full) {
  // 1. Seam vertices get knot class 2 (the knot-band rule without changing face kinds).
  if (full) {
    for (int32_t i = 0; i < mesh.nVerts; ++i) mesh.verts[i].knotClass = -1;
    for (int32_t i = 0; i < mesh.nFaces; ++i) {
      const TFace& f = mesh.faces[i];
      for (int32_t c : f.v) {
        TVertex& v = mesh.verts[c];
        if (v.knotClass >= 0 && v.knotClass != f.kind)
          v.knotClass = 2;
        else if (v.knotClass < 0)
          v.knotClass = f.kind;
      }
    }
  }

  // 2. Each iteration moves every non-seam vertex along its normal by num / den, summed over
  // its corners in a table of their own (the vertex records need not carry them).
  struct TQuotient {
    double num = 0, den = 0;
  };
  std::vector<TQuotient> q;
  for (int32_t it = 0; it < count; ++it) {
    ComputeFaceNormals(mesh);
    ComputeVertexNormals(mesh);
    q.assign(static_cast<size_t>(mesh.nVerts), TQuotient{});
    for (int32_t i = 0; i < mesh.nFaces; ++i) {
      BuildStep(i);
      const TFace& f = mesh.faces[i];
      for (int j = 0; j < 4; ++j) {
        const int32_t bi = f.v[(j + 1) % 4];
        const TVertex& b = mesh.verts[bi];
        const DPoint pb(b.pos), n(b.normal);
        const DPoint d1 = DPoint(mesh.verts[f.v[j]].pos) - pb;
        const DPoint d2 = DPoint(mesh.verts[f.v[(j + 2) % 4]].pos) - pb;
        const DPoint g = d1 - d2;
        const DPoint w = d1 * d2.Dot(n) - d2 * d1.Dot(n);
        const double gn = g.Dot(n);
        q[bi].num += w.Dot(g);
        q[bi].den += g.Dot(g) - gn * gn;
      }
    }
    BuildLoopDone(mesh.nFaces);
    for (int32_t i = 0; i < mesh.nVerts; ++i) {
      BuildStep(i);
      TVertex& v = mesh.verts[i];
      if (v.knotClass != 2 && q[i].den != 0) v.pos += v.normal * (q[i].num / q[i].den);
    }
    BuildLoopDone(mesh.nVerts);
  }
}
