#pragma once
// The holes of a knot from its Dowker-Thistlethwaite code: a planar four-valent diagram is built
// from the code, its Seifert circles are made coherent by Swap moves, the faces are numbered,
// circles with more than three arcs are split (the three-sided treatment), the largest face
// becomes the outside, and every other face becomes a hole record of the reduced flat lay-out.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "reducedFlatLayout.h"

// Arms are named by number: arm i of crossing c (list position c, from 0) is 4 * c + i.
constexpr int32_t kNoArm = -1;

// One arm of a crossing.
struct TArm {
  int32_t link = kNoArm;  // the arm at the other end of this edge, kNoArm while unlinked
  int32_t crossing = 0;   // list position of the owner
  int32_t index = 0;      // 0..3, in cyclic order around the crossing
  // -2 unassigned; -1 seed of a Seifert circle still to walk; 0 face arm; k > 0 arc of circle k;
  // after face numbering -f for face f.
  int32_t label = -2;
  bool out = false;  // the knot leaves the crossing through this arm
};

// One crossing of the diagram; the list is kept in creation order.
struct TCrossing {
  std::array<TArm, 4> arms{};
  bool mirror = false;  // its DT number was positive
  int32_t id = 0;       // running number from 1
  int32_t sign = 0;     // +1 or -1; 0 for crossings the three-sided treatment inserts
};

// A code longer than this is refused before any work (the hole table holds 20 faces, far fewer
// than such a diagram has), and the diagram may not grow past kMaxDTDiagramCrossings.
constexpr int32_t kMaxDTNumbers = 100;
constexpr int32_t kMaxDTDiagramCrossings = 1000;
// The search for coherent Seifert circles stops after this many Swap moves, finished or not.
constexpr int32_t kMaxSwapMoves = 20;

// Fills table.nHoles and hole records 0..nHoles (count, neighbour, twist; id = record number)
// from `code`, e.g. "[4;6;2]", and returns the number of holes. The code is read without its
// last character (the closing bracket); "-" negates the next number; other characters are
// skipped. With `threeSided`, Seifert circles of more than three arcs are split.
// Throws RangeError for a code without numbers or with more than kMaxDTNumbers, a DT number of
// 0, above 2n or repeating a position, a diagram that cannot be closed or walked, more than 20
// faces, or more than 20 border entries on a face.
int32_t HolesFromDT(const std::string& code, bool threeSided, THoleTable& table);

// The crossings of the diagram the code draws before any Swap move, with their `mirror` and
// `sign` (every arm linked and oriented). Same errors as HolesFromDT's parse and diagram steps.
std::vector<TCrossing> DTCrossings(const std::string& code);
