#pragma once
// Texture coordinates of the surface picture: a band along the link. texU runs along each link
// component (its arc length), texV across, growing with the distance from the link; a front
// spreads from the link lines over the mesh edges, one ring of vertices at a time.

#include <cstdint>
#include <vector>

#include "meshModel.h"

// texV of the vertices at the seam when cracks are hidden: far outside the band.
constexpr double kOutsideBand = 10000;

struct TTexCoordParams {
  int32_t width = 5;      // "Width": the band is width / 100 units wide; 0 = no band
  int32_t offset = 3;     // "Offset": the band starts offset / 100 units from the link
  int32_t stretch = 10;   // "Stretch": 10 repeats the picture at its own aspect; 0 counts as 1
  bool hideCracks = false;
  int32_t texWidth = 1, texHeight = 1;  // the surface texture's sides
};

// Writes texU, texV and texState of every vertex (texState 0 = assigned, 2 = no front reached
// it; such vertices keep (0, 0)). Link vertices and fan entries that name no stored vertex or
// edge are passed over.
void ComputeTexCoords(TMesh& mesh, const std::vector<TLinkLine>& links, int32_t nLinks,
                      const TTexCoordParams& params);
