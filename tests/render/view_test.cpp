#include "render/view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <cmath>
#include <utility>

#include "render/projectionMatrix.h"

namespace {

constexpr int kW = 400, kH = 300;

TView FramedView(const TSceneInputs& in) {
  TView v;
  v.Centre = Vec3(0.5, -1, 2);
  ComputeProjection(v, kW, kH, in, false);
  return v;
}

std::array<double, 4> Apply(const std::array<double, 16>& m, const std::array<double, 4>& p) {
  std::array<double, 4> r{};
  for (int row = 0; row < 4; ++row)
    for (int k = 0; k < 4; ++k) r[row] += m[k * 4 + row] * p[k];
  return r;
}

// Window position in pixels (x right, y down) of a world point under the view's matrices.
std::array<double, 2> ScreenOf(const TView& v, TUpAxis up, const Vec3& p) {
  const auto eye = Apply(OrbitModelView(v, up), {p.x, p.y, p.z, 1});
  const auto clip = Apply(ProjectionMatrix(v), eye);
  return {(clip[0] / clip[3] + 1) / 2 * kW, (1 - clip[1] / clip[3]) / 2 * kH};
}

std::array<double, 3> EyeDirection(const TView& v, TUpAxis up, const Vec3& d) {
  const auto eye = Apply(OrbitModelView(v, up), {d.x, d.y, d.z, 0});
  return {eye[0], eye[1], eye[2]};
}

// ---- Projection ----

TEST(ViewProjection, StartCameraStandsFocalLengthTimesSizeOver35Away) {
  TSceneInputs in;  // focal length 50
  TView v = FramedView(in);
  EXPECT_NEAR(v.Distance, 4.2857, 1e-4);  // 50 x 3 / 35
  // The half-angle of a 50 lens on 35-wide film: tan = 17.5 / 50.
  EXPECT_NEAR((v.Right - v.Left) / 2 / v.Near, 17.5 / 50, 1e-12);
}

TEST(ViewProjection, VisibleWidthAtTheLookAtPointIsTheSize) {
  for (bool iso : {false, true})
    for (int focal : {5, 50, 1000})
      for (double size : {0.1, 3.0, 40.0}) {
        TSceneInputs in;
        in.isometric = iso;
        in.focalLength = focal;
        TView v;
        v.Size = size;
        ComputeProjection(v, kW, kH, in, false);
        const double width = iso ? v.Right - v.Left : (v.Right - v.Left) / v.Near * v.Distance;
        EXPECT_NEAR(width, size, 1e-9 * size) << iso << " " << focal << " " << size;
        // Square pixels: the height follows the panel's aspect.
        EXPECT_NEAR((v.Top - v.Bottom) / (v.Right - v.Left), double(kH) / kW, 1e-12);
        EXPECT_LT(v.Near, v.Distance);
        EXPECT_GT(v.Far, v.Distance);
      }
}

TEST(ViewProjection, IsometricImageDoesNotDependOnFocalLength) {
  TSceneInputs in;
  in.isometric = true;
  TView a, b;
  in.focalLength = 20;
  ComputeProjection(a, kW, kH, in, false);
  in.focalLength = 400;
  ComputeProjection(b, kW, kH, in, false);
  for (const Vec3& p : {Vec3(0.5, -1, 2), Vec3(1.5, 0, 2.2), Vec3(0, -1.3, 1.1)}) {
    a.Centre = b.Centre = Vec3(0.5, -1, 2);
    const auto pa = ScreenOf(a, TUpAxis::kZ, p), pb = ScreenOf(b, TUpAxis::kZ, p);
    EXPECT_NEAR(pa[0], pb[0], 1e-9);
    EXPECT_NEAR(pa[1], pb[1], 1e-9);
  }
  EXPECT_NE(a.Distance, b.Distance);
}

// A tile's frustum spans the whole panel but only its bottom-left readW x readH pixels are read
// back: the read parts of neighbouring tiles must meet pixel for pixel, and together show what
// a Scale 1 export of the same panel shows, for any panel size.
TEST(ViewProjection, TilesPartitionTheReadPartOfTheWindow) {
  for (int w : {400, 541, 542, 543})
    for (int h : {300, 541, 542, 543})
      for (int n : {1, 2, 3}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h << " at Scale " << n);
        TSceneInputs in;
        TView full;
        ComputeProjection(full, w, h, in, false);
        const int readW = w / 4 * 4, readH = h / 4 * 4;
        const double fullPixelW = (full.Right - full.Left) / w;
        const double fullPixelH = (full.Top - full.Bottom) / h;
        in.tile.tileCount = n;
        in.tile.readW = readW;
        in.tile.readH = readH;
        for (int iy = 1; iy <= n; ++iy)
          for (int ix = 1; ix <= n; ++ix) {
            in.tile.tileX = ix;
            in.tile.tileY = iy;
            TView t;
            ComputeProjection(t, w, h, in, false);
            const double pixelW = (t.Right - t.Left) / w, pixelH = (t.Top - t.Bottom) / h;
            // n times the pixels of the panel, and tile k starts where k - 1 tiles of readW
            // pixels end.
            EXPECT_NEAR(pixelW * n, fullPixelW, 1e-12);
            EXPECT_NEAR(pixelH * n, fullPixelH, 1e-12);
            EXPECT_NEAR(t.Left, full.Left + (ix - 1) * readW * pixelW, 1e-12);
            EXPECT_NEAR(t.Bottom, full.Bottom + (iy - 1) * readH * pixelH, 1e-12);
            if (ix == n) {
              EXPECT_NEAR(t.Left + readW * pixelW, full.Left + readW * fullPixelW, 1e-12);
            }
            if (iy == n) {
              EXPECT_NEAR(t.Bottom + readH * pixelH, full.Bottom + readH * fullPixelH, 1e-12);
            }
            EXPECT_EQ(t.Near, full.Near);
            EXPECT_EQ(t.Far, full.Far);
          }
      }
}

TEST(ViewProjection, JitterShiftsTheWindowByThatManyOfItsOwnPixels) {
  for (int n : {0, 2}) {
    TSceneInputs in;
    in.tile.tileCount = n;
    TView plain;
    ComputeProjection(plain, kW, kH, in, false);
    in.tile.jitterX = 0.5;
    in.tile.jitterY = -0.25;
    TView oneSample;
    ComputeProjection(oneSample, kW, kH, in, false);
    EXPECT_EQ(oneSample.Left, plain.Left) << "one sample per pixel is never jittered";
    in.tile.sampleCount = 4;
    TView shifted;
    ComputeProjection(shifted, kW, kH, in, false);
    const double pixelW = (plain.Right - plain.Left) / kW, pixelH = (plain.Top - plain.Bottom) / kH;
    // Shifting the window against the jitter moves the image with it.
    EXPECT_NEAR(shifted.Left - plain.Left, -0.5 * pixelW, 1e-12) << n;
    EXPECT_NEAR(shifted.Right - plain.Right, -0.5 * pixelW, 1e-12) << n;
    EXPECT_NEAR(shifted.Bottom - plain.Bottom, 0.25 * pixelH, 1e-12) << n;
    EXPECT_NEAR(shifted.Top - plain.Top, 0.25 * pixelH, 1e-12) << n;
  }
}

// ---- Orbit camera and light ----

TEST(ViewOrbit, LookAtPointSitsInFrontOfTheEyeAtTheDistance) {
  TSceneInputs in;
  for (TUpAxis up : {TUpAxis::kX, TUpAxis::kY, TUpAxis::kZ})
    for (double yaw : {0.0, 37.0, -120.0})
      for (double pitch : {0.0, 45.0, -89.99}) {
        TView v = FramedView(in);
        v.Yaw = yaw;
        v.Pitch = pitch;
        const auto eye = Apply(OrbitModelView(v, up), {v.Centre.x, v.Centre.y, v.Centre.z, 1});
        EXPECT_NEAR(eye[0], 0, 1e-9);
        EXPECT_NEAR(eye[1], 0, 1e-9);
        EXPECT_NEAR(eye[2], -v.Distance, 1e-9);
        const auto s = ScreenOf(v, up, v.Centre);
        EXPECT_NEAR(s[0], kW / 2.0, 1e-6);
        EXPECT_NEAR(s[1], kH / 2.0, 1e-6);
      }
}

TEST(ViewOrbit, ChosenAxisIsVerticalOnTheScreenAndYawTurnsAboutIt) {
  TSceneInputs in;
  // Z up shows +z up; the extra quarter turns of "X up" and "Y up" make x or y vertical but
  // pointing down the screen.
  const struct {
    TUpAxis up;
    Vec3 axis;
    double screenY;
  } cases[] = {{TUpAxis::kZ, Vec3(0, 0, 1), 1}, {TUpAxis::kX, Vec3(1, 0, 0), -1},
               {TUpAxis::kY, Vec3(0, 1, 0), -1}};
  for (const auto& c : cases)
    for (double yaw : {0.0, 90.0, 200.0}) {
      TView v = FramedView(in);
      v.Yaw = yaw;
      const auto d = EyeDirection(v, c.up, c.axis);
      EXPECT_NEAR(d[0], 0, 1e-12);
      EXPECT_NEAR(d[1], c.screenY, 1e-12);
      EXPECT_NEAR(d[2], 0, 1e-12);
    }
  // Pitch tilts the up axis towards the viewer: 30 degrees of pitch shows 30 degrees of it.
  TView v = FramedView(in);
  v.Pitch = 30;
  const auto d = EyeDirection(v, TUpAxis::kZ, Vec3(0, 0, 1));
  EXPECT_NEAR(std::fabs(d[2]), 0.5, 1e-12);
}

TEST(ViewLight, UpDownNinetyPutsTheLightOverheadInEyeOrWorldTerms) {
  TSceneInputs in;
  in.lightLeftRight = 40;
  in.lightUpDown = 90;
  auto p = LightPosition(in, 2);
  EXPECT_NEAR(p[0], 0, 1e-6);
  EXPECT_NEAR(p[1], 2, 1e-6);  // eye coordinates: y is up on the screen
  EXPECT_NEAR(p[2], 0, 1e-6);
  EXPECT_EQ(p[3], 0);          // directional
  in.lightFixedToWorld = true;
  in.directionalLight = false;
  p = LightPosition(in, 2);
  EXPECT_NEAR(p[1], 0, 1e-6);
  EXPECT_NEAR(p[2], 2, 1e-6);  // world coordinates: z is up
  EXPECT_EQ(p[3], 1);          // a point light
  // Left/right turns about the vertical, keeping the distance.
  in.lightUpDown = 0;
  in.lightLeftRight = 90;
  p = LightPosition(in, 2);
  EXPECT_NEAR(p[0], 2, 1e-6);
  EXPECT_NEAR(std::hypot(p[0], p[1], p[2]), 2, 1e-6);
}

// ---- Mouse ----

TEST(ViewMouse, PitchStopsShortOfTheVerticalBothWays) {
  TView v;
  MouseDown(v, 100, 100, kMouseLeft);
  EXPECT_TRUE(MouseMove(v, 100, 290, kMouseLeft, kW, kH, TUpAxis::kZ));  // 190 px down
  EXPECT_EQ(v.Pitch, -89.99);
  MouseMove(v, 100, 291, kMouseLeft, kW, kH, TUpAxis::kZ);  // further down stays there
  EXPECT_EQ(v.Pitch, -89.99);
  MouseMove(v, 100, 0, kMouseLeft, kW, kH, TUpAxis::kZ);  // 291 px up: past the top
  EXPECT_EQ(v.Pitch, 89.99);
  MouseMove(v, 100, 10, kMouseLeft, kW, kH, TUpAxis::kZ);  // back down by ten
  EXPECT_NEAR(v.Pitch, 79.99, 1e-9);
  MouseMove(v, 130, 10, kMouseLeft, kW, kH, TUpAxis::kZ);
  EXPECT_EQ(v.Yaw, -30);  // one degree per pixel
}

TEST(ViewMouse, ZoomDoublesOverHalfTheHeightAndRefusesANonPositiveSize) {
  TView v;
  MouseDown(v, 10, 200, kMouseRight);
  MouseMove(v, 10, 200 - kH / 2, kMouseRight, kW, kH, TUpAxis::kZ);  // up by half the height
  EXPECT_DOUBLE_EQ(v.Size, 6.0);
  MouseMove(v, 10, 200, kMouseRight, kW, kH, TUpAxis::kZ);  // down by half: factor 0
  EXPECT_DOUBLE_EQ(v.Size, 6.0);
  MouseDown(v, 10, 0, kMouseRight);
  MouseMove(v, 10, kH, kMouseRight, kW, kH, TUpAxis::kZ);  // down by the whole height
  EXPECT_DOUBLE_EQ(v.Size, 6.0);
  MouseMove(v, 10, kH - 75, kMouseRight, kW, kH, TUpAxis::kZ);  // up by a quarter
  EXPECT_DOUBLE_EQ(v.Size, 9.0);
}

// The scene under the cursor follows it: a drag of (dx, dy) pixels moves the old look-at point
// by (dx, dy) on the screen. At zero pitch the pan's right and up vectors are unit vectors in
// the screen plane, whatever the yaw and the up axis.
TEST(ViewMouse, PanMovesTheSceneWithTheCursor) {
  TSceneInputs in;
  // Also looking down or up along the chosen axis (the top view), where the axis itself
  // gives no sideways direction.
  for (TUpAxis up : {TUpAxis::kZ, TUpAxis::kX, TUpAxis::kY})
    for (double yaw : {0.0, 30.0, -135.0})
      for (double pitch : {0.0, -89.99, 89.99}) {
        TView v = FramedView(in);
        v.Yaw = yaw;
        v.Pitch = pitch;
        v.ModelView = OrbitModelView(v, up);
        const Vec3 old = v.Centre;
        MouseDown(v, 200, 150, kMouseMiddle);
        ASSERT_TRUE(MouseMove(v, 240, 130, kMouseMiddle, kW, kH, up));
        const auto s = ScreenOf(v, up, old);
        EXPECT_NEAR(s[0], kW / 2.0 + 40, 1e-2) << int(up) << " " << yaw << " " << pitch;
        EXPECT_NEAR(s[1], kH / 2.0 - 20, 1e-2) << int(up) << " " << yaw << " " << pitch;
      }
}

TEST(ViewMouse, PanDirectionsWithZUpFacingTheModel) {
  // Yaw = Pitch = 0, Z up: the eye sits on the -y side looking along +y, so the screen's right
  // is world +x and its up world +z. The pan's `right` is z x u = (0,-1,0) x (0,0,1) = (-1,0,0):
  // dragging right moves the look-at point to -x, so the model slides right with the cursor;
  // dragging down (screen y grows) moves it to +z, so the model slides down.
  TSceneInputs in;
  TView v = FramedView(in);
  v.ModelView = OrbitModelView(v, TUpAxis::kZ);
  const Vec3 start = v.Centre;
  MouseDown(v, 100, 100, kMouseMiddle);
  MouseMove(v, 140, 100, kMouseMiddle, kW, kH, TUpAxis::kZ);
  EXPECT_NEAR(v.Centre.x - start.x, -3.0 * 40 / kW, 1e-6);
  EXPECT_NEAR(v.Centre.y, start.y, 1e-6);
  EXPECT_NEAR(v.Centre.z, start.z, 1e-6);
  MouseMove(v, 140, 130, kMouseMiddle, kW, kH, TUpAxis::kZ);
  EXPECT_NEAR(v.Centre.z - start.z, 3.0 * 30 / kW, 1e-6);
}

TEST(ViewMouse, PanLookingStraightDownUsesTheScreensOwnUp) {
  // Pitch -89.99 tips the camera over the model: the third row of the model-view matrix is
  // then almost (0, 0, 1) and (0, 0, 1) itself would give no sideways direction at all.
  TSceneInputs in;
  TView v = FramedView(in);
  v.Pitch = -89.99;
  v.Yaw = 25;
  v.ModelView = OrbitModelView(v, TUpAxis::kZ);
  ASSERT_NEAR(v.ModelView[10], 1, 1e-3);
  const Vec3 old = v.Centre;
  MouseDown(v, 200, 150, kMouseMiddle);
  MouseMove(v, 230, 170, kMouseMiddle, kW, kH, TUpAxis::kZ);
  const auto s = ScreenOf(v, TUpAxis::kZ, old);
  EXPECT_NEAR(s[0], kW / 2.0 + 30, 1e-2);
  EXPECT_NEAR(s[1], kH / 2.0 + 20, 1e-2);
}

TEST(ViewMouse, DragEndsOutsideThePanelWithoutAButtonOrOnRelease) {
  TView v;
  EXPECT_FALSE(MouseMove(v, 10, 10, kMouseLeft, kW, kH, TUpAxis::kZ)) << "no drag started";
  MouseDown(v, 10, 10, 0);
  EXPECT_EQ(v.DragMode, 0);
  MouseDown(v, 10, 10, kMouseRight | kMouseMiddle);
  EXPECT_EQ(v.DragMode, 2);  // right wins over middle
  MouseDown(v, 10, 10, kMouseLeft | kMouseRight);
  EXPECT_EQ(v.DragMode, 1);
  for (auto [x, y] : {std::pair{-1, 10}, {10, -1}, {kW + 1, 10}, {10, kH + 1}}) {
    MouseDown(v, 10, 10, kMouseLeft);
    EXPECT_FALSE(MouseMove(v, x, y, kMouseLeft, kW, kH, TUpAxis::kZ));
    EXPECT_EQ(v.DragMode, 0);
    EXPECT_EQ(v.Yaw, 0);
  }
  MouseDown(v, 10, 10, kMouseLeft);
  EXPECT_TRUE(MouseMove(v, kW, kH, kMouseLeft, kW, kH, TUpAxis::kZ)) << "the edge is inside";
  EXPECT_FALSE(MouseMove(v, 20, 20, 0, kW, kH, TUpAxis::kZ));
  EXPECT_EQ(v.DragMode, 0);
  MouseDown(v, 10, 10, kMouseLeft);
  MouseUp(v);
  EXPECT_FALSE(MouseMove(v, 20, 20, kMouseLeft, kW, kH, TUpAxis::kZ));
}

TEST(ViewMouse, PanelWithoutAreaNeverScalesTheView) {
  // Zoom and pan divide by the panel's size; a collapsed panel must not make them infinite.
  TView v;
  v.ModelView = OrbitModelView(v, TUpAxis::kZ);
  MouseDown(v, 0, 0, kMouseRight);
  EXPECT_FALSE(MouseMove(v, 0, 0, kMouseRight, 0, 0, TUpAxis::kZ));
  EXPECT_EQ(v.Size, 3.0);
  MouseDown(v, 0, 0, kMouseMiddle);
  MouseMove(v, 0, 0, kMouseMiddle, 0, 0, TUpAxis::kZ);
  EXPECT_TRUE(std::isfinite(v.Centre.x) && std::isfinite(v.Centre.y) && std::isfinite(v.Centre.z));
}

}  // namespace

// ---- Fit view and the wheel ----

// Every corner of the box lands inside the panel, with the margin, in front of the near
// plane, and the box is framed tightly: some corner reaches the margin. Over both projections, many focal lengths, angles,
// up axes, panel shapes and boxes far from the origin.
TEST(ViewFit, WholeBoxFillsThePanelInEitherProjection) {
  const Vec3 boxes[][2] = {{Vec3(-1, -1, -1), Vec3(1, 1, 1)},
                           {Vec3(10, -3, 5), Vec3(14, 9, 5.5)},  // long and flat, off centre
                           {Vec3(0, 0, -8), Vec3(0.1, 0.1, 8)}};  // a rod
  for (const bool iso : {false, true})
    for (const int focal : {5, 50, 1000})
      for (const TUpAxis up : {TUpAxis::kX, TUpAxis::kZ, TUpAxis::kY})
        for (const auto& [yaw, pitch] : {std::pair{0.0, 0.0}, {37.0, -62.0}, {200.0, 89.99}})
          for (const auto& corners : boxes) {
            TSceneInputs in;
            in.isometric = iso;
            in.focalLength = focal;
            in.upAxis = up;
            TView v;
            v.Yaw = yaw;
            v.Pitch = pitch;
            TBox box;
            box.Add(corners[0]);
            box.Add(corners[1]);
            ASSERT_TRUE(FitView(v, box, kW, kH, in, 0.9));
            ComputeProjection(v, kW, kH, in, false);
            double reach = 0;  // the largest share of the half panel a corner takes
            double nearest = 1e300;  // the nearest corner's distance in front of the eye
            for (int i = 0; i < 8; ++i) {
              const Vec3 c(i & 1 ? corners[1].x : corners[0].x, i & 2 ? corners[1].y : corners[0].y,
                           i & 4 ? corners[1].z : corners[0].z);
              const auto s = ScreenOf(v, up, c);
              const double rx = std::fabs(s[0] - kW / 2.0) / (kW / 2.0);
              const double ry = std::fabs(s[1] - kH / 2.0) / (kH / 2.0);
              EXPECT_LE(rx, 0.9 + 1e-6) << iso << " " << focal << " " << yaw;
              EXPECT_LE(ry, 0.9 + 1e-6) << iso << " " << focal << " " << yaw;
              // In front of the near plane.
              const auto eye = Apply(OrbitModelView(v, up), {c.x, c.y, c.z, 1});
              // Between the near and the far plane.
              if (!iso) {
                EXPECT_GT(-eye[2], v.Near);
                EXPECT_LT(-eye[2], v.Far);
              }
              nearest = std::min(nearest, -eye[2]);
              reach = std::max({reach, rx, ry});
            }
            // Framed tightly: a corner reaches the margin, unless the box reaches towards the
            // eye so far that the near plane (half way to the look-at point) sets the size.
            if (iso || nearest > 1.1 * v.Near * (1 + 1e-9)) {
              EXPECT_GT(reach, 0.9 - 1e-6) << iso << " " << focal << " " << yaw;
            }
          }
}

TEST(ViewFit, NothingToFitLeavesTheView) {
  TSceneInputs in;
  TView v;
  v.Size = 7;
  EXPECT_FALSE(FitView(v, TBox{}, kW, kH, in));
  TBox box;
  box.Add(Vec3(0, 0, 0));
  box.Add(Vec3(std::numeric_limits<float>::infinity(), 0, 0));
  EXPECT_FALSE(FitView(v, box, kW, kH, in));
  TBox point;
  point.Add(Vec3(1, 2, 3));
  EXPECT_FALSE(FitView(v, point, 0, kH, in));
  EXPECT_EQ(v.Size, 7);
  EXPECT_TRUE(FitView(v, point, kW, kH, in));  // a point: centred, width kept
  EXPECT_EQ(v.Size, 7);
  EXPECT_NEAR(v.Centre.y, 2, 1e-6);
}

// The wheel scales as the right-button drag does and keeps the point under the cursor there;
// zooming in and out is never allowed to reach a size of zero or below.
TEST(ViewWheel, ZoomsAboutTheCursorByTheDragRule) {
  for (const bool iso : {false, true}) {
    TSceneInputs in;
    in.isometric = iso;
    TView v;
    v.Centre = Vec3(0.5, -1, 2);
    v.Yaw = 30;
    v.Pitch = -20;
    ComputeProjection(v, kW, kH, in, false);
    TView probe = v;
    // The world point of the look-at plane under (300, 60) by moving along the screen axes.
    const auto mv = OrbitModelView(v, TUpAxis::kZ);
    const Vec3 right(mv[0], mv[4], mv[8]), upward(mv[1], mv[5], mv[9]);
    const Vec3 under = v.Centre + right * ((300 - kW / 2.0) * v.Size / kW) +
                       upward * ((kH / 2.0 - 60) * v.Size / kW);
    const auto before = ScreenOf(v, TUpAxis::kZ, under);
    EXPECT_NEAR(before[0], 300, 1e-3);  // positions are single-precision
    EXPECT_NEAR(before[1], 60, 1e-3);

    ASSERT_TRUE(WheelZoom(probe, 1, 300, 60, kW, kH, TUpAxis::kZ));
    EXPECT_NEAR(probe.Size, v.Size * 0.9, 1e-12);  // a drag of h/20 down
    ComputeProjection(probe, kW, kH, in, false);
    const auto after = ScreenOf(probe, TUpAxis::kZ, under);
    EXPECT_NEAR(after[0], 300, 1e-3);
    EXPECT_NEAR(after[1], 60, 1e-3);

    TView out = v;
    ASSERT_TRUE(WheelZoom(out, -2, 300, 60, kW, kH, TUpAxis::kZ));
    EXPECT_NEAR(out.Size, v.Size * 1.2, 1e-12);
    // Ten notches at once would scale by zero: ignored, as the drag ignores it.
    TView far = v;
    EXPECT_FALSE(WheelZoom(far, 10, 300, 60, kW, kH, TUpAxis::kZ));
    EXPECT_FALSE(WheelZoom(far, std::numeric_limits<double>::quiet_NaN(), 1, 1, kW, kH,
                           TUpAxis::kZ));
    EXPECT_FALSE(WheelZoom(far, 1, 1, 1, kW, 0, TUpAxis::kZ));
    EXPECT_EQ(far.Size, v.Size);
  }
}

// ---- Standard views ----

// Where each standard view puts the camera, read from the matrix the frame uses: the direction
// from the look-at point towards the eye, in world axes, for every up axis.
TEST(ViewStandard, EachViewLooksFromItsSideOfTheModel) {
  TSceneInputs in;
  const auto towardsEye = [](const TView& v, TUpAxis up) {
    const auto m = OrbitModelView(v, up);
    return Vec3(m[2], m[6], m[10]);  // third row of the rotation
  };
  for (TUpAxis up : {TUpAxis::kZ, TUpAxis::kX, TUpAxis::kY}) {
    SCOPED_TRACE(int(up));
    // The world direction that points up on the screen.
    const Vec3 screenUp = up == TUpAxis::kZ ? Vec3(0, 0, 1) : UpVector(up);
    TView v = FramedView(in);
    v.Size = 7;
    SetStandardView(v, TStandardView::kFront);
    const Vec3 front = towardsEye(v, up);
    EXPECT_NEAR(front.Dot(screenUp), 0, 1e-12) << "the front view is level";
    EXPECT_EQ(v.Yaw, 0);
    EXPECT_EQ(v.Pitch, 0);
    SetStandardView(v, TStandardView::kSide);
    const Vec3 side = towardsEye(v, up);
    EXPECT_NEAR(side.Dot(screenUp), 0, 1e-12);
    EXPECT_NEAR(side.Dot(front), 0, 1e-12) << "the side view is a quarter turn from the front";
    // The right-hand side: the front view's screen right points at the eye.
    TView f = v;
    SetStandardView(f, TStandardView::kFront);
    const auto fm = OrbitModelView(f, up);
    EXPECT_NEAR(side.Dot(Vec3(fm[0], fm[4], fm[8])), 1, 1e-12);
    SetStandardView(v, TStandardView::kTop);
    EXPECT_GT(towardsEye(v, up).Dot(screenUp), 0.99999) << "the top view looks down the axis";
    EXPECT_EQ(v.Pitch, ClampPitch(-90)) << "and stays where the mouse keeps the pitch";
    SetStandardView(v, TStandardView::kOblique);
    const Vec3 o = towardsEye(v, up);
    // From above, in front and to the right, clearly away from every axis.
    EXPECT_GT(o.Dot(screenUp), 0.4);
    EXPECT_GT(o.Dot(front), 0.4);
    EXPECT_GT(o.Dot(side), 0.2);
    EXPECT_EQ(v.Size, 7) << "a standard view only turns the camera";
  }
  TStandardView named{};
  for (const char* name : {"front", "side", "top", "oblique"})
    EXPECT_TRUE(StandardViewFromName(name, named)) << name;
  for (const char* name : {"", "Top", "iso", "top "}) EXPECT_FALSE(StandardViewFromName(name, named));
  EXPECT_EQ(ClampPitch(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(ClampPitch(90), 89.99);
  EXPECT_EQ(ClampPitch(-1e300), -89.99);
  EXPECT_EQ(ClampPitch(-40), -40);
}

// "Fit view" of a flat model seen edge-on turns it to the oblique view first; a model with
// depth, or a flat one seen at an angle, keeps the angles it has.
TEST(ViewStandard, FitTurnsOnlyAFlatModelSeenEdgeOn) {
  TSceneInputs in;
  TBox flat, solid;
  flat.Add(Vec3(-4, -2, -0.1));
  flat.Add(Vec3(3, 2.5, 0.2));
  solid.Add(Vec3(-1, -1, 0));
  solid.Add(Vec3(1, 1, 1.7));
  const struct {
    const TBox& box;
    double yaw, pitch;
    bool turned;
  } cases[] = {{flat, 0, 0, true},     {flat, 70, -10, true},  {flat, 0, -30, false},
               {flat, 30, -89.99, false}, {solid, 0, 0, false}, {solid, 90, -5, false}};
  for (const auto& c : cases) {
    TView v = FramedView(in);
    v.Yaw = c.yaw;
    v.Pitch = c.pitch;
    EXPECT_EQ(SeenEdgeOn(v, c.box, TUpAxis::kZ), c.turned) << c.yaw << " " << c.pitch;
    ASSERT_TRUE(FitViewTurned(v, c.box, kW, kH, in));
    const TViewAngles oblique = StandardViewAngles(TStandardView::kOblique);
    EXPECT_EQ(v.Yaw, c.turned ? oblique.yaw : c.yaw);
    EXPECT_EQ(v.Pitch, c.turned ? oblique.pitch : c.pitch);
    TView plain = v;
    ASSERT_TRUE(FitView(plain, c.box, kW, kH, in));
    EXPECT_NEAR(plain.Size, v.Size, 1e-9) << "then fitted as Fit view fits";
  }
  // Under "Y up" the flat box's plane stands upright: the front view looks straight at it.
  TView v = FramedView(in);
  EXPECT_FALSE(SeenEdgeOn(v, flat, TUpAxis::kY));
  EXPECT_FALSE(SeenEdgeOn(v, TBox{}, TUpAxis::kZ));
}
