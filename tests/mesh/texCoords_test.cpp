// Texture coordinates grown from the link over the mesh.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <queue>
#include <vector>

#include "app/model/headlessWindow.h"
#include "app/model/pipeline.h"
#include "helpers.h"
#include "mesh/subdivision.h"
#include "mesh/texCoords.h"

namespace {

// The start window with "Use standard" on the surface, showing `word`: the recompute computes
// the coordinates.
void TexturedKnot(THeadlessWindow& w, const std::string& word) {
  w.window.StartUp();
  w.controls.SetChecked("cb_texturemapped", true);
  w.window.NewKnot(word);
}

// Edge hops from the nearest link vertex (-1: not connected to any).
std::vector<int> LinkDistance(const TSeiffert& m) {
  const TMesh& mesh = m.mesh;
  std::vector<std::vector<int32_t>> next(static_cast<size_t>(mesh.nVerts));
  for (int32_t e = 0; e < mesh.nEdges; ++e) {
    next[mesh.edges[e].a].push_back(mesh.edges[e].b);
    next[mesh.edges[e].b].push_back(mesh.edges[e].a);
  }
  std::vector<int> level(static_cast<size_t>(mesh.nVerts), -1);
  std::queue<int32_t> todo;
  for (int32_t l = 0; l < m.nLinks; ++l)
    for (int32_t k = 0; k < m.links[l].nVerts; ++k)
      if (level[m.links[l].verts[k]] < 0) {
        level[m.links[l].verts[k]] = 0;
        todo.push(m.links[l].verts[k]);
      }
  while (!todo.empty()) {
    const int32_t v = todo.front();
    todo.pop();
    for (int32_t o : next[v])
      if (level[o] < 0) {
        level[o] = level[v] + 1;
        todo.push(o);
      }
  }
  return level;
}

}  // namespace

TEST(TexCoords, GrowAwayFromTheLinkOnTheTrefoil) {
  THeadlessWindow w;
  TexturedKnot(w, "AAA");
  const TSeiffert& m = w.app.Seifert;
  const TMesh& mesh = m.mesh;
  ASSERT_GT(m.nLinks, 0);
  // Defaults: width 5, offset 3, stretch 10, rail texture 64 x 64.
  const double vBase = -1 - 3.0 / 5, uScale = 1 / 0.05;

  // Along each link: arc length from its first vertex, the band's near edge across.
  for (int32_t l = 0; l < m.nLinks; ++l) {
    const TLinkLine& line = m.links[l];
    double arc = 0;
    for (int32_t k = 0; k < line.nVerts; ++k) {
      const TVertex& v = mesh.verts[line.verts[k]];
      if (k > 0) arc += (v.pos - mesh.verts[line.verts[k - 1]].pos).Length();
      EXPECT_NEAR(v.texU, arc * uScale, 1e-6 * (1 + arc * uScale)) << "link " << l << " at " << k;
      EXPECT_DOUBLE_EQ(v.texV, vBase);
    }
  }

  // Ring by ring away from the link: every vertex reached lies farther out than the link, and
  // each ring's nearest and mean coordinate across the band grow.
  const std::vector<int> level = LinkDistance(m);
  std::map<int, std::pair<double, double>> minAndSum;
  std::map<int, int> count;
  for (int32_t v = 0; v < mesh.nVerts; ++v) {
    const TVertex& x = mesh.verts[v];
    ASSERT_TRUE(std::isfinite(x.texU) && std::isfinite(x.texV)) << v;
    if (level[v] < 0) continue;
    EXPECT_EQ(x.texState, 0) << v;
    if (level[v] == 0) continue;
    EXPECT_GT(x.texV, vBase) << v;
    auto [it, fresh] = minAndSum.try_emplace(level[v], x.texV, 0.0);
    it->second.first = std::min(it->second.first, x.texV);
    it->second.second += x.texV;
    ++count[level[v]];
  }
  ASSERT_GE(minAndSum.size(), 3u);
  double lastMin = vBase, lastMean = vBase;
  for (const auto& [ring, ms] : minAndSum) {
    const double mean = ms.second / count[ring];
    EXPECT_GE(ms.first, lastMin - 1e-9) << "ring " << ring;
    EXPECT_GT(mean, lastMean) << "ring " << ring;
    lastMin = ms.first;
    lastMean = mean;
  }
}

TEST(TexCoords, VerticesNoFrontReachesKeepZero) {
  // A cube with no link at all, and the trefoil with a vertex joined to nothing.
  TMesh cube = MakeCube(2);
  BuildEdges(cube);
  cube.verts[3].texU = cube.verts[3].texV = 7;  // stale values from an earlier pass
  ComputeTexCoords(cube, {}, 0, TTexCoordParams{});
  for (int32_t v = 0; v < cube.nVerts; ++v) {
    EXPECT_EQ(cube.verts[v].texU, 0);
    EXPECT_EQ(cube.verts[v].texV, 0);
    EXPECT_EQ(cube.verts[v].texState, 2);
  }

  THeadlessWindow w;
  TexturedKnot(w, "AAA");
  TSeiffert& m = w.app.Seifert;
  m.mesh.verts.resize(static_cast<size_t>(m.mesh.nVerts) + 1);
  const int32_t lone = AddVertex(m.mesh, Vec3(5, 5, 5), false);
  m.mesh.verts[lone].texU = m.mesh.verts[lone].texV = 3;
  ComputeSurfaceTexCoords(m, w.app.Settings, w.app.SurfaceTexture);
  EXPECT_EQ(m.mesh.verts[lone].texU, 0);
  EXPECT_EQ(m.mesh.verts[lone].texV, 0);
  EXPECT_EQ(m.mesh.verts[lone].texState, 2);
}

TEST(TexCoords, EveryBandSettingGivesFiniteCoordinatesAndCracksHideOnlyWhenAsked) {
  THeadlessWindow w;
  TexturedKnot(w, "AAA");
  TSeiffert& m = w.app.Seifert;
  for (int32_t width : {0, 1, 5, 100})
    for (int32_t stretch : {0, 1, 10, 1000})
      for (int32_t offset : {-100, 0, 3, 100})
        for (bool hide : {false, true})
          for (auto [tw, th] : {std::pair{64, 64}, {512, 1}, {0, 0}}) {
            ComputeTexCoords(m.mesh, m.links, m.nLinks,
                             TTexCoordParams{width, offset, stretch, hide, tw, th});
            int hidden = 0;
            for (int32_t v = 0; v < m.mesh.nVerts; ++v) {
              const TVertex& x = m.mesh.verts[v];
              ASSERT_TRUE(std::isfinite(x.texU) && std::isfinite(x.texV))
                  << "width " << width << " stretch " << stretch << " texture " << tw << " x "
                  << th << " vertex " << v;
              hidden += x.texV == kOutsideBand;
            }
            // Width 0: no band anywhere. Otherwise the seam where a link's coordinate starts
            // again is hidden exactly when asked (a long link wraps by more than 10).
            if (width == 0) {
              EXPECT_EQ(hidden, m.mesh.nVerts);
            } else if (!hide) {
              EXPECT_EQ(hidden, 0);
            } else if (stretch <= 10 && tw == 64) {
              EXPECT_GT(hidden, 0) << width << " " << stretch;
            }
          }
}

TEST(TexCoords, BandControlsAndRefineRecomputeTheCoordinates) {
  THeadlessWindow w;
  TexturedKnot(w, "AAA");
  const int32_t first = w.app.Seifert.links[0].verts[0];
  EXPECT_DOUBLE_EQ(w.app.Seifert.mesh.verts[first].texV, -1 - 3.0 / 5);
  w.controls.SetPosition("ud_toff", 10);  // "Offset"
  EXPECT_DOUBLE_EQ(w.app.Seifert.mesh.verts[first].texV, -1 - 10.0 / 5);
  w.window.Button6Click();  // "Refine": a new mesh, coordinates again
  const TSeiffert& m = w.app.Seifert;
  for (int32_t v = 0; v < m.mesh.nVerts; ++v) EXPECT_NE(m.mesh.verts[v].texState, 1) << v;
  EXPECT_DOUBLE_EQ(m.mesh.verts[m.links[0].verts[0]].texV, -1 - 10.0 / 5);
}
