// The grid edge build and the one-sweep normals against the general roads they stand in for,
// and the joint sine and cosine against the library's.

#include "mesh/closedEdges.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "app/model/appState.h"
#include "app/model/pipeline.h"
#include "core/rangeError.h"
#include "core/sineCosine.h"
#include "helpers.h"
#include "knots/knotTable.h"
#include "mesh/subdivision.h"

namespace {

// Everything an edge build writes, entry by entry.
void ExpectSameEdges(const TMesh& got, const TMesh& want, const std::string& what) {
  SCOPED_TRACE(what);
  ASSERT_EQ(got.nEdges, want.nEdges);
  EXPECT_EQ(got.edgesPaired, want.edgesPaired);
  for (int32_t i = 0; i < want.nEdges; ++i) {
    const TEdge &g = got.edges[i], &w = want.edges[i];
    ASSERT_TRUE(g.a == w.a && g.b == w.b && g.f1 == w.f1 && g.f2 == w.f2) << "edge " << i;
  }
  for (int32_t h = 0; h < 4 * want.nFaces; ++h)
    ASSERT_EQ(got.faceEdges.at(h), want.faceEdges.at(h)) << "face " << h / 4 << " side " << h % 4;
  if (want.edgesPaired) EXPECT_EQ(got.twins, want.twins);
  for (int32_t v = 0; v < want.nVerts; ++v) {
    const TVertex &g = got.verts[v], &w = want.verts[v];
    ASSERT_EQ(g.nEdges, w.nEdges) << "vertex " << v;
    const auto gf = VEdges(got, v), wf = VEdges(want, v);
    ASSERT_TRUE(std::equal(gf.begin(), gf.end(), wf.begin())) << "fan of vertex " << v;
  }
}

// closed: whether the grid road must take the mesh rather than leave it to the general one.
void ExpectGridEdgesAsGeneral(TMesh mesh, bool closed, const std::string& what) {
  TMesh general = mesh, grid = mesh;
  BuildEdges(general);
  EXPECT_EQ(BuildClosedMeshEdges(grid), closed) << what;
  BuildGridEdges(mesh);
  ExpectSameEdges(mesh, general, what);
}

TEST(GridEdges, SameAsTheGeneralBuildOnEveryLayOutAndLevel) {
  TKnotTable table;
  FillKnotTable(table);
  struct TVariant {
    uint8_t layout;
    bool tJoints, altPole, reduced;
  };
  const TVariant variants[] = {{kLayoutStacked, false, false, false},
                               {kLayoutStacked, false, true, true},
                               {kLayoutFlat, false, false, false},
                               {kLayoutReducedFlat, false, false, false},
                               {kLayoutReducedFlat, true, false, false},
                               {kLayoutSplit, false, true, false},
                               {kLayoutFlatDt, false, false, true}};
  for (const TVariant& v : variants)
    for (int32_t row = 1; row <= table.count; row += 29) {
      TAppState app;
      app.KnotTable = table;
      app.selectedKnotRow = row;
      TSettings s = StartSettings();
      s.layout = v.layout;
      s.tJoints = v.tJoints;
      s.altPoleMesh = v.altPole;
      s.reducedMesh = v.reduced;
      RunPipeline(table.Row(row).braid, app.Seifert, s, app);
      const std::string what = table.Row(row).braid + " layout " + std::to_string(v.layout);
      TMesh& mesh = app.Seifert.mesh;
      ExpectGridEdgesAsGeneral(mesh, true, what);
      // One level finer: every old vertex's fan doubles its neighbours, the poles' fans grow.
      if (row % 2 == 1) {
        PrepareRefine(mesh);
        BuildEdges(mesh);
        ASSERT_TRUE(SubdivisionPass(mesh, true, true));
        ExpectGridEdgesAsGeneral(mesh, true, what + " refined");
      }
    }
}

// Meshes the grid road must leave to the general one, whose outcome there is the rule.
TEST(GridEdges, MeshesThatAreNotClosedAndAlikeOrientedTakeTheGeneralRoad) {
  std::vector<std::pair<std::string, TMesh>> cases;
  TMesh open = MakeCube();
  open.nFaces = 5;
  cases.emplace_back("open border", open);
  TMesh flipped = MakeCube();
  std::swap(flipped.faces[2].v[1], flipped.faces[2].v[3]);
  cases.emplace_back("one face turned", flipped);
  TMesh repeated = MakeCube();
  repeated.faces[1].v[2] = repeated.faces[1].v[0];
  cases.emplace_back("a corner twice in a face", repeated);
  TMesh outside = MakeCube();
  outside.faces[3].v[1] = 8;
  cases.emplace_back("a corner outside the vertices", outside);
  // Two cubes with one corner in common: closed and alike oriented, but that corner has two
  // fans.
  TMesh bowtie = MakeCube(2);
  for (int i = 1; i < 8; ++i) {
    const Vec3 p = bowtie.verts[i].pos;
    AddVertex(bowtie, Vec3(-p.x, -p.y, -p.z), true);
  }
  const auto other = [](int32_t c) { return c == 0 ? 0 : c + 7; };
  for (int32_t f = 0; f < 6; ++f) {
    const int32_t* c = bowtie.faces[f].v;
    AddFace(bowtie, other(c[0]), other(c[1]), other(c[2]), other(c[3]), 0);
  }
  cases.emplace_back("two fans at one vertex", bowtie);
  // The same cube twice over: every edge has four faces.
  TMesh doubled = MakeCube(2);
  for (int32_t f = 0; f < 6; ++f) {
    const int32_t* c = doubled.faces[f].v;
    AddFace(doubled, c[0], c[1], c[2], c[3], 1);
  }
  cases.emplace_back("edges of four faces", doubled);
  for (auto& [what, mesh] : cases) ExpectGridEdgesAsGeneral(mesh, false, what);
  // The plain cube, the smallest closed mesh, and the empty one take the grid road.
  ExpectGridEdgesAsGeneral(MakeCube(), true, "cube");
  ExpectGridEdgesAsGeneral(TMesh{}, true, "no faces");
}

TEST(GridEdges, OneSweepNormalsAreThoseOfTheTwoPasses) {
  for (const char* word : {"AAA", "AbAb", "AABaBBCbbDcBDC"})
    for (bool crease : {false, true}) {
      TAppState app;
      TSettings s = StartSettings();
      s.catmullClark = 1;
      s.knotWidth = 1;
      RunPipeline(word, app.Seifert, s, app);
      TMesh one = app.Seifert.mesh, two = app.Seifert.mesh;
      // Fold one face back onto its neighbour so that the crease correction has work.
      std::swap(one.verts[one.faces[0].v[0]].pos, one.verts[one.faces[0].v[2]].pos);
      two.verts = one.verts;
      ComputeNormals(one, crease);
      ComputeFaceNormals(two);
      ComputeVertexNormals(two, crease);
      // Within the rounding of the stored floats.
      for (int32_t i = 0; i < two.nFaces; ++i)
        ASSERT_LT((one.faces[i].normal - two.faces[i].normal).Length(), 3e-7) << "face " << i;
      for (int32_t i = 0; i < two.nVerts; ++i)
        ASSERT_LT((one.verts[i].normal - two.verts[i].normal).Length(), 3e-7)
            << word << " vertex " << i;
    }
  TMesh bad = MakeCube();
  bad.faces[4].v[3] = 8;
  EXPECT_THROW(ComputeNormals(bad), RangeError);
}

TEST(SineCosine, WithinTwoUnitsInTheLastPlaceOfTheLibrary) {
  std::vector<double> xs = {0.0, -0.0, 1e-300, -1e-20, 0.5, 1.0, 2.0, 99999.9, -99999.9,
                            1e5, 1e6, 1e300, -1e300};
  for (int k = -400; k <= 400; ++k) {
    xs.push_back(k * (M_PI / 4));            // the quadrant borders and their midpoints
    xs.push_back(std::nextafter(k * (M_PI / 2), 1e9));
    xs.push_back(k * 0.0137 + 0.003);
    xs.push_back(2 * M_PI * k / 397.0);      // grid longitudes
  }
  for (double x : xs) {
    double s, c;
    SinCos(x, s, c);
    // Two units in the last place of a value of magnitude up to 1, and of the argument's
    // rounding near a zero of the function.
    const double tolerance = 4.5e-16 + 1.2e-16 * std::fabs(x) * 1e-5;
    EXPECT_NEAR(s, std::sin(x), tolerance) << x;
    EXPECT_NEAR(c, std::cos(x), tolerance) << x;
    if (std::fabs(x) < 1e-8) {
      EXPECT_EQ(s, x) << "sine of a tiny angle";
    }
  }
  for (double x : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                   -std::numeric_limits<double>::infinity()}) {
    double s, c;
    SinCos(x, s, c);
    EXPECT_TRUE(std::isnan(s) && std::isnan(c)) << x;
  }
}

}  // namespace
