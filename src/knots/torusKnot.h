#pragma once
// Torus knots and links drawn directly as meshes: a torus carrying the curve that winds B times
// around its axis and S times around its tube, and for B = 2 and odd S the twisted band inside
// it whose boundary is that knot.

#include "core/settings.h"
#include "surface/seifert.h"

// Replaces the model's mesh and link by the torus of settings.torusBig (B) and
// settings.torusSmall (S); resolution gives the grid, diskDiameter the distance from the axis
// to the tube's centre and bandWidth the tube's radius. Torus faces have kind 0, band faces
// kind 1. The lay-out (disks and bands) is emptied, as nothing of it belongs to this mesh, and
// the mesh keeps no edges (every vertex is classed as without edges); face normals are set.
void BuildTorusKnot(TSeiffert& model, const TSettings& settings);
