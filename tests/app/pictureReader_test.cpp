// Texture pictures through the shared reader: PNG and JPEG written by another program decode to
// their size and colours, 24-bit bitmaps as before, and everything else is refused with the
// documented message, a header that claims too many pixels before any memory is taken.

#include "app/picture/pictureReader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/rangeError.h"
#include "fileHelpers.h"

namespace {

std::vector<uint8_t> Bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string RefusalOf(std::span<const uint8_t> bytes) {
  try {
    DecodePicture(bytes);
  } catch (const RangeError& e) {
    return e.what();
  }
  return "";
}

// A PNG whose header claims `w` x `h` pixels, followed by a few bytes of image data.
std::vector<uint8_t> PngHeader(uint32_t w, uint32_t h) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13,
                              'I', 'H', 'D', 'R'};
  for (uint32_t v : {w, h})
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
  for (int b : {8, 2, 0, 0, 0}) out.push_back(static_cast<uint8_t>(b));
  // The chunk's CRC-32 over its type and data.
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 12; i < out.size(); ++i) {
    crc ^= out[i];
    for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  crc ^= 0xFFFFFFFFu;
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(crc >> s));
  for (const uint8_t b : std::vector<uint8_t>{0, 0, 0, 2, 'I', 'D', 'A', 'T', 0x78, 0x9c})
    out.push_back(b);
  return out;
}

TEST(PictureReader, PngAndJpegOfAnotherProgramReadAsTheirPixels) {
  TTempFolder dir;
  // Left half red, right half blue (PNG exact; JPEG within its loss), a half-transparent PNG
  // over white, and a grey JPEG.
  const std::string make = "cd '" + dir.path +
                           "' && convert -size 6x4 xc:red -size 6x4 xc:blue +append two.png && "
                           "convert two.png -quality 95 two.jpg && "
                           "convert -size 3x2 xc:'rgba(0,0,0,0.5)' clear.png && "
                           "convert -size 17x9 xc:gray50 -colorspace Gray grey.jpg";
  ASSERT_EQ(std::system(make.c_str()), 0);
  for (const char* name : {"two.png", "two.jpg"}) {
    SCOPED_TRACE(name);
    const TRgbPicture p = ReadTexturePicture(dir / name);
    ASSERT_EQ(p.width, 12);
    ASSERT_EQ(p.height, 4);
    ASSERT_EQ(p.rgb.size(), size_t{12 * 4 * 3});
    const int tolerance = name[4] == 'p' ? 0 : 12;
    for (int y = 0; y < 4; ++y)
      for (int x : {0, 4, 7, 11}) {
        const uint8_t* px = &p.rgb[(y * 12 + x) * 3];
        const bool red = x < 6;
        EXPECT_NEAR(px[0], red ? 255 : 0, tolerance) << x << "," << y;
        EXPECT_NEAR(px[1], 0, tolerance);
        EXPECT_NEAR(px[2], red ? 0 : 255, tolerance);
      }
  }
  const TRgbPicture clear = ReadTexturePicture(dir / "clear.png");
  EXPECT_NEAR(clear.rgb[0], 128, 2);  // half black over white
  const TRgbPicture grey = ReadTexturePicture(dir / "grey.jpg");
  EXPECT_EQ(grey.width, 17);
  EXPECT_NEAR(grey.rgb[3 * 20 + 1], 128, 4);
  // A 24-bit bitmap reads as the bitmap reader reads it.
  const TRgbPicture small{2, 1, {1, 2, 3, 4, 5, 6}};
  const std::vector<uint8_t> bmp = WriteBitmap24(small);
  EXPECT_EQ(DecodePicture(bmp).rgb, small.rgb);
}

TEST(PictureReader, EverythingElseIsRefusedWithItsMessage) {
  TTempFolder dir;
  ASSERT_EQ(std::system(("cd '" + dir.path +
                         "' && convert -size 4x4 xc:red a.gif && convert -size 9x9 xc:red b.png && "
                         "convert b.png b.jpg").c_str()),
            0);
  const std::vector<uint8_t> png = Bytes(dir / "b.png"), jpg = Bytes(dir / "b.jpg");
  std::vector<uint8_t> eightBit = WriteBitmap24({1, 1, {0, 0, 0}});
  eightBit[28] = 8;
  const struct {
    std::vector<uint8_t> bytes;
    const char* starts;
  } cases[] = {
      {Bytes(dir / "a.gif"), "24 bit bitmap expected: this is not a bitmap, PNG or JPEG file"},
      {{}, "24 bit bitmap expected"},
      {eightBit, "24 bit bitmap expected: this bitmap has 8 bits"},
      {std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 2), "Cannot read the PNG picture"},
      {std::vector<uint8_t>(png.begin(), png.begin() + 12), "Cannot read the PNG picture"},
      {std::vector<uint8_t>(jpg.begin(), jpg.begin() + 3), "Cannot read the JPEG picture"},
      // 60000 x 60000 would take gigabytes: refused from the header alone.
      {PngHeader(60000, 60000), "The PNG picture is 60000 x 60000 pixels, more than"},
      {PngHeader(8193, 8192), "The PNG picture is 8193 x 8192 pixels"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RefusalOf(c.bytes).rfind(c.starts, 0), 0u) << RefusalOf(c.bytes);
  // The file's own refusals stay: no regular file, over the bound (at most bound + 1 read).
  EXPECT_THROW(ReadTexturePicture(dir.path), std::runtime_error);
  try {
    ReadTexturePicture(dir / "b.png", static_cast<int64_t>(png.size()) - 1);
    ADD_FAILURE() << "a file over its bound was read";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("is larger than"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ReadTexturePicture(dir / "b.png", static_cast<int64_t>(png.size())).width, 9);
}

}  // namespace
