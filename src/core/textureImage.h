#pragma once
// A picture turned into a texture image: power-of-two sides, at most 1,048,576 texels, the
// picture in the top-left corner and its size in texture coordinates. No GL here: the GL code
// uploads the texels this builds.

#include <cstdint>
#include <vector>

#include "bitmapFile.h"

// The largest texture image, in RGBA texels (4 MB).
constexpr int64_t kMaxTexels = 1 << 20;

// What is known of a texture once it is built (one for the surface picture, one for the sky).
struct TTextureRecord {
  int32_t Width = 0, Height = 0;        // the picture's size in texels (after any scaling)
  int32_t TexWidth = 0, TexHeight = 0;  // powers of two
  bool Loaded = false;                  // a texture image has been built
  double SMax = 0, TMax = 0;            // Width / TexWidth, Height / TexHeight
};

// The texture image of a picture: RGBA texels, TexWidth x TexHeight, row 0 = the picture's top
// row. Texels outside the picture are opaque white, which the modulated surface shows as its
// own colour.
struct TTextureImage {
  TTextureRecord record;
  std::vector<uint8_t> rgba;
};

// The texture's sides: the smallest powers of two holding the picture, both halved while the
// image would exceed kMaxTexels (a side stops at 1), then each halved while it exceeds
// maxSide (the driver's limit; at least 1).
void TextureSize(int32_t width, int32_t height, int32_t maxSide, int32_t& texWidth,
                 int32_t& texHeight);

// Builds the texture image. A picture larger than its texture is scaled down to fit (each
// texel the mean of the pixels it covers) rather than cut. Throws RangeError for a picture
// without pixels or whose pixel array does not match its size.
TTextureImage BuildTextureImage(const TRgbPicture& picture, int32_t maxSide);

// The picture as far as any texture can show it: scaled down as BuildTextureImage scales it
// for a driver without a side limit, so at most kMaxTexels pixels. BuildTextureImage of it
// gives the texture of the whole picture for any driver whose limit holds the texture's sides,
// and one scaled again for a smaller limit. Errors as BuildTextureImage.
TRgbPicture TexturePicture(const TRgbPicture& picture);
