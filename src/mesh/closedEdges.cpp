#include "closedEdges.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "subdivision.h"

namespace {

// Side h = 4 x face + k runs from corner k of its face to corner k + 1.
int32_t Next(int32_t h) { return (h & ~3) | ((h + 1) & 3); }
int32_t Prev(int32_t h) { return (h & ~3) | ((h + 3) & 3); }

}  // namespace

bool BuildClosedMeshEdges(TMesh& mesh) {
  const int32_t nVerts = mesh.nVerts, nFaces = mesh.nFaces;
  if (nVerts < 0 || nFaces < 0 || nVerts > static_cast<int64_t>(mesh.verts.size()) ||
      nFaces > static_cast<int64_t>(mesh.faces.size()) ||
      int64_t{4} * nFaces > std::numeric_limits<int32_t>::max())
    return false;
  const int32_t nSides = 4 * nFaces;
  TFace* faces = mesh.faces.data();

  // The tables by vertex are kept apart from the vertex records, which are many times their
  // size: the passes below read them out of order.
  mesh.scratch.resize(4 * static_cast<size_t>(nSides) + 2 * static_cast<size_t>(nVerts) + 1);
  int32_t* out = mesh.scratch.data();
  int32_t* outNext = out + nSides;
  int32_t* outPrev = outNext + nSides;
  int32_t* twin = outPrev + nSides;
  int32_t* start = twin + nSides;      // a vertex's corners: start[v] .. start[v + 1]
  int32_t* fill = start + nVerts + 1;  // where the next one goes

  // 1. Corner uses, which on such a mesh are the fan sizes; a corner outside the vertices or
  // twice in one face ends it.
  std::fill(start, start + nVerts + 1, 0);
  for (int32_t i = 0; i < nFaces; ++i) {
    const int32_t* c = faces[i].v;
    for (int k = 0; k < 4; ++k)
      if (c[k] < 0 || c[k] >= nVerts) return false;
    if (c[0] == c[1] || c[0] == c[2] || c[0] == c[3] || c[1] == c[2] || c[1] == c[3] ||
        c[2] == c[3])
      return false;
    for (int k = 0; k < 4; ++k) ++start[c[k] + 1];
  }
  for (int32_t v = 0; v < nVerts; ++v) {
    fill[v] = start[v];
    start[v + 1] += start[v];
  }

  // 2. Every vertex's sides out of it, in side order, each with the corners before and after
  // its own.
  for (int32_t h = 0; h < nSides; ++h) {
    const int32_t* c = faces[h >> 2].v;
    const int k = h & 3;
    const int32_t at = fill[c[k]]++;
    out[at] = h;
    outNext[at] = c[(k + 1) & 3];
    outPrev[at] = c[(k + 3) & 3];
  }
  std::fill(twin, twin + nSides, kNone);

  // 3. The twin of side a -> b is the one side b -> a: among b's sides out, or among the sides
  // into a, each the side before one of a's sides out, whichever end has fewer corners.
  for (int32_t h = 0; h < nSides; ++h) {
    if (twin[h] != kNone) continue;
    const int32_t* c = faces[h >> 2].v;
    const int32_t a = c[h & 3], b = c[(h + 1) & 3];
    int32_t t = kNone, found = 0;
    if (start[b + 1] - start[b] <= start[a + 1] - start[a]) {
      for (int32_t p = start[b]; p < start[b + 1]; ++p)
        if (outNext[p] == a) {
          t = out[p];
          ++found;
        }
    } else {
      for (int32_t p = start[a]; p < start[a + 1]; ++p)
        if (outPrev[p] == b) {
          t = Prev(out[p]);
          ++found;
        }
    }
    // None: an open border or faces turned against each other; another side a -> b already
    // paired: an edge of more than two faces.
    if (found != 1 || twin[t] != kNone) return false;
    twin[h] = t;
    twin[t] = h;
  }

  // 4. An edge is numbered at its first side and joins that side's ends.
  mesh.edges.resize(static_cast<size_t>(2) * nFaces);
  mesh.faceEdges.resize(static_cast<size_t>(nSides));
  int32_t* faceEdges = mesh.faceEdges.data();
  int32_t nEdges = 0;
  for (int32_t h = 0; h < nSides; ++h) {
    TFace& f = faces[h >> 2];
    const int32_t t = twin[h];
    if (t < h) {
      faceEdges[h] = faceEdges[t];
      continue;
    }
    TEdge& e = mesh.edges[nEdges];
    e.a = f.v[h & 3];
    e.b = f.v[(h + 1) & 3];
    e.f1 = h >> 2;
    e.f2 = t >> 2;
    faceEdges[h] = nEdges++;
  }

  // 5. Fans. Ordering a fan by swapping in the edges that share a face with the one before
  // starts from the vertex's lowest edge and heads for the higher of its two neighbours; round
  // a vertex with one fan that is the turn from side to side: the side before a side out,
  // turned (forward), or the side after its twin (backward).
  const auto edgeOf = [&](int32_t h) { return faceEdges[h]; };
  mesh.fans.resize(static_cast<size_t>(nSides));
  int32_t* fans = mesh.fans.data();
  for (int32_t v = 0; v < nVerts; ++v) {
    TVertex& x = mesh.verts[v];
    const int32_t n = start[v + 1] - start[v];
    x.fanStart = start[v];
    x.fanRoom = x.nEdges = n;
    if (n == 0) continue;
    int32_t h0 = out[start[v]];
    for (int32_t p = start[v] + 1; p < start[v + 1]; ++p)
      if (edgeOf(out[p]) < edgeOf(h0)) h0 = out[p];
    const bool forward = edgeOf(Prev(h0)) >= edgeOf(Next(twin[h0]));
    int32_t* fan = fans + start[v];
    int32_t h = h0;
    for (int32_t i = 0; i < n; ++i) {
      // Back at the start early: the vertex's faces form more than one fan.
      if (i > 0 && h == h0) return false;
      fan[i] = edgeOf(h);
      h = forward ? twin[Prev(h)] : Next(twin[h]);
    }
    if (h != h0) return false;
  }
  mesh.nEdges = nEdges;
  mesh.edgesPaired = true;
  mesh.edgesDeferred = false;
  // Sides pair only with sides running the other way here, as a refinement wants them.
  mesh.twins.assign(twin, twin + nSides);
  mesh.twinsOpposite = true;
  return true;
}

void BuildGridEdges(TMesh& mesh) {
  if (!BuildClosedMeshEdges(mesh)) BuildEdges(mesh);
}
