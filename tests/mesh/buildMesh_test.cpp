#include "mesh/buildMesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/rangeError.h"
#include "helpers.h"
#include "knots/knotTable.h"
#include "mesh/subdivision.h"

namespace {

TSeiffert Built(const std::string& word, const TSettings& s) {
  TSeiffert m = StackedModel(word, s);
  BuildMesh(m, s, true, false);
  return m;
}

// Every face corner names a vertex in use, and every normal of a used vertex is unit length.
void ExpectSoundMesh(const TMesh& mesh) {
  std::vector<bool> used(mesh.nVerts, false);
  for (int i = 0; i < mesh.nFaces; ++i)
    for (int32_t v : mesh.faces[i].v) {
      ASSERT_GE(v, 0);
      ASSERT_LT(v, mesh.nVerts);
      used[v] = true;
    }
  for (int i = 0; i < mesh.nVerts; ++i)
    if (used[i]) {
      ASSERT_NEAR(mesh.verts[i].normal.Length(), 1.0, 1e-4);
    }
}

}  // namespace

TEST(BuildMesh, GridSizesAtStartSettings) {
  TSettings s = StartSettings();
  ASSERT_EQ(s.resolution, 4);
  TSeiffert m = StackedModel("AbAb", s);
  SetGridSizes(m, s);
  EXPECT_EQ(m.disks[1].nSlots, 32);
  EXPECT_EQ(m.disks[1].nRings, 13);
  for (int t = 1; t <= m.nTubes; ++t) {
    EXPECT_EQ(m.tubes[t].nAcross, 8);
    EXPECT_EQ(m.tubes[t].nAlong, 32);
  }
  EXPECT_EQ(m.End(m.tubes[2].endA).slot, 8);
  EXPECT_DOUBLE_EQ(m.End(m.tubes[2].endA).row, 6.0);

  // The window's own "Resolution" of 1 (resolution 2): eight around, sixteen along.
  s.resolution = 2;
  m = StackedModel("AbAb", s);
  SetGridSizes(m, s);
  EXPECT_EQ(m.disks[1].nSlots, 16);
  EXPECT_EQ(m.disks[1].nRings, 7);
  for (int t = 1; t <= m.nTubes; ++t) {
    EXPECT_EQ(m.tubes[t].nAcross, 8);
    EXPECT_EQ(m.tubes[t].nAlong, 16);
  }
}

// A band between disks further apart than stacked neighbours gets rows in proportion to the
// distance (a long band of the split lay-out is otherwise a few straight pieces), up to eight
// times as many, with and without T-joints and with ends at the same or different slots.
TEST(BuildMesh, LongBandsGetRowsInProportionToTheirLength) {
  TSettings s = StartSettings();
  const double pitch = s.diskHeight + s.diskDistance;
  for (bool tJoints : {false, true})
    for (int32_t otherSlot : {0, 1}) {
      SCOPED_TRACE(testing::Message() << "T-joints " << tJoints << ", slot " << otherSlot);
      s.tJoints = tJoints;
      int32_t neighbours = 0;
      for (double apart : {1.0, 1.5, 2.5, 4.0, 20.0}) {
        TSeiffert m = StackedModel("A", s);
        m.disks[2].ends[0].slot = otherSlot;
        m.disks[2].centre = m.disks[1].centre + Vec3(0.6, 0, 0.8) * (apart * pitch);
        SetGridSizes(m, s);
        if (apart == 1.0) neighbours = m.tubes[1].nAlong;
        EXPECT_EQ(m.tubes[1].nAlong, int32_t(std::ceil(neighbours * std::min(apart, 8.0) - 0.01)))
            << apart << " pitches apart";
      }
    }
}

TEST(BuildMesh, GridSizesFollowResolutionShiftAndTwist) {
  TSettings s = StartSettings();
  s.bandShift = 1.0;
  s.resolution = 4;  // "Resolution" 2
  TSeiffert m = StackedModel("A5", s);
  SetGridSizes(m, s);
  EXPECT_EQ(m.tubes[1].nAcross, 8);
  EXPECT_EQ(m.tubes[1].nAlong, 32);
  EXPECT_DOUBLE_EQ(m.End(m.tubes[1].endA).row, 6 - 2.0);  // lower end shifted up the grid
  EXPECT_DOUBLE_EQ(m.End(m.tubes[1].endB).row, 6 + 2.0);

  s.resolution = 8;  // "Resolution" 4
  m = StackedModel("A", s);
  SetGridSizes(m, s);
  EXPECT_EQ(m.tubes[1].nAcross, 16);

  // Ends at different slots: a third of the rows, but at least four per half twist.
  s.resolution = 2;
  m = StackedModel("A", s);
  m.disks[2].ends[0].slot = 1;
  m.tubes[1].twist = 1;
  SetGridSizes(m, s);
  EXPECT_EQ(m.tubes[1].nAlong, 5);
  m = StackedModel("A3", s);
  m.disks[2].ends[0].slot = 1;
  SetGridSizes(m, s);
  EXPECT_EQ(m.tubes[1].nAlong, 12);

  // "Tube extra" -4 on an untwisted band would leave no rows; the band keeps its two rings.
  s.tubeExtra = -4;
  m = StackedModel("A", s);
  m.tubes[1].twist = 0;
  SetGridSizes(m, s);
  EXPECT_EQ(m.tubes[1].nAlong, 2);
}

TEST(BuildMesh, DiskWithoutBandsIsAClosedEllipsoid) {
  for (bool altPole : {false, true}) {
    TSettings s = StartSettings();
    s.resolution = 4;
    s.altPoleMesh = altPole;
    TSeiffert m = Built("", s);
    const TDisk& d = m.disks[1];
    const int N = d.nSlots, rings = d.nRings;
    EXPECT_EQ(N, 16);
    EXPECT_EQ(m.mesh.nFaces, (rings - 3) * N + 2 * (N / 2)) << altPole;
    const TTopology t = Topology(m.mesh);
    EXPECT_EQ(t.openEdges, 0);
    EXPECT_EQ(t.Euler(), 2);
    // Every vertex lies on the ellipsoid; the poles at the centre +- height/2.
    for (int i = 0; i < m.mesh.nVerts; ++i) {
      const Vec3 p = m.mesh.verts[i].pos;
      const double r = std::hypot(p.x, p.y) / (d.diameter / 2), z = p.z / (d.height / 2);
      EXPECT_NEAR(r * r + z * z, 1.0, 1e-4);
    }
    EXPECT_NEAR(m.mesh.verts[d.grid[0][0]].pos.z, d.height / 2, 1e-6);
    EXPECT_NEAR(m.mesh.verts[d.grid[rings - 1][5]].pos.z, -d.height / 2, 1e-6);
    // The pole is one vertex; its normal is the mean of its cap's face normals: straight up.
    EXPECT_EQ(d.grid[0][0], d.grid[0][N - 1]);
    EXPECT_NEAR(std::abs(m.mesh.verts[d.grid[0][0]].normal.z), 1.0, 1e-5);
  }
}

TEST(BuildMesh, BandHolesStayOpenAndTheirVerticesUnused) {
  const TSettings s = StartSettings();
  TSeiffert m = Built("A", s);
  const TDisk& d = m.disks[1];
  const TDiskTube& e = d.ends[0];
  // a = 1: the hole is the single grid point at the end's slot on the rim row.
  EXPECT_EQ(d.grid[d.nRings / 2][e.slot], kNone);
  int withoutFaces = 0;
  std::vector<bool> used(m.mesh.nVerts, false);
  for (int i = 0; i < m.mesh.nFaces; ++i)
    for (int32_t v : m.mesh.faces[i].v) used[v] = true;
  for (int i = 0; i < m.mesh.nVerts; ++i) withoutFaces += used[i] ? 0 : 1;
  EXPECT_EQ(withoutFaces, 2);  // one hole vertex on each disk
  for (int i = 0; i < m.mesh.nVerts; ++i)
    if (!used[i]) {
      EXPECT_EQ(m.mesh.verts[i].normal, Vec3());
    }
  // The anchor is the hole's centre vertex, on the disk's rim.
  EXPECT_NEAR(std::hypot(e.anchor.x, e.anchor.y), d.diameter / 2, 0.05);
}

TEST(BuildMesh, BandRowsAndFaceKinds) {
  const TSettings s = StartSettings();
  for (const char* word : {"A", "A2"}) {
    TSeiffert m = Built(word, s);
    const TTube& t = m.tubes[1];
    const int c = t.nAcross, L = t.nAlong - 1;
    // End rows are disk vertices: created before the band's own vertices.
    const int32_t firstBandVertex = t.grid[1][0];
    for (int j = 0; j < c; ++j) {
      EXPECT_LT(t.grid[0][j], firstBandVertex);
      EXPECT_LT(t.grid[L][j], firstBandVertex);
    }
    // Every band adds L x c faces, half of each side.
    int kinds[3] = {0, 0, 0};
    const int diskFaces = m.mesh.nFaces - L * c;
    for (int i = diskFaces; i < m.mesh.nFaces; ++i) ++kinds[m.mesh.faces[i].kind];
    EXPECT_EQ(kinds[0], L * c / 2) << word;
    EXPECT_EQ(kinds[1], L * c / 2) << word;
  }
}

TEST(BuildMesh, StraightCentreLineWithoutCurve) {
  TSettings s = StartSettings();
  s.tubeCurve = 0;
  TSeiffert m = Built("A", s);
  const TTube& t = m.tubes[1];
  // With the control points on the ring centres, the mean of every row lies on one line.
  auto rowMean = [&](int i) {
    Vec3 sum;
    for (int32_t v : t.grid[i]) sum += m.mesh.verts[v].pos;
    return sum / double(t.nAcross);
  };
  const Vec3 a = rowMean(0), b = rowMean(t.nAlong - 1);
  const Vec3 dir = (b - a).Normalised();
  for (int i = 1; i < t.nAlong - 1; ++i) {
    const Vec3 off = rowMean(i) - a;
    EXPECT_LT((off - dir * off.Dot(dir)).Length(), 1e-3) << i;
  }
}

TEST(BuildMesh, EveryWordGivesAClosedSurfaceWithTheKnotAsSeam) {
  std::vector<std::string> words = {"AAA",    "AbAb",    "AA",      "AAAAA",   "AAAbAb", "AABacBc",
                                    "",       "Aa",      "AbAbb",   "AAAA",    "AbAbAb", "AAAAAAA",
                                    "AAbAbb", "AAABaB",  "AAAAAA",  "A2A2A2",  "AA3A5",  "Aa3A5",
                                    "AC",     "a",       "AABaBBCbbDcBDC"};
  std::mt19937 rng(7);
  const int randomWords = SmallSample() ? 10 : 30;
  for (int i = 0; i < randomWords; ++i) {
    std::string w;
    const int len = 1 + static_cast<int>(rng() % 20);
    for (int k = 0; k < len; ++k) {
      const char letter = static_cast<char>('A' + rng() % 5);
      w += (rng() % 2) ? letter : static_cast<char>(letter - 'A' + 'a');
    }
    words.push_back(w);
  }
  for (int cc = 0; cc <= 2; ++cc) {
    for (int pre = 0; pre <= 4; ++pre) {
      if (SmallSample() && pre % 2 == 1) continue;
      for (const std::string& w : words) {
        if (cc == 2 && w.size() > 12) continue;  // keeps the suite quick; sizes grow 4x a level
        TSettings s = StartSettings();
        s.catmullClark = cc;
        s.presmooth = pre;
        TSeiffert m = Built(w, s);
        const TTopology t = Topology(m.mesh);
        SCOPED_TRACE("word \"" + w + "\" cc " + std::to_string(cc) + " presmooth " + std::to_string(pre));
        ASSERT_EQ(t.openEdges, 0);
        ASSERT_EQ(t.overfullEdges, 0);
        ASSERT_EQ(t.Euler(), 2L * (m.nDisks - m.nTubes));
        ASSERT_EQ(EdgeCount(m.mesh), 2 * m.mesh.nFaces);
        EnsureEdges(m.mesh);
        ASSERT_EQ(m.mesh.nEdges, 2 * m.mesh.nFaces);
        bool allOdd = true;
        for (int k = 1; k <= m.nCross; ++k) allOdd = allOdd && m.power[k] % 2 != 0;
        if (allOdd) {
          ASSERT_EQ(m.nLinks, ClosureComponents(m));
        }
        for (int l = 0; l < m.nLinks; ++l)
          for (int32_t v : m.links[l].verts) ASSERT_TRUE(v >= 0 && v < m.mesh.nVerts);
        ExpectSoundMesh(m.mesh);
      }
    }
  }
}

TEST(BuildMesh, KnotBandDoublesTheLinkLines) {
  TSettings s = StartSettings();
  s.knotWidth = 1;
  for (const char* w : {"AAA", "AbAb", "AA", "AbAbAb"}) {
    TSeiffert m = Built(w, s);
    EXPECT_EQ(m.nLinks, 2 * ClosureComponents(m)) << w;
    int kind2 = 0;
    for (int i = 0; i < m.mesh.nFaces; ++i) kind2 += m.mesh.faces[i].kind == 2;
    EXPECT_GT(kind2, 0);
    EXPECT_EQ(Topology(m.mesh).openEdges, 0);
  }
  s.knotWidth = 0;
  TSeiffert m = Built("AAA", s);
  for (int i = 0; i < m.mesh.nFaces; ++i) EXPECT_LT(m.mesh.faces[i].kind, 2);
}

TEST(BuildMesh, LinkLinesAreClosedSeamWalks) {
  TSeiffert m = Built("AAA", StartSettings());
  ClassifyVertices(m.mesh);
  ASSERT_EQ(m.nLinks, 1);
  const TLinkLine& line = m.links[0];
  for (int i = 0; i < line.nVerts; ++i) {
    const int32_t a = line.verts[i], b = line.verts[(i + 1) % line.nVerts];
    EXPECT_EQ(m.mesh.verts[a].tag, -1);
    // Consecutive vertices (the last back to the first) share an edge.
    bool joined = false;
    for (int32_t ei : VEdges(m.mesh, a)) {
      const TEdge& e = m.mesh.edges[ei];
      joined = joined || (e.a == b || e.b == b);
    }
    EXPECT_TRUE(joined) << i;
  }
}

TEST(BuildMesh, MinLinkSegmentThinsTheLinkLine) {
  TSettings s = StartSettings();
  const int all = Built("AAA", s).links[0].nVerts;
  s.minLinkSeg = 0.1;
  const TSeiffert m = Built("AAA", s);
  EXPECT_LT(m.links[0].nVerts, all);
  for (int i = 1; i < m.links[0].nVerts; ++i) {
    const Vec3 d = m.mesh.verts[m.links[0].verts[i]].pos - m.mesh.verts[m.links[0].verts[i - 1]].pos;
    EXPECT_GT(d.Length(), 0.1);
  }
}

TEST(BuildMesh, PresmoothingWithoutCatmullClarkChangesNothing) {
  // At "Catm. Clark" 0 the storage holds the grid vertices only: a presmoothing pass finds no
  // room for its face and edge points and leaves the mesh as it is.
  TSettings s = StartSettings();
  TSeiffert m = Built("AbAb", s);
  const std::vector<TVertex> before(m.mesh.verts.begin(), m.mesh.verts.begin() + m.mesh.nVerts);
  EXPECT_FALSE(SubdivisionPass(m.mesh, false, true));
  for (size_t i = 0; i < before.size(); ++i) ASSERT_EQ(m.mesh.verts[i].pos, before[i].pos);

  s.presmooth = 4;
  const TSeiffert pre = Built("AbAb", s);
  EXPECT_EQ(pre.mesh.nVerts, m.mesh.nVerts);
  EXPECT_EQ(pre.mesh.nFaces, m.mesh.nFaces);
  // Band-free parts of the disks are where they were without presmoothing.
  EXPECT_EQ(pre.mesh.verts[pre.disks[1].grid[0][0]].pos, m.mesh.verts[m.disks[1].grid[0][0]].pos);
}

TEST(BuildMesh, PresmoothingMovesVerticesWhenThereIsRoom) {
  TSettings s = StartSettings();
  s.catmullClark = 1;
  const TSeiffert plain = Built("AbAb", s);
  s.presmooth = 2;
  const TSeiffert pre = Built("AbAb", s);
  ASSERT_EQ(pre.mesh.nVerts, plain.mesh.nVerts);
  double moved = 0;
  for (int i = 0; i < pre.mesh.nVerts; ++i) moved += (pre.mesh.verts[i].pos - plain.mesh.verts[i].pos).Length();
  EXPECT_GT(moved, 0.01);
}

TEST(BuildMesh, HugeSubdivisionIsRefusedBeforeAllocating) {
  TSettings s = StartSettings();
  s.catmullClark = 10;
  TSeiffert m = StackedModel("AABaBBCbbDcBDC", s);
  try {
    BuildMesh(m, s, true, false);
    FAIL() << "expected a RangeError";
  } catch (const RangeError& e) {
    EXPECT_NE(std::string(e.what()).find("Catm. Clark"), std::string::npos);
  }
  EXPECT_TRUE(m.mesh.verts.empty());
}

TEST(BuildMesh, SmoothedRoadOnlyRefreshesNormals) {
  TSettings s = StartSettings();
  TSeiffert m = Built("AAA", s);
  const std::vector<TVertex> before(m.mesh.verts.begin(), m.mesh.verts.begin() + m.mesh.nVerts);
  m.mesh.verts[0].normal = Vec3(5, 5, 5);
  s.diskDiameter = 1.7;
  s.catmullClark = 2;
  BuildMesh(m, s, true, true);
  ASSERT_EQ(m.mesh.nVerts, static_cast<int32_t>(before.size()));
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(m.mesh.verts[i].pos, before[i].pos);
  EXPECT_EQ(m.mesh.verts[0].normal, before[0].normal);
}

TEST(BuildMesh, RefineRoadKeepsTheKnotInPlace) {
  TSettings s = StartSettings();
  TSeiffert m = Built("AAA", s);
  const int32_t faces = m.mesh.nFaces;
  const int32_t links = m.links[0].nVerts;
  std::vector<Vec3> knot;
  for (int32_t v : m.links[0].verts) knot.push_back(m.mesh.verts[v].pos);
  BuildMesh(m, s, false, true);
  EXPECT_EQ(m.mesh.nFaces, 4 * faces);
  EXPECT_EQ(Topology(m.mesh).openEdges, 0);
  ASSERT_EQ(m.nLinks, 1);
  EXPECT_EQ(m.links[0].nVerts, 2 * links);
  for (const Vec3& p : knot) {
    bool found = false;
    for (int32_t v : m.links[0].verts) found = found || m.mesh.verts[v].pos == p;
    EXPECT_TRUE(found);
  }
}

TEST(BuildMesh, SmoothingMeshesStayClosed) {
  // The reduced mesh and the alternative pole caps are used for dynamic smoothing; disks with a
  // single band end ("A", the outer disks of "AC") have only four columns there.
  for (const char* w : {"A", "AC", "AAA", "AbAb", "AABaBBCbbDcBDC", "AAB", ""}) {
    for (bool alt : {false, true}) {
      for (bool reduced : {false, true}) {
        TSettings s = StartSettings();
        s.resolution = 2;  // smoothing prepares its mesh at "Resolution" 1
        s.altPoleMesh = alt;
        s.reducedMesh = reduced;
        TSeiffert m = Built(w, s);
        const TTopology t = Topology(m.mesh);
        SCOPED_TRACE(std::string(w) + (alt ? " alt" : "") + (reduced ? " reduced" : ""));
        EXPECT_EQ(t.openEdges, 0);
        EXPECT_EQ(t.overfullEdges, 0);
        EXPECT_EQ(t.Euler(), 2L * (m.nDisks - m.nTubes));
        EXPECT_EQ(m.nLinks, ClosureComponents(m));
      }
    }
  }
}

TEST(BuildMesh, ReducedMeshDropsColumnsBetweenEnds) {
  TSettings s = StartSettings();
  s.resolution = 2;
  s.reducedMesh = true;
  TSeiffert m = Built("AbAb", s);
  // Disk 1 holds two band ends: 2 x ends x resolution columns, each end in the middle of its range.
  EXPECT_EQ(m.disks[1].nSlots, 8);
  EXPECT_EQ(m.disks[1].ends[0].slot, 6);
  EXPECT_EQ(m.disks[1].ends[1].slot, 2);
  EXPECT_EQ(m.disks[2].nSlots, 16);  // four ends
}

// Dropping columns keeps every band's hole where the full grid cuts it: the band's end rings
// are the same points, so the band meets its disks as it does on the full grid.
TEST(BuildMesh, ReducedMeshCutsTheHolesOfTheFullGrid) {
  for (const char* word : {"AbAb", "aDdcbADbCDbdD", "AABaBBCbbDcBDC", "dCABdBBBDaB"}) {
    for (int32_t resolution : {2, 4, 8}) {
      SCOPED_TRACE(std::string(word) + " resolution " + std::to_string(resolution));
      TSettings s = StartSettings();
      s.resolution = resolution;
      const TSeiffert full = Built(word, s);
      s.reducedMesh = true;
      const TSeiffert reduced = Built(word, s);
      ASSERT_EQ(full.nTubes, reduced.nTubes);
      for (int32_t t = 1; t <= full.nTubes; ++t) {
        const TTube &a = full.tubes[t], &b = reduced.tubes[t];
        ASSERT_EQ(a.nAcross, b.nAcross);
        for (int32_t row : {0, a.nAlong - 1})
          for (int32_t i = 0; i < a.nAcross; ++i) {
            const Vec3 p = full.mesh.verts[a.grid[row][i]].pos;
            const Vec3 q = reduced.mesh.verts[b.grid[row ? b.nAlong - 1 : 0][i]].pos;
            ASSERT_LT((p - q).Length(), 1e-6) << "band " << t << " row " << row << " column " << i;
          }
      }
    }
  }
}

TEST(BuildMesh, EveryKnotTableRowGivesOneClosedKnot) {
  TKnotTable table;
  FillKnotTable(table);
  const TSettings s = StartSettings();
  for (int32_t row = 1; row <= table.count; ++row) {
    const TKnotEntry& knot = table.Row(row);
    SCOPED_TRACE(knot.name + " " + knot.braid);
    TSeiffert m = Built(knot.braid, s);
    const TTopology t = Topology(m.mesh);
    ASSERT_EQ(t.openEdges, 0);
    ASSERT_EQ(t.overfullEdges, 0);
    const long chiSurface = m.nDisks - m.nTubes;
    ASSERT_EQ(t.Euler(), 2 * chiSurface);
    ASSERT_EQ(m.nLinks, 1);
    // One boundary component: genus (1 - chi) / 2, never below the knot's genus.
    EXPECT_GE((1 - chiSurface) / 2, knot.genus);
  }
}

TEST(BuildMesh, TheKnotBandIsNeverWiderThanTheBandsCarry) {
  // However wide the knot is asked to be, both of its borders stay link lines: twice the
  // closure's components, as with width 1.
  for (int32_t resolution : {2, 4, 8, 12}) {
    for (int32_t levels : {0, 1}) {
      for (const char* word : {"AAA", "AbAb", "AA", ""}) {
        TSettings s = StartSettings();
        s.resolution = resolution;
        s.catmullClark = levels;
        s.knotWidth = 100;
        const TSeiffert m = Built(word, s);
        SCOPED_TRACE(std::string(word) + " resolution " + std::to_string(resolution) +
                     " levels " + std::to_string(levels));
        EXPECT_GE(m.knotWidth, 1);
        EXPECT_LT(m.knotWidth, 100);
        EXPECT_EQ(m.nLinks, 2 * ClosureComponents(m));
      }
    }
  }
}

TEST(BuildMesh, TheMeshMayTakeHalfOfTheMemory) {
  EXPECT_EQ(MeshCapacityLimit(0), kMaxMeshCapacity);  // unknown memory
  EXPECT_EQ(MeshCapacityLimit(int64_t{1} << 40), kMaxMeshCapacity);
  EXPECT_EQ(MeshCapacityLimit(int64_t{1} << 30), (int64_t{1} << 29) / kMeshBytesPerVertex);
  // 14 letters at "Catm. Clark" 2 need storage for 173,824 vertices: more than 32 MB allow.
  TSettings s = StartSettings();
  s.catmullClark = 2;
  TSeiffert m = StackedModel("AABaBBCbbDcBDC", s);
  SetGridSizes(m, s);
  EXPECT_EQ(MeshCapacity(m, s, int64_t{1} << 30), 173'824);
  try {
    MeshCapacity(m, s, int64_t{32} << 20);
    FAIL() << "expected a RangeError";
  } catch (const RangeError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("about 173824 vertices"), std::string::npos) << what;
    EXPECT_NE(what.find("32 MB"), std::string::npos) << what;
  }
}
