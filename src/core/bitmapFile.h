#pragma once
// Pictures for textures: a reader of 24-bit Windows bitmap files that takes the file's bytes
// and never looks outside them. Everything else (other bit depths, compression, damaged or
// truncated files) is refused with a message that starts "24 bit bitmap expected".

#include <cstdint>
#include <span>
#include <vector>

// A picture as the texture code wants it: rows from the top of the picture down, three bytes
// red, green, blue per pixel, no padding; rgb.size() == width * height * 3.
struct TRgbPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgb;
};

// Reads a 24-bit uncompressed bitmap (bottom-up or top-down). Throws RangeError with a
// message for anything else.
TRgbPicture ReadBitmap24(std::span<const uint8_t> bytes);

// The bytes of a 24-bit bitmap file of `picture` (bottom-up, 40-byte header); the inverse of
// ReadBitmap24, used for the built-in pictures' tests and the seed files.
std::vector<uint8_t> WriteBitmap24(const TRgbPicture& picture);
