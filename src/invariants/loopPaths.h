#pragma once
// The basis loops of a surface drawn on its mesh: each loop as a closed chain of mesh vertices,
// consecutive ones joined by a mesh edge, so the chain lies on the surface and moves with the
// vertices when the mesh is smoothed.

#include <cstdint>
#include <vector>

#include "invariants/seifertForm.h"
#include "surface/seifert.h"

// One chain per loop of `inv`, in the loops' order, along its steps (TLoopStep): through each
// band along a column of its grid, then across the disk it leads to (shortest paths along the
// disk's mesh edges). Empty when the model's disks and bands are not those the invariants name
// (another lay-out, merged bands) or it has no mesh edges yet.
std::vector<std::vector<int32_t>> LoopPaths(const TSeiffert& model, const TInvariants& inv);

// Loop i's colour (red, green, blue from 0 to 1), well apart in hue from its neighbours: the
// drawing and the window's list of loop names share it.
struct TLoopColour {
  float r, g, b;
};
TLoopColour LoopColour(size_t i);
