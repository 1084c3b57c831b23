#include "view.h"

void ResetView(TView& view, const Vec3& modelCentre) {
  view.Centre = modelCentre;
  view.Yaw = 0;
  view.Pitch = 0;
  view.Size = 3.0;
}
// Placeholders until the camera maths land in this file.
void ComputeProjection(TView&, int, int, const TSceneInputs&, bool) {}
std::array<double, 16> OrbitModelView(const TView&, TUpAxis) { return {}; }
std::array<float, 4> LightPosition(const TSceneInputs&, double) { return {}; }
void MouseDown(TView&, int, int, uint8_t) {}
bool MouseMove(TView&, int, int, uint8_t, int, int, TUpAxis) { return false; }
void MouseUp(TView&) {}
