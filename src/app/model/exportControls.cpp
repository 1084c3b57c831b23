#include "exportControls.h"

TExportSettings ReadExportSettings(const TControlPanel& c) {
  TExportSettings s;
  s.scale = c.Position("ud_imgscale");
  s.antialias = c.Position("ud_antialias");
  const int32_t item = c.ItemIndex("cb_filter");
  s.filter = item >= 1 && item <= 4 ? static_cast<TFilterKind>(item) : TFilterKind::kBox;
  s.blur = c.Position("ud_blur");
  s.jitter = c.Position("ud_jitter");
  s.seed = c.Position("ud_seed");
  return s;
}

std::string WithDefaultExtension(const std::string& name, const std::string& extension) {
  if (name.find('.') != std::string::npos) return name;
  return name + "." + extension;
}
