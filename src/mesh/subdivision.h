#pragma once
// Mesh-wide passes: edges and edge fans, Catmull-Clark refinement and presmoothing, the
// preparation of a Refine step, and the minimal-surface iteration.

#include <cstdint>
#include <vector>

#include "meshModel.h"

// Rebuilds mesh.edges (length 2 x nFaces), the face edges and every vertex's edge fan in fan
// order. A face whose edges cannot be stored (an open border) resets the edge count to 0 and
// building goes on with the next face.
void BuildEdges(TMesh& mesh);

// One Catmull-Clark pass. refine: split every face in four; otherwise only move the movable
// vertices (presmoothing). allVertices false keeps seam vertices fixed and places new points
// on seam edges by the four-point rule (needs ClassifyVertices first).
// Returns false when the pass was abandoned (no room in the storage, or an inconsistent mesh).
// After a refinement the edge table is still the old level's, with its edge points.
bool SubdivisionPass(TMesh& mesh, bool refine, bool allVertices);

// What a refinement leaves of the edges: the old level's, edge points included (as
// SubdivisionPass does); those of the faces it leaves, so that passes can follow one another
// without an edge build in between; or those deferred (TMesh::edgesDeferred), for the last
// level, whose edges most builds never read.
enum class TNextEdges { kOldLevel, kBuilt, kDeferred };

// The same pass on a mesh whose edges are built for its faces (by BuildEdges or by the pass
// before; deferred edges are built first).
bool SubdivisionPassOnEdges(TMesh& mesh, bool refine, bool allVertices,
                            TNextEdges next = TNextEdges::kBuilt);

// The seam cycles as the link tracer walks them: from the first end of the first seam edge not
// yet walked, at every vertex along the first seam edge of its fan not yet walked, until the
// walk is home or stuck; each walk lists the vertices met, its start once. Deferred edges stay
// deferred where the fans of the seam vertices can be told without them.
std::vector<std::vector<int32_t>> WalkSeams(TMesh& mesh);

// Re-sizes the vertex and face storage for one more refinement level; corners are carried
// over by index.
void PrepareRefine(TMesh& mesh);

// count iterations moving every non-seam vertex along its normal towards a minimal surface.
void MinimalSurfaceIterations(TMesh& mesh, int32_t count, bool full);
