#pragma once
// Torus knots and links drawn directly as meshes: a torus carrying the curve that winds B times
// around its axis and S times around its tube, and for B = 2 and odd S the twisted band inside
// it whose boundary is that knot.

#include <string>

#include "core/settings.h"
#include "surface/seifert.h"

// Replaces the model's mesh and link by the torus of settings.torusBig (B) and
// settings.torusSmall (S); resolution gives the grid, diskDiameter the distance from the axis
// to the tube's centre and bandWidth the tube's radius. Torus faces have kind 0, band faces
// kind 1. The lay-out (disks and bands) is emptied, as nothing of it belongs to this mesh, and
// the mesh keeps no edges (every vertex is classed as without edges); face normals are set.
void BuildTorusKnot(TSeiffert& model, const TSettings& settings);

// What the windings B, S show, in words. Without a common factor "the (B, S) torus knot"; with
// one, d = gcd(B, S), the curve closes after 1/d of the way and is one of the d components of
// the torus link, each a (B/d, S/d) torus knot: "the (4, 6) torus link of 2 components, each a
// (2, 3) torus knot; one is shown".
std::string TorusDescription(int32_t big, int32_t small);
