#pragma once
// A braid word for any link diagram, so that a knot known only by a code gets the braid
// lay-outs too. Vogel's move (a Reidemeister II move of one Seifert circle's edge over
// another's, across a face where the two run against each other) is made until the Seifert
// circles lie nested around one axis, all turning the same way: the diagram is then a closed
// braid, whose word is read around the axis. The move keeps the number of Seifert circles and
// adds two crossings, so the braid's Seifert surface has the diagram's canonical genus plus
// the number of moves.

#include <cstdint>
#include <stdexcept>
#include <string>

#include "diagram/linkDiagram.h"

// The braid words of the program have letters A..Z: 26 generators, 27 strands.
constexpr int32_t kMaxBraidStrands = 27;

struct TDiagramBraid {
  // Letters only, one per crossing, drawn by BraidClosureDiagram as the same oriented link
  // (chirality included): A joins strands 1 and 2, an upper-case letter is a negative crossing.
  std::string word;
  int32_t strands = 0;  // the diagram's Seifert circles
  // Reidemeister II moves made, two crossings each: as many as the diagram has pairs of Seifert
  // circles that are not nested coherently.
  int32_t moves = 0;
};

// The pieces of a split diagram become braids on neighbouring strands with no letter between.
// Throws std::invalid_argument as CheckPD does, and std::length_error for a diagram of more
// than kMaxBraidStrands Seifert circles.
TDiagramBraid BraidOfDiagram(const TPDCode& pd);
