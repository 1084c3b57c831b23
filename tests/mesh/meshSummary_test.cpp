// Counting a mesh from its faces: the checks info --json reports.

#include <gtest/gtest.h>

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
