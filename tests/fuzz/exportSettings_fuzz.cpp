// Arbitrary export settings and panel sizes through the filter table and the accumulator: a
// clear RangeError or weights that are finite and sum to 1, and never an allocation beyond
// the picture limit.

#include <vector>

#include "core/exportFilter.h"
#include "fuzzSupport.h"

namespace {

// In the controls' range most of the time, anything at all otherwise.
int32_t Setting(TFuzzInput& in, int32_t lo, int32_t hi) {
  return in.Bool() ? in.Int32() : in.Int(lo, hi);
}

void CheckTable(const TFilterTable& t, const TExportSettings& s) {
  Expect(t.Radius() >= 0 && t.Radius() <= kMaxFilterRadius, "radius outside the tables");
  Expect(t.Samples() == s.antialias, "sample count differs from \"Anti-alias\"");
  double sum = 0;
  const int32_t r = t.Radius(), a = t.Samples();
  for (int32_t u = 0; u < a; ++u)
    for (int32_t v = 0; v < a; ++v) {
      Expect(std::isfinite(t.JitterX(u, v)) && std::isfinite(t.JitterY(u, v)),
             "offset not finite");
      for (int32_t j = -r; j <= r; ++j)
        for (int32_t i = -r; i <= r; ++i) {
          const double w = t.Weight(u, v, i, j);
          Expect(std::isfinite(w), "weight not finite");
          sum += w;
        }
    }
  Expect(std::fabs(sum - 1) < 1e-9, "weights sum to " + std::to_string(sum));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput in(data, size);
  TExportSettings s;
  s.filter = static_cast<TFilterKind>(in.Bool() ? in.Byte() : in.Byte() % 5);
  s.blur = Setting(in, 0, 1000);
  s.jitter = Setting(in, 0, 1000);
  s.seed = Setting(in, 0, 1000);
  s.scale = Setting(in, 1, 100);
  s.antialias = Setting(in, 1, 100);
  const int32_t panelW = Setting(in, 0, 2000), panelH = Setting(in, 0, 2000);

  try {
    const TFilterTable table = BuildFilterTable(s);
    CheckTable(table, s);
    int32_t w = 0, h = 0;
    ExportReadSize(panelW, panelH, s.scale, w, h);
    Expect(w % 4 == 0 && h % 4 == 0 && w <= panelW && h <= panelH, "read-back size");
    Expect(int64_t{w} * s.scale * h * s.scale <= kMaxExportPixels, "picture beyond the limit");
    // The accumulation itself only on pictures that take no time.
    if (int64_t{w} * h * s.scale * s.scale > 4096 || int64_t{s.antialias} * s.antialias > 64)
      return 0;
    TAccumulator acc(table, w, h, s.scale);
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 3);
    for (uint8_t& p : pixels) p = in.Byte();
    for (int32_t u = 0; u < s.antialias; ++u)
      for (int32_t v = 0; v < s.antialias; ++v) acc.Add(pixels.data(), 1, s.scale, u, v);
    acc.NormaliseBorders();
    const TRgbImage image = acc.ToImage();
    Expect(image.width == w * s.scale && image.height == h * s.scale &&
               image.rgb.size() == static_cast<size_t>(image.width) * image.height * 3,
           "picture size");
  } catch (const std::exception& e) {
    Expect(dynamic_cast<const RangeError*>(&e) != nullptr,
           std::string("not a RangeError: ") + e.what());
    ExpectDeliberate(e);
  }
  return 0;
}
