#include <gtest/gtest.h>

#include <cmath>

#include "helpers.h"
#include "mesh/buildMesh.h"

namespace {

// The trefoil as two junctions where three regions meet, joined by three bands with one half
// twist each: left (slot 4 on both), right (slot 0 on both), middle (2 on top, 6 below).
TSeiffert TrefoilJunctions() {
  TSeiffert m;
  ResizeLayout(m, 2, 3);
  for (int d = 1; d <= 2; ++d) {
    TDisk& disk = m.disks[d];
    disk.normal = Vec3(0, 0, 1);
    disk.centre = Vec3(0, d == 1 ? -0.625 : 0.625, 0);
    disk.diameter = 1;
    disk.height = 0.2;
    disk.nSlots = 8;
    disk.nRings = 3;
  }
  const int32_t slots[3][2] = {{4, 4}, {0, 0}, {6, 2}};
  for (int t = 1; t <= 3; ++t) {
    m.tubes[t].endA = AddEnd(m, 1, t, slots[t - 1][0], 0);
    m.tubes[t].endB = AddEnd(m, 2, t, slots[t - 1][1], 0);
    m.tubes[t].twist = 1;
  }
  for (int d = 1; d <= 2; ++d) SortEnds(m, d);
  PropagateSides(m);
  return m;
}

}  // namespace

TEST(TJointDisk, JunctionPiecesJoinTheBandsIntoOneClosedKnot) {
  for (int32_t resolution : {2, 4, 6}) {
    SCOPED_TRACE(resolution);
    TSeiffert m = TrefoilJunctions();
    TSettings s;
    s.tJoints = true;
    s.resolution = resolution;
    BuildMesh(m, s, true, false);
    const TDisk& top = m.disks[2];
    ASSERT_EQ(top.nSlots, 4 * resolution + 1);
    ASSERT_EQ(top.nRings, 8 * resolution + 1);
    for (int e = 0; e < 3; ++e) EXPECT_EQ(top.ends[e].ring.size(), size_t(8 * resolution));
    if (resolution == 2) {
      // 9 x 17 entries with two shared: 151 vertices per piece and 8 x 16 faces.
      int32_t bandVerts = 0, bandFaces = 0;
      for (int t = 1; t <= 3; ++t) {
        bandVerts += (m.tubes[t].nAlong - 2) * m.tubes[t].nAcross;
        bandFaces += (m.tubes[t].nAlong - 1) * m.tubes[t].nAcross;
      }
      EXPECT_EQ(m.mesh.nVerts, 2 * 151 + bandVerts);
      EXPECT_EQ(m.mesh.nFaces, 2 * 128 + bandFaces);
      // The middle row lies in the disk's plane.
      for (int j = 0; j < top.nSlots; ++j)
        EXPECT_NEAR(m.mesh.verts[top.grid[j][8]].pos.z, 0, 1e-6);
      // Ends at slots 0, 2, 4: the main end (slot 0) takes the last column, from the middle row.
      EXPECT_EQ(top.ends[0].ring[8], top.grid[8][0]);
    }
    const TTopology t = Topology(m.mesh);
    EXPECT_EQ(t.openEdges, 0);
    EXPECT_EQ(t.overfullEdges, 0);
    EXPECT_EQ(t.Euler(), 2L * (m.nDisks - m.nTubes));
    EXPECT_EQ(m.nLinks, 1);
  }
}
