#pragma once
// An exported picture rendered in tiles and jittered samples through the ordinary frame, read
// back after each rendering and spread into the accumulator with the filter's weights. Plain
// OpenGL: the caller's context must be current whenever drawFrame returns.

#include <chrono>
#include <functional>
#include <optional>

#include "core/exportFilter.h"
#include <string>
#include "sceneInputs.h"

struct TImageExportHooks {
  // Draws one frame of panel size with this tile state, leaving its frame buffer bound for
  // reading.
  std::function<void(const TExportTile& tile)> drawFrame;
  // Called after every sixth rendering: lets the window handle its events. Returns true when
  // the export is to stop.
  std::function<bool()> pump;
  // After every rendering: renderings done and the total.
  std::function<void(int64_t done, int64_t total)> progress;
};

// Time spent in each step of an export, summed over its renderings.
struct TExportTimes {
  std::chrono::nanoseconds rendering{0}, readBack{0}, accumulation{0}, finishing{0};
};

// The picture of (panelW rounded down to a multiple of 4) * scale by the same of panelH, or
// nothing when `pump` asked to stop. RangeError for settings or sizes that cannot be made.
std::optional<TRgbImage> RenderImage(const TExportSettings& settings, int panelW, int panelH,
                                     const TImageExportHooks& hooks,
                                     TExportTimes* times = nullptr);

// RenderImage written to `path` in `format`. Returns false when the export was cancelled:
// nothing is written then and an existing file stays as it was.
bool ExportImageFile(const TExportSettings& settings, int panelW, int panelH,
                     const TImageExportHooks& hooks, const std::string& path, int jpegQuality,
                     TExportTimes* times = nullptr);
