#pragma once
// The edge build of a freshly built grid mesh, from every vertex's own corners.

#include "meshModel.h"

// What BuildEdges builds, to the entry: edges numbered where their first side is met in face
// order, every face's e[], and every vertex's fan in fan order. On a closed mesh whose faces
// are oriented alike (every edge the sides of two faces, once each way, no corner twice in a
// face, one fan round every vertex) the twin of each face side is found among the few corners
// of its ends, and a fan is read off by turning round its vertex; any other mesh is left to
// BuildEdges. The work tables are kept in mesh.scratch for the next build.
void BuildGridEdges(TMesh& mesh);

// The first road alone: false, with the edge fields half written, when the mesh is not such a
// mesh and BuildEdges must build them.
bool BuildClosedMeshEdges(TMesh& mesh);
