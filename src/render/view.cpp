#include "view.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace {

using TMatrix = std::array<double, 16>;  // column-major: element (row r, column c) at [c*4 + r]

// The focal length is in millimetres of a film this wide: the camera stands focal / 35 times
// the view's width from the look-at point.
constexpr double kFilmWidth = 35;

// The view's width after a zoom drag of `pixelsUp` pixels up a panel `h` high: up by half the
// height doubles it.
double ZoomedSize(double size, double pixelsUp, int h) { return (2 * pixelsUp / h + 1) * size; }

TMatrix Identity() {
  TMatrix m{};
  m[0] = m[5] = m[10] = m[15] = 1;
  return m;
}

// a * b, as GL multiplies the current matrix by a new one on the right.
TMatrix Multiply(const TMatrix& a, const TMatrix& b) {
  TMatrix r{};
  for (int c = 0; c < 4; ++c)
    for (int row = 0; row < 4; ++row) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[c * 4 + k];
      r[c * 4 + row] = sum;
    }
  return r;
}

TMatrix Translation(double x, double y, double z) {
  TMatrix m = Identity();
  m[12] = x;
  m[13] = y;
  m[14] = z;
  return m;
}

// Rotation by `degrees` about a unit axis, counter-clockwise looking down the axis.
TMatrix Rotation(double degrees, double x, double y, double z) {
  const double a = degrees * std::numbers::pi / 180;
  const double c = std::cos(a), s = std::sin(a), t = 1 - c;
  TMatrix m = Identity();
  m[0] = t * x * x + c;      m[4] = t * x * y - s * z;  m[8] = t * x * z + s * y;
  m[1] = t * x * y + s * z;  m[5] = t * y * y + c;      m[9] = t * y * z - s * x;
  m[2] = t * x * z - s * y;  m[6] = t * y * z + s * x;  m[10] = t * z * z + c;
  return m;
}

}  // namespace

TViewAngles StandardViewAngles(TStandardView view) {
  // A lower pitch lifts the camera; yaw 90 puts it on the +x side under "Z up".
  switch (view) {
    case TStandardView::kSide: return {90, 0};
    case TStandardView::kTop: return {0, -89.99};
    case TStandardView::kOblique: return {30, -40};
    default: return {0, 0};
  }
}

bool StandardViewFromName(std::string_view name, TStandardView& view) {
  static constexpr std::pair<std::string_view, TStandardView> kNames[] = {
      {"front", TStandardView::kFront},
      {"side", TStandardView::kSide},
      {"top", TStandardView::kTop},
      {"oblique", TStandardView::kOblique}};
  for (const auto& [n, v] : kNames)
    if (n == name) {
      view = v;
      return true;
    }
  return false;
}

void SetStandardView(TView& view, TStandardView standard) {
  const TViewAngles a = StandardViewAngles(standard);
  view.Yaw = a.yaw;
  view.Pitch = a.pitch;
}

double ClampPitch(double pitch) {
  if (std::isnan(pitch)) return 0;
  return std::clamp(pitch, -89.99, 89.99);
}

void ResetView(TView& view, const Vec3& modelCentre) {
  view.Centre = modelCentre;
  view.Yaw = 0;
  view.Pitch = 0;
  view.Size = 3.0;
}

double ExportTileStart(int32_t k, double n, int32_t read, int side) {
  const double part = read > 0 && side > 0 ? static_cast<double>(read) / side : 1.0;
  return (k - 1) / n * part;
}

void ComputeProjection(TView& view, int w, int h, const TSceneInputs& in, bool racing) {
  view.Isometric = in.isometric;
  const double s = racing ? 0.3 : view.Size;
  double f = in.focalLength * s / kFilmWidth;
  if (racing) f = f * 3 / 5;
  view.Distance = f;
  const double k = view.Isometric ? 1.0 : (racing ? 0.05 : 0.5);
  // A panel without height gives an infinite aspect: the window collapses and GL refuses it,
  // which draws nothing rather than failing.
  const double aspect = static_cast<double>(w) / h;

  const TExportTile& tile = in.tile;
  double dx = 0, dy = 0;
  if (tile.sampleCount > 1) {
    // Shift the window against the jitter by that many of its own pixels. Pixels are square,
    // so a pixel's height in the window is k s / w as well: the window is only k s / aspect
    // tall, and dividing k s by h would scale the vertical jitter by the aspect.
    const double m = tile.tileCount >= 1 ? tile.tileCount : 1;
    dx = -tile.jitterX * k * s / (w * m);
    dy = -tile.jitterY * k * s / (w * m);
  }

  const double l = -k * s / 2, r = k * s / 2;
  const double b = -k * s / (2 * aspect), t = k * s / (2 * aspect);
  if (tile.tileCount > 0) {
    const double n = tile.tileCount;
    const double x0 = l + (r - l) * ExportTileStart(tile.tileX, n, tile.readW, w);
    const double y0 = b + (t - b) * ExportTileStart(tile.tileY, n, tile.readH, h);
    view.Left = x0 + dx;
    view.Right = x0 + (r - l) / n + dx;
    view.Bottom = y0 + dy;
    view.Top = y0 + (t - b) / n + dy;
  } else {
    view.Left = l + dx;
    view.Right = r + dx;
    view.Bottom = b + dy;
    view.Top = t + dy;
  }
  view.Near = k * f;
  view.Far = racing ? 500 * f : 10 * f;
  if (view.Isometric) view.Near = 0.01 * f;
}

std::array<double, 16> OrbitModelView(const TView& view, TUpAxis up) {
  TMatrix m = Translation(0, 0, -view.Distance);
  m = Multiply(m, Rotation(-view.Pitch, 1, 0, 0));
  m = Multiply(m, Rotation(-view.Yaw, 0, 1, 0));
  if (up == TUpAxis::kX) m = Multiply(m, Rotation(-90, 0, 0, 1));
  else if (up == TUpAxis::kY) m = Multiply(m, Rotation(-90, 1, 0, 0));
  // The model's own z axis is up before the up-axis choice.
  m = Multiply(m, Rotation(-90, 1, 0, 0));
  return Multiply(m, Translation(-view.Centre.x, -view.Centre.y, -view.Centre.z));
}

std::array<float, 4> LightPosition(const TSceneInputs& in, double d) {
  const float w = in.directionalLight ? 0.0f : 1.0f;
  const double phi = in.lightLeftRight * std::numbers::pi / 180;
  const double theta = in.lightUpDown * std::numbers::pi / 180;
  const auto x = static_cast<float>(d * std::cos(theta) * std::sin(phi));
  const auto vertical = static_cast<float>(d * std::sin(theta));
  const auto depth = static_cast<float>(d * std::cos(theta) * std::cos(phi));
  if (in.lightFixedToWorld) return {x, depth, vertical, w};  // world coordinates, z up
  return {x, vertical, depth, w};                            // eye coordinates, y up
}

void MouseDown(TView& view, int x, int y, uint8_t buttons) {
  view.LastX = x;
  view.LastY = y;
  if (buttons & kMouseLeft) view.DragMode = 1;
  else if (buttons & kMouseRight) view.DragMode = 2;
  else if (buttons & kMouseMiddle) view.DragMode = 3;
  else view.DragMode = 0;
}

Vec3 UpVector(TUpAxis up) {
  switch (up) {
    case TUpAxis::kX: return Vec3(-1, 0, 0);
    case TUpAxis::kY: return Vec3(0, -1, 0);
    default: return Vec3(0, 0, 1);
  }
}

bool MouseMove(TView& view, int x, int y, uint8_t buttons, int w, int h, TUpAxis up,
               const TLookAround* look) {
  if (view.DragMode == 0) return false;
  // A panel without area cannot scale a drag (every step divides by its size).
  if (buttons == 0 || x < 0 || y < 0 || x > w || y > h || w <= 0 || h <= 0) {
    view.DragMode = 0;
    return false;
  }
  const int dx = x - view.LastX;
  const int dy = y - view.LastY;
  switch (look ? 0 : view.DragMode) {
    case 0:  // riding: only the look-around turns
      look->h += 250.0 * dx / w;
      look->v += 250.0 * dy / w;
      break;
    case 1:  // rotate, one degree per pixel; never exactly along the up axis
      view.Yaw -= dx;
      view.Pitch -= dy;
      if (view.Pitch <= -90) view.Pitch = -89.99;
      if (view.Pitch >= 90) view.Pitch = 89.99;
      break;
    case 2: {  // zoom
      const double size = ZoomedSize(view.Size, view.LastY - y, h);
      if (size > 0 && std::isfinite(size)) view.Size = size;
      break;
    }
    case 3: {  // pan in the screen plane of the last frame
      const std::array<double, 16>& mv = view.ModelView;
      const Vec3 z(mv[2], mv[6], mv[10]);  // third row: from the scene towards the eye
      Vec3 u(0, 0, 1);
      if (std::fabs(z.x) < 0.1 && std::fabs(z.y) < 0.1 && std::fabs(z.z - 1) < 0.1)
        u = Vec3(mv[1], mv[5], mv[9]);  // looking straight down: the screen's own up
      if (up != TUpAxis::kZ) u = UpVector(up);
      // Looking (nearly) along the chosen axis, from above or below, z x u vanishes: the
      // screen's own up then says where up is.
      if (std::fabs(z.Dot(u)) > 0.99) u = Vec3(mv[1], mv[5], mv[9]);
      const Vec3 right = z.Cross(u);
      const Vec3 upward = z.Cross(right);
      view.Centre += (dx * right - dy * upward) * (view.Size / w);
      break;
    }
    default:
      break;
  }
  view.LastX = x;
  view.LastY = y;
  return true;
}

void MouseUp(TView& view) { view.DragMode = 0; }

void TBox::Add(const Vec3& p) {
  if (empty) {
    lo = hi = p;
    empty = false;
    return;
  }
  lo = Vec3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
  hi = Vec3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
}

namespace {

// tan of half the horizontal field of view; 0 for the parallel projection, whose visible
// width does not depend on depth.
double HalfAngleTan(const TSceneInputs& in) {
  return in.isometric || in.focalLength <= 0 ? 0.0 : kFilmWidth / 2 / in.focalLength;
}

// p relative to the look-at point in eye axes (x right, y up, z towards the eye).
Vec3 EyeOffset(const TView& view, const Vec3& p, TUpAxis up) {
  TView turned = view;
  turned.Distance = 0;
  const std::array<double, 16> m = OrbitModelView(turned, up);
  return Vec3(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
              m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
              m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]);
}

}  // namespace

bool FitView(TView& view, const TBox& box, int w, int h, const TSceneInputs& in, double fill) {
  if (box.empty || w <= 0 || h <= 0 || !(fill > 0 && fill <= 1)) return false;
  for (const float c : {box.lo.x, box.lo.y, box.lo.z, box.hi.x, box.hi.y, box.hi.z})
    if (!std::isfinite(c)) return false;
  TView fitted = view;
  fitted.Centre = Vec3((double(box.lo.x) + box.hi.x) / 2, (double(box.lo.y) + box.hi.y) / 2,
                       (double(box.lo.z) + box.hi.z) / 2);
  // At eye depth z (towards the eye) the visible half-width is Size/2 - z·T, with the camera
  // Size/(2T) from the look-at point; so a corner at (x, y, z) needs
  // Size >= 2(|x|/fill + z·T) across and Size >= 2(aspect·|y|/fill + z·T) upwards, and it must
  // lie beyond the near plane, half way to the look-at point: Size > 4·z·T.
  const double t = HalfAngleTan(in);
  const double aspect = static_cast<double>(w) / h;
  double size = 0;
  for (int i = 0; i < 8; ++i) {
    const Vec3 corner(i & 1 ? box.hi.x : box.lo.x, i & 2 ? box.hi.y : box.lo.y,
                      i & 4 ? box.hi.z : box.lo.z);
    const Vec3 e = EyeOffset(fitted, corner, in.upAxis);
    size = std::max({size, 2 * (std::fabs(e.x) / fill + e.z * t),
                     2 * (aspect * std::fabs(e.y) / fill + e.z * t), 4.4 * e.z * t});
  }
  if (!std::isfinite(size)) return false;
  // A single point keeps the view's width.
  if (!(size > 1e-6)) size = view.Size > 0 ? view.Size : 3.0;
  fitted.Size = size;
  view = fitted;
  return true;
}

bool SeenEdgeOn(const TView& view, const TBox& box, TUpAxis up) {
  if (box.empty) return false;
  const double sides[3] = {double(box.hi.x) - box.lo.x, double(box.hi.y) - box.lo.y,
                           double(box.hi.z) - box.lo.z};
  const int thin = static_cast<int>(std::min_element(sides, sides + 3) - sides);
  const double longest = *std::max_element(sides, sides + 3);
  if (!std::isfinite(longest) || !(longest > 0) || sides[thin] > longest / 4) return false;
  // The third row of the rotation: the direction towards the eye, in world axes.
  TView turned = view;
  turned.Distance = 0;
  const std::array<double, 16> m = OrbitModelView(turned, up);
  const double towardsEye[3] = {m[2], m[6], m[10]};
  return std::fabs(towardsEye[thin]) < std::sin(15 * std::numbers::pi / 180);
}

bool FitViewTurned(TView& view, const TBox& box, int w, int h, const TSceneInputs& in,
                   double fill) {
  TView fitted = view;
  if (SeenEdgeOn(fitted, box, in.upAxis)) SetStandardView(fitted, TStandardView::kOblique);
  if (!FitView(fitted, box, w, h, in, fill)) return false;
  view = fitted;
  return true;
}

bool ProjectToPanel(const TView& view, const Vec3& p, int w, int h, const TSceneInputs& in,
                    double& px, double& py) {
  if (w <= 0 || h <= 0) return false;
  const Vec3 e = EyeOffset(view, p, in.upAxis);
  const double t = HalfAngleTan(in);
  // Visible half-width at the point's depth, in world units.
  const double half = view.Size / 2 - e.z * t;
  if (!(half > 0)) return false;
  px = w / 2.0 + e.x / half * (w / 2.0);
  py = h / 2.0 - e.y / half * (w / 2.0);
  return true;
}

bool WheelZoom(TView& view, double notches, int x, int y, int w, int h, TUpAxis up) {
  if (w <= 0 || h <= 0 || !std::isfinite(notches) || notches == 0) return false;
  // As a zoom drag: a step away from the user is h/20 pixels down.
  const double size = ZoomedSize(view.Size, -notches * h / 20.0, h);
  if (!(size > 0) || !std::isfinite(size)) return false;
  // The cursor's point of the look-at plane, relative to the centre, in screen units of the
  // old size; it keeps its place when the centre moves by (1 - new/old) of that offset.
  const double ox = (x - w / 2.0) * view.Size / w;
  const double oy = (h / 2.0 - y) * view.Size / w;
  TView turned = view;
  turned.Distance = 0;
  const std::array<double, 16> m = OrbitModelView(turned, up);
  const Vec3 right(m[0], m[4], m[8]), upward(m[1], m[5], m[9]);  // rows of the rotation
  const double k = 1 - size / view.Size;
  view.Centre += (right * ox + upward * oy) * k;
  view.Size = size;
  return true;
}
