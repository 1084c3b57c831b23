#pragma once
// Planar diagrams of closed 3-D polylines: a generic projection, its crossings as a Gauss code
// with crossing signs, the PD code (X[a,b,c,d]: a the incoming lower strand, then the other
// edges counter-clockwise), and Reidemeister I and II simplification.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/vec3.h"

// One pass of a component through a crossing.
struct TPassage {
  int32_t crossing = 0;
  bool over = false;
};

// Crossings are numbered from 0; each appears twice in `components`, once over and once under.
struct TLinkDiagram {
  std::vector<std::vector<TPassage>> components;  // passages in the order of travel
  std::vector<int32_t> signs;                      // +1 right-handed, -1 left-handed
  int32_t freeCircles = 0;                         // components that cross nothing
  // The number each component had where the diagram came from (the index of its polyline),
  // `components` first, then the free circles; empty when they are numbered in that order.
  // Simplification keeps it, so a link's components are told by the names they came with.
  std::vector<int32_t> numbers;
  int32_t Crossings() const { return static_cast<int32_t>(signs.size()); }
  int32_t Components() const { return static_cast<int32_t>(components.size()) + freeCircles; }
};

using TPDCode = std::vector<std::array<int32_t, 4>>;

// The point sets are read as closed polylines (the last point joins the first). The diagram is
// the view from a fixed generic direction; a direction on which a vertex meets another strand,
// strands overlap or two strands nearly touch is replaced by the next of a fixed list.
// Throws std::invalid_argument for a non-finite coordinate, a line of fewer than three distinct
// points, more than kMaxLinePoints points, or lines that no direction of the list shows
// generically (lines that meet or nearly meet in space); std::length_error past kMaxCrossings.
constexpr int64_t kMaxLinePoints = 4'000'000;
constexpr int64_t kMaxCrossings = 3'000;
TLinkDiagram ProjectLines(const std::vector<std::vector<Vec3>>& lines);

// The closure of a braid word of letters as the braid diagram draws it: strands run left to
// right, and an upper-case letter is the crossing in which the strand entering at the lower
// position passes over, a negative crossing. Other characters are skipped.
TLinkDiagram BraidClosureDiagram(const std::string& word);

// Removes kinks (Reidemeister I) and bigons with one strand over at both corners
// (Reidemeister II) until none is left; the link type does not change.
void SimplifyDiagram(TLinkDiagram& diagram);

// Edges numbered from 1 along each component in order; empty for a diagram without crossings.
TPDCode PDCode(const TLinkDiagram& diagram);
// "X[1,5,2,4] X[3,1,4,6] ...".
std::string PDText(const TPDCode& pd);

// The same link seen in a mirror: every crossing changes sign and over/under.
TLinkDiagram MirrorDiagram(TLinkDiagram diagram);

// The position in the diagram (components, then free circles) of the component numbered n.
size_t ComponentAt(const TLinkDiagram& diagram, int32_t n);

// Half the sum of the signs of the crossings between components i and j (positions).
int32_t LinkingNumber(const TLinkDiagram& diagram, size_t i, size_t j);
