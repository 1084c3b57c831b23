// Any bytes as a texture picture file: the picture reader of "Load..." and the command line
// (PNG and JPEG through Qt's readers, bitmaps by our own), and the 24-bit bitmap reader, then
// the texture image built from what it read. A decoded picture has all its pixels and stays
// within the pixel bound whatever its header claims; a refusal says why in the words for its
// kind of file; a bitmap reads as the bitmap reader reads it. Nothing may read outside the input; what is refused is refused with a
// message; what is read has all its pixels and gets power-of-two texture sides holding it.
// The same bytes read as a file (an anonymous one in memory, so no input leaves a file) under
// a bound near their length give the same picture, or the refusal of a file over the bound.

#include <sys/mman.h>
#include <unistd.h>

#include <optional>
#include <span>
#include <string_view>

#include "app/picture/pictureReader.h"
#include "core/bitmapFile.h"
#include "core/textureImage.h"
#include "fuzzSupport.h"

namespace {

bool PowerOfTwo(int64_t n) { return n >= 1 && (n & (n - 1)) == 0; }

void CheckSides(int32_t w, int32_t h, int32_t maxSide, const std::string& what) {
  int32_t tw = 0, th = 0;
  TextureSize(w, h, maxSide, tw, th);
  Expect(PowerOfTwo(tw) && PowerOfTwo(th), what + ": texture sides not powers of two");
  Expect(int64_t{tw} * th <= kMaxTexels, what + ": texture larger than the texel buffer");
  Expect(tw <= std::max(1, maxSide) && th <= std::max(1, maxSide),
         what + ": texture side above the driver's limit");
}

// ReadBitmapFile of the bytes against ReadBitmap24 of them, under a bound of size - 1, size or
// size + 1 bytes.
void CheckFileRead(const uint8_t* data, size_t size, const TRgbPicture* picture,
                   const std::string& refusal) {
  const int fd = ::memfd_create("picture", MFD_CLOEXEC);
  if (fd < 0) return;
  for (size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) Finding("cannot fill the in-memory file");
    done += static_cast<size_t>(n);
  }
  const int64_t bound = static_cast<int64_t>(size) - 1 + (size > 0 ? data[0] % 3 : 1);
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  try {
    const TRgbPicture read = ReadBitmapFile(path, bound);
    Expect(static_cast<int64_t>(size) <= bound, "a file over its bound was read");
    Expect(picture && read.width == picture->width && read.height == picture->height &&
               read.rgb == picture->rgb,
           "the file reads differently from its bytes");
  } catch (const std::exception& e) {
    ExpectDeliberate(e);
    const std::string what = e.what();
    if (static_cast<int64_t>(size) > bound)
      Expect(what.find("is larger than") != std::string::npos, "over the bound: " + what);
    else Expect(!picture && what == refusal, "the file is refused otherwise: " + what);
  }
  ::close(fd);
}

bool Starts(const uint8_t* data, size_t size, std::string_view signature) {
  return size >= signature.size() && std::string_view(reinterpret_cast<const char*>(data),
                                                      signature.size()) == signature;
}

void CheckDecoded(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const bool png = Starts(data, size, "\x89PNG\r\n\x1a\n"), jpeg = Starts(data, size, "\xff\xd8\xff");
  const bool bmp = Starts(data, size, "BM");
  std::optional<TRgbPicture> decoded;
  std::string refusal;
  try {
    decoded = DecodePicture(bytes);
  } catch (const std::exception& e) {
    ExpectDeliberate(e);
    refusal = e.what();
  }
  if (bmp) {
    // The bitmap road is the bitmap reader's, picture for picture and word for word.
    std::optional<TRgbPicture> direct;
    std::string directRefusal;
    try {
      direct = ReadBitmap24(bytes);
    } catch (const std::exception& e) {
      directRefusal = e.what();
    }
    Expect(refusal == directRefusal, "a bitmap refused otherwise: " + refusal);
    Expect(!decoded || decoded->rgb == direct->rgb, "a bitmap decoded otherwise");
  } else if (!decoded) {
    const std::string kind = png ? "PNG" : "JPEG";
    if (png || jpeg)
      Expect(refusal.starts_with("Cannot read the " + kind + " picture: ") ||
                 refusal.starts_with("The " + kind + " picture is "),
             "a " + kind + " refusal without its message: " + refusal);
    else
      Expect(refusal == "24 bit bitmap expected: this is not a bitmap, PNG or JPEG file",
             "another file refused otherwise: " + refusal);
  } else {
    Expect(png || jpeg, "bytes of no known kind were decoded");
  }
  if (decoded) {
    const TRgbPicture& p = *decoded;
    Expect(p.width > 0 && p.height > 0, "a decoded picture without pixels");
    Expect(int64_t{p.width} * p.height <= kMaxPicturePixels, "a decoded picture over the bound");
    Expect(p.rgb.size() == static_cast<size_t>(p.width) * p.height * 3,
           "decoded pixels are not width x height x 3 bytes");
    const TTextureImage image = BuildTextureImage(TexturePicture(p), 1024);
    Expect(image.record.Loaded && image.rgba.size() == static_cast<size_t>(image.record.TexWidth) *
                                                          image.record.TexHeight * 4,
           "the decoded picture's texture is not whole");
  }
  // The same bytes as a file give the same.
  const int fd = ::memfd_create("decoded", MFD_CLOEXEC);
  if (fd < 0) return;
  for (size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) Finding("cannot fill the in-memory file");
    done += static_cast<size_t>(n);
  }
  try {
    const TRgbPicture read = ReadTexturePicture("/proc/self/fd/" + std::to_string(fd));
    Expect(decoded && read.width == decoded->width && read.rgb == decoded->rgb,
           "the file reads differently from its bytes");
  } catch (const std::exception& e) {
    ExpectDeliberate(e);
    Expect(!decoded && e.what() == refusal, std::string("the file is refused otherwise: ") + e.what());
  }
  ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The driver's largest side, as small as the smallest a driver may have or as large as most.
  static constexpr int32_t kMaxSides[] = {64, 1024, 16384};
  const int32_t maxSide = kMaxSides[size % 3];
  CheckDecoded(data, size);

  // The sizing alone, on the header's width and height fields taken as they stand (negative,
  // zero or huge), which the reader would refuse before any texture is sized.
  if (size >= 26) {
    const auto field = [&](size_t at) {
      return static_cast<int32_t>(uint32_t{data[at]} | uint32_t{data[at + 1]} << 8 |
                                  uint32_t{data[at + 2]} << 16 | uint32_t{data[at + 3]} << 24);
    };
    CheckSides(field(18), field(22), maxSide, "header fields");
  }

  TRgbPicture picture;
  try {
    picture = ReadBitmap24(std::span(data, size));
  } catch (const std::exception& e) {
    ExpectDeliberate(e);
    Expect(std::string_view(e.what()).starts_with("24 bit bitmap expected"),
           std::string("a refusal without the bitmap message: ") + e.what());
    CheckFileRead(data, size, nullptr, e.what());
    return 0;
  }
  CheckFileRead(data, size, &picture, "");
  Expect(picture.width > 0 && picture.height > 0, "a picture without pixels was read");
  Expect(picture.rgb.size() == static_cast<size_t>(picture.width) * picture.height * 3,
         "the pixels read are not width x height x 3 bytes");
  Expect(picture.rgb.size() <= size, "more pixel bytes than the file holds");

  const TTextureImage image = BuildTextureImage(picture, maxSide);
  const TTextureRecord& r = image.record;
  const std::string what = std::to_string(picture.width) + " x " + std::to_string(picture.height);
  CheckSides(picture.width, picture.height, maxSide, what);
  Expect(r.Loaded, what + ": texture not marked loaded");
  Expect(r.Width >= 1 && r.Width <= r.TexWidth && r.Height >= 1 && r.Height <= r.TexHeight,
         what + ": the scaled picture does not fit its texture");
  Expect(r.Width <= picture.width && r.Height <= picture.height, what + ": the picture grew");
  Expect(image.rgba.size() == static_cast<size_t>(r.TexWidth) * r.TexHeight * 4,
         what + ": texel buffer of the wrong size");
  Expect(r.SMax > 0 && r.SMax <= 1 && r.TMax > 0 && r.TMax <= 1,
         what + ": picture size outside the texture coordinates 0..1");
  return 0;
}
