// The Diagram lay-out over the whole knot table and over braid words: a closed surface of the
// diagram's canonical genus whose one boundary curve is the knot.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/model/boundaryReport.h"
#include "app/model/pipeline.h"
#include "diagram/diagramCodes.h"
#include "diagram/seifertCircles.h"
#include "helpers.h"

namespace {

// The closed mesh is the surface's double: Euler characteristic 2 (disks - bands) per piece,
// and one seam curve per component of the link.
void ExpectClosedSurface(const TSeiffert& m, int32_t circles, int32_t crossings, int32_t components) {
  const TTopology t = Topology(m.mesh);
  ASSERT_EQ(t.openEdges, 0);
  ASSERT_EQ(t.overfullEdges, 0);
  EXPECT_EQ(m.nDisks, circles);
  EXPECT_EQ(m.nTubes, crossings);
  EXPECT_EQ(t.Euler(), 2L * (circles - crossings));
  EXPECT_EQ(m.nLinks, components);
  EXPECT_EQ(CheckLayoutInvariants(m), "");
  // Every stored vertex is finite, those inside the band holes too: the files list them all.
  for (int32_t v = 0; v < m.mesh.nVerts; ++v) {
    const Vec3& p = m.mesh.verts[static_cast<size_t>(v)].pos;
    ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << "vertex " << v;
  }
}

}  // namespace

// Every row: the row's diagram (or its minimal-genus one) as the surface, of the table genus,
// bounded by one curve; that curve is named as the row's knot, with the row's chirality, on at
// least as many rows as the geometry reached when it was written (the rest still let bands pass
// through one another).
TEST(DiagramLayout, EveryTableRowBoundsItsKnotWithTheTableGenus) {
  TKnotTable table;
  FillKnotTable(table);
  int32_t named = 0;
  for (int32_t row = 1; row <= table.count; row += SmallSample() ? 5 : 1) {
    const TKnotEntry& knot = table.Row(row);
    SCOPED_TRACE(knot.name);
    TAppState app;
    FillKnotTable(app.KnotTable);
    app.selectedKnotRow = row;
    TSettings s = StartSettings();
    s.layout = kLayoutDiagram;
    RunPipeline(knot.braid, app.Seifert, s, app);
    const TSeifertDiagram d = SeifertCircles(PDFromDT(knot.diagramCode));
    ExpectClosedSurface(app.Seifert, static_cast<int32_t>(d.circles.size()), d.nCrossings, 1);
    EXPECT_EQ((app.Seifert.nTubes - app.Seifert.nDisks + 1) / 2, knot.genus);
    const TBoundaryReport report = IdentifySurfaceBoundary(app.Seifert, table);
    bool same = report.ok && report.id.row == knot.name && !report.id.mirror;
    for (const std::string& a : report.id.alternatives) same = same || a == knot.name;
    named += same;
    if (same) {
      EXPECT_EQ(KnotGenus(report, table), knot.genus);
    }
  }
  if (!SmallSample()) {
    EXPECT_GE(named, 217);
  }
}

// Braid words, random ones too: the surface of the closure's own diagram, whatever the word.
TEST(DiagramLayout, BraidWordsGiveTheirClosuresCanonicalSurface) {
  std::vector<std::string> words = {"AAA", "AbAb", "AAbAAAB", "AC", "aBcD", "AAAAAAAAAA"};
  for (const std::string& w : RandomWords(22, 30, 2, 15)) words.push_back(w);
  for (const std::string& w : words) {
    SCOPED_TRACE(w);
    TAppState app;
    TSettings s = StartSettings();
    s.layout = kLayoutDiagram;
    RunPipeline(w, app.Seifert, s, app);
    const TLinkDiagram closure = BraidClosureDiagram(w);
    const TSeifertDiagram d = SeifertCircles(PDCode(closure));
    ExpectClosedSurface(app.Seifert, static_cast<int32_t>(d.circles.size()), d.nCrossings,
                        closure.Components() - closure.freeCircles);
  }
}
