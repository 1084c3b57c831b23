#pragma once
// Mesh-wide passes: edges and edge fans, Catmull-Clark refinement and presmoothing, the
// preparation of a Refine step, and the minimal-surface iteration.

#include <cstdint>

#include "meshModel.h"

// Rebuilds mesh.edges (length 2 x nFaces), every face's e[] and every vertex's edge fan in fan
// order. A face whose edges cannot be stored (an open border) resets the edge count to 0 and
// building goes on with the next face.
void BuildEdges(TMesh& mesh);

// One Catmull-Clark pass. refine: split every face in four; otherwise only move the movable
// vertices (presmoothing). allVertices false keeps seam vertices fixed and places new points
// on seam edges by the four-point rule (needs ClassifyVertices first).
// Returns false when the pass was abandoned (no room in the storage, or an inconsistent mesh).
// After a refinement the edge table is still the old level's, with its edge points.
bool SubdivisionPass(TMesh& mesh, bool refine, bool allVertices);

// The same pass on a mesh whose edges are already built for its faces (by BuildEdges or by
// the pass before). With carryEdges it leaves the edges built for the faces it leaves, so
// passes can follow one another without an edge build in between; without, a refinement
// leaves the old level's edges, as SubdivisionPass does.
bool SubdivisionPassOnEdges(TMesh& mesh, bool refine, bool allVertices, bool carryEdges = true);

// Re-sizes the vertex and face storage for one more refinement level; corners are carried
// over by index.
void PrepareRefine(TMesh& mesh);

// count iterations moving every non-seam vertex along its normal towards a minimal surface.
void MinimalSurfaceIterations(TMesh& mesh, int32_t count, bool full);
