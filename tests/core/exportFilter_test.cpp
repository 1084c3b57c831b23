// The export filter: weights, sample placement, accumulation with its borders, the file
// writers and the save dialog's name rule.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/model/exportControls.h"
#include "core/exportFilter.h"
#include "core/imageFile.h"
#include "core/rangeError.h"
#include "fileHelpers.h"

namespace {

constexpr TFilterKind kAll[] = {TFilterKind::kBox, TFilterKind::kQuadratic,
                                TFilterKind::kBSpline, TFilterKind::kMitchell,
                                TFilterKind::kLanczos};

double WeightSum(const TFilterTable& t, bool& finite) {
  double sum = 0;
  const int r = t.Radius(), a = t.Samples();
  for (int u = 0; u < a; ++u)
    for (int v = 0; v < a; ++v)
      for (int j = -r; j <= r; ++j)
        for (int i = -r; i <= r; ++i) {
          const double w = t.Weight(u, v, i, j);
          finite = finite && std::isfinite(w);
          sum += w;
        }
  return sum;
}

TEST(ExportFilter, WeightsOfEveryFilterSumToOne) {
  for (TFilterKind kind : kAll)
    for (int blur = 0; blur <= 1000; blur += 5)
      for (int a : {1, 2, 5})
        for (int jitter : {0, 100, 1000}) {
          TExportSettings s;
          s.filter = kind;
          s.blur = blur;
          s.antialias = a;
          s.jitter = jitter;
          const TFilterTable t = BuildFilterTable(s);
          bool finite = true;
          const double sum = WeightSum(t, finite);
          ASSERT_TRUE(finite) << FilterName(kind) << " blur " << blur;
          ASSERT_NEAR(sum, 1.0, 1e-9) << FilterName(kind) << " blur " << blur << " a " << a
                                      << " jitter " << jitter;
          ASSERT_LE(t.Radius(), kMaxFilterRadius);
        }
  // Settings no control can hold are refused, not built.
  TExportSettings bad;
  bad.antialias = 0;
  EXPECT_THROW(BuildFilterTable(bad), RangeError);
  bad.antialias = 5;
  bad.blur = -5;
  EXPECT_THROW(BuildFilterTable(bad), RangeError);
}

TEST(ExportFilter, SeedReproducesTheSampleOffsets) {
  // The generator's first draws from seed 0 and 7 (state seed * 9876 + 12345).
  TLcg zero(12345);
  for (uint32_t expected : {3853u, 2893u, 797u, 5536u}) EXPECT_EQ(zero.Random(10000), expected);
  TLcg seven(7 * 9876 + 12345);
  EXPECT_EQ(seven.Random(10000), 7433u);
  EXPECT_EQ(seven.Random(10000), 9340u);

  for (int seed : {0, 1, 500, 1000}) {
    TExportSettings s;
    s.seed = seed;
    s.antialias = 7;
    const TFilterTable first = BuildFilterTable(s), second = BuildFilterTable(s);
    s.seed = seed + 1;
    const TFilterTable other = BuildFilterTable(s);
    bool differs = false;
    for (int u = 0; u < 7; ++u)
      for (int v = 0; v < 7; ++v) {
        EXPECT_EQ(first.JitterX(u, v), second.JitterX(u, v));
        EXPECT_EQ(first.JitterY(u, v), second.JitterY(u, v));
        differs = differs || first.JitterX(u, v) != other.JitterX(u, v);
        // Each offset stays within its own cell of the stratified grid.
        EXPECT_LE(std::fabs(first.JitterX(u, v) - ((u + 0.5) / 7 - 0.5)), 0.5 / 7 + 1e-12);
      }
    EXPECT_TRUE(differs) << "seed " << seed;
  }
}

// Renderings of one flat colour must come out as that colour everywhere, the borders
// included, whatever the filter spreads.
TEST(ExportFilter, FlatRenderingsStayFlatUpToTheEdges) {
  const int w = 8, h = 12;
  std::vector<uint8_t> flat(static_cast<size_t>(w) * h * 3);
  for (size_t i = 0; i < flat.size(); i += 3) {
    flat[i] = 200;
    flat[i + 1] = 17;
    flat[i + 2] = 90;
  }
  for (TFilterKind kind : kAll)
    for (int blur : {0, 50, 100, 250}) {
      TExportSettings s;
      s.filter = kind;
      s.blur = blur;
      s.antialias = 3;
      s.scale = 2;
      const TFilterTable t = BuildFilterTable(s);
      TAccumulator acc(t, w, h, s.scale);
      for (int ty = 1; ty <= 2; ++ty)
        for (int tx = 1; tx <= 2; ++tx)
          for (int u = 0; u < 3; ++u)
            for (int v = 0; v < 3; ++v) acc.Add(flat.data(), tx, ty, u, v);
      acc.NormaliseBorders();
      const TRgbImage image = acc.ToImage();
      ASSERT_EQ(image.width, 2 * w);
      ASSERT_EQ(image.height, 2 * h);
      for (size_t i = 0; i < image.rgb.size(); i += 3)
        ASSERT_TRUE(std::abs(image.rgb[i] - 200) <= 1 && std::abs(image.rgb[i + 1] - 17) <= 1 &&
                    std::abs(image.rgb[i + 2] - 90) <= 1)
            << FilterName(kind) << " blur " << blur << " pixel " << i / 3 << ": "
            << int(image.rgb[i]) << "," << int(image.rgb[i + 1]) << "," << int(image.rgb[i + 2]);
    }
  // A picture beyond the limit is refused before anything is allocated.
  TExportSettings huge;
  huge.scale = 100;
  EXPECT_THROW(TAccumulator(BuildFilterTable(huge), 540, 540, 100), RangeError);
  int32_t rw = 0, rh = 0;
  EXPECT_THROW(ExportReadSize(3, 500, 1, rw, rh), RangeError);
}

// The accumulator against the filter's definition summed in double: every output pixel is
// the weighted mean of the read-back pixels that reach it, over the weights that do (which is
// what the border normalisation makes of the pixels near the edges). Varied renderings under
// every filter, blurs that give radii 0 to 3, several tiles: at most one step apart, and only
// where the exact value lies near a half.
TEST(ExportFilter, AccumulatedPictureIsTheWeightedMeanOfItsSamples) {
  const int w = 8, h = 8, n = 2, a = 3;  // wider than the reach of both edges at once
  uint32_t noise = 1;
  std::vector<std::vector<uint8_t>> renderings;  // per tile and sample, bottom row first
  for (int k = 0; k < n * n * a * a; ++k) {
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 3);
    for (uint8_t& p : pixels) p = static_cast<uint8_t>((noise = noise * 1103515245u + 12345u) >> 24);
    renderings.push_back(std::move(pixels));
  }
  for (TFilterKind kind : kAll)
    for (int blur : {30, 100, 180}) {
      TExportSettings s;
      s.filter = kind;
      s.blur = blur;
      s.antialias = a;
      s.scale = n;
      const TFilterTable t = BuildFilterTable(s);
      const int r = t.Radius(), iw = w * n, ih = h * n;
      std::vector<double> sum(static_cast<size_t>(iw) * ih * 3, 0), weight(sum.size() / 3, 0);
      TAccumulator acc(t, w, h, n);
      int k = 0;
      for (int ty = 1; ty <= n; ++ty)
        for (int tx = 1; tx <= n; ++tx)
          for (int u = 0; u < a; ++u)
            for (int v = 0; v < a; ++v, ++k) {
              acc.Add(renderings[k].data(), tx, ty, u, v);
              for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                  for (int j = -r; j <= r; ++j)
                    for (int i = -r; i <= r; ++i) {
                      const int col = (tx - 1) * w + x + i, row = (ty - 1) * h + y + j;
                      if (col < 0 || col >= iw || row < 0 || row >= ih) continue;
                      const size_t q = static_cast<size_t>(row) * iw + col;
                      const double wt = t.Weight(u, v, i, j);
                      weight[q] += wt;
                      for (int c = 0; c < 3; ++c)
                        sum[q * 3 + c] += wt * renderings[k][(static_cast<size_t>(y) * w + x) * 3 + c];
                    }
            }
      acc.NormaliseBorders();
      const TRgbImage image = acc.ToImage();
      for (int row = 0; row < ih; ++row)
        for (int col = 0; col < iw; ++col)
          for (int c = 0; c < 3; ++c) {
            const size_t q = static_cast<size_t>(row) * iw + col;
            const double exact = std::clamp(sum[q * 3 + c] / weight[q], 0.0, 255.0);
            const int got = image.rgb[(static_cast<size_t>(ih - 1 - row) * iw + col) * 3 + c];
            const double off = std::fabs(got - exact);
            ASSERT_TRUE(off <= 0.5 + 1e-3) << FilterName(kind) << " blur " << blur << " at " << col
                                           << "," << row << ": " << got << " for " << exact;
          }
    }
}

TEST(ExportFilter, FullStopAnywhereKeepsTheName) {
  EXPECT_EQ(WithDefaultExtension("/home/a/knot", "jpg"), "/home/a/knot.jpg");
  EXPECT_EQ(WithDefaultExtension("/home/a.b/knot", "jpg"), "/home/a.b/knot");
  EXPECT_EQ(WithDefaultExtension("knot.", "bmp"), "knot.");
  EXPECT_EQ(WithDefaultExtension("knot.png", "bmp"), "knot.png");
  EXPECT_EQ(WithDefaultExtension("knot", "bmp"), "knot.bmp");
}

// What another program makes of the file: "FORMAT WIDTH HEIGHT".
std::string Identify(const std::string& path) {
  const std::string command = "identify -format '%m %w %h' '" + path + "' 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return "";
  char buffer[256] = {};
  const size_t n = fread(buffer, 1, sizeof buffer - 1, pipe.get());
  return std::string(buffer, n);
}

// The pixels another program reads from the file, as RGB bytes, top row first.
std::string PixelsReadElsewhere(const std::string& path) {
  const std::string command = "stream -map rgb -storage-type char '" + path + "' - 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string pixels;
  char buffer[4096];
  for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
    pixels.append(buffer, n);
  return pixels;
}

TEST(ExportFilter, WrittenFilesOpenElsewhereWithTheirSize) {
  TTempFolder folder;
  TRgbImage image;
  image.width = 13;  // rows of 39 bytes: bitmap rows need padding
  image.height = 7;
  image.rgb.resize(13 * 7 * 3);
  for (size_t i = 0; i < image.rgb.size(); ++i) image.rgb[i] = static_cast<uint8_t>(i * 7);
  WriteImageFile(image, folder / "a.bmp", TImageFormat::kBmp, 90);
  WriteImageFile(image, folder / "a.jpg", TImageFormat::kJpeg, 90);
  WriteImageFile(image, folder / "a.png", TImageFormat::kPng, 90);
  EXPECT_EQ(Identify(folder / "a.bmp"), "BMP3 13 7");
  EXPECT_EQ(Identify(folder / "a.jpg"), "JPEG 13 7");
  EXPECT_EQ(Identify(folder / "a.png"), "PNG 13 7");
  // PNG is lossless: the row filter and the compression level must give back every byte.
  EXPECT_EQ(PixelsReadElsewhere(folder / "a.png"),
            std::string(image.rgb.begin(), image.rgb.end()));
  // Bitmap: bottom row first, blue green red, rows padded to 40 bytes.
  const std::string bmp = ReadFile(folder / "a.bmp");
  ASSERT_EQ(bmp.size(), 54u + 40 * 7);
  const size_t bottom = static_cast<size_t>(6) * 13 * 3;
  EXPECT_EQ(uint8_t(bmp[54]), image.rgb[bottom + 2]);
  EXPECT_EQ(uint8_t(bmp[56]), image.rgb[bottom]);
  EXPECT_EQ(Entries(folder.path).size(), 3u);  // no temporary file is left

  // A picture that cannot be written leaves the file in place as it was.
  PutFile(folder / "b.png", "old");
  TRgbImage broken = image;
  broken.rgb.pop_back();
  EXPECT_THROW(WriteImageFile(broken, folder / "b.png", TImageFormat::kPng, 90), RangeError);
  EXPECT_THROW(ImageFormatFromName(folder / "c.gif"), RangeError);
  EXPECT_EQ(ReadFile(folder / "b.png"), "old");
  EXPECT_EQ(Entries(folder.path).size(), 4u);
}

}  // namespace
