#include "textureImage.h"

#include <algorithm>

#include "rangeError.h"

namespace {

int32_t PowerOfTwoAtLeast(int32_t n) {
  int32_t p = 1;
  while (p < n && p <= (INT32_MAX >> 1)) p <<= 1;
  return p;
}

}  // namespace

void TextureSize(int32_t width, int32_t height, int32_t maxSide, int32_t& texWidth,
                 int32_t& texHeight) {
  texWidth = PowerOfTwoAtLeast(width);
  texHeight = PowerOfTwoAtLeast(height);
  // A side never halves below 1: a picture one pixel wide would otherwise get a texture of
  // width 0 and an infinite SMax.
  while (int64_t{texWidth} * texHeight > kMaxTexels) {
    texWidth = std::max(1, texWidth / 2);
    texHeight = std::max(1, texHeight / 2);
  }
  maxSide = std::max(1, maxSide);
  while (texWidth > maxSide) texWidth /= 2;
  while (texHeight > maxSide) texHeight /= 2;
}

namespace {

// The picture scaled down for a texture of sides tw x th: each side shrinks by the whole
// factor its texture side was halved by (a power of two), so the scaled picture fits: width <=
// 2^k * tw gives ceil(width / 2^k) <= tw. Each pixel is the mean of the block it covers.
TRgbPicture ScaleDown(const TRgbPicture& picture, int32_t tw, int32_t th) {
  const int64_t fx = std::max<int64_t>(1, PowerOfTwoAtLeast(picture.width) / tw);
  const int64_t fy = std::max<int64_t>(1, PowerOfTwoAtLeast(picture.height) / th);
  if (fx == 1 && fy == 1) return picture;
  TRgbPicture scaled;
  scaled.width = static_cast<int32_t>((picture.width + fx - 1) / fx);
  scaled.height = static_cast<int32_t>((picture.height + fy - 1) / fy);
  scaled.rgb.resize(static_cast<size_t>(scaled.width) * scaled.height * 3);
  for (int64_t y = 0; y < scaled.height; ++y) {
    const int64_t y0 = y * fy, y1 = std::min<int64_t>(y0 + fy, picture.height);
    for (int64_t x = 0; x < scaled.width; ++x) {
      const int64_t x0 = x * fx, x1 = std::min<int64_t>(x0 + fx, picture.width);
      uint64_t sum[3] = {0, 0, 0};
      for (int64_t py = y0; py < y1; ++py)
        for (int64_t px = x0; px < x1; ++px) {
          const uint8_t* p = picture.rgb.data() + (py * picture.width + px) * 3;
          for (int c = 0; c < 3; ++c) sum[c] += p[c];
        }
      const auto n = static_cast<uint64_t>((y1 - y0) * (x1 - x0));
      uint8_t* t = scaled.rgb.data() + (y * scaled.width + x) * 3;
      for (int c = 0; c < 3; ++c) t[c] = static_cast<uint8_t>((sum[c] + n / 2) / n);
    }
  }
  return scaled;
}

void CheckPicture(const TRgbPicture& picture) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.rgb.size() != static_cast<size_t>(picture.width) * picture.height * 3)
    throw RangeError("a texture needs a picture with pixels");
  if (picture.width > (1 << 30) || picture.height > (1 << 30))
    throw RangeError("the picture is too large for a texture");
}

}  // namespace

TRgbPicture TexturePicture(const TRgbPicture& picture) {
  CheckPicture(picture);
  int32_t tw = 0, th = 0;
  TextureSize(picture.width, picture.height, INT32_MAX, tw, th);
  return ScaleDown(picture, tw, th);
}

TTextureImage BuildTextureImage(const TRgbPicture& picture, int32_t maxSide) {
  CheckPicture(picture);
  TTextureImage image;
  TTextureRecord& r = image.record;
  TextureSize(picture.width, picture.height, maxSide, r.TexWidth, r.TexHeight);
  const TRgbPicture scaledCopy = ScaleDown(picture, r.TexWidth, r.TexHeight);
  r.Width = scaledCopy.width;
  r.Height = scaledCopy.height;

  image.rgba.assign(static_cast<size_t>(r.TexWidth) * r.TexHeight * 4, 255);
  for (int64_t y = 0; y < r.Height; ++y)
    for (int64_t x = 0; x < r.Width; ++x) {
      const uint8_t* p = scaledCopy.rgb.data() + (y * r.Width + x) * 3;
      uint8_t* t = image.rgba.data() + (y * r.TexWidth + x) * 4;
      for (int c = 0; c < 3; ++c) t[c] = p[c];
    }
  r.SMax = static_cast<double>(r.Width) / r.TexWidth;
  r.TMax = static_cast<double>(r.Height) / r.TexHeight;
  r.Loaded = true;
  return image;
}
