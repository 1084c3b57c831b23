#include "bitmapFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

#include "rangeError.h"

namespace {

constexpr int64_t kFileHeaderSize = 14;

[[noreturn]] void Refuse(const std::string& why) {
  throw RangeError("24 bit bitmap expected: " + why);
}

// Little-endian fields, read only after the caller made sure they lie inside the bytes.
uint32_t U16(std::span<const uint8_t> b, int64_t at) {
  const auto i = static_cast<size_t>(at);
  return uint32_t{b[i]} | uint32_t{b[i + 1]} << 8;
}
uint32_t U32(std::span<const uint8_t> b, int64_t at) {
  return U16(b, at) | U16(b, at + 2) << 16;
}
int32_t I32(std::span<const uint8_t> b, int64_t at) { return static_cast<int32_t>(U32(b, at)); }

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

[[noreturn]] void FileFailed(const char* what, const std::string& path, int error) {
  throw std::runtime_error(std::string(what) + " " + Quoted(path) + ": " +
                           std::generic_category().message(error));
}

struct TFd {
  int fd;
  ~TFd() { ::close(fd); }
};

}  // namespace

TRgbPicture ReadBitmapFile(const std::string& path, int64_t maxBytes) {
  return ReadPictureFileWith(path, maxBytes, [](std::span<const uint8_t> bytes, int64_t&) {
    return ReadBitmap24(bytes);
  });
}

TRgbPicture ReadPictureFileWith(const std::string& path, int64_t maxBytes,
                                const TPictureDecoder& decode) {
  // Without O_NONBLOCK, opening a named pipe would wait for a writer for good.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) FileFailed("Cannot open", path, errno);
  const TFd closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) FileFailed("Cannot read", path, errno);
  if (!S_ISREG(st.st_mode)) throw std::runtime_error(Quoted(path) + " is not a regular file");
  const std::string tooLarge = "Cannot load " + Quoted(path) + ": the file is larger than " +
                               std::to_string(maxBytes >> 20) + " MB";
  if (st.st_size > maxBytes) throw std::runtime_error(tooLarge);
  // The reported size is a hint: a file in /proc says 0, and a file may grow while it is read.
  const int64_t cap = std::max<int64_t>(0, maxBytes) + 1;
  int64_t have = 0;
  int64_t need = 0;
  try {
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min<int64_t>(st.st_size + 1, cap)));
    for (;;) {
      if (have == static_cast<int64_t>(bytes.size())) {
        if (have >= cap) throw std::runtime_error(tooLarge);
        bytes.resize(static_cast<size_t>(std::min<int64_t>(cap, 2 * have + 4096)));
      }
      const ssize_t n = ::read(fd, bytes.data() + have, bytes.size() - static_cast<size_t>(have));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) FileFailed("Cannot read", path, errno);
      if (n == 0) break;
      have += n;
    }
    bytes.resize(static_cast<size_t>(have));
    return decode(bytes, need);
  } catch (const std::bad_alloc&) {
    // What the decoder said it needs, or else the file's bytes and about as many for its pixels.
    const int64_t bytes = std::max(need, 2 * std::max<int64_t>(have, st.st_size));
    const int64_t megabytes = (bytes + (1 << 19)) >> 20;
    throw std::runtime_error("Cannot load " + Quoted(path) + ": the picture would need about " +
                             std::to_string(megabytes) +
                             " MB of memory, more than the free memory holds");
  }
}

TRgbPicture ReadBitmap24(std::span<const uint8_t> bytes) {
  const auto size = static_cast<int64_t>(bytes.size());
  if (size < 2 || bytes[0] != 'B' || bytes[1] != 'M') Refuse("this is not a bitmap file");
  if (size < kFileHeaderSize + 4) Refuse("the file ends inside its header");
  const int64_t pixelOffset = U32(bytes, 10);
  const int64_t infoSize = U32(bytes, 14);

  // The header sizes writers use: the old 12-byte core header, the 40-byte info header and its
  // longer descendants, which only add fields after the ones read here.
  int64_t width = 0, height = 0, bitCount = 0, compression = 0;
  if (infoSize == 12) {
    if (size < kFileHeaderSize + 12) Refuse("the file ends inside its header");
    width = U16(bytes, 18);
    height = U16(bytes, 20);
    bitCount = U16(bytes, 24);
  } else if (infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 64 ||
             infoSize == 108 || infoSize == 124) {
    if (size < kFileHeaderSize + infoSize) Refuse("the file ends inside its header");
    width = I32(bytes, 18);
    height = I32(bytes, 22);
    bitCount = U16(bytes, 28);
    compression = U32(bytes, 30);
  } else {
    Refuse("unknown bitmap header size " + std::to_string(infoSize));
  }

  if (bitCount != 24) Refuse("this bitmap has " + std::to_string(bitCount) + " bits per pixel");
  if (compression != 0) Refuse("the pixels are compressed");
  // A negative height marks rows stored top row first; widths have no such meaning.
  const bool topDown = height < 0;
  if (topDown) height = -height;  // int64: the most negative 32-bit height negates safely
  if (width <= 0 || height <= 0) Refuse("the picture has no pixels");
  if (width > INT32_MAX / 4 || height > INT32_MAX / 4) Refuse("the picture is too large");

  // Every row is padded to a multiple of four bytes; the last row's padding may be missing.
  const int64_t rowBytes = width * 3;
  const int64_t stride = (rowBytes + 3) / 4 * 4;
  if (pixelOffset < kFileHeaderSize + infoSize || pixelOffset > size)
    Refuse("the pixel data offset lies outside the file");
  // Bounded by the file: (height - 1) * stride + rowBytes <= size < 2^63 for any height and
  // width that passed the checks above, since both are below 2^29.
  if ((height - 1) * stride + rowBytes > size - pixelOffset)
    Refuse("the file ends inside the pixel rows");

  TRgbPicture picture;
  picture.width = static_cast<int32_t>(width);
  picture.height = static_cast<int32_t>(height);
  picture.rgb.resize(static_cast<size_t>(rowBytes * height));
  for (int64_t y = 0; y < height; ++y) {
    const int64_t stored = topDown ? y : height - 1 - y;
    const uint8_t* src = bytes.data() + pixelOffset + stored * stride;
    uint8_t* dst = picture.rgb.data() + y * rowBytes;
    for (int64_t x = 0; x < width; ++x) {
      // Stored blue, green, red.
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  return picture;
}

std::vector<uint8_t> WriteBitmap24(const TRgbPicture& picture) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.rgb.size() != static_cast<size_t>(picture.width) * picture.height * 3)
    throw RangeError("a picture without pixels cannot be written as a bitmap");
  const int64_t rowBytes = int64_t{picture.width} * 3;
  const int64_t stride = (rowBytes + 3) / 4 * 4;
  const int64_t total = kFileHeaderSize + 40 + stride * picture.height;
  if (total > UINT32_MAX) throw RangeError("the picture is too large for a bitmap file");
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(total));
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<uint32_t>(total));
  Put32(out, 0);
  Put32(out, kFileHeaderSize + 40);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(picture.width));
  Put32(out, static_cast<uint32_t>(picture.height));
  Put16(out, 1);
  Put16(out, 24);
  for (int i = 0; i < 6; ++i) Put32(out, 0);  // no compression, sizes and palette unused
  for (int64_t y = picture.height - 1; y >= 0; --y) {
    const uint8_t* row = picture.rgb.data() + y * rowBytes;
    for (int64_t x = 0; x < picture.width; ++x) {
      out.push_back(row[3 * x + 2]);
      out.push_back(row[3 * x + 1]);
      out.push_back(row[3 * x]);
    }
    for (int64_t p = rowBytes; p < stride; ++p) out.push_back(0);
  }
  return out;
}
