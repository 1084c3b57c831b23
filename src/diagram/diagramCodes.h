#pragma once
// Knots and links typed as codes, in KnotInfo's conventions, turned into PD codes: a DT or
// Gauss code is drawn in the plane first (which also tells a code that has no planar diagram),
// a PD code is checked and oriented. The PD code X[a,b,c,d] lists a crossing's edges
// counter-clockwise from the incoming under-strand, edges numbered from 1 along each component.

#include <array>
#include <cstdint>
#include <utility>
#include <string>
#include <vector>

#include "diagram/linkDiagram.h"

// Codes longer than this are refused before any work.
constexpr int32_t kMaxCodeCrossings = 200;
// Drawing a DT or Gauss code tries both sides of a strand where the drawing so far leaves both
// open; past this much work (darts walked) the code is refused; table and census codes need
// little.
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

// The planar diagram of a signed Gauss code: the crossings met along each component, positive
// where it passes over. A link is one brace group a component, "{{1,-2},{-1,2}}"; a knot may also
// be written "-1 3 -2 1 -3 2", "{-1,3,-2,1,-3,2}" or "{{-1,3,-2,1,-3,2}}". Edges are numbered
// from 1 along the components in order, the k-th passage leaving on edge k. Components that
// share no crossing are drawn as separate pieces, as split PD codes are. A component without
// crossings is refused: the PD code that takes the diagram on has no way to name it, and leaving
// it out would lose it. The code leaves each piece's mirror image open; the drawing is the one in
// which, at the piece's lowest-numbered crossing, the passage met later along the code (the
// components in order) crosses the one met earlier from its right; for a knot, the choice made
// for DT codes. (A diagram that two crossings cut apart, such as a connected sum, leaves a part's
// mirror image open too; it is drawn one of the ways its code allows.)
// Throws std::invalid_argument naming the fault and, in a link, the component ("... crossing 2
// comes once in component 2", "components 1 and 2 cross 3 times", "this Gauss code has no
// planar diagram"), or a code past kMaxDTDrawingWork.
TPDCode PDFromGauss(const std::string& text);

// "X[1,5,2,4] X[3,1,4,6]" or "[[1,5,2,4],[3,1,4,6]]", checked by CheckPD.
TPDCode ReadPD(const std::string& text);

// The kind of code a text is, as the window's one "Code" field takes it: PD when it has an X or
// nested brackets, Gauss when it has braces (nested ones: a link) or names an odd crossing
// twice, DT otherwise. The
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
