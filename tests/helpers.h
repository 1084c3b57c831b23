#pragma once
// Tiny inputs shared by the suites.

#include "knots/knotTable.h"
#include "mesh/meshModel.h"

// A unit cube of 6 quads, faces oriented consistently, all of kind `kind`.
//
//      7-----6
//     /|    /|      z up; vertices 0..3 at z = 0, 4..7 at z = 1
//    4-----5 |
//    | 3---|-2
//    |/    |/
//    0-----1
inline TMesh MakeCube(int capacityFactor = 1, int kind = 0) {
  TMesh m;
  m.verts.resize(8 * capacityFactor);
  m.faces.resize(8 * capacityFactor);
  const float p[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                         {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  for (auto& q : p) AddVertex(m, Vec3(q[0], q[1], q[2]), true);
  const int f[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                       {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
  for (auto& q : f) AddFace(m, q[0], q[1], q[2], q[3], kind);
  return m;
}

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/model/headlessWindow.h"
#include "core/settings.h"
#include "knots/braidWord.h"
#include "mesh/meshSummary.h"
#include "surface/seifert.h"

// True when VELTRANE_TEST_SAMPLE=small: the sanitizer run (`make test-sanitize`) sets it so the
// slowest sweeps take a smaller sample of their inputs there; `make test` runs the full one.
inline bool SmallSample() {
  const char* sample = std::getenv("VELTRANE_TEST_SAMPLE");
  return sample && std::string_view(sample) == "small";
}

// `count` random braid words over A..D and a..d, of minLetters..maxLetters letters, the same
// for the same seed.
inline std::vector<std::string> RandomWords(uint32_t seed, int count, int minLetters, int maxLetters) {
  std::mt19937 rng(seed);
  std::vector<std::string> words;
  for (int i = 0; i < count; ++i) {
    std::string w;
    for (int k = 0, n = minLetters + static_cast<int>(rng() % static_cast<uint32_t>(maxLetters - minLetters + 1));
         k < n; ++k)
      w += static_cast<char>((rng() % 2 ? 'A' : 'a') + rng() % 4);
    words.push_back(w);
  }
  return words;
}

// The settings the program starts with, read from a headless window after its start-up:
// diameter 60, height 2, band 20 x 2, distance 83, shift 0, "Resolution" 2 (resolution 4).
inline TSettings StartSettings() {
  static const TSettings start = [] {
    THeadlessWindow w;
    w.window.StartUp();
    return w.app.Settings;
  }();
  return start;
}

// The parsed word, not yet laid out.
inline TSeiffert ParsedModel(const std::string& word) {
  TSeiffert m;
  ParseBraidWord(word, m.gen, m.power, m.nStrands, m.nCross);
  return m;
}

// Parses the word and lays it out stacked (or trivially without letters).
inline TSeiffert StackedModel(const std::string& word, const TSettings& s) {
  TSeiffert m;
  ParseBraidWord(word, m.gen, m.power, m.nStrands, m.nCross);
  if (m.nCross == 0) LayoutTrivial(m, s);
  else LayoutStacked(m, s);
  return m;
}

// Counts taken from the faces alone, independent of the mesh's own edge table.
struct TTopology {
  long usedVerts = 0, edges = 0, openEdges = 0, overfullEdges = 0, faces = 0;
  long Euler() const { return usedVerts - edges + faces; }
};

inline TTopology Topology(const TMesh& m) {
  const TMeshSummary s = SummariseMesh(m);
  return {static_cast<long>(s.usedVerts), static_cast<long>(s.faceEdges),
          static_cast<long>(s.openEdges), static_cast<long>(s.nonManifoldEdges), m.nFaces};
}

// Number of cycles of the braid's permutation; a letter with an odd count swaps its strands.
inline int ClosureComponents(const TSeiffert& m) {
  std::vector<int> perm(m.nStrands + 1);
  for (int i = 0; i <= m.nStrands; ++i) perm[i] = i;
  for (int k = 1; k <= m.nCross; ++k) {
    if (m.power[k] % 2 == 0) continue;
    const int j = std::abs(m.gen[k]);
    std::swap(perm[j], perm[j + 1]);
  }
  std::vector<bool> seen(m.nStrands + 1, false);
  int cycles = 0;
  for (int i = 1; i <= m.nStrands; ++i) {
    if (seen[i]) continue;
    ++cycles;
    for (int j = i; !seen[j]; j = perm[j]) seen[j] = true;
  }
  return cycles;
}

// The circles of the closure that the lay-out's surface bounds. The flat lay-outs make disks at
// crossings only, so a strand that no crossing touches (a loose circle) is left out of them.
inline int LayoutComponents(const TSeiffert& m, uint8_t layout) {
  int components = ClosureComponents(m);
  if (layout == kLayoutStacked || layout == kLayoutSplit || m.nCross == 0) return components;
  std::vector<bool> touched(m.nStrands + 2, false);
  for (int k = 1; k <= m.nCross; ++k) {
    const int j = std::abs(m.gen[k]);
    touched[j] = touched[j + 1] = true;
  }
  for (int j = 1; j <= m.nStrands; ++j) components -= !touched[j];
  return components;
}

// The built-in knot table, filled once for the whole program.
inline const TKnotTable& Table() {
  static const TKnotTable table = [] {
    TKnotTable t;
    FillKnotTable(t);
    return t;
  }();
  return table;
}
