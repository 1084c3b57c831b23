#include "imageExport.h"

#include <GL/gl.h>

#include <vector>

#include "core/imageFile.h"

namespace {

using Clock = std::chrono::steady_clock;

void AddTime(std::chrono::nanoseconds* sum, Clock::time_point& since) {
  const Clock::time_point now = Clock::now();
  if (sum) *sum += now - since;
  since = now;
}

}  // namespace

std::optional<TRgbImage> RenderImage(const TExportSettings& settings, int panelW, int panelH,
                                     const TImageExportHooks& hooks, TExportTimes* times) {
  const TFilterTable table = BuildFilterTable(settings);
  int32_t w = 0, h = 0;
  ExportReadSize(panelW, panelH, settings.scale, w, h);
  TAccumulator accumulator(table, w, h, settings.scale);
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 3);

  const int32_t n = settings.scale, a = settings.antialias;
  const int64_t total = int64_t{n} * n * a * a;
  int64_t done = 0;
  int countdown = 5;
  TExportTile tile;
  tile.tileCount = n;
  tile.sampleCount = a;
  tile.readW = w;
  tile.readH = h;
  Clock::time_point since = Clock::now();
  // Top row first, so that the picture grows down the window as it would be read.
  for (tile.tileY = n; tile.tileY >= 1; --tile.tileY)
    for (tile.tileX = 1; tile.tileX <= n; ++tile.tileX)
      for (int32_t u = 0; u < a; ++u)
        for (int32_t v = 0; v < a; ++v) {
          tile.jitterX = table.JitterX(u, v);
          tile.jitterY = table.JitterY(u, v);
          hooks.drawFrame(tile);
          glFinish();
          AddTime(times ? &times->rendering : nullptr, since);
          glPixelStorei(GL_PACK_ALIGNMENT, 1);
          glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
          AddTime(times ? &times->readBack : nullptr, since);
          accumulator.Add(pixels.data(), tile.tileX, tile.tileY, u, v);
          AddTime(times ? &times->accumulation : nullptr, since);
          ++done;
          if (hooks.progress) hooks.progress(done, total);
          if (countdown-- == 0) {
            countdown = 5;
            if (hooks.pump && hooks.pump()) return std::nullopt;
            since = Clock::now();
          }
        }
  accumulator.NormaliseBorders();
  TRgbImage image = accumulator.ToImage();
  AddTime(times ? &times->finishing : nullptr, since);
  return image;
}

bool ExportImageFile(const TExportSettings& settings, int panelW, int panelH,
                     const TImageExportHooks& hooks, const std::string& path, int jpegQuality,
                     TExportTimes* times) {
  // An unknown extension is refused before minutes of rendering.
  const TImageFormat format = ImageFormatFromName(path);
  const std::optional<TRgbImage> image = RenderImage(settings, panelW, panelH, hooks, times);
  if (!image) return false;
  WriteImageFile(*image, path, format, jpegQuality);
  return true;
}
