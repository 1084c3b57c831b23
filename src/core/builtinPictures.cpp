#include "builtinPictures.h"

#include <algorithm>
#include <cmath>

namespace {

struct TCanvas {
  TRgbPicture& p;
  void Set(int x, int y, double r, double g, double b) {
    uint8_t* px = p.rgb.data() + (static_cast<size_t>(y) * p.width + x) * 3;
    px[0] = static_cast<uint8_t>(std::clamp(r, 0.0, 255.0));
    px[1] = static_cast<uint8_t>(std::clamp(g, 0.0, 255.0));
    px[2] = static_cast<uint8_t>(std::clamp(b, 0.0, 255.0));
  }
  void Fill(int x0, int y0, int w, int h, double r, double g, double b) {
    for (int y = std::max(0, y0); y < std::min(p.height, y0 + h); ++y)
      for (int x = std::max(0, x0); x < std::min(p.width, x0 + w); ++x) Set(x, y, r, g, b);
  }
};

TRgbPicture Blank(int32_t width, int32_t height) {
  TRgbPicture p;
  p.width = width;
  p.height = height;
  p.rgb.assign(static_cast<size_t>(width) * height * 3, 255);
  return p;
}

// Deterministic lattice values in 0..1 and their smooth interpolation, wrapped in x with
// `period` lattice cells so that the picture joins up around the dome.
double Lattice(int i, int j) {
  uint32_t h = static_cast<uint32_t>(i) * 374761393u + static_cast<uint32_t>(j) * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

double Noise(double x, double y, int period) {
  const int i = static_cast<int>(std::floor(x)), j = static_cast<int>(std::floor(y));
  const double fx = x - i, fy = y - j;
  const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  auto at = [&](int a, int b) { return Lattice(((a % period) + period) % period, b); };
  const double top = at(i, j) + sx * (at(i + 1, j) - at(i, j));
  const double bottom = at(i, j + 1) + sx * (at(i + 1, j + 1) - at(i, j + 1));
  return top + sy * (bottom - top);
}

}  // namespace

TRgbPicture RailPicture() {
  TRgbPicture p = Blank(64, 64);
  TCanvas c{p};
  // Ballast with a little grain between the white margins.
  for (int y = 0; y < 64; ++y)
    for (int x = 4; x < 60; ++x) {
      const double grain = 24 * (Noise(x / 2.0, y / 2.0, 32) - 0.5);
      c.Set(x, y, 96 + grain, 90 + grain, 82 + grain);
    }
  // Sleepers across the track, one every 16 rows, with darker grain lines.
  for (int y = 3; y < 64; y += 16) {
    c.Fill(7, y, 50, 10, 122, 84, 50);
    c.Fill(7, y + 3, 50, 1, 104, 70, 40);
    c.Fill(7, y + 7, 50, 1, 134, 94, 58);
  }
  // Two rails along the track: a lit top, a bright stripe, a shadowed side.
  for (int x : {16, 42}) {
    c.Fill(x, 0, 6, 64, 150, 154, 162);
    c.Fill(x + 1, 0, 2, 64, 222, 226, 232);
    c.Fill(x + 5, 0, 1, 64, 84, 86, 92);
  }
  return p;
}

TRgbPicture SkyPicture() {
  TRgbPicture p = Blank(512, 256);
  TCanvas c{p};
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 512; ++x) {
      double r, g, b;
      if (y < 128) {
        const double t = y / 127.0;  // 0 at the zenith, 1 at the horizon
        r = 40 + 150 * t;
        g = 90 + 130 * t;
        b = 190 + 55 * t;
        const double cloud =
            0.6 * Noise(x / 32.0, y / 16.0, 16) + 0.4 * Noise(x / 16.0, y / 8.0, 32);
        // Clouds thin out towards the zenith: the dome gathers the top row into one point,
        // where anything but a plain colour turns into rays.
        const double k = std::clamp((cloud - 0.55) * 3.0, 0.0, 1.0) * (0.4 + 0.6 * t) *
                         std::clamp(t / 0.5, 0.0, 1.0);
        r += (250 - r) * k;
        g += (250 - g) * k;
        b += (252 - b) * k;
      } else {
        const double t = (y - 128) / 127.0;  // 0 at the horizon, 1 at the nadir
        const double grain = (Noise(x / 8.0, y / 4.0, 64) - 0.5) * std::clamp((1 - t) / 0.5, 0.0, 1.0);
        r = 110 - 50 * t + 20 * grain;
        g = 128 - 48 * t + 20 * grain;
        b = 84 - 40 * t + 12 * grain;
      }
      c.Set(x, y, r, g, b);
    }
  return p;
}
