#pragma once
// The window's image export without a window: the same frame and the same export filter in
// an EGL context that needs no display.

#include <cstdint>
#include <functional>
#include <string>

#include "app/model/headlessWindow.h"
#include "render/imageExport.h"

// The current view of a panel of panelW x panelH pixels, exported with the settings of the
// window's controls ("Scale", "Anti-alias", "Filter", "Blur", "Jitter", "Seed").
TRgbImage RenderHeadless(THeadlessWindow& w, int panelW, int panelH,
                         TExportTimes* times = nullptr);

// RenderHeadless written to `path` (.png, .jpg or .bmp) at "JPG qual". `progress` is told the
// renderings done after each; `stop` is asked after every sixth, and true ends the export
// with nothing written (the result is then false).
bool RenderImageFile(THeadlessWindow& w, int panelW, int panelH, const std::string& path,
                     const std::function<void(int64_t done, int64_t total)>& progress = nullptr,
                     const std::function<bool()>& stop = nullptr);
