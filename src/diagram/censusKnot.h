#pragma once
// What the program draws for a knot of the 11- and 12-crossing census: the diagram of the
// Diagram lay-out and the braid word of the braid lay-outs, both with the census diagram's
// chirality as KnotInfo reads it.

#include <string>

#include "knots/census.h"

// The DT code of the diagram the Diagram lay-out draws: the best diagram's, with every sign
// turned (the mirror image) where the best diagram, as KnotInfo reads it, is the census
// diagram's mirror image (85 of the 465 knots whose best diagram is another).
std::string CensusDiagramCode(const TCensusRow& row);

// A braid word whose closure is the knot, read off the census diagram by Vogel's moves (it
// gives shorter words than the best diagram: at most 60 letters on 11 strands).
std::string CensusBraidWord(const TCensusRow& row);
