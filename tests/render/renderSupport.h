#pragma once
// Shared by the drawing tests: read-back images and a test for "a lit shade of this colour".

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/model/headlessWindow.h"
#include "app/model/readSceneInputs.h"
#include "render/offscreenContext.h"
#include "render/sceneDraw.h"

struct TRgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const TRgb&) const = default;
};

inline TRgb RgbOf(uint32_t color) {
  return {int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF)};
}

struct TImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // top row first

  TRgb At(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

// Whether p is `color` lit by white light without a highlight: ambient and diffuse light scale
// all three channels alike, so p is a multiple of the colour (channels that reach 255 clip).
// The scale is read from the colour's weakest channel, which clips last; too dark a pixel
// says nothing.
inline bool IsShadeOf(const TRgb& p, uint32_t color) {
  const TRgb c = RgbOf(color);
  const int weakest = std::min({c.r, c.g, c.b});
  const int seen = weakest == c.r ? p.r : weakest == c.g ? p.g : p.b;
  if (weakest == 0 || seen < 5 || seen >= 255) return false;
  const double t = double(seen) / weakest;
  auto fits = [&](int channel, int component) {
    const double expected = std::min(255.0, t * component);
    // Reading the scale from an 8-bit value is off by half a step, which the stronger
    // channels multiply.
    return std::abs(channel - expected) <= 2 + 0.5 * component / weakest;
  };
  return fits(p.r, c.r) && fits(p.g, c.g) && fits(p.b, c.b);
}

// A window in its start state drawing into a new surfaceless EGL context of width x height,
// its scene inputs read and the GL set-up done. Returns why not, or "".
inline std::string OpenGlWindow(std::unique_ptr<TOffscreenContext>& gl, THeadlessWindow& w,
                                TSceneInputs& in, int width, int height) {
  try {
    gl = std::make_unique<TOffscreenContext>(width, height);
  } catch (const std::exception& e) {
    return std::string("no surfaceless EGL context for the drawing tests: ") + e.what();
  }
  w.window.StartUp();
  in = ReadSceneInputs(w.controls);
  GLPanel1GLInit(w.app, width, height);
  return "";
}
