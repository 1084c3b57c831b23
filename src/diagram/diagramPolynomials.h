#pragma once
// Polynomial invariants of a link diagram, exactly: the Jones polynomial from the Kauffman
// bracket, summed crossing by crossing over the states of the part already added (so the work
// grows with the width of the diagram, not with 2^crossings), and the Alexander polynomial of a
// knot from its Alexander matrix by fraction-free elimination.

#include <gmpxx.h>

#include <cstdint>
#include <string>
#include <vector>

#include "diagram/linkDiagram.h"

// sum of coef[i] * x^(low + i); no zero at either end, empty for 0.
struct TLaurent {
  int32_t low = 0;
  std::vector<mpz_class> coef;
  bool operator==(const TLaurent& o) const { return low == o.low && coef == o.coef; }
  bool operator!=(const TLaurent& o) const { return !(*this == o); }
};

// The Jones polynomial in x = t^(1/2) (a knot has only even powers), V(unknot) = 1.
// Throws std::length_error when the state sum would pass kMaxBracketStates states at one
// crossing, or kMaxBracketWork steps in all (a tenth of a second): the window names the
// boundary after every build, and a wider diagram gets "unknown" rather than a frozen window.
// The diagrams of the lay-outs stay far below it (a few thousand steps).
constexpr size_t kMaxBracketStates = 100'000;
constexpr uint64_t kMaxBracketWork = 2'000'000;
TLaurent JonesPolynomial(const TLinkDiagram& diagram);

// V(1/t): the Jones polynomial of the mirror image.
TLaurent MirrorJones(const TLaurent& jones);

// The Alexander polynomial of a knot in t, lowest power 0, positive leading coefficient;
// empty (0) for a diagram of more than one component. Throws std::length_error past
// kMaxAlexanderCrossings crossings.
constexpr int32_t kMaxAlexanderCrossings = 100;
TLaurent AlexanderPolynomial(const TLinkDiagram& diagram);

// |Delta(-1)|.
mpz_class KnotDeterminant(const TLaurent& alexander);

// "t^-1 + t^-3 - t^-4" from the highest power down (x = t^(1/2) when `halves`, "t^(3/2)");
// "0" for the zero polynomial.
std::string PolynomialText(const TLaurent& p, bool halves);
