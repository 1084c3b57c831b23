#include "view.h"

void ResetView(TView& view, const Vec3& modelCentre) {
  view.Centre = modelCentre;
  view.Yaw = 0;
  view.Pitch = 0;
  view.Size = 3.0;
}
