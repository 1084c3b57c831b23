#include "pictureReader.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <cstring>
#include <string>

#include "core/rangeError.h"

namespace {

bool StartsWith(std::span<const uint8_t> bytes, const char* signature, size_t n) {
  return bytes.size() >= n && std::memcmp(bytes.data(), signature, n) == 0;
}

// Qt's readers refuse to allocate more than their limit (128 MB by default); the pixel bound
// is checked first, so the limit only has to hold the largest picture allowed.
void RaiseAllocationLimit() {
  static const bool raised = [] {
    const int64_t megabytes = (kMaxPicturePixels * 4 >> 20) + 16;
    if (QImageReader::allocationLimit() < megabytes)
      QImageReader::setAllocationLimit(static_cast<int>(megabytes));
    return true;
  }();
  (void)raised;
}

TRgbPicture DecodeWithQt(std::span<const uint8_t> bytes, const char* format, const char* name,
                         int64_t& needBytes) {
  RaiseAllocationLimit();
  const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<qsizetype>(bytes.size()));
  QBuffer buffer;
  buffer.setData(data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  reader.setAutoTransform(true);
  const std::string cannot = std::string("Cannot read the ") + name + " picture: ";
  // The header's size, before any pixel is decoded.
  const QSize size = reader.size();
  if (!size.isValid() || size.width() <= 0 || size.height() <= 0)
    throw RangeError(cannot + reader.errorString().toStdString());
  const int64_t pixels = int64_t{size.width()} * size.height();
  if (pixels > kMaxPicturePixels)
    throw RangeError(std::string("The ") + name + " picture is " +
                     std::to_string(size.width()) + " x " + std::to_string(size.height()) +
                     " pixels, more than the " + std::to_string(kMaxPicturePixels) +
                     " pixels (8192 x 8192) a texture picture may have");
  // Qt's image, its converted copy and ours.
  needBytes = pixels * 11;
  QImage image;
  if (!reader.read(&image) || image.isNull())
    throw RangeError(cannot + reader.errorString().toStdString());
  // The orientation tag may have turned it; the bound holds for either shape.
  image = image.convertToFormat(QImage::Format_RGBA8888);
  if (image.isNull()) throw RangeError(cannot + "its pixels could not be converted");
  TRgbPicture picture;
  picture.width = image.width();
  picture.height = image.height();
  picture.rgb.resize(static_cast<size_t>(picture.width) * picture.height * 3);
  uint8_t* out = picture.rgb.data();
  for (int y = 0; y < picture.height; ++y) {
    const uchar* row = image.constScanLine(y);
    for (int x = 0; x < picture.width; ++x, out += 3) {
      const uchar* p = row + 4 * x;
      // Over white, which the modulated surface shows as its own colour.
      const int a = p[3];
      for (int c = 0; c < 3; ++c)
        out[c] = static_cast<uint8_t>((p[c] * a + 255 * (255 - a) + 127) / 255);
    }
  }
  return picture;
}

}  // namespace

TRgbPicture DecodePicture(std::span<const uint8_t> bytes, int64_t& needBytes) {
  if (StartsWith(bytes, "\x89PNG\r\n\x1a\n", 8))
    return DecodeWithQt(bytes, "png", "PNG", needBytes);
  if (StartsWith(bytes, "\xff\xd8\xff", 3)) return DecodeWithQt(bytes, "jpeg", "JPEG", needBytes);
  if (StartsWith(bytes, "BM", 2)) return ReadBitmap24(bytes);
  throw RangeError("24 bit bitmap expected: this is not a bitmap, PNG or JPEG file");
}

TRgbPicture DecodePicture(std::span<const uint8_t> bytes) {
  int64_t need = 0;
  return DecodePicture(bytes, need);
}

TRgbPicture ReadTexturePicture(const std::string& path, int64_t maxBytes) {
  return ReadPictureFileWith(path, maxBytes,
                             [](std::span<const uint8_t> bytes, int64_t& need) {
                               return DecodePicture(bytes, need);
                             });
}
