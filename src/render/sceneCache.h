#pragma once
// What the scene drawing keeps from one rebuild of the scene to the next: the surfaces and
// mesh lines as vertex arrays, drawn from them at every frame, and a display list per link
// tube, kept while the tube's chain, radius and ring stay the same. Plain data, no GL: the
// lists' names belong to the context that drew the scene.

#include <array>
#include <cstdint>
#include <vector>

#include "core/vec3.h"

// One tube as it was last compiled into display list `list` (0: none).
struct TTubeList {
  std::vector<Vec3> points;
  double radius = 0;
  int32_t ringSize = 0;
  unsigned list = 0;
  bool valid = false;  // false: the list holds nothing usable (never built, or cut short)
};

// One glDrawElements of quads: `indexCount` indices from `firstIndex` on, counted from vertex
// `firstVertex`, in the colours the settings gave when the scene was built.
struct TQuadDraw {
  size_t firstVertex = 0, firstIndex = 0, indexCount = 0;
  std::array<float, 4> front{}, back{};  // surfaces: front and back colour; lines: front only
};

// The surfaces and mesh lines of the scene as vertex arrays.
struct TArrayScene {
  std::vector<float> pos, normal, tex;  // 3, 3 and 2 floats a vertex (tex only when textured)
  std::vector<uint32_t> index;          // four a quad, counted from its draw's first vertex
  std::vector<TQuadDraw> surfaces, lines;
  bool textured = false;  // the surfaces carry texture coordinates and list 34's texture
  float lineWidth = 1;

  void Clear() {
    pos.clear();
    normal.clear();
    tex.clear();
    index.clear();
    surfaces.clear();
    lines.clear();
    textured = false;
  }
};

// Scratch of a rebuild, kept for its storage.
struct TSceneScratch {
  std::vector<int32_t> faces;             // the faces in drawing order
  std::vector<uint32_t> slot, slotStamp;  // a shared mesh vertex's array index, and its batch
  uint32_t stamp = 0;
  std::vector<float> tubePos, tubeNormal;
};

struct TSceneCache {
  TArrayScene scene;
  std::vector<TTubeList> links, loops;
  TSceneScratch scratch;

  TSceneCache() = default;
  // A copy of the window's state draws in whatever context it is given: it starts afresh.
  TSceneCache(const TSceneCache&) {}
  TSceneCache& operator=(const TSceneCache& other) {
    if (this != &other) *this = TSceneCache();
    return *this;
  }
  TSceneCache(TSceneCache&&) = default;
  TSceneCache& operator=(TSceneCache&&) = default;
};
