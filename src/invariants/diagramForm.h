#pragma once
// The Seifert form of a planar diagram's canonical surface (the Diagram lay-out's surface: a disk
// per Seifert circle, a half-twisted band per crossing), read off the diagram alone.
//
// Basis: the regions of the smoothed diagram split the Seifert graph into blocks that meet at
// circles only, and each region's faces of the diagram are the faces of its block, one of them
// outside. So every face of a region but one (the outer face of the diagram, or the largest)
// gives a loop: around the face counter-clockwise, through the band of every crossing at which
// the face is a corner the smoothing joins to the opposite one, along the disks between.
//
// Such a loop runs close to its face's edges, so two loops meet only near the crossings both
// touch, and every linking number is a sum over crossings. At a crossing of sign e the two loops
// through the band (a, running to the circle that holds the incoming under-strand, and b) have
// V(a,a) += -e/2, V(b,b) += -e/2, V(a,b) += e. When one circle lies inside the other, the band
// folds back over the outer disk, and the loop of the face cut off by the outer circle passes
// under the fold: with p the loop running to the outer circle, q the other, o that loop and
// s = e where the outer circle holds the incoming under-strand (else -e), V(p,p) += 1/2,
// V(q,q) -= 1/2, V(o,p) += (s - 1)/2, V(p,o) -= (s + 1)/2, V(o,q) += (1 - s)/2 and
// V(q,o) += (1 + s)/2. Signs: the invariants describe the surface drawn, so a right-handed
// crossing lowers the signature (the right-handed trefoil has signature -2).

#include "diagram/linkDiagram.h"
#include "diagram/seifertCircles.h"
#include "invariants/seifertForm.h"

// The invariants of the canonical surface of a checked PD code (CheckPD): disks are the Seifert
// circles of SeifertCircles in its order (disk c + 1 is circle c), band k + 1 is crossing k, and
// each loop's steps name them so. A RangeError past kMaxSeifertLoops loops; std::invalid_argument
// as CheckPD.
TInvariants ComputeDiagramInvariants(const TPDCode& pd, TRoads roads = {});
