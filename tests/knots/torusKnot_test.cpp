#include "knots/torusKnot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <set>
#include <tuple>

#include "app/model/headlessWindow.h"
#include "helpers.h"

namespace {

double DistanceToTubeCentre(const Vec3& p, double bigR) {
  const double ring = std::hypot(p.x, p.y) - bigR;
  return std::hypot(ring, p.z);
}

}  // namespace

TEST(TorusKnot, GridBandAndLinkForManyWindings) {
  for (const auto& [big, small, res] : std::vector<std::tuple<int, int, int>>{
           {2, 3, 4}, {3, 2, 4}, {2, 2, 4}, {1, 1, 2}, {2, 5, 2}, {2, 1, 6}, {20, 20, 4},
           {7, 3, 4}, {4, 6, 2}, {2, 19, 60}}) {
    SCOPED_TRACE(testing::Message() << big << "," << small << " res " << res);
    TSettings s = StartSettings();
    s.torusBig = big;
    s.torusSmall = small;
    s.resolution = res;
    TSeiffert model;
    ResizeLayout(model, 3, 2);  // a braid's lay-out that the torus must not keep
    BuildTorusKnot(model, s);

    int n1 = small * res, n2 = big * res;
    while (n1 < 8 * res && n2 < 8 * res) n1 *= 2, n2 *= 2;
    const bool band = big == 2 && small % 2 == 1;
    const TMesh& mesh = model.mesh;
    ASSERT_EQ(mesh.nVerts, n1 * n2 + (band ? 2 * (n1 + 1) : 0));
    ASSERT_EQ(mesh.nFaces, n1 * n2 + (band ? n1 : 0));
    EXPECT_TRUE(mesh.edges.empty());  // nothing left of the braid's mesh to follow
    EXPECT_EQ(model.nDisks, 0);
    EXPECT_EQ(model.nTubes, 0);

    for (int32_t v = 0; v < n1 * n2; ++v) {
      EXPECT_NEAR(DistanceToTubeCentre(mesh.verts[v].pos, s.diskDiameter), s.bandWidth, 1e-6);
      EXPECT_NEAR(mesh.verts[v].normal.Length(), 1, 1e-6);
      EXPECT_EQ(mesh.verts[v].knotClass, 0);
    }
    for (int32_t f = 0; f < mesh.nFaces; ++f) EXPECT_EQ(mesh.faces[f].kind, f < n1 * n2 ? 0 : 1);
    // Smooth shading lights a face by its corners' normals: each must lean the face's way, on
    // the torus and on the band, or both sides of the face are drawn unlit.
    int32_t against = 0;
    for (int32_t f = 0; f < mesh.nFaces; ++f)
      for (int32_t v : mesh.faces[f].v)
        if (!(mesh.verts[v].normal.Dot(mesh.faces[f].normal) > 0)) ++against;
    EXPECT_EQ(against, 0);

    ASSERT_EQ(model.nLinks, 1);
    const TLinkLine& link = model.links[0];
    ASSERT_EQ(link.nVerts, std::lcm(n1, n2));
    std::set<std::tuple<double, double, double>> onKnot;
    for (int32_t k = 0; k < link.nVerts; ++k) {
      const int32_t v = link.verts[k], next = link.verts[(k + 1) % link.nVerts];
      // One step along both grid directions at a time.
      EXPECT_EQ((v / n2 + 1) % n1, next / n2);
      EXPECT_EQ((v % n2 + 1) % n2, next % n2);
      const Vec3 p = mesh.verts[v].pos;
      onKnot.insert({p.x, p.y, p.z});
    }
    // The band's two borders both run along the knot: it is the surface that the knot bounds.
    for (int32_t v = n1 * n2; v < mesh.nVerts; ++v) {
      const Vec3 p = mesh.verts[v].pos;
      EXPECT_TRUE(onKnot.count({p.x, p.y, p.z})) << "band vertex " << v;
    }
  }
}

TEST(TorusKnot, WindowButtonsAndWhatRefusesOnATorus) {
  THeadlessWindow w;
  w.window.StartUp();
  std::string note;
  w.window.showNote = [&](const std::string& n) { note = n; };
  w.controls.SetChecked("cb_torus", true);
  w.controls.Click("but_show_torus");
  const TMesh& mesh = w.app.Seifert.mesh;
  EXPECT_TRUE(w.controls.Checked("cb_shmat1"));
  EXPECT_EQ(mesh.nVerts, 1536 + 98);
  EXPECT_EQ(mesh.nFaces, 1536 + 48);
  EXPECT_EQ(w.app.Seifert.links[0].nVerts, 96);
  EXPECT_NEAR(mesh.verts[0].pos.x, 0, 1e-6);
  EXPECT_NEAR(mesh.verts[0].pos.y, 0.8, 1e-6);
  EXPECT_NEAR(mesh.verts[0].pos.z, 0, 1e-6);
  EXPECT_EQ(w.app.ModelCentre, Vec3(0, 0, 0));

  w.controls.Click("but_show_band");
  EXPECT_FALSE(w.controls.Checked("cb_shmat1"));
  w.controls.Click("but_swap_torus");
  EXPECT_EQ(w.controls.Position("ud_tbig"), 3);
  EXPECT_EQ(w.controls.Position("ud_tsmall"), 2);
  EXPECT_EQ(mesh.nVerts, 1536);  // no band for three turns about the axis

  // Smooth and Refine leave the torus as built, and say why.
  const int32_t recomputes = w.app.recomputeCount;
  w.controls.Click("but_sestart");
  EXPECT_FALSE(w.controls.Checked("but_sestart"));
  w.controls.Click("Button6");
  EXPECT_EQ(mesh.nVerts, 1536);
  EXPECT_EQ(w.app.recomputeCount, recomputes);
  EXPECT_NE(note.find("torus"), std::string::npos);

  // Back to the braid: a full lay-out and mesh again.
  w.controls.Click("cb_torus");
  w.window.Recompute();
  EXPECT_FALSE(w.app.torusShown);
  EXPECT_EQ(w.app.Seifert.nDisks, 3);
  EXPECT_EQ(w.app.Seifert.nLinks, 1);
}
