#pragma once
// The quad mesh of the thickened Seifert surface. References between records are indices into
// the arrays of TMesh (-1 = empty), so they stay valid when the arrays are re-sized.

#include <cstdint>
#include <span>
#include <vector>

#include "core/vec3.h"

constexpr int32_t kNone = -1;

struct TVertex {
  Vec3 pos;
  Vec3 normal;          // unit vertex normal; zero for a vertex without faces
  int32_t nEdges = 0;
  int32_t fanStart = 0;         // this vertex's slice of TMesh::fans: its edges in fan order
  int32_t fanRoom = 0;          // length of the slice (the vertex's corner uses)
  // Classes are small numbers (-2..2); as bytes they keep the record a cache line's worth
  // smaller at every level.
  int8_t knotClass = -1;
  int8_t tag = 0;       // common face kind around the vertex; -1 on a seam; -2 without edges
  int8_t texState = 0;
  bool movable = false;
  double texU = 0, texV = 0;
};

struct TFace {
  int32_t v[4] = {kNone, kNone, kNone, kNone};
  Vec3 normal;
  int32_t kind = 0;     // 0 and 1: the surface's two sides; 2: the knot band
};

// Every refinement pass streams these records; scratch and smoothing state live in tables of
// their own so that the records stay this small.
static_assert(sizeof(TVertex) <= 56 && sizeof(TFace) <= 32, "mesh records grew");

struct TEdge {
  int32_t a = kNone, b = kNone;
  int32_t f1 = kNone, f2 = kNone;  // f2 empty on an open border
};

struct TMesh {
  int32_t nVerts = 0;
  std::vector<TVertex> verts;  // length = capacity
  int32_t nFaces = 0;
  std::vector<TFace> faces;    // same capacity as verts
  std::vector<TEdge> edges;    // length 2 x nFaces after BuildEdges
  int32_t nEdges = 0;
  // The edges of every face, four a face: faceEdges[4 x face + k] joins v[k] and v[(k+1) mod 4]
  // of that face. Only the passes read them, so they live beside the face records.
  std::vector<int32_t> faceEdges;
  // The edges at every vertex, one slice per vertex, kept in one table so that a build does
  // not allocate per vertex.
  std::vector<int32_t> fans;
  // Whether the edge build found every edge to be the sides of exactly two faces (or once of
  // one face twice): then a refinement can carry the edges over to the next level.
  bool edgesPaired = false;
  // The other side of every face side (side 4 x face + k runs from v[k] to v[(k+1) mod 4])
  // when edgesPaired: what the next level's pairing and edges are made from.
  std::vector<int32_t> twins;
  // Whether every side and its twin run opposite ways (faces oriented alike), which a
  // refinement keeps: then the next level's pairing needs no look at the corners.
  bool twinsOpposite = false;
  // The last refinement left its edges unbuilt (edges, fans and faceEdges empty, nEdges 0):
  // most builds never read them, and they are the largest tables of the mesh. twins holds the
  // pairing; EnsureEdges builds them, as BuildEdges would.
  bool edgesDeferred = false;
  // The smoothing velocities of the knot vertices, by vertex: state that lives from one
  // smoothing iteration to the next, kept out of the vertex records that every pass reads.
  // Entries past its end count as zero; a new mesh starts with none.
  std::vector<Vec3> velocity;
  // Work tables of the grid edge build, kept so that rebuilding a mesh of like size allocates
  // nothing; their content means nothing between builds.
  std::vector<int32_t> scratch;
};

// The edges at vertex v (its first nEdges fan entries), in fan order after BuildEdges.
inline std::span<int32_t> VEdges(TMesh& mesh, int32_t v) {
  const TVertex& x = mesh.verts[v];
  return {mesh.fans.data() + x.fanStart, static_cast<size_t>(x.nEdges)};
}
inline std::span<const int32_t> VEdges(const TMesh& mesh, int32_t v) {
  const TVertex& x = mesh.verts[v];
  return {mesh.fans.data() + x.fanStart, static_cast<size_t>(x.nEdges)};
}

// Builds the edges a refinement deferred; a mesh whose edges are built is left as it is. Call
// before reading edges, fans or face edges of a mesh that may have been refined.
void EnsureEdges(TMesh& mesh);

// The mesh's edge count, built or deferred.
int32_t EdgeCount(const TMesh& mesh);

// One closed boundary component, in order along the knot.
struct TLinkLine {
  int32_t nVerts = 0;
  std::vector<int32_t> verts;
};

// Gives the memory of a much larger earlier mesh back to the system before a build of `needed`
// vertices: storage that is more than twice what is needed (and over 250,000 records) is
// freed rather than kept for the next large mesh. Smaller storage is kept for reuse.
void ReleaseOversizedStorage(TMesh& mesh, int64_t needed);

// Lets the allocator keep freed mesh-sized blocks (up to 32 MB) for the next build instead of
// handing them to the system at once: otherwise every recompute pays for faulting fresh pages
// in again, which costs more than the build itself for a small knot. Larger blocks still come
// from and go back to the system directly, and ReleaseOversizedStorage trims explicitly. Call
// once at start-up, before the first mesh.
void KeepFreedStorageForReuse();

// Takes the next free vertex slot; a RangeError when the storage is full.
int32_t AddVertex(TMesh& mesh, const Vec3& pos, bool movable);

// Appends a face unless a corner is empty (that is how band holes stay open).
void AddFace(TMesh& mesh, int32_t v0, int32_t v1, int32_t v2, int32_t v3, int32_t kind);

// normal = normalise(d0 x d1 + d2 x d3), d[k] = v[k+1] - v[k].
void ComputeFaceNormals(TMesh& mesh);

// Sum of face normals per corner use, normalised. With the crease correction (while the ride
// runs) vertices on an edge whose faces are nearly opposite get that edge's crease normal.
void ComputeVertexNormals(TMesh& mesh, bool creaseCorrection = false);

// Both of the above in one sweep over the faces: each face normal is added to its corners while
// the face is at hand. Normalised through one reciprocal rather than three quotients, a normal
// may differ from theirs by an ulp of a double before it is stored as float, which leaves the
// stored normal the same in all but the rarest case. A corner outside the vertices is a
// RangeError.
void ComputeNormals(TMesh& mesh, bool creaseCorrection = false);

// tag := common face kind around the vertex, -1 on a seam, -2 without edges. Needs edges.
void ClassifyVertices(TMesh& mesh);

// True when the vertex has no edges or every edge has both faces of the first edge's f1 kind.
bool IsUniform(const TMesh& mesh, int32_t vertex);

// Whether an edge separates faces of different kinds (a piece of the knot).
bool IsSeamEdge(const TMesh& mesh, const TEdge& edge);
