// The 24-bit bitmap reader and the texture images built from what it reads.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/bitmapFile.h"
#include "core/builtinPictures.h"
#include "core/rangeError.h"
#include "core/textureImage.h"
#include "fileHelpers.h"

namespace {

// A picture whose every pixel differs from its neighbours, so that a swapped channel, a row out
// of order or a padding byte read as a pixel shows.
TRgbPicture Pattern(int32_t w, int32_t h) {
  TRgbPicture p{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
  for (size_t i = 0; i < p.rgb.size(); ++i) p.rgb[i] = static_cast<uint8_t>(i * 7 + i / 3);
  return p;
}

void Set32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(v >> (8 * k));
}

std::string FileRefusal(const std::string& path, int64_t maxBytes = kMaxPictureFileBytes) {
  try {
    ReadBitmapFile(path, maxBytes);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

std::string Refusal(const std::vector<uint8_t>& bytes) {
  try {
    ReadBitmap24(bytes);
  } catch (const RangeError& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(BitmapFile, ReadsWhatWasWrittenInEveryRowOrder) {
  for (auto [w, h] : {std::pair{1, 1}, {2, 3}, {3, 2}, {4, 4}, {5, 7}, {64, 1}, {1, 64}}) {
    const TRgbPicture p = Pattern(w, h);
    const std::vector<uint8_t> bottomUp = WriteBitmap24(p);
    EXPECT_EQ(ReadBitmap24(bottomUp).rgb, p.rgb) << w << " x " << h;

    // The same rows stored top row first, marked by a negative height.
    std::vector<uint8_t> topDown = bottomUp;
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) / 4 * 4;
    for (int32_t y = 0; y < h; ++y)
      std::copy_n(bottomUp.begin() + 54 + static_cast<long>((h - 1 - y) * stride), stride,
                  topDown.begin() + 54 + static_cast<long>(y * stride));
    Set32(topDown, 22, static_cast<uint32_t>(-h));
    const TRgbPicture read = ReadBitmap24(topDown);
    EXPECT_EQ(read.width, w);
    EXPECT_EQ(read.height, h);
    EXPECT_EQ(read.rgb, p.rgb) << w << " x " << h << " top-down";
  }
  // The first stored scanline of an ordinary file is the picture's bottom row; blue first.
  std::vector<uint8_t> twoRows = WriteBitmap24(TRgbPicture{1, 2, {1, 2, 3, 4, 5, 6}});
  EXPECT_EQ(std::vector<uint8_t>(twoRows.begin() + 54, twoRows.begin() + 57),
            (std::vector<uint8_t>{6, 5, 4}));
}

TEST(BitmapFile, EverythingButAnIntactTwentyFourBitBitmapIsRefusedWithAMessage) {
  const std::vector<uint8_t> good = WriteBitmap24(Pattern(5, 3));  // rows of 15 + 1 padding
  std::vector<std::pair<std::string, std::vector<uint8_t>>> bad;
  auto with = [&](const std::string& what, size_t at, uint32_t v, int bytes = 4) {
    std::vector<uint8_t> b = good;
    for (int k = 0; k < bytes; ++k) b[at + k] = static_cast<uint8_t>(v >> (8 * k));
    bad.emplace_back(what, b);
  };
  bad.emplace_back("empty", std::vector<uint8_t>{});
  bad.emplace_back("text", std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'});
  with("8 bits", 28, 8, 2);
  with("32 bits", 28, 32, 2);
  with("compressed", 30, 1);
  with("header size 0", 14, 0);
  with("header size 41", 14, 41);
  with("header size huge", 14, 0xFFFFFFF0u);
  with("width 0", 18, 0);
  with("negative width", 18, static_cast<uint32_t>(-5));
  with("height 0", 22, 0);
  with("most negative height", 22, 0x80000000u);
  with("huge width", 18, 0x7FFFFFFFu);
  with("huge height", 22, 0x7FFFFFF0u);
  with("offset past the end", 10, 10000);
  with("offset inside the header", 10, 20);
  with("offset near 4 GB", 10, 0xFFFFFFFFu);
  // Every cut of the file except the last row's padding byte.
  for (size_t n = 0; n + 1 < good.size(); ++n)
    bad.emplace_back("cut at " + std::to_string(n), std::vector<uint8_t>(good.begin(), good.begin() + n));

  for (const auto& [what, bytes] : bad) {
    const std::string message = Refusal(bytes);
    EXPECT_EQ(message.rfind("24 bit bitmap expected", 0), 0u) << what << ": \"" << message << "\"";
  }
  // The last row's padding may be missing.
  EXPECT_EQ(ReadBitmap24(std::vector<uint8_t>(good.begin(), good.end() - 1)).rgb, Pattern(5, 3).rgb);
}

TEST(TextureImage, ThreeHundredByTwoHundredFillsTheCornerOfFiveTwelveByTwoFiftySix) {
  const TRgbPicture p = Pattern(300, 200);
  const TTextureImage t = BuildTextureImage(p, 16384);
  EXPECT_EQ(t.record.TexWidth, 512);
  EXPECT_EQ(t.record.TexHeight, 256);
  EXPECT_DOUBLE_EQ(t.record.SMax, 300.0 / 512);
  EXPECT_DOUBLE_EQ(t.record.TMax, 200.0 / 256);
  EXPECT_TRUE(t.record.Loaded);
  ASSERT_EQ(t.rgba.size(), 512u * 256 * 4);
  for (int y : {0, 1, 199})
    for (int x : {0, 17, 299}) {
      const uint8_t* texel = &t.rgba[(static_cast<size_t>(y) * 512 + x) * 4];
      const uint8_t* pixel = &p.rgb[(static_cast<size_t>(y) * 300 + x) * 3];
      EXPECT_EQ(std::vector<uint8_t>(texel, texel + 4),
                (std::vector<uint8_t>{pixel[0], pixel[1], pixel[2], 255}))
          << x << ", " << y;
    }
  // Outside the picture: opaque white, not what an earlier picture left.
  for (size_t i : {size_t{300 * 4}, (size_t{200} * 512 + 5) * 4})
    EXPECT_EQ(std::vector<uint8_t>(&t.rgba[i], &t.rgba[i] + 4), (std::vector<uint8_t>(4, 255)));
}

TEST(TextureImage, EverySizeGetsPowerOfTwoSidesThatHoldTheScaledPicture) {
  const std::vector<int32_t> sides = {1, 2, 3, 63, 64, 65, 300, 1000, 1024, 1025, 4000,
                                      65536, 1 << 20, (1 << 20) + 1, 5000000, 1 << 29};
  for (int32_t maxSide : {64, 8192, 16384})
    for (int32_t w : sides)
      for (int32_t h : sides) {
        int32_t tw = 0, th = 0;
        TextureSize(w, h, maxSide, tw, th);
        const std::string at = std::to_string(w) + " x " + std::to_string(h);
        ASSERT_TRUE(tw >= 1 && (tw & (tw - 1)) == 0 && th >= 1 && (th & (th - 1)) == 0) << at;
        EXPECT_LE(int64_t{tw} * th, kMaxTexels) << at;
        EXPECT_LE(tw, maxSide) << at;
        EXPECT_LE(th, maxSide) << at;
      }
  // Scaled down rather than cut: each texel is the mean of the block of pixels it covers.
  TRgbPicture wide{3000, 2, std::vector<uint8_t>(3000 * 2 * 3)};
  for (size_t i = 0; i < wide.rgb.size(); i += 3) wide.rgb[i] = (i / 3) % 2 ? 200 : 100;
  const TTextureImage t = BuildTextureImage(wide, 1024);
  EXPECT_EQ(t.record.TexWidth, 1024);
  EXPECT_EQ(t.record.Width, 750);  // 3000 pixels in blocks of 4
  EXPECT_EQ(t.record.Height, 2);
  EXPECT_DOUBLE_EQ(t.record.SMax, 750.0 / 1024);
  EXPECT_EQ(t.rgba[0], 150);
  EXPECT_EQ(t.rgba[749 * 4], 150);
  EXPECT_EQ(t.rgba[750 * 4], 255);
}

TEST(TextureImage, TheKeptPictureIsSmallAndMakesTheSameTexture) {
  for (auto [w, h] : {std::pair{5, 7}, {1024, 1024}, {1025, 1025}, {1500, 1500}, {2100, 600},
                      {3000, 2}, {1, 5000}, {4097, 300}}) {
    const std::string at = std::to_string(w) + " x " + std::to_string(h);
    const TRgbPicture whole = Pattern(w, h);
    const TRgbPicture kept = TexturePicture(whole);
    EXPECT_LE(int64_t{kept.width} * kept.height, kMaxTexels) << at;
    EXPECT_EQ(kept.rgb.size(), static_cast<size_t>(kept.width) * kept.height * 3) << at;
    const TTextureImage a = BuildTextureImage(whole, 16384), b = BuildTextureImage(kept, 16384);
    EXPECT_EQ(a.record.TexWidth, b.record.TexWidth) << at;
    EXPECT_EQ(a.record.TexHeight, b.record.TexHeight) << at;
    EXPECT_EQ(a.record.Width, b.record.Width) << at;
    EXPECT_EQ(a.record.Height, b.record.Height) << at;
    EXPECT_TRUE(a.rgba == b.rgba) << at;
  }
}

TEST(TextureImage, BuiltInPicturesHaveTheirSizesAndWhiteRailMargins) {
  const TRgbPicture rail = RailPicture(), sky = SkyPicture();
  EXPECT_EQ(std::pair(rail.width, rail.height), std::pair(64, 64));
  EXPECT_EQ(std::pair(sky.width, sky.height), std::pair(512, 256));
  EXPECT_EQ(rail.rgb.size(), 64u * 64 * 3);
  EXPECT_EQ(sky.rgb.size(), 512u * 256 * 3);
  // The texture's edge columns colour the surface outside the band; white leaves it alone.
  for (int y = 0; y < 64; ++y)
    for (int x : {0, 63})
      for (int c = 0; c < 3; ++c) EXPECT_EQ(rail.rgb[(y * 64 + x) * 3 + c], 255);
  // Both survive a round trip through a bitmap file.
  EXPECT_EQ(ReadBitmap24(WriteBitmap24(sky)).rgb, sky.rgb);
}

TEST(BitmapFile, OnlyRegularFilesAreReadAndNeverBeyondTheBound) {
  TTempFolder dir;
  const std::vector<uint8_t> bytes = WriteBitmap24(Pattern(5, 7));
  PutFile(dir / "good.bmp", std::string(bytes.begin(), bytes.end()));
  EXPECT_EQ(ReadBitmapFile(dir / "good.bmp").rgb, Pattern(5, 7).rgb);
  EXPECT_EQ(ReadBitmapFile(dir / "good.bmp", int64_t(bytes.size())).width, 5);

  // A named pipe without a writer would block the reader for good; a device never ends.
  ASSERT_EQ(::mkfifo((dir / "pipe.bmp").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder.bmp");
  for (const std::string& path : {dir / "pipe.bmp", std::string("/dev/zero"), dir / "folder.bmp"})
    EXPECT_EQ(FileRefusal(path), "\"" + path + "\" is not a regular file");

  // One byte over the bound; a file that reports size 0 and holds more.
  EXPECT_NE(FileRefusal(dir / "good.bmp", int64_t(bytes.size()) - 1).find("is larger than"),
            std::string::npos);
  EXPECT_NE(FileRefusal("/proc/self/maps", 16).find("is larger than"), std::string::npos);
  EXPECT_TRUE(FileRefusal(dir / "missing.bmp").starts_with("Cannot open"));
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(BitmapFile, APictureBeyondTheFreeMemoryNamesThePicture) {
  // 300 MB of zero pixels behind a valid header, in a sparse file; the child has 100 MB of
  // address space more than it uses.
  TTempFolder dir;
  const int32_t w = 10000, h = 10000;
  std::vector<uint8_t> header = WriteBitmap24(Pattern(1, 1));
  header.resize(54);
  Set32(header, 2, 54 + uint32_t{w} * 3 * h);
  Set32(header, 18, w);
  Set32(header, 22, h);
  const std::string path = dir / "huge.bmp";
  PutFile(path, std::string(header.begin(), header.end()));
  std::filesystem::resize_file(path, 54 + uint64_t{w} * 3 * h);
  TChild child([&] {
    rlimit limit{};
    ::getrlimit(RLIMIT_AS, &limit);
    std::ifstream status("/proc/self/statm");
    uint64_t pages = 0;
    status >> pages;
    limit.rlim_cur = pages * uint64_t(::sysconf(_SC_PAGESIZE)) + (100 << 20);
    ::setrlimit(RLIMIT_AS, &limit);
    return FileRefusal(path);
  });
  std::string message;
  child.Finish(message);
  EXPECT_EQ(message, "Cannot load \"" + path +
                         "\": the picture would need about 572 MB of memory, more than the free "
                         "memory holds");
}
#endif
