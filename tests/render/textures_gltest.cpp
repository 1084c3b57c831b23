// Texture lists, the textured surface and the sky dome drawn by the real GL code in an EGL
// context, with the errors OpenGL itself reports.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "app/model/headlessWindow.h"
#include "app/model/readSceneInputs.h"
#include "core/rangeError.h"
#include "render/offscreenContext.h"
#include "render/renderSupport.h"
#include "render/sceneDraw.h"
#include "render/textures.h"

namespace {

constexpr int kW = 320, kH = 240;

class Textures : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = OpenGlWindow(gl, w, in, kW, kH); !why.empty()) FAIL() << why;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "after the set-up";
  }

  TImage Frame() {
    w.app.redrawDirty = true;
    GLPanel1Redraw(w.app, in, kW, kH, [this] { w.window.ReadSettings(); });
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "after a frame";
    return {kW, kH, gl->ReadPixels()};
  }

  std::unique_ptr<TOffscreenContext> gl;
  THeadlessWindow w;
  TSceneInputs in;
};

int Differences(const TImage& a, const TImage& b) {
  int n = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) n += !(a.At(x, y) == b.At(x, y));
  return n;
}

}  // namespace

TEST_F(Textures, SetUpBuildsTheBuiltInSurfaceAndSkyTextures) {
  const TTextureRecord& s = w.app.SurfaceTexture;
  const TTextureRecord& k = w.app.SkyTexture;
  EXPECT_TRUE(s.Loaded && k.Loaded);
  EXPECT_EQ(std::pair(s.TexWidth, s.TexHeight), std::pair(64, 64));
  EXPECT_EQ(std::pair(k.TexWidth, k.TexHeight), std::pair(512, 256));
  EXPECT_EQ(std::pair(k.SMax, k.TMax), std::pair(1.0, 1.0));
  EXPECT_TRUE(glIsList(kSurfaceTextureList) && glIsList(kSkyTextureList));
}

TEST_F(Textures, SkyAndTexturedSurfaceDrawWithoutErrorsInBothShadings) {
  const TImage plain = Frame();
  const TRgb silver{192, 192, 192};
  ASSERT_EQ(plain.At(0, 0), silver);

  in.skyStandard = true;
  const TImage sky = Frame();
  // The dome surrounds the camera: sky above, ground below, no silver left in the corners.
  const TRgb top = sky.At(kW / 2, 0), bottom = sky.At(kW / 2, kH - 1);
  EXPECT_GT(top.b, top.r) << "no sky at the top";
  EXPECT_GT(bottom.g, bottom.b) << "no ground at the bottom";

  for (bool smooth : {false, true}) {
    w.controls.SetChecked("cbsmooth", smooth);
    w.controls.SetChecked("cb_texturemapped", false);
    w.window.Recompute();
    const TImage bare = Frame();
    w.controls.SetChecked("cb_texturemapped", true);
    w.window.Recompute();
    const TImage textured = Frame();
    // Flat shading takes (texU, texV) as (s, t): s along the link clamps to the rail
    // picture's white edge nearly everywhere, so only smooth shading shows the band.
    if (smooth) {
      EXPECT_GT(Differences(bare, textured), 200) << "no picture shown";
    }
    w.controls.SetChecked("cb_texonmesh", true);
    Frame();
    w.controls.SetChecked("cb_texonmesh", false);
  }
}

TEST_F(Textures, LoadedPicturesOfAnySizeBecomeTexturesAndEmptyOnesAreRefused) {
  TTextureRecord r = w.app.SurfaceTexture;
  MakeTexture(TRgbPicture{300, 200, std::vector<uint8_t>(300 * 200 * 3, 90)},
              kSurfaceTextureList, r);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  EXPECT_EQ(std::pair(r.TexWidth, r.TexHeight), std::pair(512, 256));

  // Taller than any texture side a driver takes: scaled down along its length.
  MakeTexture(TRgbPicture{1, 3000000, std::vector<uint8_t>(3000000 * 3, 40)},
              kSurfaceTextureList, r);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  EXPECT_LE(r.TexHeight, maxSide);
  EXPECT_LE(r.TMax, 1.0);

  const TTextureRecord before = r;
  EXPECT_THROW(MakeTexture(TRgbPicture{}, kSurfaceTextureList, r), RangeError);
  EXPECT_EQ(r.TexHeight, before.TexHeight);
  in.skyStandard = true;
  w.controls.SetChecked("cb_texturemapped", true);
  w.window.Recompute();
  Frame();
}
