#pragma once
// Knots typed as codes, in KnotInfo's conventions, turned into PD codes: a DT code is drawn in
// the plane first (which also tells a code that has no planar diagram), a PD code is checked
// and oriented. The PD code X[a,b,c,d] lists a crossing's edges counter-clockwise from the
// incoming under-strand, edges numbered from 1 along each component.

#include <array>
#include <cstdint>
#include <utility>
#include <string>
#include <vector>

#include "diagram/linkDiagram.h"

// Codes longer than this are refused before any work.
constexpr int32_t kMaxCodeCrossings = 200;
// Drawing a DT code tries both sides of a strand where the drawing so far leaves both open;
// past this much work (darts walked) the code is refused; table and census codes need little.
constexpr int64_t kMaxDTDrawingWork = 50'000'000;

// The numbers of a DT code: "4 6 2", "[4;6;2]", "[4, -6, 2]". Throws std::invalid_argument
// naming the fault ("a DT code holds each even number 2..2n once; 8 is too large for 3
// crossings").
std::vector<int32_t> ReadDTNumbers(const std::string& text);

// The planar diagram of a DT code as a PD code: crossing i pairs the odd position 2i - 1 with
// the i-th number's position, a negative number puts the even passage over; of the two mirror
// drawings the one KnotInfo means. Throws std::invalid_argument for a code that ReadDTNumbers
// refuses, "this DT code has no planar diagram", or a code past kMaxDTDrawingWork.
TPDCode PDFromDT(const std::string& text);
TPDCode PDFromDTNumbers(const std::vector<int32_t>& numbers);

// The planar diagram of a knot's signed Gauss code, "-1 3 -2 1 -3 2" or "{-1,3,-2,1,-3,2}": the
// crossings met along the knot, positive where it passes over; of the two mirror drawings the
// one chosen as for DT codes. Throws std::invalid_argument naming the fault ("... crossing 2
// comes once", "this Gauss code has no planar diagram"); Gauss codes of links are refused.
TPDCode PDFromGauss(const std::string& text);

// "X[1,5,2,4] X[3,1,4,6]" or "[[1,5,2,4],[3,1,4,6]]", checked by CheckPD.
TPDCode ReadPD(const std::string& text);

// The kind of code a text is, as the window's one "Code" field takes it: PD when it has an X or
// nested brackets, Gauss when it has braces or names an odd crossing twice, DT otherwise. The
// kind decides only which reader speaks; each refuses in its own words.
enum class TCodeKind { kDT, kPD, kGauss };
TCodeKind GuessCodeKind(const std::string& text);
// The code's diagram through the reader of its kind.
TPDCode ReadCode(const std::string& text, TCodeKind kind);

// A PD code that draws a link diagram: every edge named twice, each an exit of one crossing and
// an entry of the other, and the crossings' cyclic orders planar. Throws std::invalid_argument
// ("crossing 2 of the PD code names strand 7 once", "this PD code has no planar diagram").
void CheckPD(const TPDCode& pd);

// A PD code's edges paired and oriented: for slot i of crossing k, the (crossing, slot) at the
// other end of its edge, and whether the knot leaves through it. Slot 0 enters and slot 2
// leaves (the under-strand); the over-strand leaves through slot 1 on a right-handed crossing.
struct TOrientedPD {
  std::vector<std::array<std::pair<int32_t, int32_t>, 4>> across;
  std::vector<std::array<int8_t, 4>> out;
};
// Throws as CheckPD does for edges that do not pair up or cannot be oriented (not planarity).
TOrientedPD OrientPD(const TPDCode& pd);

// The link diagram of a checked PD code: components in the order of their lowest edge, each
// starting at that edge; signs from the cyclic order.
TLinkDiagram DiagramFromPD(const TPDCode& pd);
