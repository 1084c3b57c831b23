// Counting a mesh from its faces: the checks info --json reports.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <random>
#include <utility>

#include "app/model/meshExport.h"
#include "mesh/meshSummary.h"
#include "helpers.h"

TEST(MeshSummary, ClosedCube) {
  const TMeshSummary s = SummariseMesh(MakeCube());
  EXPECT_EQ(s.usedVerts, 8);
  EXPECT_EQ(s.faceEdges, 12);
  EXPECT_EQ(s.openEdges, 0);
  EXPECT_EQ(s.nonManifoldEdges, 0);
  EXPECT_EQ(s.facesByKind[0], 6);
}

TEST(MeshSummary, OpenBoxUnusedVertexAndFoldedQuad) {
  TMesh m = MakeCube(2);
  m.nFaces = 5;  // the last face (3,0,4,7) gone: its four sides are open
  AddVertex(m, Vec3(5, 5, 5), true);
  TMeshSummary s = SummariseMesh(m);
  EXPECT_EQ(s.openEdges, 4);
  EXPECT_EQ(s.usedVerts, 8);

  // A quad folded into a triangle (two equal corners) has three sides, not four.
  TMesh t = MakeCube(2);
  t.nFaces = 0;
  AddFace(t, 0, 1, 2, 2, 1);
  s = SummariseMesh(t);
  EXPECT_EQ(s.faceEdges, 3);
  EXPECT_EQ(s.openEdges, 3);
  EXPECT_EQ(s.facesByKind[1], 1);
}

TEST(MeshSummary, CornersOutsideTheVertexTableAreCountedNotFollowed) {
  TMesh m = MakeCube();
  m.faces.resize(6);
  m.faces[0].v[2] = 1000;
  m.faces[1].v[0] = -7;
  m.nFaces = 1000;  // more than stored: only the stored faces are read
  const TMeshSummary s = SummariseMesh(m);
  EXPECT_EQ(s.badCorners, 2);
  EXPECT_EQ(s.facesByKind[0], 6);
  EXPECT_EQ(s.usedVerts, 8);

  // No vertices at all: every corner is still counted, every face still filed by kind.
  m.verts.clear();
  m.nVerts = 0;
  const TMeshSummary none = SummariseMesh(m);
  EXPECT_EQ(none.badCorners, 24);
  EXPECT_EQ(none.facesByKind[0], 6);
  EXPECT_EQ(none.usedVerts + none.faceEdges, 0);
}

TEST(MeshSummary, FrontColourPerKind) {
  TSettings s;
  for (uint32_t i = 0; i < 12; ++i) s.colors[i] = i;
  EXPECT_EQ(FaceColor(s, 0), 1u);
  EXPECT_EQ(FaceColor(s, 1), 3u);
  EXPECT_EQ(FaceColor(s, 2), 5u);
  EXPECT_EQ(FaceColor(s, 4), 8u);        // higher kinds: one colour, entry 2k
  EXPECT_EQ(FaceColor(s, 9), 0x808080u); // beyond the table
  EXPECT_EQ(FaceColor(s, -1), 0x808080u);
}

TEST(MeshSummary, CountsDoNotDependOnHowManyVerticesAreFiledAtATime) {
  // Random quads over a few vertices make open, shared and over-full sides, folded quads and
  // corners outside the table; the counts are those of a plain set of sides, for every range.
  std::mt19937 random(5);
  for (int trial = 0; trial < 20; ++trial) {
    TMesh m;
    m.nVerts = 3 + static_cast<int32_t>(random() % 30);
    m.verts.resize(static_cast<size_t>(m.nVerts));
    m.faces.resize(40);
    for (int32_t f = 0; f < 40; ++f) {
      TFace& face = m.faces[static_cast<size_t>(f)];
      for (int32_t& c : face.v) c = static_cast<int32_t>(random() % (m.nVerts + 2));
      face.kind = static_cast<int32_t>(random() % 3);
    }
    m.nFaces = 40;
    std::map<std::pair<int32_t, int32_t>, int> sides;
    for (int32_t f = 0; f < m.nFaces; ++f)
      for (int k = 0; k < 4; ++k) {
        const int32_t a = m.faces[f].v[k], b = m.faces[f].v[(k + 1) % 4];
        if (a != b && a < m.nVerts && b < m.nVerts) ++sides[std::minmax(a, b)];
      }
    std::set<int32_t> used, usedByKind[3];
    int64_t bad = 0;
    for (int32_t f = 0; f < m.nFaces; ++f)
      for (const int32_t c : m.faces[f].v)
        if (c < m.nVerts) {
          used.insert(c);
          usedByKind[m.faces[f].kind].insert(c);
        } else {
          ++bad;
        }
    int64_t open = 0, over = 0;
    for (const auto& [side, n] : sides) {
      open += n == 1;
      over += n > 2;
    }
    for (int64_t range : {int64_t{1}, int64_t{2}, int64_t{7}, kSummaryVertexRange}) {
      const TMeshSummary s = SummariseMesh(m, range);
      EXPECT_EQ(s.faceEdges, static_cast<int64_t>(sides.size())) << "range " << range;
      EXPECT_EQ(s.openEdges, open) << "range " << range;
      EXPECT_EQ(s.nonManifoldEdges, over) << "range " << range;
      EXPECT_EQ(s.usedVerts, static_cast<int64_t>(used.size())) << "range " << range;
      EXPECT_EQ(s.badCorners, bad) << "range " << range;
      for (int kind = 0; kind < 3; ++kind)
        EXPECT_EQ(s.vertsByKind[kind], static_cast<int64_t>(usedByKind[kind].size()));
    }
  }
}
