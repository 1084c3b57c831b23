#pragma once
// The window's image export without a window: the same frame and the same export filter in
// an EGL context that needs no display.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/model/headlessWindow.h"
#include "render/imageExport.h"
#include "render/offscreenContext.h"

// A drawing panel of one size that windows draw in one after another, on the thread that made
// it: one context, in which the texture lists are built once (again only where a window loads
// another picture) and the driver keeps what it compiled for earlier frames. Each window's
// pictures are those a panel of its own would draw.
class THeadlessPanel {
 public:
  // Throws std::runtime_error when no context can be had.
  THeadlessPanel(int width, int height) : gl(width, height) {}

  int Width() const { return gl.Width(); }
  int Height() const { return gl.Height(); }

  // Readies the context for `w`: the one-time set-up, the textures w shows. Ends with
  // Release before another window begins.
  void Begin(THeadlessWindow& w);
  // Deletes what the scene of `w` kept in the context.
  void Release(THeadlessWindow& w);

 private:
  // What list 34 or 35 holds: the picture (null: the built-in one) and its record.
  struct THeld {
    bool built = false;
    std::shared_ptr<const TRgbPicture> picture;
    TTextureRecord record;
  };
  void Texture(const std::shared_ptr<const TRgbPicture>& picture, const TRgbPicture& builtIn,
               unsigned list, THeld& held, TTextureRecord& record);

  TOffscreenContext gl;
  bool setUp = false;
  THeld surface, sky;
};

// The current view of a panel of panelW x panelH pixels, exported with the settings of the
// window's controls ("Scale", "Anti-alias", "Filter", "Blur", "Jitter", "Seed"). With `panel`
// (of that size) the export draws there rather than in a context of its own.
TRgbImage RenderHeadless(THeadlessWindow& w, int panelW, int panelH,
                         TExportTimes* times = nullptr, THeadlessPanel* panel = nullptr);

// RenderHeadless written to `path` (.png, .jpg or .bmp) at "JPG qual". `progress` is told the
// renderings done after each; `stop` is asked after every sixth, and true ends the export
// with nothing written (the result is then false).
bool RenderImageFile(THeadlessWindow& w, int panelW, int panelH, const std::string& path,
                     const std::function<void(int64_t done, int64_t total)>& progress = nullptr,
                     const std::function<bool()>& stop = nullptr,
                     THeadlessPanel* panel = nullptr);
