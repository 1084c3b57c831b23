// The scene drawn by the real GL code in a surfaceless EGL context (Mesa's software
// rasteriser), read back and checked by colour. Without such a context every test fails.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>

#include "app/model/headlessWindow.h"
#include "app/model/readSceneInputs.h"
#include "core/rangeError.h"
#include "helpers.h"
#include "mesh/subdivision.h"
#include "render/offscreenContext.h"
#include "render/projectionMatrix.h"
#include "render/renderSupport.h"
#include "render/sceneDraw.h"

namespace {

constexpr int kW = 400, kH = 300;
const TRgb kSilver{192, 192, 192};

class SceneDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = OpenGlWindow(gl, w, in, kW, kH); !why.empty()) FAIL() << why;
  }

  TImage Frame() {
    GLPanel1Redraw(w.app, in, kW, kH, [this] {
      ++settingsReads;
      w.window.ReadSettings();
    });
    EXPECT_FALSE(w.app.redrawDirty);
    return {kW, kH, gl->ReadPixels()};
  }

  // Half the start colours and no highlight: lit shades then never clip, so every pixel of a
  // surface or tube is an exact multiple of its material colour.
  void UnclippedColours() {
    for (int i = 1; i <= 12; ++i) {
      const std::string name = "sh_col" + std::to_string(i);
      w.controls.SetColor(name, (w.controls.Color(name) >> 1) & 0x7F7F7F);
    }
    in.specular = 0;
    w.app.redrawDirty = true;
  }

  uint32_t Colour(int swatch) { return w.controls.Color("sh_col" + std::to_string(swatch)); }

  // A cube looked at face-on: the face towards the camera is face 2 (y = 0).
  void CubeModel(int kind) {
    TMesh& m = w.app.Seifert.mesh;
    m = MakeCube(1, kind);
    ComputeFaceNormals(m);
    ComputeVertexNormals(m);
    BuildEdges(m);
    w.app.Seifert.links.clear();
    w.app.Seifert.nLinks = 0;
    w.app.View.Centre = Vec3(0.5, 0.5, 0.5);
    w.app.redrawDirty = true;
  }

  std::unique_ptr<TOffscreenContext> gl;
  THeadlessWindow w;
  TSceneInputs in;
  int settingsReads = 0;
};

int CountShades(const TImage& img, uint32_t colour) {
  int n = 0;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) n += IsShadeOf(img.At(x, y), colour);
  return n;
}

TEST_F(SceneDraw, StartSceneShowsBothSurfaceSidesAndTheKnotOnSilver) {
  const TImage img = Frame();
  for (auto [x, y] : {std::pair{0, 0}, {kW - 1, 0}, {0, kH - 1}, {kW - 1, kH - 1}})
    EXPECT_EQ(img.At(x, y), kSilver) << x << "," << y;
  // The surface's two sides (tan and brown) and the yellow knot, each on a good share of
  // the image (the figure covers about a tenth of it).
  EXPECT_GT(CountShades(img, Colour(1)), 1000);
  EXPECT_GT(CountShades(img, Colour(2)), 1000);
  EXPECT_GT(CountShades(img, Colour(7)), 1000);
  // The model is centred: the middle row crosses it near the middle.
  int figure = 0;
  for (int x = kW / 2 - 60; x <= kW / 2 + 60; ++x) figure += !(img.At(x, kH / 2) == kSilver);
  EXPECT_GT(figure, 10);
}

TEST_F(SceneDraw, FigurePixelsAreLitShadesOfTheirMaterialsAndTransparencyOnlyShowsHiddenTubes) {
  UnclippedColours();
  w.controls.SetPosition("ud_transp", 0);
  const TImage opaque = Frame();
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const TRgb p = opaque.At(x, y);
      if (p == kSilver || std::max({p.r, p.g, p.b}) < 30) continue;
      ASSERT_TRUE(IsShadeOf(p, Colour(1)) || IsShadeOf(p, Colour(2)) || IsShadeOf(p, Colour(7)))
          << x << "," << y << ": " << p.r << " " << p.g << " " << p.b;
    }

  // The hidden-link pass passes only where something nearer was drawn before it: the
  // surface. The background and the visible tubes stay as they were.
  w.controls.SetPosition("ud_transp", 50);
  const TImage faint = Frame();
  int changed = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const TRgb before = opaque.At(x, y);
      if (faint.At(x, y) == before) continue;
      ++changed;
      EXPECT_FALSE(before == kSilver || IsShadeOf(before, Colour(7)))
          << x << "," << y << " changed but showed no surface";
    }
  EXPECT_GT(changed, 50);
}

TEST_F(SceneDraw, BackgroundIsTheClearColourOrARampFromBottomToTop) {
  // Only the background: no surface, and the links moved out of sight.
  in.showSurfaces = false;
  w.app.View.Centre = Vec3(100, 0, 0);
  in.backgroundTop = in.backgroundBottom = Rgb(30, 90, 160);
  TImage img = Frame();
  for (int y : {0, kH / 2, kH - 1})
    for (int x : {0, kW / 2, kW - 1}) EXPECT_EQ(img.At(x, y), (TRgb{30, 90, 160}));

  w.window.Button23Click();  // "Ramp": top 62,73,96 and bottom 207,213,224
  in.backgroundTop = w.controls.Color("sh_background");
  in.backgroundBottom = w.controls.Color("sh_background2");
  w.app.View.Centre = Vec3(100, 0, 0);
  auto near = [](TRgb p, TRgb q) {
    return std::abs(p.r - q.r) <= 2 && std::abs(p.g - q.g) <= 2 && std::abs(p.b - q.b) <= 2;
  };
  img = Frame();
  EXPECT_TRUE(near(img.At(5, 0), {62, 73, 96}));
  EXPECT_TRUE(near(img.At(5, kH - 1), {207, 213, 224}));
  for (int y = 1; y < kH; ++y) EXPECT_GE(img.At(5, y).r, img.At(5, y - 1).r);

  // The top row of 2 x 2 export tiles shows the upper half of the ramp.
  in.tile.tileCount = 2;
  in.tile.tileY = 2;
  img = Frame();
  EXPECT_TRUE(near(img.At(5, 0), {62, 73, 96}));
  EXPECT_TRUE(near(img.At(5, kH - 1), {135, 143, 160}));
}

TEST_F(SceneDraw, HiddenLinkPassRestoresBlendingCullingAndDepthWrites) {
  auto expectOpaqueState = [](GLint depthFunc) {
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    GLint func = 0;
    GLboolean writes = GL_FALSE;
    glGetIntegerv(GL_DEPTH_FUNC, &func);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &writes);
    EXPECT_EQ(func, depthFunc);
    EXPECT_TRUE(writes);
  };
  w.controls.SetPosition("ud_transp", 0);
  Frame();
  expectOpaqueState(GL_LEQUAL);  // the set-up's depth test, untouched
  w.controls.SetPosition("ud_transp", 8);
  Frame();
  expectOpaqueState(GL_LESS);
  EXPECT_EQ(w.app.Settings.alphaScale, 1.0);
  Frame();  // replayed, not rebuilt
  expectOpaqueState(GL_LESS);
}

TEST_F(SceneDraw, CameraChangesReplayTheListWithoutRereadingTheControls) {
  const TImage first = Frame();
  EXPECT_EQ(settingsReads, 1);
  EXPECT_EQ(Frame().rgb, first.rgb);
  w.app.View.Yaw = 90;
  const TImage turned = Frame();
  EXPECT_NE(turned.rgb, first.rgb);
  EXPECT_EQ(settingsReads, 1);
  // The matrices read back are the camera's own.
  const TView& v = w.app.View;
  const auto mv = OrbitModelView(v, in.upAxis), pr = ProjectionMatrix(v);
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(v.ModelView[i], mv[i], 1e-5) << i;
    EXPECT_NEAR(v.Projection[i], pr[i], 1e-5) << i;
  }
  EXPECT_EQ(v.Viewport, (std::array<int32_t, 4>{0, 0, kW, kH}));
}

TEST_F(SceneDraw, SeamVerticesOfASmoothedMeshShadeEachSideWithItsOwnFaces) {
  UnclippedColours();
  w.controls.SetChecked("cbsmooth", true);
  // The spread of red over the middle of the face towards the camera.
  auto spread = [this] {
    const TImage img = Frame();
    int lo = 255, hi = 0;
    for (int y = 120; y <= 180; y += 5)
      for (int x = 170; x <= 230; x += 5) {
        lo = std::min(lo, img.At(x, y).r);
        hi = std::max(hi, img.At(x, y).r);
      }
    return hi - lo;
  };
  CubeModel(1);
  w.app.Seifert.mesh.faces[2].kind = 0;  // every corner of that face is a seam vertex
  w.app.smoothed = false;
  EXPECT_GT(spread(), 8) << "averaged vertex normals bend the light across the face";
  w.app.smoothed = true;
  w.app.redrawDirty = true;
  EXPECT_LE(spread(), 1) << "the face's own normal at every corner lights it evenly";
  CubeModel(0);  // no seams: the vertex normals stay (on the side a smoothed mesh shows)
  EXPECT_GT(spread(), 8);
}

TEST_F(SceneDraw, FacesShowTheFrontOrBackColourOfTheirClass) {
  // Six distinct colours, dim enough never to clip.
  const uint32_t colours[6] = {Rgb(110, 30, 30), Rgb(30, 110, 30), Rgb(30, 30, 110),
                               Rgb(110, 110, 30), Rgb(30, 110, 110), Rgb(110, 30, 110)};
  for (int i = 0; i < 6; ++i) w.controls.SetColor("sh_col" + std::to_string(i + 1), colours[i]);
  in.specular = 0;
  // The cube's normals point out of it: from outside the camera sees the faces' fronts, from
  // inside (a view small enough to put the camera in the cube) their backs.
  auto centre = [this](int kind, double size) {
    CubeModel(kind);
    w.app.View.Size = size;
    return Frame().At(kW / 2, kH / 2);
  };
  EXPECT_TRUE(IsShadeOf(centre(0, 3.0), colours[1]));
  EXPECT_TRUE(IsShadeOf(centre(0, 0.3), colours[0]));
  EXPECT_TRUE(IsShadeOf(centre(1, 3.0), colours[3]));
  EXPECT_TRUE(IsShadeOf(centre(1, 0.3), colours[2]));
  EXPECT_TRUE(IsShadeOf(centre(2, 3.0), colours[5]));
  // Class 3 would use entry 6 on both sides; class 7 entry 14, beyond the twelve colours,
  // which draws white.
  EXPECT_TRUE(IsShadeOf(centre(3, 3.0), Colour(7)));
  for (double size : {3.0, 0.3}) {
    const TRgb p = centre(7, size);
    EXPECT_FALSE(p == kSilver);
    EXPECT_TRUE(p.r == p.g && p.g == p.b) << p.r << " " << p.g << " " << p.b;
  }
}

TEST_F(SceneDraw, ASmoothedSurfaceShowsOneSideOnly) {
  // Distinct, dim colours for the two sides' back and front, none a shade of the yellow knot.
  const uint32_t colours[4] = {Rgb(110, 30, 30), Rgb(30, 110, 30), Rgb(30, 30, 110),
                               Rgb(110, 30, 110)};
  for (int i = 0; i < 4; ++i) w.controls.SetColor("sh_col" + std::to_string(i + 1), colours[i]);
  in.specular = 0;
  w.controls.SetPosition("ud_seniter", 40);
  w.controls.Click("but_sestart");
  ASSERT_TRUE(w.app.smoothed);
  w.app.redrawDirty = true;
  const TImage img = Frame();
  EXPECT_GT(CountShades(img, colours[0]) + CountShades(img, colours[1]), 500);
  EXPECT_EQ(CountShades(img, colours[2]) + CountShades(img, colours[3]), 0)
      << "the collapsed slab's second side is drawn over the first";
}

// A smoothly shaded surface changes its shade gradually: no pixel of it is much darker than
// both its neighbours across a line, as a crack between two faces would be.
TEST_F(SceneDraw, SmoothedSurfaceHasNoCracksAlongItsEdges) {
  w.window.ChooseKnot(w.app.KnotTable.Find("5_2"));
  w.controls.SetChecked("cbsmooth", true);
  w.controls.SetPosition("ud_seniter", 300);
  w.controls.Click("but_sestart");
  ASSERT_TRUE(w.app.smoothed);
  w.app.Seifert.links.clear();  // the knot's tubes have dark rims of their own
  w.app.Seifert.nLinks = 0;
  w.app.redrawDirty = true;
  const TImage img = Frame();
  const auto value = [&](int x, int y) {
    const TRgb p = img.At(x, y);
    return p.r + p.g + p.b;
  };
  int cracks = 0, surface = 0;
  const int background = kSilver.r * 3;
  for (int y = 1; y + 1 < kH; ++y)
    for (int x = 1; x + 1 < kW; ++x) {
      const int v = value(x, y);
      if (value(x - 1, y) == background || value(x + 1, y) == background ||
          value(x, y - 1) == background || value(x, y + 1) == background || v == background)
        continue;
      ++surface;
      const bool acrossX = v + 60 < std::min(value(x - 1, y), value(x + 1, y));
      const bool acrossY = v + 60 < std::min(value(x, y - 1), value(x, y + 1));
      cracks += acrossX || acrossY;
    }
  EXPECT_GT(surface, 5000);
  EXPECT_EQ(cracks, 0);  // a depth offset that grows with the faces' slope left a dozen
}

TEST_F(SceneDraw, BrokenLinksAndNonFiniteNumbersNeverStopAFrame) {
  CubeModel(0);
  TSeiffert& s = w.app.Seifert;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  s.mesh.verts[7].pos = Vec3(nan, 0, 0);
  s.links = {TLinkLine{0, {}}, TLinkLine{1, {0}}, TLinkLine{2, {0, 1}},
             TLinkLine{4, {0, 1 << 30, -5, 1}}, TLinkLine{9, {0, 1, 2}},
             TLinkLine{4, {0, 1, 7, 2}}};
  s.nLinks = 9;  // more than there are
  TImage img;
  ASSERT_NO_THROW(img = Frame());
  EXPECT_FALSE(img.At(kW / 2, kH / 2) == kSilver);
  w.app.View.Size = std::numeric_limits<double>::infinity();
  ASSERT_NO_THROW(Frame());

  // Errors leave the frame, but the scene it asked for counts as dealt with.
  w.app.redrawDirty = true;
  EXPECT_THROW(GLPanel1Redraw(w.app, in, kW, kH, [] { throw std::runtime_error("read"); }),
               std::runtime_error);
  EXPECT_FALSE(w.app.redrawDirty);
  w.app.refineCount = 1'000'000;
  w.app.redrawDirty = true;
  EXPECT_THROW(Frame(), RangeError);
  EXPECT_FALSE(w.app.redrawDirty);
  EXPECT_EQ(w.app.Settings.alphaScale, 1.0);
}

TEST_F(SceneDraw, LinkWithAFullReversalDraws) {
  UnclippedColours();
  TSeiffert& s = w.app.Seifert;
  s.mesh = TMesh{};
  s.mesh.verts.resize(4);
  // Out along x, straight back half way, then round to the start.
  for (const Vec3& p : {Vec3(-1, 0, 0), Vec3(1, 0, 0), Vec3(0, 0, 0), Vec3(0, 0, 1)})
    AddVertex(s.mesh, p, false);
  s.links = {TLinkLine{4, {0, 1, 2, 3}}};
  s.nLinks = 1;
  w.app.View.Centre = Vec3(0, 0, 0.3);
  w.app.redrawDirty = true;
  const TImage img = Frame();
  // Tube somewhere within a few pixels of each of these points along the chain (133 pixels
  // per unit): on the doubled-back stretch, beyond the turn, up and on the way back.
  auto tubeNear = [&](double x, double z) {
    const int px = int(std::lround(kW / 2 + x * kW / 3));
    const int py = int(std::lround(kH / 2 - (z - 0.3) * kW / 3));
    for (int dy = -4; dy <= 4; ++dy)
      for (int dx = -4; dx <= 4; ++dx)
        if (IsShadeOf(img.At(px + dx, py + dy), Colour(7))) return true;
    return false;
  };
  for (auto [x, z] : {std::pair{0.5, 0.0}, {-0.5, 0.0}, {0.95, 0.0}, {0.0, 0.5}, {-0.5, 0.5}})
    EXPECT_TRUE(tubeNear(x, z)) << x << " " << z;
}

}  // namespace

// Looking straight up or down from inside the sky dome, the pole shows as a plain patch: a
// ring around it keeps one colour rather than crossing the rays of a star.
TEST_F(SceneDraw, SkyPolesShowNoStar) {
  in.skyStandard = true;
  in.showSurfaces = false;
  w.app.Seifert.links.clear();
  w.app.Seifert.nLinks = 0;
  for (double pitch : {89.99, -89.99}) {
    w.app.View.Pitch = pitch;
    w.app.redrawDirty = true;
    const TImage img = Frame();
    for (int radius : {8, 20, 40}) {
      int lo = 255 * 3, hi = 0;
      for (int k = 0; k < 360; ++k) {
        const double a = k * std::numbers::pi / 180;
        const TRgb p = img.At(kW / 2 + int(std::lround(radius * std::cos(a))),
                              kH / 2 + int(std::lround(radius * std::sin(a))));
        lo = std::min(lo, p.r + p.g + p.b);
        hi = std::max(hi, p.r + p.g + p.b);
      }
      // Sums of three channels; the rays of a star made spreads of 40 to 140.
      EXPECT_LE(hi - lo, 24) << "pitch " << pitch << ", " << radius << " pixels from the pole";
    }
  }
}

// Each change a user can make after the first frame, followed by a rebuild, must draw exactly
// what a scene built from nothing draws: no tube list, vertex array or colour may be kept from
// before the change.
TEST_F(SceneDraw, EveryRebuildDrawsWhatAFreshSceneDraws) {
  const auto moveKnot = [this] {
    for (int32_t v : w.app.Seifert.links[0].verts) w.app.Seifert.mesh.verts[v].pos.z += 0.1f;
  };
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"link radius", [this] { w.controls.SetPosition("ud_linkdia", 6); }},
      {"link offset", [this] { w.controls.SetPosition("ud_linkoffset", 5); }},
      {"link colour", [this] { w.controls.SetColor("sh_col7", 0x2040A0); }},
      {"knot moved", moveKnot},
      {"ring of a refine step", [this] { w.app.refineCount = 1; }},
      {"first link hidden", [this] { w.controls.SetChecked("cb_shmat4", false); }},
      {"first link shown", [this] { w.controls.SetChecked("cb_shmat4", true); }},
      {"transparency", [this] { w.controls.SetPosition("ud_transp", 60); }},
      {"basis loops", [this] {
         w.app.showLoops = true;
         w.app.loopPaths = {w.app.Seifert.links[0].verts};
       }},
      {"loop highlighted", [this] { w.app.highlightedLoops[0] = 0; }},
      {"mesh lines", [this] { in.showMeshLines = true; }},
      {"texture", [this] {
         w.controls.SetChecked("cb_texturemapped", true);
         w.window.Recompute();  // the texture coordinates
       }},
      {"flat shading", [this] { w.controls.SetChecked("cbsmooth", false); }},
      {"surface colours", [this] {
         for (int i = 1; i <= 6; ++i) w.controls.SetColor("sh_col" + std::to_string(i), 0x3080F0);
       }},
      {"surfaces hidden", [this] { in.showSurfaces = false; }},
      {"links gone", [this] { w.app.Seifert.nLinks = 0; }},
  };
  in.lineWidth = 2;
  TImage before = Frame();
  for (const auto& [what, change] : changes) {
    change();
    w.app.redrawDirty = true;
    const TImage kept = Frame();
    EXPECT_NE(kept.rgb, before.rgb) << what << " changed nothing: the case tests nothing";
    ReleaseSceneLists(w.app);
    EXPECT_EQ(kept.rgb, Frame().rgb) << "after: " << what;
    before = kept;
  }
}
