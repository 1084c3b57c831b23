#pragma once
// The signature and the determinant of a link diagram, read off its planar picture: a
// checkerboard colouring, the Goeritz matrix of the unshaded regions and the correction term
// of the crossings at which the shaded surface cannot be oriented (Gordon and Litherland).
//
// Sign convention: a positive (right-handed) crossing pushes the signature down, so the
// right-handed trefoil has signature -2 and the left-handed one, which the surface of "AAA"
// bounds, +2, as the braid surface's Seifert matrix says. A link is oriented along its
// components as the diagram runs them (for a braid closure, the braid's own direction), and a
// diagram of several pieces that do not cross has the sum of their signatures.

#include <gmpxx.h>

#include <cstdint>

#include "diagram/linkDiagram.h"

struct TDiagramForm {
  int32_t signature = 0;
  mpz_class determinant;  // |det| of the Goeritz matrix: 0 for a split link, |Delta(-1)| for a knot
};

// Throws std::invalid_argument when the crossings do not fit together in the plane (a Gauss
// code no planar picture has); the pictures ProjectLines and BraidClosureDiagram build always do.
// The Goeritz matrix has one row per unshaded region, at most crossings + 1.
TDiagramForm DiagramSignature(const TLinkDiagram& diagram);
