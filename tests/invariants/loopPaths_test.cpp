// The basis loops on the mesh: closed chains along mesh edges, each through exactly the bands
// its steps name, in the stacked lay-out (the braid surface's loops) and in the Diagram lay-out
// (the diagram surface's), for table knots, links and twisted bands.

#include "invariants/loopPaths.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "diagram/diagramCodes.h"
#include "helpers.h"
#include "invariants/diagramForm.h"
#include "knots/knotTable.h"
#include "mesh/buildMesh.h"

namespace {

void ExpectLoopsOnTheSurface(const TSeiffert& m, const TInvariants& inv) {
  const auto paths = LoopPaths(m, inv);
  ASSERT_EQ(paths.size(), static_cast<size_t>(inv.rank));
  std::set<std::pair<int32_t, int32_t>> edges;
  for (int32_t e = 0; e < m.mesh.nEdges; ++e)
    edges.insert(std::minmax(m.mesh.edges[e].a, m.mesh.edges[e].b));
  // The vertices strictly inside each band (not on its end rings) belong to that band only.
  std::vector<int32_t> bandOf(m.mesh.nVerts, 0);
  for (int32_t k = 1; k <= m.nTubes; ++k)
    for (size_t r = 1; r + 1 < m.tubes[k].grid.size(); ++r)
      for (int32_t v : m.tubes[k].grid[r]) bandOf[v] = k;
  for (size_t i = 0; i < paths.size(); ++i) {
    const auto& chain = paths[i];
    ASSERT_GE(chain.size(), 4u);
    std::set<int32_t> bands, named;
    for (size_t p = 0; p < chain.size(); ++p) {
      const int32_t a = chain[p], b = chain[(p + 1) % chain.size()];
      EXPECT_TRUE(edges.count(std::minmax(a, b))) << "no mesh edge " << a << "-" << b;
      if (bandOf[a]) bands.insert(bandOf[a]);
    }
    for (const TLoopStep& step : inv.loopSteps[i]) named.insert(step.band);
    EXPECT_EQ(bands, named) << "loop " << i + 1;
  }
}

}  // namespace

TEST(LoopPaths, ClosedOnTheSurfaceAndThroughTheirOwnBands) {
  std::vector<std::string> words = {"AAA", "AbAb", "AA", "A2A2A2", "A3bA3B", "AC", ""};
  for (int32_t i = 0; i < kKnotRowCount; i += SmallSample() ? 40 : 8)
    words.push_back(kKnotRows[i].braid);
  for (const std::string& word : words)
    for (int32_t levels : {0, 1}) {
      if (levels == 1 && word.size() > 6) continue;  // refined meshes only for the short words
      SCOPED_TRACE(word + " with " + std::to_string(levels) + " Catmull-Clark levels");
      TSettings s = StartSettings();
      s.catmullClark = levels;
      TSeiffert m = StackedModel(word, s);
      BuildMesh(m, s, true, false);
      EnsureEdges(m.mesh);  // as the window does before it traces the loops
      ExpectLoopsOnTheSurface(m, ComputeInvariants(word));
    }
  // Another lay-out of the same word has other disks and bands: no loops are drawn on it.
  TSettings flat = StartSettings();
  TSeiffert m = StackedModel("AAA", flat);
  BuildMesh(m, flat, true, false);
  m.nTubes = 4;
  EXPECT_TRUE(LoopPaths(m, ComputeInvariants("AAA")).empty());
}

TEST(LoopPaths, TheDiagramLayoutCarriesTheDiagramSurfacesLoops) {
  std::vector<TPDCode> codes = {PDCode(BraidClosureDiagram("AbAb")),
                                PDCode(BraidClosureDiagram("AbCAbC")),
                                PDCode(BraidClosureDiagram("AAbAAbcBc"))};
  for (int32_t i = 0; i < kKnotRowCount; i += SmallSample() ? 40 : 6)
    codes.push_back(PDFromDT(Table().Row(i + 1).diagramCode));
  for (const TPDCode& pd : codes) {
    SCOPED_TRACE(PDText(pd));
    const TSettings s = StartSettings();
    TSeiffert m;
    LayoutDiagram(m, s, pd);
    BuildMesh(m, s, true, false);
    ExpectLoopsOnTheSurface(m, ComputeDiagramInvariants(pd));
  }
}
