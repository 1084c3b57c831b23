#pragma once
// The camera state: look-at point, view size, two angles and the derived projection window.
// Plain data and maths only; the GL set-up that uses it lives with the scene drawing.

#include <array>
#include <cstdint>

#include "core/vec3.h"

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
  std::array<double, 16> ModelView{};
  std::array<double, 16> Projection{};
  std::array<int32_t, 4> Viewport{};
};

// Centre on the model, no rotation, a view 3 units wide.
void ResetView(TView& view, const Vec3& modelCentre);
