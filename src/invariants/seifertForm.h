#pragma once
// What the braid surface says about its boundary: a basis of the surface's first homology, the
// Seifert matrix, the Alexander polynomial, the determinant and the signature.
//
// The surface is the one the stacked lay-out builds: one disk per strand, stacked, and one band
// per letter between the disks of the two strands it exchanges, with the letter's signed number
// of half twists. Bands with an odd count keep the side of the disk they lead to (a braid
// crossing); bands with an even count turn it over.
//
// Sign convention, that of the drawing: the strands run left to right, and an upper-case letter
// is the crossing in which the strand entering at the lower position passes over, a negative
// crossing. So the surface of "AAA" bounds the left-handed trefoil: Seifert matrix
// [[1, -1], [0, 1]], signature +2. Everything is exact: the numbers are computed in 64 bits and,
// when they outgrow them, again with GMP's integers; the output is the same either way.

#include <cstdint>
#include <string>
#include <vector>

// One basis loop: up band `bandUp` from disk `lowerDisk` to disk `lowerDisk` + 1, along the upper
// disk, down band `bandDown`, back along the lower disk. Bands are the word's letters, from 1;
// `bandUp` < `bandDown` and no band of the same two disks lies between them.
struct TLoop {
  int32_t lowerDisk = 0;
  int32_t bandUp = 0;
  int32_t bandDown = 0;
};

// One step of a basis loop, in any lay-out: through band `band` onto disk `disk` (both from 1).
// The loop is the closed walk of its steps, each disk crossed from the band it came by to the
// band of the next step.
struct TLoopStep {
  int32_t band = 0;
  int32_t disk = 0;
};

// A polynomial in t with integer coefficients, element i the coefficient of t^i.
using TPolynomial = std::vector<int64_t>;

struct TInvariants {
  int32_t nDisks = 0;
  int32_t nBands = 0;
  int32_t eulerCharacteristic = 0;  // disks - bands
  int32_t surfaceParts = 0;         // connected pieces of the surface
  int32_t components = 0;           // boundary components: 1 for a knot
  int32_t genus = 0;                // summed over the pieces
  int32_t rank = 0;                 // rank of the first homology, the number of loops
  std::vector<TLoop> loops;  // the braid surface's loops (empty for a diagram's surface)
  std::vector<std::vector<TLoopStep>> loopSteps;  // every loop's walk, in the loops' order
  std::string surfaceName = "braid surface";      // whose surface the values describe
  std::vector<std::vector<int64_t>> seifert;  // rank x rank: V[i][j] = lk(loop i, loop j pushed off)
  // Delta(t) = t^(-rank/2) det(V - t V^T) with the outer zero coefficients dropped, so that it is
  // symmetric (antisymmetric for an even number of components); the sign makes Delta(1) > 0, or,
  // where Delta(1) = 0 (links), the coefficient of the highest power positive. Zero for a split
  // surface. `alexander` runs from the lowest power up; that power is `alexanderLowest2` / 2.
  // `alexander` and `determinant` hold the values while they fit in 64 bits (`fits64`); the
  // decimal forms always hold them.
  TPolynomial alexander;
  std::vector<std::string> alexanderDecimal;
  int32_t alexanderLowest2 = 0;
  std::string alexanderText;
  int64_t determinant = 0;  // |Delta(-1)|
  std::string determinantDecimal = "0";
  bool fits64 = true;
  int32_t signature = 0;    // of V + V^T
};

// Up to this many loops Delta comes from the Seifert matrix; beyond it, where every band is one
// crossing, from the braid's Burau matrix (of size strands - 1), which stays quick.
constexpr int32_t kMaxSeifertLoops = 60;
// With multi-twist bands the boundary is not the closed braid, so only the Seifert matrix serves;
// its polynomial determinant grows with the fifth power of the loops.
constexpr int32_t kMaxTwistedLoops = 60;
// The signature's elimination over the rationals grows with the cube of the loops and their
// numbers' length: beyond this it would run for minutes.
constexpr int32_t kMaxLoops = 500;

// Forces the slower roads, so that tests can hold them against the fast ones.
struct TRoads {
  bool bigNumbers = false;  // GMP from the start
  bool burau = false;       // Delta from the Burau matrix whatever the loops (single twists only)
};

// From a braid word (the parser's reading). A RangeError when the surface is not orientable (the
// bands between two disks mix odd and even twist counts), has more than kMaxLoops loops, or more
// than kMaxTwistedLoops with a multi-twist band.
TInvariants ComputeInvariants(const std::string& braid, TRoads roads = {});

// From the parser's output (gen, power with element 0 unused).
TInvariants ComputeInvariants(const std::vector<int32_t>& gen, const std::vector<int32_t>& power,
                              int32_t nStrands, int32_t nCross, TRoads roads = {});

// The Alexander polynomial, determinant and signature of the Seifert matrix `r.seifert`, on
// the roads ComputeInvariants takes (64 bits, then GMP; `roads.burau` does not apply), for a
// surface of `r.surfaceParts` pieces. A RangeError past kMaxSeifertLoops loops.
void InvariantsFromSeifertMatrix(TInvariants& r, TRoads roads = {});

// Exact polynomial arithmetic, shared with the tests' independent checks.
TPolynomial PolyMul(const TPolynomial& a, const TPolynomial& b);
TPolynomial PolySub(const TPolynomial& a, const TPolynomial& b);
// a / b where b divides a exactly over the integers; a RangeError otherwise.
TPolynomial PolyExactDiv(const TPolynomial& a, const TPolynomial& b);
// Determinant of a square matrix over Z[t], fraction-free elimination.
TPolynomial PolyDeterminant(std::vector<std::vector<TPolynomial>> m);
// Signature of a symmetric integer matrix by exact elimination over the rationals.
int32_t Signature(const std::vector<std::vector<int64_t>>& symmetric);
// "t^-1 - 1 + t"; exponents lowest2 / 2, lowest2 / 2 + 1, ... (halves written as t^1/2).
std::string LaurentText(const TPolynomial& coefficients, int32_t lowest2);
// The same from decimal coefficients ("-12", "0", "7").
std::string LaurentText(const std::vector<std::string>& coefficients, int32_t lowest2);

// The lines the window's "Invariants" box shows (UTF-8): genus, Delta(t), determinant and
// signature, and the boundary's components for a link.
std::string InvariantsSummary(const TInvariants& r);
