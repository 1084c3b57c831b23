#pragma once
// The basis loops of the braid surface drawn on its mesh: each loop as a closed chain of mesh
// vertices, consecutive ones joined by a mesh edge, so the chain lies on the surface and moves
// with the vertices when the mesh is smoothed.

#include <cstdint>
#include <vector>

#include "invariants/seifertForm.h"
#include "surface/seifert.h"

// One chain per loop of `inv`, in the loops' order: up a column of the first band's grid, across
// the upper disk, down the second band, back across the lower disk (the disk parts are shortest
// paths along the disk's mesh edges). Empty when the model is not the stacked lay-out of the
// word the invariants came from (another lay-out, merged bands) or has no mesh edges yet.
std::vector<std::vector<int32_t>> LoopPaths(const TSeiffert& model, const TInvariants& inv);

// Loop i's colour (red, green, blue from 0 to 1), well apart in hue from its neighbours: the
// drawing and the window's list of loop names share it.
struct TLoopColour {
  float r, g, b;
};
TLoopColour LoopColour(size_t i);
