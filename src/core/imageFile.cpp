#include "imageFile.h"

#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "atomicFile.h"
#include "rangeError.h"

namespace {

// "" also for a name that is all extension (".png"), which would be a hidden file: the mesh
// files' names are read the same way.
std::string LowerExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  if (dot == std::string::npos || dot <= name) return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

void CheckImage(const TRgbImage& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.rgb.size() != static_cast<size_t>(image.width) * image.height * 3)
    throw RangeError("the image has no pixels or a wrong size");
}

void Put16(std::ostream& out, uint32_t v) {
  const char b[2] = {char(v & 0xFF), char((v >> 8) & 0xFF)};
  out.write(b, 2);
}
void Put32(std::ostream& out, uint32_t v) {
  const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF),
                     char((v >> 24) & 0xFF)};
  out.write(b, 4);
}

// The encoders report errors by a jump back here rather than by ending the process.
struct TJpegError {
  jpeg_error_mgr manager;
  std::jmp_buf back;
  char message[JMSG_LENGTH_MAX] = {};
};

void JpegFail(j_common_ptr info) {
  auto* e = reinterpret_cast<TJpegError*>(info->err);
  info->err->format_message(info, e->message);
  std::longjmp(e->back, 1);
}

// Encodes into memory; the file is written afterwards in one piece. Kept free of C++ objects
// with destructors, which a jump would skip.
bool EncodeJpeg(const TRgbImage& image, int quality, unsigned char** out, unsigned long* size,
                char* message) {
  jpeg_compress_struct info;
  TJpegError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = JpegFail;
  if (setjmp(error.back)) {
    std::memcpy(message, error.message, JMSG_LENGTH_MAX);
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, out, size);
  info.image_width = static_cast<JDIMENSION>(image.width);
  info.image_height = static_cast<JDIMENSION>(image.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  const size_t row = static_cast<size_t>(image.width) * 3;
  while (info.next_scanline < info.image_height) {
    JSAMPROW line = const_cast<JSAMPLE*>(image.rgb.data() + row * info.next_scanline);
    jpeg_write_scanlines(&info, &line, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
  auto* buffer = static_cast<std::string*>(png_get_io_ptr(png));
  buffer->append(reinterpret_cast<const char*>(data), length);
}
void PngFlush(png_structp) {}

bool EncodePng(const TRgbImage& image, std::string* buffer, std::vector<png_bytep>* rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, buffer, PngWrite, PngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // zlib level 2 with the "up" filter alone: a quarter of the default's time for files about a
  // fifth larger; exports and the table's batch write many pictures.
  png_set_compression_level(png, 2);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_rows(png, info, rows->data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

TImageFormat ImageFormatFromName(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == "bmp") return TImageFormat::kBmp;
  if (ext == "jpg" || ext == "jpeg") return TImageFormat::kJpeg;
  if (ext == "png") return TImageFormat::kPng;
  throw RangeError("cannot tell the image format of '" + path +
                   "': the name must end in .png, .jpg or .bmp");
}

TImageFormat ImageFormatOr(const std::string& path, TImageFormat fallback) {
  const std::string ext = LowerExtension(path);
  if (ext == "bmp" || ext == "jpg" || ext == "jpeg" || ext == "png")
    return ImageFormatFromName(path);
  return fallback;
}

void WriteBmp(const TRgbImage& image, const std::string& path) {
  CheckImage(image);
  const size_t rowBytes = (static_cast<size_t>(image.width) * 3 + 3) / 4 * 4;
  const uint64_t dataSize = uint64_t{rowBytes} * static_cast<uint64_t>(image.height);
  if (dataSize + 54 > 0xFFFFFFFFu) throw RangeError("the image is too large for a bitmap file");
  WriteFileAtomically(path, [&](std::ostream& out) {
    out.write("BM", 2);
    Put32(out, static_cast<uint32_t>(54 + dataSize));
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(image.width));
    Put32(out, static_cast<uint32_t>(image.height));  // positive: rows from the bottom
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);  // no compression
    Put32(out, static_cast<uint32_t>(dataSize));
    Put32(out, 2835);  // 72 dots per inch
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    std::vector<char> line(rowBytes, 0);
    for (int32_t y = image.height - 1; y >= 0; --y) {
      const uint8_t* src = image.rgb.data() + static_cast<size_t>(y) * image.width * 3;
      for (int32_t x = 0; x < image.width; ++x) {
        line[static_cast<size_t>(x) * 3] = static_cast<char>(src[x * 3 + 2]);
        line[static_cast<size_t>(x) * 3 + 1] = static_cast<char>(src[x * 3 + 1]);
        line[static_cast<size_t>(x) * 3 + 2] = static_cast<char>(src[x * 3]);
      }
      out.write(line.data(), static_cast<std::streamsize>(rowBytes));
    }
  });
}

void WriteJpeg(const TRgbImage& image, const std::string& path, int quality) {
  CheckImage(image);
  if (quality < 1 || quality > 100) throw RangeError("\"JPG qual\" must be 1 to 100");
  unsigned char* data = nullptr;
  unsigned long size = 0;
  char message[JMSG_LENGTH_MAX] = {};
  const bool ok = EncodeJpeg(image, quality, &data, &size, message);
  struct TFree {
    unsigned char* p;
    ~TFree() { std::free(p); }
  } release{data};
  if (!ok) throw std::runtime_error("cannot encode " + path + " as JPEG: " + message);
  WriteFileAtomically(path, [&](std::ostream& out) {
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  });
}

void WritePng(const TRgbImage& image, const std::string& path) {
  CheckImage(image);
  std::vector<png_bytep> rows(static_cast<size_t>(image.height));
  for (int32_t y = 0; y < image.height; ++y)
    rows[static_cast<size_t>(y)] =
        const_cast<png_bytep>(image.rgb.data() + static_cast<size_t>(y) * image.width * 3);
  std::string buffer;
  if (!EncodePng(image, &buffer, &rows))
    throw std::runtime_error("cannot encode " + path + " as PNG");
  WriteFileAtomically(path, [&](std::ostream& out) {
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  });
}

void WriteImageFile(const TRgbImage& image, const std::string& path, TImageFormat format,
                    int jpegQuality) {
  switch (format) {
    case TImageFormat::kBmp: WriteBmp(image, path); return;
    case TImageFormat::kJpeg: WriteJpeg(image, path, jpegQuality); return;
    case TImageFormat::kPng: WritePng(image, path); return;
  }
}
