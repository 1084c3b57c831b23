#include "readSceneInputs.h"

// The captions do not follow the names: rb_y is "Z up" and rb_z is "Y up". "X up" wins over
// "Y up", and "Z up" is also the answer when no button is checked.
TUpAxis UpAxis(const TControlPanel& c) {
  if (c.Checked("rb_x")) return TUpAxis::kX;
  if (c.Checked("rb_z")) return TUpAxis::kY;
  return TUpAxis::kZ;
}

TSceneInputs ReadSceneInputs(const TControlPanel& c) {
  TSceneInputs in;
  in.showSurfaces = c.Checked("cb_showsurfaces");
  in.showMeshLines = c.Checked("cbshline");
  in.backgroundTop = c.Color("sh_background");
  in.backgroundBottom = c.Color("sh_background2");
  in.specular = c.Color("sh_specular");
  in.shininess = c.Position("ud_shininess");
  in.lineWidth = c.Position("ud_linewidth");
  in.skyStandard = c.Checked("cb_useskystand");
  in.skyRacing = c.Checked("cb_useskyrace");
  in.focalLength = c.Position("ud_foc_length");
  in.isometric = c.Checked("cb_iso");
  in.upAxis = UpAxis(c);
  in.lightLeftRight = c.Position("ud_lr_light");
  in.lightUpDown = c.Position("ud_ud_light");
  in.lightFixedToWorld = c.Checked("cb_world_light");
  in.directionalLight = c.Checked("cb_dir_light");
  return in;
}
