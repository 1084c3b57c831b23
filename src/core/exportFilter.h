#pragma once
// The arithmetic of an exported image: reconstruction filters, the jittered sample offsets
// and the floating-point accumulator that every tile rendering is spread into. No GL: the
// renderer hands in read-back pixels, and the result is a plain RGB picture.

#include <cstdint>
#include <string>
#include <vector>

enum class TFilterKind : uint8_t { kBox, kQuadratic, kBSpline, kMitchell, kLanczos };

// The filter's name as the "Filter" drop-down shows it, and back (case-insensitive; "bspline"
// is accepted for "B-spline"). FilterKindFromName throws RangeError for an unknown name.
const char* FilterName(TFilterKind kind);
TFilterKind FilterKindFromName(const std::string& name);

// K(t) and its support S (K is 0 beyond S).
double FilterKernel(TFilterKind kind, double t);
double FilterSupport(TFilterKind kind);

// The largest shift the tables hold: settings that would need more are cut to it.
constexpr int32_t kMaxFilterRadius = 20;
// The largest picture an export makes (the accumulator holds 12 bytes a pixel).
constexpr int64_t kMaxExportPixels = 50'000'000;
// JPEG and PNG both stop below this many pixels a side.
constexpr int64_t kMaxExportSide = 65'000;

struct TExportSettings {
  TFilterKind filter = TFilterKind::kBox;
  int32_t blur = 100;       // "Blur", percent of the filter's natural footprint (0..1000)
  int32_t jitter = 100;     // "Jitter", percent of a sample's cell (0..1000)
  int32_t seed = 0;         // "Seed"
  int32_t scale = 1;        // "Scale" n: tiles per side (1..100)
  int32_t antialias = 5;    // "Anti-alias" a: samples per pixel side (1..100)
};

// The generator that places the samples: the same seed always gives the same offsets.
class TLcg {
 public:
  explicit TLcg(uint32_t state) : state(state) {}
  // 0 <= result < n.
  uint32_t Random(uint32_t n) {
    state = state * 134775813u + 1u;
    return static_cast<uint32_t>((uint64_t{state} * n) >> 32);
  }
  uint32_t State() const { return state; }

 private:
  uint32_t state;
};

// Per sample (u, v) its offset (jx, jy) in pixels and its weights at column shift i and row
// shift j in -r..r. The kernel is a product of a horizontal and a vertical factor, so it is
// kept as two rows of 2r + 1 factors a sample: a (2r+1)^2 table per sample would need
// hundreds of megabytes at 100 x 100 samples.
class TFilterTable {
 public:
  int32_t Radius() const { return r; }
  int32_t Samples() const { return a; }  // per side
  double JitterX(int32_t u, int32_t v) const { return jx[Index(u, v)]; }
  double JitterY(int32_t u, int32_t v) const { return jy[Index(u, v)]; }
  // The horizontal and vertical factors; Weight = H * V.
  double H(int32_t u, int32_t v, int32_t i) const { return hx[Index(u, v) * Span() + (i + r)]; }
  double V(int32_t u, int32_t v, int32_t j) const { return vy[Index(u, v) * Span() + (j + r)]; }
  double Weight(int32_t u, int32_t v, int32_t i, int32_t j) const { return H(u, v, i) * V(u, v, j); }
  // Sum over all samples of the weight at shift (i, j).
  double ShiftSum(int32_t i, int32_t j) const { return shiftSum[(j + r) * Span() + (i + r)]; }

 private:
  friend TFilterTable BuildFilterTable(const TExportSettings& s);
  size_t Index(int32_t u, int32_t v) const { return static_cast<size_t>(u) * a + v; }
  size_t Span() const { return static_cast<size_t>(2 * r + 1); }
  int32_t r = 0, a = 1;
  std::vector<double> jx, jy, hx, vy, shiftSum;
};

// The shifts r a sample's weights reach in each direction (0..kMaxFilterRadius).
int32_t FilterRadius(const TExportSettings& s);

// Checks the settings (RangeError outside the controls' ranges) and builds the table: all
// weights of all samples together sum to 1.
TFilterTable BuildFilterTable(const TExportSettings& s);

// The width and height an export reads back from a panel of w x h pixels: rounded down to
// multiples of 4. RangeError when nothing is left or the picture would be too large.
void ExportReadSize(int w, int h, int32_t scale, int32_t& readW, int32_t& readH);

struct TRgbImage {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;  // red, green, blue; top row first
};

// The picture of W*n by H*n pixels with a border of r on every side, three floats a pixel,
// rows from the bottom. Floats, not doubles: half the memory to stream through for every
// rendering, and twice the lanes; at most 10,000 samples a pixel, each at most 255 times its
// weight, they stay within a few thousandths of a step of the exact sum.
class TAccumulator {
 public:
  TAccumulator(const TFilterTable& table, int32_t readW, int32_t readH, int32_t scale);

  // Spreads one rendering of tile (tileX, tileY) (1-based, row 1 at the bottom), sample
  // (u, v): readW x readH RGB bytes, bottom row first.
  void Add(const uint8_t* pixels, int32_t tileX, int32_t tileY, int32_t u, int32_t v);

  // Pixels within r of an edge miss the shifts whose sources lie outside the picture; they are
  // scaled up by the weight they did get.
  void NormaliseBorders();

  // Rounded (ties to even) and clamped to 0..255.
  TRgbImage ToImage() const;

  int32_t Width() const { return W * n; }
  int32_t Height() const { return H * n; }

 private:
  float* Pixel(int32_t col, int32_t row) {  // image coordinates, may reach r outside
    return &acc[(static_cast<size_t>(row + r) * stride + static_cast<size_t>(col + r)) * 3];
  }
  const TFilterTable& table;
  int32_t W, H, n, r;
  size_t stride;
  std::vector<float> acc;
  std::vector<float> source;     // one read-back row as floats
  std::vector<float> rowBuffer;  // the row spread horizontally
  std::vector<float> hWeights, vWeights;  // the sample's factors at shifts -r..r
};
