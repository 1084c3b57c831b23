// The Diagram lay-out over the whole knot table and over braid words: a closed surface of the
// diagram's canonical genus whose one boundary curve is the knot.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/model/boundaryReport.h"
#include "app/model/pipeline.h"
#include "diagram/boundaryId.h"
#include "diagram/diagramCodes.h"
#include "diagram/diagramPolynomials.h"
#include "diagram/seifertCircles.h"
#include "helpers.h"
#include "mesh/buildMesh.h"
#include "mesh/selfIntersection.h"

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

// The mesh's quads as triangle corners, each cut along the diagonal that bends it least (a quad
// bent into an arrowhead along its inner one), as a reader of the surface would take it.
std::vector<Vec3> Triangles(const TMesh& mesh) {
  std::vector<Vec3> corners;
  for (int32_t f = 0; f < mesh.nFaces; ++f) {
    const TFace& q = mesh.faces[static_cast<size_t>(f)];
    Vec3 p[4];
    for (size_t k = 0; k < 4; ++k) p[k] = mesh.verts[static_cast<size_t>(q.v[k])].pos;
    auto normal = [&](int a, int b, int c) { return (p[b] - p[a]).Cross(p[c] - p[a]).Normalised(); };
    const bool first = normal(0, 1, 2).Dot(normal(0, 2, 3)) >= normal(0, 1, 3).Dot(normal(1, 2, 3));
    for (const int c : first ? std::array<int, 6>{0, 1, 2, 0, 2, 3} : std::array<int, 6>{0, 1, 3, 1, 2, 3})
      corners.push_back(p[c]);
  }
  return corners;
}

}  // namespace

// Every row: the row's diagram (or its minimal-genus one) as the surface, of the table genus,
// bounded by one curve, which is named as the row's knot with the row's chirality; and the mesh
// passes nowhere through itself.
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
    EXPECT_EQ(FindSelfIntersections(Triangles(app.Seifert.mesh)).pairs, 0) << "pairs of faces crossing";
    if (same) {
      EXPECT_EQ(KnotGenus(report, table), knot.genus);
    }
  }
  if (!SmallSample()) {
    EXPECT_EQ(named, table.count);
  }
}

// The disks' diameter down to its control's least value and up to its greatest: every disk
// keeps room for its band ends whatever it is set to, so the surface stays the row's knot,
// closed and clear of itself.
TEST(DiagramLayout, AnyDiskDiameterKeepsTheKnotAndTheSurfaceClear) {
  TKnotTable table;
  FillKnotTable(table);
  for (const double diameter : {0.01, 0.05, 0.3, 2.0})
    for (int32_t row = 3; row <= table.count; row += SmallSample() ? 41 : 8) {
      const TKnotEntry& knot = table.Row(row);
      SCOPED_TRACE(knot.name + " at diameter " + std::to_string(diameter));
      TAppState app;
      FillKnotTable(app.KnotTable);
      app.selectedKnotRow = row;
      TSettings s = StartSettings();
      s.layout = kLayoutDiagram;
      s.diskDiameter = diameter;
      RunPipeline(knot.braid, app.Seifert, s, app);
      const TSeifertDiagram d = SeifertCircles(PDFromDT(knot.diagramCode));
      ExpectClosedSurface(app.Seifert, static_cast<int32_t>(d.circles.size()), d.nCrossings, 1);
      const TBoundaryReport report = IdentifySurfaceBoundary(app.Seifert, table);
      bool same = report.ok && report.id.row == knot.name && !report.id.mirror;
      for (const std::string& a : report.id.alternatives) same = same || a == knot.name;
      EXPECT_TRUE(same) << "named " << report.id.row;
      EXPECT_EQ(FindSelfIntersections(Triangles(app.Seifert.mesh)).pairs, 0);
    }
}

// Braid words, random ones too: the surface of the closure's own diagram, whatever the word,
// bounded by the closure where that is a knot (its Jones polynomial, so chirality too).
TEST(DiagramLayout, BraidWordsGiveTheirClosuresCanonicalSurface) {
  std::vector<std::string> words = {"AAA", "AbAb", "AAbAAAB", "AC", "aBcD", "AAAAAAAAAA"};
  for (const std::string& w : RandomWords(22, 30, 2, 15)) words.push_back(w);
  int32_t named = 0, asked = 0;
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
    // A link's Jones polynomial hangs on its components' directions, which the traced lines
    // need not keep: knots only.
    if (closure.Components() != 1) continue;
    const TBoundaryReport report = IdentifySurfaceBoundary(app.Seifert, app.KnotTable);
    named += report.ok && report.id.jonesPoly == JonesPolynomial(closure);
    ++asked;
  }
  EXPECT_EQ(named, asked);
}

// Codes of 11- and 12-crossing knots, as typed: the canonical genus of the code (the knot's
// genus where it is known), and one boundary curve with the code's own Jones polynomial, which
// tells the knot from its mirror image where the table cannot name it.
TEST(DiagramLayout, CensusCodesBoundTheirKnotWithTheirGenus) {
  struct TCode {
    const char* name;
    const char* dt;
    int32_t canonicalGenus, genus;
  };
  // Every 40th knot of the census of 11 and 12 crossings shipped with Regina 7.3 (Debian
  // regina-normal, GPL-2-or-later): a diagram of least canonical genus, that genus, and the
  // knot's genus where it is known (-1 where not).
  const TCode codes[] = {
    {"11a_1", "[20;10;12;4;16;6;18;22;8;2;14]", 3, 3},
    {"11a_41", "[20;8;12;14;18;6;4;2;22;10;16]", 3, 3},
    {"11a_81", "[4;16;18;12;14;6;20;22;2;10;8]", 4, 4},
    {"11a_121", "[14;8;16;4;22;20;10;6;2;12;18]", 3, 3},
    {"11a_161", "[18;20;14;4;22;16;6;12;10;2;8]", 3, 3},
    {"11a_201", "[12;8;16;14;20;18;22;6;4;10;2]", 2, 2},
    {"11a_241", "[18;20;12;16;14;22;6;8;4;2;10]", 3, 3},
    {"11a_281", "[12;8;16;22;14;18;2;20;6;10;4]", 4, 4},
    {"11a_321", "[16;12;18;22;14;20;2;8;4;6;10]", 3, 3},
    {"11a_361", "[16;12;14;18;22;20;4;2;8;6;10]", 2, 2},
    {"11n_34", "[10;-22;-2;-20;16;24;18;-6;12;-8;-14;-4]", 3, -1},
    {"11n_74", "[10;-20;16;-12;-6;22;-8;4;14;-2;-18]", 3, -1},
    {"11n_114", "[14;12;16;-22;-20;4;18;6;2;-10;-8]", 2, 2},
    {"11n_154", "[10;20;14;12;2;-18;22;4;8;-24;16;6]", 3, 3},
    {"12a_9", "[18;8;14;4;2;20;6;12;22;10;24;16]", 3, 3},
    {"12a_49", "[22;10;24;16;2;18;6;20;12;8;14;4]", 3, 3},
    {"12a_89", "[22;12;18;10;24;4;2;20;14;6;16;8]", 3, 3},
    {"12a_129", "[22;18;12;4;24;6;10;20;2;14;16;8]", 4, 4},
    {"12a_169", "[22;20;18;14;12;24;16;8;6;4;2;10]", 2, 2},
    {"12a_209", "[16;8;12;18;14;6;20;22;24;4;10;2]", 4, 4},
    {"12a_249", "[22;18;16;2;24;20;10;6;4;12;14;8]", 3, 3},
    {"12a_289", "[20;14;16;22;18;8;24;4;10;2;12;6]", 3, 3},
    {"12a_329", "[22;20;16;12;18;8;6;24;10;2;4;14]", 3, 3},
    {"12a_369", "[22;14;16;24;18;20;2;4;8;10;12;6]", 5, 5},
    {"12a_409", "[22;20;12;24;16;18;2;8;10;4;14;6]", 4, 4},
    {"12a_449", "[20;12;2;24;18;4;16;22;10;8;6;14]", 3, 3},
    {"12a_489", "[4;10;22;12;16;2;20;8;24;14;6;18]", 3, 3},
    {"12a_529", "[8;18;2;16;22;20;24;12;4;6;10;14]", 3, 3},
    {"12a_569", "[20;12;16;22;24;14;2;18;4;10;6;8]", 4, 4},
    {"12a_609", "[22;16;12;18;24;4;20;6;2;14;10;8]", 3, 3},
    {"12a_649", "[22;8;16;18;14;24;20;4;6;2;12;10]", 4, 4},
    {"12a_689", "[6;20;14;24;22;16;18;4;12;10;2;8]", 3, 3},
    {"12a_729", "[22;12;14;16;20;24;18;8;6;4;2;10]", 3, 3},
    {"12a_769", "[22;18;14;20;16;4;24;10;8;2;6;12]", 3, 3},
    {"12a_809", "[20;18;16;22;24;4;2;10;12;14;6;8]", 4, 4},
    {"12a_849", "[20;8;10;2;18;16;24;22;6;4;12;14]", 3, 3},
    {"12a_889", "[18;20;22;24;16;4;6;10;8;2;12;14]", 4, 4},
    {"12a_929", "[6;18;12;16;22;24;20;2;8;14;4;10]", 4, 4},
    {"12a_969", "[8;20;18;14;22;16;24;6;10;4;2;12]", 3, 3},
    {"12a_1009", "[16;14;22;24;2;20;18;8;10;12;4;6]", 4, 4},
    {"12a_1049", "[20;14;18;22;16;24;2;4;8;12;10;6]", 4, 4},
    {"12a_1089", "[6;18;14;20;22;16;24;4;10;2;8;12]", 4, 4},
    {"12a_1129", "[20;14;16;18;22;24;2;6;4;12;8;10]", 4, 4},
    {"12a_1169", "[20;16;14;24;18;2;22;4;8;10;12;6]", 4, 4},
    {"12a_1209", "[18;20;22;24;16;4;6;8;10;2;12;14]", 5, 5},
    {"12a_1249", "[18;12;14;16;2;20;22;24;8;10;4;6]", 5, 5},
    {"12n_1", "[18;-8;-2;-24;-4;16;-22;26;10;-14;20;-6;-12]", 3, 3},
    {"12n_41", "[10;-16;-20;2;24;-14;-18;-22;-6;-12;-4;8]", 3, 3},
    {"12n_81", "[20;12;-24;14;16;8;4;18;10;26;-6;22;2]", 3, 3},
    {"12n_121", "[12;10;8;22;4;2;-16;-20;24;-14;6;18]", 2, 2},
    {"12n_161", "[20;16;8;14;4;-24;18;6;10;26;-12;22;2]", 3, 3},
    {"12n_201", "[10;-22;-14;-18;24;-16;-6;-20;-8;-12;-2;-4]", 3, 3},
    {"12n_241", "[20;-14;-16;-12;22;-26;-6;-4;-24;2;10;-18;-8]", 3, 3},
    {"12n_281", "[20;-8;-12;-24;-18;-14;-4;-22;-10;2;-16;-6]", 3, 3},
    {"12n_321", "[10;-18;-12;-20;2;-14;-6;-24;-22;-8;-4;-16]", 2, -1},
    {"12n_361", "[16;8;14;4;-18;24;6;22;-20;-10;2;12]", 3, 3},
    {"12n_401", "[16;10;-14;-20;24;4;-22;2;-8;-6;-18;-12]", 3, 3},
    {"12n_441", "[10;16;24;12;2;-18;4;22;8;-26;14;20;6]", 3, 3},
    {"12n_481", "[20;-16;-22;-12;-18;-8;-4;-24;-10;2;-6;-14]", 3, 3},
    {"12n_521", "[14;8;24;22;-18;4;6;-20;-10;-16;2;12]", 4, 4},
    {"12n_561", "[14;12;-18;-16;22;20;24;-8;-6;-4;10;2]", 2, 2},
    {"12n_601", "[14;12;-20;-16;24;22;2;-18;-8;-4;-6;10]", 3, 3},
    {"12n_641", "[16;22;14;-20;-18;2;4;24;-8;-10;-6;12]", 4, 4},
    {"12n_681", "[8;22;-18;24;-14;-16;-20;-10;-6;-12;2;4]", 4, 4},
    {"12n_721", "[6;20;22;-12;-16;-18;-24;-8;-10;2;4;-14]", 4, 4},
    {"12n_761", "[6;-16;22;-20;-14;-24;-18;-4;-8;-12;2;-10]", 4, 4},
    {"12n_801", "[8;14;-20;26;-16;22;4;24;28;-6;12;10;2;18]", 2, 2},
    {"12n_841", "[8;-16;-20;-24;-18;10;-2;-22;-12;28;-26;-14;-6;-4]", 3, 3},
    {"12n_881", "[20;10;-24;-14;4;18;-8;-22;12;2;-16;-6]", 2, 2},
  };
  TKnotTable table;
  FillKnotTable(table);
  int32_t named = 0, asked = 0;
  for (size_t i = 0; i < std::size(codes); i += SmallSample() ? 5 : 1) {
    const TCode& c = codes[i];
    SCOPED_TRACE(c.name);
    TSeiffert model;
    TSettings s = StartSettings();
    s.layout = kLayoutDiagram;
    LayoutDiagram(model, s, PDFromDT(c.dt));
    BuildMesh(model, s, true, false);
    EXPECT_EQ((model.nTubes - model.nDisks + 1) / 2, c.canonicalGenus);
    if (c.genus >= 0) {
      EXPECT_EQ(c.canonicalGenus, c.genus);
    }
    ASSERT_EQ(model.nLinks, 1);
    const TBoundaryReport report = IdentifySurfaceBoundary(model, table);
    named += report.ok && report.id.jonesPoly == DTCodeJones(c.dt);
    ++asked;
  }
  EXPECT_EQ(named, asked);
}
