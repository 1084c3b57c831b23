#pragma once
// The Seifert circles of a planar link diagram: every crossing smoothed along the orientation,
// the crossings met along each circle in order, crossing signs, the faces of the diagram, and
// how the circles nest once a face is taken as the outside.

#include <array>
#include <cstdint>
#include <vector>

#include "diagram/linkDiagram.h"

struct TSeifertCircle {
  std::vector<int32_t> crossings;  // crossings met in the order of travel
  std::vector<int32_t> edgeSlots;  // per crossing met: the slot through which the circle leaves it
  int32_t leftRegion = -1, rightRegion = -1;  // regions of the smoothed diagram on either side
  int32_t parent = -1;      // the circle it lies inside, -1 at the top level of its piece
  int32_t depth = 0;        // circles it lies inside
  int32_t innerRegion = -1;
  bool counterClockwise = false;  // its inside is on its left
};

// A diagram's Seifert circles and faces. Crossings are numbered as in the PD code, from 0.
struct TSeifertDiagram {
  int32_t nCrossings = 0;
  int32_t components = 0;
  int32_t pieces = 0;  // connected parts of the diagram
  std::vector<int32_t> signs;  // +1 right-handed
  std::vector<int32_t> piece;  // of each crossing
  std::vector<TSeifertCircle> circles;
  std::vector<std::array<int32_t, 2>> crossingCircles;  // the circles each crossing joins
  // Faces: face[k][i] lies to the left of the edge leaving crossing k through slot i, that is
  // in the corner between slots i and i + 1.
  int32_t nFaces = 0;
  std::vector<std::array<int32_t, 4>> face;
  std::vector<int32_t> faceRegion;
  std::vector<int32_t> outerFace;      // per piece: the face taken as the outside
  std::vector<int32_t> crossingRegion;  // the region between a crossing's two circles
  std::vector<int32_t> regionParent;   // the circle around a region, -1 for a piece's outside

  // (c - s + 2 pieces - components) / 2: the genus of the surface Seifert's algorithm builds.
  int32_t CanonicalGenus() const;
};

// The circles of a checked PD code (CheckPD). Of each piece, the outside is the largest face of
// the region that makes the nesting shallowest. Throws std::invalid_argument as CheckPD does.
TSeifertDiagram SeifertCircles(const TPDCode& pd);
