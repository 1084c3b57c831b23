#include "exportFilter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

#include "rangeError.h"

namespace {

constexpr TFilterKind kKinds[] = {TFilterKind::kBox, TFilterKind::kQuadratic,
                                  TFilterKind::kBSpline, TFilterKind::kMitchell,
                                  TFilterKind::kLanczos};

double Sinc(double x) {
  if (x == 0) return 1;
  const double px = std::numbers::pi * x;
  return std::sin(px) / px;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

void CheckRange(const char* what, int64_t value, int64_t lo, int64_t hi) {
  if (value < lo || value > hi)
    throw RangeError(std::string(what) + " must be " + std::to_string(lo) + " to " +
                     std::to_string(hi) + ", not " + std::to_string(value));
}

}  // namespace

const char* FilterName(TFilterKind kind) {
  switch (kind) {
    case TFilterKind::kBox: return "Box";
    case TFilterKind::kQuadratic: return "Quadratic";
    case TFilterKind::kBSpline: return "B-spline";
    case TFilterKind::kMitchell: return "Mitchell";
    case TFilterKind::kLanczos: return "Lanczos";
  }
  return "Box";
}

TFilterKind FilterKindFromName(const std::string& name) {
  const std::string n = Lower(name);
  if (n == "bspline") return TFilterKind::kBSpline;
  for (TFilterKind k : kKinds)
    if (n == Lower(FilterName(k))) return k;
  throw RangeError("unknown filter '" + name +
                   "'; the filters are Box, Quadratic, B-spline, Mitchell and Lanczos");
}

double FilterKernel(TFilterKind kind, double t) {
  const double x = std::fabs(t);
  switch (kind) {
    case TFilterKind::kBox:
      return x < 1 ? 1 : 0;
    case TFilterKind::kQuadratic:
      if (x < 0.5) return 0.75 - x * x;
      if (x < 1.5) return 0.5 * (x - 1.5) * (x - 1.5);
      return 0;
    case TFilterKind::kBSpline:
      if (x < 1) return (3 * x * x * x - 6 * x * x + 4) / 6;
      if (x < 2) return (2 - x) * (2 - x) * (2 - x) / 6;
      return 0;
    case TFilterKind::kMitchell:
      if (x < 1) return 7.0 / 6 * x * x * x - 2 * x * x + 8.0 / 9;
      if (x < 2) return -7.0 / 18 * x * x * x + 2 * x * x - 10.0 / 3 * x + 16.0 / 9;
      return 0;
    case TFilterKind::kLanczos:
      return x < 3 ? Sinc(x) * Sinc(x / 3) : 0;
  }
  return 0;
}

double FilterSupport(TFilterKind kind) {
  switch (kind) {
    case TFilterKind::kBox: return 0.5;
    case TFilterKind::kQuadratic: return 1.5;
    case TFilterKind::kBSpline:
    case TFilterKind::kMitchell: return 2;
    case TFilterKind::kLanczos: return 3;
  }
  return 0.5;
}

namespace {

// A blur of 0 leaves every kernel undefined (0/0): it counts as the smallest the control
// offers above 0.
double FilterBlur(const TExportSettings& s) { return s.blur > 0 ? s.blur / 100.0 : 0.01; }

}  // namespace

int32_t FilterRadius(const TExportSettings& s) {
  const double radius = FilterSupport(s.filter) * FilterBlur(s);
  // Lanczos beyond 684 % would need more shifts than the tables hold; the kernel is cut there
  // and the weights normalised over what is left.
  return std::clamp(static_cast<int32_t>(std::nearbyint(radius - 0.0001)), 0, kMaxFilterRadius);
}

TFilterTable BuildFilterTable(const TExportSettings& s) {
  CheckRange("\"Anti-alias\"", s.antialias, 1, 100);
  CheckRange("\"Scale\"", s.scale, 1, 100);
  CheckRange("\"Blur\"", s.blur, 0, 1000);
  CheckRange("\"Jitter\"", s.jitter, 0, 1000);
  bool knownKind = false;
  for (TFilterKind k : kKinds) knownKind = knownKind || k == s.filter;
  if (!knownKind) throw RangeError("unknown filter number " + std::to_string(int(s.filter)));

  const double blur = FilterBlur(s);
  const double jitter = s.jitter / 100.0;
  const int32_t r = FilterRadius(s);

  TFilterTable t;
  t.r = r;
  t.a = s.antialias;
  const int32_t a = t.a;
  const size_t samples = static_cast<size_t>(a) * a;
  const size_t span = t.Span();
  t.jx.resize(samples);
  t.jy.resize(samples);
  t.hx.assign(samples * span, 0);
  t.vy.assign(samples * span, 0);

  const double step = 1.0 / a;
  TLcg random(static_cast<uint32_t>(s.seed) * 9876u + 12345u);
  for (int32_t u = 0; u < a; ++u)
    for (int32_t v = 0; v < a; ++v) {
      const size_t k = t.Index(u, v);
      t.jx[k] = (random.Random(10000) / 10000.0 - 0.5) * jitter * step + u * step -
                (a - 1) * step / 2;
      t.jy[k] = (random.Random(10000) / 10000.0 - 0.5) * jitter * step + v * step -
                (a - 1) * step / 2;
    }

  double total = 0;
  for (size_t k = 0; k < samples; ++k) {
    double sumH = 0, sumV = 0;
    for (int32_t i = -r; i <= r; ++i) {
      const double h = FilterKernel(s.filter, (i + t.jx[k]) / blur);
      const double v = FilterKernel(s.filter, (i + t.jy[k]) / blur);
      t.hx[k * span + (i + r)] = h;
      t.vy[k * span + (i + r)] = v;
      sumH += h;
      sumV += v;
    }
    total += sumH * sumV;
  }
  if (!(std::fabs(total) > 1e-9) || !std::isfinite(total)) {
    // No sample lies under any kernel (a tiny blur with the samples jittered off the pixel
    // centres): each sample goes whole to the pixel it falls in.
    std::fill(t.hx.begin(), t.hx.end(), 0.0);
    std::fill(t.vy.begin(), t.vy.end(), 0.0);
    for (size_t k = 0; k < samples; ++k) {
      const auto i = std::clamp(static_cast<int32_t>(std::lround(-t.jx[k])), -r, r);
      const auto j = std::clamp(static_cast<int32_t>(std::lround(-t.jy[k])), -r, r);
      t.hx[k * span + (i + r)] = 1;
      t.vy[k * span + (j + r)] = 1;
    }
    total = static_cast<double>(samples);
  }
  for (double& h : t.hx) h /= total;

  t.shiftSum.assign(span * span, 0);
  for (size_t k = 0; k < samples; ++k)
    for (size_t j = 0; j < span; ++j)
      for (size_t i = 0; i < span; ++i)
        t.shiftSum[j * span + i] += t.hx[k * span + i] * t.vy[k * span + j];
  return t;
}

void ExportReadSize(int w, int h, int32_t scale, int32_t& readW, int32_t& readH) {
  readW = std::max(w, 0) / 4 * 4;
  readH = std::max(h, 0) / 4 * 4;
  if (readW == 0 || readH == 0)
    throw RangeError("the drawing panel is " + std::to_string(w) + " x " + std::to_string(h) +
                     " pixels; an image needs at least 4 x 4");
  CheckRange("\"Scale\"", scale, 1, 100);
  const int64_t iw = int64_t{readW} * scale, ih = int64_t{readH} * scale;
  // The sides first: their product could overflow.
  if (iw > kMaxExportSide || ih > kMaxExportSide || iw * ih > kMaxExportPixels)
    throw RangeError("the image would be " + std::to_string(iw) + " x " + std::to_string(ih) +
                     " pixels; an image can have at most " +
                     std::to_string(kMaxExportPixels / 1'000'000) + " million pixels and " +
                     std::to_string(kMaxExportSide) + " a side: " +
                     (scale > 1 ? "lower \"Scale\"" : "make the drawing panel smaller"));
}

namespace {

// The accumulator's inner loops, written so that the compiler vectorises them; built a second
// time for AVX2, which the processor picks at load time where it has it (not in the sanitised
// build, whose run-time starts after such a choice is made).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
#define VELTRANE_SIMD_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VELTRANE_SIMD_CLONES
#endif

VELTRANE_SIMD_CLONES
void AddScaled(float* __restrict dst, const float* __restrict src, float w, size_t n) {
  for (size_t c = 0; c < n; ++c) dst[c] += w * src[c];
}

VELTRANE_SIMD_CLONES
void BytesToFloats(const uint8_t* __restrict src, float* __restrict dst, size_t n) {
  for (size_t c = 0; c < n; ++c) dst[c] = src[c];
}

// Rounded to nearest, ties to even, and clamped to 0..255 (NaN to 0). Adding 2^23 rounds a
// float in 0..255 to an integer under the default rounding mode, as nearbyint does.
VELTRANE_SIMD_CLONES
void FloatsToBytes(const float* __restrict src, uint8_t* __restrict dst, size_t n) {
  constexpr float kRound = 8388608.0f;
  for (size_t c = 0; c < n; ++c) {
    float v = src[c] > 0 ? src[c] : 0.0f;
    v = v < 255 ? v : 255.0f;
    dst[c] = static_cast<uint8_t>(static_cast<int32_t>((v + kRound) - kRound));
  }
}

}  // namespace

TAccumulator::TAccumulator(const TFilterTable& table, int32_t readW, int32_t readH,
                           int32_t scale)
    : table(table), W(readW), H(readH), n(scale), r(table.Radius()) {
  int32_t checkW = 0, checkH = 0;
  ExportReadSize(readW, readH, scale, checkW, checkH);
  if (checkW != readW || checkH != readH)
    throw RangeError("the read-back size must be a multiple of 4");
  stride = static_cast<size_t>(W) * n + 2 * static_cast<size_t>(r);
  const size_t rows = static_cast<size_t>(H) * n + 2 * static_cast<size_t>(r);
  acc.assign(stride * rows * 3, 0.0f);
  source.assign(static_cast<size_t>(W) * 3, 0.0f);
  rowBuffer.assign((static_cast<size_t>(W) + 2 * r) * 3, 0.0f);
  hWeights.assign(static_cast<size_t>(2 * r + 1), 0.0f);
  vWeights.assign(hWeights.size(), 0.0f);
}

void TAccumulator::Add(const uint8_t* pixels, int32_t tileX, int32_t tileY, int32_t u,
                       int32_t v) {
  if (tileX < 1 || tileX > n || tileY < 1 || tileY > n || u < 0 || v < 0 ||
      u >= table.Samples() || v >= table.Samples())
    throw RangeError("no such tile or sample");
  const int32_t col0 = (tileX - 1) * W, row0 = (tileY - 1) * H;
  const size_t rowBytes = static_cast<size_t>(W) * 3;
  bool anyH = false;
  for (int32_t i = -r; i <= r; ++i) {
    hWeights[static_cast<size_t>(i + r)] = static_cast<float>(table.H(u, v, i));
    vWeights[static_cast<size_t>(i + r)] = static_cast<float>(table.V(u, v, i));
    anyH = anyH || table.H(u, v, i) != 0;
  }
  if (!anyH) return;
  // The weight is H(i) V(j): each read-back row is spread across first, then added to the
  // 2r + 1 rows it reaches. With r = 0 (a box of one pixel) the row goes straight in.
  const float single = static_cast<float>(table.H(u, v, 0) * table.V(u, v, 0));
  for (int32_t y = 0; y < H; ++y) {
    BytesToFloats(pixels + rowBytes * static_cast<size_t>(y), source.data(), rowBytes);
    if (r == 0) {
      if (single != 0) AddScaled(Pixel(col0, row0 + y), source.data(), single, rowBytes);
      continue;
    }
    std::fill(rowBuffer.begin(), rowBuffer.end(), 0.0f);
    for (int32_t i = -r; i <= r; ++i) {
      const float h = hWeights[static_cast<size_t>(i + r)];
      if (h != 0) AddScaled(&rowBuffer[static_cast<size_t>(i + r) * 3], source.data(), h, rowBytes);
    }
    for (int32_t j = -r; j <= r; ++j) {
      const float w = vWeights[static_cast<size_t>(j + r)];
      if (w != 0) AddScaled(Pixel(col0 - r, row0 + y + j), rowBuffer.data(), w, rowBuffer.size());
    }
  }
}

void TAccumulator::NormaliseBorders() {
  if (r == 0) return;
  const int32_t span = 2 * r + 1;
  std::vector<double> c(static_cast<size_t>(span) * span, 0.0);
  for (int32_t q = -r; q <= r; ++q)
    for (int32_t p = -r; p <= r; ++p) {
      double sum = 0;
      for (int32_t t = std::max(-r, q - r); t <= std::min(r, q + r); ++t)
        for (int32_t s = std::max(-r, p - r); s <= std::min(r, p + r); ++s)
          sum += table.ShiftSum(s, t);
      c[static_cast<size_t>((q + r) * span + (p + r))] = sum == 0 ? 1 : 1 / sum;
    }
  const int32_t iw = W * n, ih = H * n;
  // The offset of a pixel from the interior in one direction: 0 beyond r from both edges.
  auto offset = [this](int32_t k, int32_t size) {
    if (k <= r) return k - r;
    if (size - 1 - k <= r) return r - (size - 1 - k);
    return 0;
  };
  for (int32_t y = 0; y < ih; ++y) {
    const int32_t q = offset(y, ih);
    const bool rowEdge = q != 0;
    for (int32_t x = 0; x < iw; ++x) {
      if (!rowEdge && x == r + 1 && iw - 1 - r > x) x = iw - 1 - r;  // skip the interior
      const int32_t p = offset(x, iw);
      if (p == 0 && q == 0) continue;
      const auto f = static_cast<float>(c[static_cast<size_t>((q + r) * span + (p + r))]);
      float* px = Pixel(x, y);
      px[0] *= f;
      px[1] *= f;
      px[2] *= f;
    }
  }
}

TRgbImage TAccumulator::ToImage() const {
  TRgbImage image;
  image.width = W * n;
  image.height = H * n;
  image.rgb.resize(static_cast<size_t>(image.width) * image.height * 3);
  uint8_t* out = image.rgb.data();
  for (int32_t y = 0; y < image.height; ++y) {
    const int32_t row = image.height - 1 - y;  // stored from the bottom
    const float* src = &acc[(static_cast<size_t>(row + r) * stride + static_cast<size_t>(r)) * 3];
    const size_t rowBytes = static_cast<size_t>(image.width) * 3;
    FloatsToBytes(src, out, rowBytes);
    out += rowBytes;
  }
  return image;
}
