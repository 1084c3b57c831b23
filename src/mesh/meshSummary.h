#pragma once
// Counts that check a mesh from its faces alone, without trusting its edge table.

#include <array>
#include <cstdint>

#include "mesh/meshModel.h"

struct TMeshSummary {
  int64_t usedVerts = 0;         // vertices that at least one face uses
  int64_t faceEdges = 0;         // distinct vertex pairs joined by a face side
  int64_t openEdges = 0;         // face sides that only one face has
  int64_t nonManifoldEdges = 0;  // face sides shared by more than two faces
  int64_t badCorners = 0;        // face corners that name no stored vertex
  std::array<int64_t, 3> facesByKind{};
  // Vertices that faces of each kind use; a vertex on a seam between kinds counts in both, as
  // in a file that gives every kind its own normals.
  std::array<int64_t, 3> vertsByKind{};
};

// The face sides are counted for this many lower vertices at a time (about 16 MB of scratch).
constexpr int64_t kSummaryVertexRange = int64_t{1} << 20;

// A corner is used when it lies in 0..nVerts-1; a side joining a vertex to itself (a quad
// folded into a triangle) is no edge. vertexRange bounds the scratch: larger meshes read
// their faces once more per range.
TMeshSummary SummariseMesh(const TMesh& mesh, int64_t vertexRange = kSummaryVertexRange);

// Whether vertex index v names a stored vertex of the mesh.
bool ValidVertex(const TMesh& mesh, int64_t v);

// Number of vertices and faces that can be read (the counts, bounded by the storage).
int32_t VertexCount(const TMesh& mesh);
int32_t FaceCount(const TMesh& mesh);
