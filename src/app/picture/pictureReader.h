#pragma once
// Texture pictures of any of the formats users have: 24-bit Windows bitmaps (the program's own
// reader), PNG and JPEG (Qt's image readers, no display needed). The window's "Load..." and the
// command line read through here, so both accept and refuse the same files.

#include <cstdint>
#include <span>
#include <string>

#include "core/bitmapFile.h"

// The largest picture that is decoded: 8192 x 8192 pixels, or as many in another shape. A
// texture shows at most 1,048,576 of them; a PNG or JPEG header may claim far more than its
// file holds, and the refusal comes before any pixel memory is taken.
constexpr int64_t kMaxPicturePixels = int64_t{1} << 26;

// The picture in `bytes`, told apart by its first bytes (not by a file name): "BM" is read by
// ReadBitmap24, PNG and JPEG by Qt's readers (a JPEG turned as its orientation tag says,
// transparent pixels shown over white). Throws RangeError:
// - "24 bit bitmap expected: ..." for a bitmap that is not 24-bit and for anything that is no
//   bitmap, PNG or JPEG file;
// - "Cannot read the PNG picture: ..." (or JPEG) for a damaged file of those formats;
// - "The PNG picture is W x H pixels, more than ..." (or JPEG) for one over kMaxPicturePixels.
// `needBytes` is set to the memory the decoded picture takes once its size is known.
TRgbPicture DecodePicture(std::span<const uint8_t> bytes, int64_t& needBytes);
TRgbPicture DecodePicture(std::span<const uint8_t> bytes);

// The file at `path` (its name in the file system's encoding) through DecodePicture, with the
// refusals of ReadBitmapFile: no regular file, larger than maxBytes, not enough memory.
TRgbPicture ReadTexturePicture(const std::string& path, int64_t maxBytes = kMaxPictureFileBytes);
