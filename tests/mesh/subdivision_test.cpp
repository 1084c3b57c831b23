#include "mesh/subdivision.h"

#include <gtest/gtest.h>

#include <utility>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "app/model/appState.h"
#include "app/model/pipeline.h"
#include "core/rangeError.h"
#include "helpers.h"
#include "mesh/buildMesh.h"

namespace {

void ExpectNear(const Vec3& p, double x, double y, double z) {
  EXPECT_NEAR(p.x, x, 1e-6);
  EXPECT_NEAR(p.y, y, 1e-6);
  EXPECT_NEAR(p.z, z, 1e-6);
}

bool ShareFace(const TEdge& p, const TEdge& q) {
  return p.f1 == q.f1 || p.f1 == q.f2 || (p.f2 != kNone && (p.f2 == q.f1 || p.f2 == q.f2));
}

// Closed-mesh edge invariants: 2F edges, each with two faces, faces' e[k] joining their
// corners, every vertex's list in fan order (consecutive edges, and last and first, share a face).
void ExpectClosedEdges(const TMesh& m) {
  ASSERT_EQ(m.nEdges, 2 * m.nFaces);
  for (int32_t i = 0; i < m.nEdges; ++i) {
    EXPECT_NE(m.edges[i].f1, kNone);
    EXPECT_NE(m.edges[i].f2, kNone);
    EXPECT_NE(m.edges[i].f1, m.edges[i].f2);
  }
  for (int32_t i = 0; i < m.nFaces; ++i)
    for (int k = 0; k < 4; ++k) {
      const TEdge& e = m.edges[m.faceEdges[4 * i + k]];
      const int32_t a = m.faces[i].v[k], b = m.faces[i].v[(k + 1) % 4];
      EXPECT_TRUE((e.a == a && e.b == b) || (e.a == b && e.b == a)) << "face " << i << " k " << k;
    }
  for (int32_t v = 0; v < m.nVerts; ++v) {
    const std::span<const int32_t> fan = VEdges(std::as_const(m), v);
    for (size_t j = 0; j < fan.size(); ++j) {
      const TEdge& e = m.edges[fan[j]];
      const TEdge& next = m.edges[fan[(j + 1) % fan.size()]];
      EXPECT_TRUE(e.a == v || e.b == v);
      EXPECT_TRUE(ShareFace(e, next)) << "vertex " << v << " position " << j;
    }
  }
}

// Outward for a mesh around the unit cube's centre.
void ExpectNormalsOutward(TMesh& m) {
  ComputeFaceNormals(m);
  const Vec3 centre(0.5, 0.5, 0.5);
  for (int32_t i = 0; i < m.nFaces; ++i) {
    Vec3 c;
    for (int32_t v : m.faces[i].v) c += m.verts[v].pos * 0.25;
    EXPECT_GT(m.faces[i].normal.Dot(c - centre), 0) << "face " << i;
  }
}

// A cube with the top face (4 5 6 7) of kind 1: the seam is the top square 4-5-6-7.
TMesh MakeSeamCube() {
  TMesh m = MakeCube(4);
  m.faces[1].kind = 1;
  BuildEdges(m);
  ClassifyVertices(m);
  return m;
}

// 3 x 3 vertices in the plane z = 0, four quads; vertex 4 is the centre.
TMesh MakeFlatGrid() {
  TMesh m;
  m.verts.resize(9);
  m.faces.resize(9);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) AddVertex(m, Vec3(x, y, 0), true);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) {
      const int v = 3 * y + x;
      AddFace(m, v, v + 1, v + 4, v + 3, 0);
    }
  return m;
}

}  // namespace

TEST(BuildEdges, CubeHasTwoFacesPerEdgeAndFans) {
  TMesh m = MakeCube();
  BuildEdges(m);
  EXPECT_EQ(m.edges.size(), 12u);
  ExpectClosedEdges(m);
  for (int32_t v = 0; v < 8; ++v) EXPECT_EQ(m.verts[v].nEdges, 3);
}

TEST(BuildEdges, RefinedCubeValenceFourFans) {
  TMesh m = MakeCube(4);
  ASSERT_TRUE(SubdivisionPass(m, true, true));
  BuildEdges(m);
  ExpectClosedEdges(m);  // edge points have four edges, so the fan order is not trivial
  EXPECT_EQ(m.verts[8 + 6].nEdges, 4);
}

TEST(BuildEdges, PolesWithHundredsOfEdgesAreFoundAndFanned) {
  // Disk poles collect a fan edge per slot: long words give them hundreds or thousands, and
  // the edges of such vertices are looked up and ordered through tables.
  for (const char* word : {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", "ABABABABABABABABABABABAB"}) {
    TSettings s = StartSettings();
    s.presmooth = 1;
    TSeiffert model = StackedModel(word, s);
    BuildMesh(model, s, true, false);
    TMesh& m = model.mesh;
    // The build makes its faces in fan order around the poles; shuffled faces make the
    // ordering work.
    std::mt19937 random(7);
    std::shuffle(m.faces.begin(), m.faces.begin() + m.nFaces, random);
    BuildEdges(m);
    int32_t largest = 0;
    for (int32_t v = 0; v < m.nVerts; ++v) largest = std::max(largest, m.verts[v].nEdges);
    SCOPED_TRACE(word);
    EXPECT_GT(largest, 50);
    ExpectClosedEdges(m);
  }
}

TEST(BuildEdges, OpenQuadStaysInRange) {
  // One quad: every corner has one use but two edges, so the edge table overflows.
  TMesh m;
  m.verts.resize(4);
  m.faces.resize(4);
  for (int i = 0; i < 4; ++i) AddVertex(m, Vec3(i % 2, i / 2, 0), true);
  AddFace(m, 0, 1, 3, 2, 0);
  BuildEdges(m);
  EXPECT_EQ(m.nEdges, 0);  // the face's edges could not be stored: the count starts over
  EXPECT_EQ(m.edges.size(), 2u);
  for (int v = 0; v < 4; ++v) EXPECT_LE(m.verts[v].nEdges, m.verts[v].fanRoom);
  const std::vector<TVertex> before = m.verts;
  EXPECT_FALSE(SubdivisionPass(m, false, true));  // inconsistent: abandoned, nothing moves
  EXPECT_EQ(m.nVerts, 4);
  for (int v = 0; v < 4; ++v) EXPECT_EQ(m.verts[v].pos, before[v].pos);
}

TEST(Subdivision, RefineCubeCountsPointsAndOrientation) {
  TMesh m = MakeCube(4);
  ASSERT_TRUE(SubdivisionPass(m, true, true));
  EXPECT_EQ(m.nVerts, 8 + 12 + 6);
  EXPECT_EQ(m.nFaces, 24);
  // Hand-computed Catmull-Clark: corner (0,0,0) has Q/n = (1/3)(1,1,1), R/n = (1/6)(1,1,1),
  // so it moves to (2/3)(1,1,1)/3 = 2/9; the bottom face point is (0.5,0.5,0); the edge 0-1
  // point is ((0,0,0) + (1,0,0) + (0.5,0.5,0) + (0.5,0,0.5)) / 4.
  ExpectNear(m.verts[0].pos, 2.0 / 9, 2.0 / 9, 2.0 / 9);
  ExpectNear(m.verts[8].pos, 0.5, 0.5, 0);
  bool found = false;
  for (int32_t v = 14; v < 26; ++v)
    if (std::abs(m.verts[v].pos.x - 0.5) < 1e-6 && std::abs(m.verts[v].pos.y - 0.125) < 1e-6 &&
        std::abs(m.verts[v].pos.z - 0.125) < 1e-6)
      found = true;
  EXPECT_TRUE(found);
  // Face 0 (bottom, 0 3 2 1) becomes (0, e0, f, e3) and its first child (e0, 3, e1, f).
  EXPECT_EQ(m.faces[0].v[0], 0);
  EXPECT_EQ(m.faces[0].v[2], 8);
  EXPECT_EQ(m.faces[6].v[1], 3);
  EXPECT_EQ(m.faces[6].v[3], 8);
  ExpectNormalsOutward(m);
  BuildEdges(m);
  ExpectClosedEdges(m);
}

TEST(Subdivision, PresmoothKeepsCountsAndMovesOnlyMovable) {
  TMesh m = MakeCube(4);
  m.verts[0].movable = false;
  ASSERT_TRUE(SubdivisionPass(m, false, true));
  EXPECT_EQ(m.nVerts, 8);
  EXPECT_EQ(m.nFaces, 6);
  ExpectNear(m.verts[0].pos, 0, 0, 0);
  ExpectNear(m.verts[6].pos, 7.0 / 9, 7.0 / 9, 7.0 / 9);  // mirror image of 2/9
}

TEST(Subdivision, NoRoomLeavesMeshUnchanged) {
  TMesh m = MakeCube();  // 8 slots, a pass needs 8 + 12 + 6
  const TMesh before = m;
  EXPECT_FALSE(SubdivisionPass(m, false, true));
  EXPECT_FALSE(SubdivisionPass(m, true, true));
  EXPECT_EQ(m.nVerts, 8);
  EXPECT_EQ(m.nFaces, 6);
  for (int v = 0; v < 8; ++v) EXPECT_EQ(m.verts[v].pos, before.verts[v].pos);
  for (int f = 0; f < 6; ++f)
    for (int k = 0; k < 4; ++k) EXPECT_EQ(m.faces[f].v[k], before.faces[f].v[k]);

  // Enough vertex slots but only 8 face slots: presmoothing fits, refining does not.
  TMesh n = MakeCube();
  n.verts.resize(26);
  EXPECT_FALSE(SubdivisionPass(n, true, true));
  EXPECT_EQ(n.nVerts, 8);
  EXPECT_EQ(n.nFaces, 6);
  ExpectNear(n.verts[0].pos, 0, 0, 0);
  EXPECT_TRUE(SubdivisionPass(n, false, true));
}

TEST(Subdivision, SeamVerticesStayAndSeamEdgesUseFourPointRule) {
  TMesh m = MakeSeamCube();
  for (int v = 0; v < 4; ++v) EXPECT_EQ(m.verts[v].tag, 0);
  for (int v = 4; v < 8; ++v) EXPECT_EQ(m.verts[v].tag, -1);
  const TMesh before = m;
  ASSERT_TRUE(SubdivisionPass(m, true, false));
  for (int v = 4; v < 8; ++v) EXPECT_EQ(m.verts[v].pos, before.verts[v].pos);
  ExpectNear(m.verts[0].pos, 2.0 / 9, 2.0 / 9, 2.0 / 9);  // uniform: Catmull-Clark
  // Edge 4-5 lies on the seam: w4 = 7, w5 = 6, so (9*(0,0,1) - (0,1,1) + 9*(1,0,1) - (1,1,1))/16.
  // Edge points follow the old vertices and the face points, in edge order.
  const auto edgePoint = [&](int32_t e) { return before.nVerts + before.nFaces + e; };
  const TEdge& e45 = m.edges[before.faceEdges[4]];  // the split cleared the face edges
  ASSERT_TRUE((e45.a == 4 && e45.b == 5) || (e45.a == 5 && e45.b == 4));
  ExpectNear(m.verts[edgePoint(before.faceEdges[4])].pos, 0.5, -0.125, 1);
  // Edge 0-4 has a uniform end: the Catmull-Clark edge point, not the midpoint.
  const TEdge& e04 = m.edges[before.faceEdges[11]];
  ASSERT_TRUE((e04.a == 0 && e04.b == 4) || (e04.a == 4 && e04.b == 0));
  ExpectNear(m.verts[edgePoint(before.faceEdges[11])].pos, 0.125, 0.125, 0.5);
}

TEST(Subdivision, SeamEndWithoutSecondNeighbourUsesMidpoint) {
  // Step 5 reads tag: with vertex 7 not tagged as a seam vertex, vertex 4 has no seam
  // neighbour besides 5, so edge 4-5 gets the plain midpoint.
  TMesh m = MakeSeamCube();
  m.verts[7].tag = 0;
  ASSERT_TRUE(SubdivisionPass(m, false, false));
  const int32_t e45 = m.faceEdges[4];
  ExpectNear(m.verts[m.nVerts + m.nFaces + e45].pos, 0.5, 0, 1);  // dropped slot, still written
  ExpectNear(m.verts[4].pos, 0, 0, 1);
}

TEST(Subdivision, PrepareRefineThenSeamKeepingPass) {
  TMesh m = MakeCube();  // no spare room at all
  m.faces[1].kind = 1;
  BuildEdges(m);
  PrepareRefine(m);
  EXPECT_EQ(m.verts.size(), 26u);
  EXPECT_EQ(m.faces.size(), 24u);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(m.faces[1].v[k], 4 + k);
  BuildEdges(m);
  ClassifyVertices(m);
  ASSERT_TRUE(SubdivisionPass(m, true, false));
  EXPECT_EQ(m.nVerts, 26);
  EXPECT_EQ(m.nFaces, 24);
  ExpectNear(m.verts[5].pos, 1, 0, 1);
  ExpectNormalsOutward(m);
  int kindOne = 0;
  for (int f = 0; f < 24; ++f) kindOne += m.faces[f].kind == 1;
  EXPECT_EQ(kindOne, 4);
}

TEST(Subdivision, PrepareRefineOverflowThrowsBeforeChanging) {
  TMesh m = MakeCube();
  m.nEdges = INT32_MAX - 10;
  EXPECT_THROW(PrepareRefine(m), RangeError);
  EXPECT_EQ(m.verts.size(), 8u);
  EXPECT_EQ(m.verts[3].tag, 0);
}

TEST(MinimalSurface, FlatGridStaysFlat) {
  TMesh m = MakeFlatGrid();
  MinimalSurfaceIterations(m, 5, true);
  for (int v = 0; v < 9; ++v) EXPECT_NEAR(m.verts[v].pos.z, 0, 1e-6);
}

TEST(MinimalSurface, RaisedCentreReturnsToPlane) {
  // With a b the centre at height h and n = +-z, w = -h(n.z)g, so mcNum/mcDen = -h(n.z):
  // one step along the normal puts the centre back in the plane. The border is held fixed.
  TMesh m = MakeFlatGrid();
  m.verts[4].pos.z = 0.5f;
  for (int v = 0; v < 9; ++v) m.verts[v].knotClass = v == 4 ? 0 : 2;
  MinimalSurfaceIterations(m, 1, false);
  ExpectNear(m.verts[4].pos, 1, 1, 0);
  for (int v = 0; v < 9; ++v)
    if (v != 4) {
      EXPECT_EQ(m.verts[v].pos.z, 0);
    }
}

TEST(MinimalSurface, FullMarksSeamVerticesAndKeepsThem) {
  TMesh m = MakeCube(1, 0);
  m.faces[1].kind = 1;
  MinimalSurfaceIterations(m, 3, true);
  for (int v = 0; v < 4; ++v) EXPECT_EQ(m.verts[v].knotClass, 0);
  for (int v = 4; v < 8; ++v) {
    EXPECT_EQ(m.verts[v].knotClass, 2);
    EXPECT_EQ(m.verts[v].pos, MakeCube().verts[v].pos);
  }
}

// The same edges, numbering, face edges and fans.
void ExpectSameEdges(const TMesh& m, const TMesh& built) {
  ASSERT_EQ(m.nEdges, built.nEdges);
  for (int32_t i = 0; i < m.nEdges; ++i) {
    const TEdge &x = m.edges[i], &y = built.edges[i];
    ASSERT_TRUE(x.a == y.a && x.b == y.b && x.f1 == y.f1 && x.f2 == y.f2) << "edge " << i;
  }
  for (int32_t i = 0; i < 4 * m.nFaces; ++i) ASSERT_EQ(m.faceEdges[i], built.faceEdges[i]);
  for (int32_t v = 0; v < m.nVerts; ++v) {
    const std::span<const int32_t> a = VEdges(m, v);
    const std::span<const int32_t> b = VEdges(built, v);
    ASSERT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << "vertex " << v;
  }
}

TEST(Subdivision, EdgesCarriedOrDeferredAreThoseTheEdgeBuildFinds) {
  // A refining pass hands the next level its edges, fans included, or defers them; either way
  // they must be what an edge build of the refined faces gives, numbering and fan order alike,
  // and the seam walk on deferred edges must be the walk on built ones, whatever the face
  // kinds (random kinds make seam vertices with many seam edges). Faces shuffled at level 0
  // give the numbering and the fans no help from the builders' order; a pairing spoilt after
  // the pass is never followed out of the mesh, and the edge build notices it.
  std::mt19937 random(11);
  int checked = 0;
  for (const char* word : {"AAA", "AbAb", "A2A2A2", "ABABABABABAB", "AABaBBCbbDcBDC"})
    for (const bool tJoints : {false, true})
      for (const bool shuffle : {false, true}) {
        TSettings s = StartSettings();
        s.resolution = 2;
        s.tJoints = tJoints;
        s.layout = tJoints ? kLayoutReducedFlat : kLayoutStacked;
        TAppState app;
        RunPipeline(word, app.Seifert, s, app);
        TMesh m = app.Seifert.mesh;
        if (shuffle) std::shuffle(m.faces.begin(), m.faces.begin() + m.nFaces, random);
        m.verts.resize(16 * m.verts.size());
        m.faces.resize(16 * m.faces.size());
        BuildEdges(m);
        for (int level = 1; level <= 2; ++level) {
          SCOPED_TRACE(std::string(word) + (tJoints ? " t-joints" : "") +
                       (shuffle ? " shuffled" : "") + " level " + std::to_string(level));
          TMesh deferred = m;
          ASSERT_TRUE(SubdivisionPassOnEdges(m, true, true));
          ASSERT_TRUE(SubdivisionPassOnEdges(deferred, true, true, TNextEdges::kDeferred));
          ASSERT_TRUE(deferred.edgesDeferred);
          EXPECT_EQ(EdgeCount(deferred), m.nEdges);
          TMesh built = m;
          BuildEdges(built);
          ASSERT_NO_FATAL_FAILURE(ExpectSameEdges(m, built));

          for (const bool randomKinds : {false, true}) {
            TMesh walked = deferred, reference = built;
            if (randomKinds)
              for (int32_t i = 0; i < walked.nFaces; ++i)
                walked.faces[i].kind = reference.faces[i].kind = static_cast<int32_t>(random() % 3);
            EXPECT_EQ(WalkSeams(walked), WalkSeams(reference)) << (randomKinds ? "random kinds" : "");
          }
          TMesh spoilt = deferred;
          std::swap(spoilt.twins[0], spoilt.twins[5]);
          TMesh walkedSpoilt = spoilt;
          for (const std::vector<int32_t>& walk : WalkSeams(walkedSpoilt))
            for (int32_t v : walk) ASSERT_TRUE(v >= 0 && v < spoilt.nVerts);
          EnsureEdges(spoilt);
          ASSERT_NO_FATAL_FAILURE(ExpectSameEdges(spoilt, built));

          EnsureEdges(deferred);
          EXPECT_FALSE(deferred.edgesDeferred);
          ASSERT_NO_FATAL_FAILURE(ExpectSameEdges(deferred, built));
          ++checked;
        }
      }
  EXPECT_EQ(checked, 40);
}
