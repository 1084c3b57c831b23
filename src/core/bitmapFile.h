#pragma once
// Pictures for textures: a reader of 24-bit Windows bitmap files that takes the file's bytes
// and never looks outside them. Everything else (other bit depths, compression, damaged or
// truncated files) is refused with a message that starts "24 bit bitmap expected".

#include <cstdint>
#include <functional>
#include <span>
#include <string>
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

// The largest picture file that is read: far more than any picture a texture can show (it is
// scaled to 1,048,576 texels).
constexpr int64_t kMaxPictureFileBytes = int64_t{512} << 20;

// Turns a picture file's bytes into the picture; sets `needBytes` to the memory it will take
// once it knows (for the message when that memory is not there).
using TPictureDecoder =
    std::function<TRgbPicture(std::span<const uint8_t> bytes, int64_t& needBytes)>;

// Reads the file at `path` and decodes its bytes with `decode`, under the refusals of
// ReadBitmapFile below.
TRgbPicture ReadPictureFileWith(const std::string& path, int64_t maxBytes,
                                const TPictureDecoder& decode);

// Reads the file at `path` with ReadBitmap24. A std::runtime_error that names the file refuses
// one that cannot be opened or read, one that is not a regular file (a named pipe, a device, a
// folder), one of more than maxBytes (at most maxBytes + 1 bytes are read, whatever size the
// file system reports) and one whose picture the free memory cannot hold.
TRgbPicture ReadBitmapFile(const std::string& path, int64_t maxBytes = kMaxPictureFileBytes);

// The bytes of a 24-bit bitmap file of `picture` (bottom-up, 40-byte header); the inverse of
// ReadBitmap24, used for the built-in pictures' tests and the seed files.
std::vector<uint8_t> WriteBitmap24(const TRgbPicture& picture);
