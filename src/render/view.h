#pragma once
// The camera state: look-at point, view size, two angles and the derived projection window.
// Plain data and maths only; the GL set-up that uses it lives with the scene drawing.

#include <array>
#include <cstdint>
#include <string_view>

#include "core/vec3.h"
#include "sceneInputs.h"

struct TView {
  Vec3 Centre;
  double Size = 3.0;
  double Yaw = 0;
  double Pitch = 0;
  double Distance = 0;
  double Left = 0, Right = 0, Bottom = 0, Top = 0, Near = 0, Far = 0;
  bool Isometric = false;
  int32_t LastX = 0, LastY = 0;
  uint8_t DragMode = 0;  // 0 none, 1 rotate, 2 zoom, 3 pan
  // The next frame fits the model to the panel before it is drawn: set where the panel's size
  // is not known (a lay-out that first appears), cleared by that frame.
  bool FitPending = false;
  std::array<double, 16> ModelView{};
  std::array<double, 16> Projection{};
  std::array<int32_t, 4> Viewport{};
};

// Centre on the model, no rotation, a view 3 units wide.
void ResetView(TView& view, const Vec3& modelCentre);

// The standard views, as the up axis stands on the screen: from the front (the start view, the
// camera level with the look-at point), from the right-hand side, from above, and from in
// front, to the right and above.
enum class TStandardView : uint8_t { kFront, kSide, kTop, kOblique };
struct TViewAngles {
  double yaw = 0, pitch = 0;
};
TViewAngles StandardViewAngles(TStandardView view);
// "front", "side", "top" or "oblique"; false for anything else.
bool StandardViewFromName(std::string_view name, TStandardView& view);
// Turns the camera to `view`; look-at point and size stay.
void SetStandardView(TView& view, TStandardView standard);
// A pitch as the mouse keeps it: within -89.99 .. 89.99, so the camera never looks exactly
// along the up axis; NaN gives 0.
double ClampPitch(double pitch);

// ---- Camera maths without GL (the GL set-up uses these) ----

// Distance and projection window for a panel of w x h pixels (steps of the per-frame set-up
// before any GL call). racing: the ride camera's narrower view.
void ComputeProjection(TView& view, int w, int h, const TSceneInputs& in, bool racing);

// Where export tile k (from 1) of n starts along a panel side of `side` pixels, as a fraction
// of the side; each tile spans 1/n of it. Tiles step by the read-back length `read` (0: the
// whole side), so that what one tile leaves unread the next one shows.
double ExportTileStart(int32_t k, double n, int32_t read, int side);

// The model-view matrix of the orbit camera (column-major, as GL holds it): the camera stands
// Distance from Centre, turned by Pitch and Yaw; the chosen world axis points up on the screen.
std::array<double, 16> OrbitModelView(const TView& view, TUpAxis up);

// The world direction that points up on the screen for the chosen axis.
Vec3 UpVector(TUpAxis up);

// Light 0's position (x, y, z, w) for a camera at distance d: in eye coordinates, or in world
// coordinates when the light is fixed to the world.
std::array<float, 4> LightPosition(const TSceneInputs& in, double d);

// Mouse on the panel. Buttons: left rotates, right zooms, middle pans. MouseMove returns true
// when the view changed and a frame should be drawn; it ends the drag when no button is held
// or the pointer left the w x h panel. Panning reads view.ModelView, the matrix of the last
// frame. The panel handles a press as a move at the same point right after MouseDown.
enum TMouseButtons : uint8_t { kMouseLeft = 1, kMouseRight = 2, kMouseMiddle = 4 };
void MouseDown(TView& view, int x, int y, uint8_t buttons);
// While the ride runs (`look` names its two look-around angles) a drag turns only the look.
struct TLookAround {
  double& h;
  double& v;
};
bool MouseMove(TView& view, int x, int y, uint8_t buttons, int w, int h, TUpAxis up,
               const TLookAround* look = nullptr);
void MouseUp(TView& view);

// An axis-aligned box in world coordinates; empty until a point is added.
struct TBox {
  Vec3 lo, hi;
  bool empty = true;
  void Add(const Vec3& p);
};

// "Fit view": Centre := the box's centre and Size := the smallest view size at which every
// corner of the box lies inside the middle `fill` part (0 < fill <= 1) of a w x h panel, for
// the current angles, focal length and projection. An empty box, a panel without area or a
// box that is not finite leaves the view as it was; returns whether it changed.
bool FitView(TView& view, const TBox& box, int w, int h, const TSceneInputs& in,
             double fill = 0.9);

// The box is flat (its thinnest side under a quarter of its longest) and the camera looks at
// it nearly edge-on: less than 15 degrees out of its plane. Such a view shows a line.
bool SeenEdgeOn(const TView& view, const TBox& box, TUpAxis up);

// "Fit view" as the button does it: a flat model seen edge-on is turned to the oblique view
// first, any other keeps its angles; then FitView.
bool FitViewTurned(TView& view, const TBox& box, int w, int h, const TSceneInputs& in,
                   double fill = 0.9);

// Where a world point lands on the w x h panel (pixels, y down) under the orbit camera.
// False when it lies behind the eye.
bool ProjectToPanel(const TView& view, const Vec3& p, int w, int h, const TSceneInputs& in,
                    double& px, double& py);

// The mouse wheel: `notches` steps away from the user (negative towards) zoom in (out) as a
// right-button drag of h/20 pixels per step down (up) does, about the cursor at (x, y): the
// point of the look-at plane under the cursor stays under it. False when nothing changed.
bool WheelZoom(TView& view, double notches, int x, int y, int w, int h, TUpAxis up);
