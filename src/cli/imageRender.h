#pragma once
// The window's image export without a window: the same frame and the same export filter in
// an EGL context that needs no display.

#include <string>

#include "app/model/headlessWindow.h"
#include "render/imageExport.h"

// The current view of a panel of panelW x panelH pixels, exported with the settings of the
// window's controls ("Scale", "Anti-alias", "Filter", "Blur", "Jitter", "Seed").
TRgbImage RenderHeadless(THeadlessWindow& w, int panelW, int panelH,
                         TExportTimes* times = nullptr);

// RenderHeadless written to `path` (.png, .jpg or .bmp) at "JPG qual".
void RenderImageFile(THeadlessWindow& w, int panelW, int panelH, const std::string& path);
