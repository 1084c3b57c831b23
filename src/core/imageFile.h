#pragma once
// Writing an exported picture as a Windows bitmap, JPEG or PNG file. Every file appears under
// its name only when complete (see atomicFile.h): a failed write leaves an existing file as it
// was and no partial one.

#include <cstdint>
#include <string>

#include "exportFilter.h"

enum class TImageFormat : uint8_t { kBmp, kJpeg, kPng };

// By the file name's extension (.bmp, .jpg/.jpeg, .png, any case); RangeError otherwise.
TImageFormat ImageFormatFromName(const std::string& path);
// The same, but `fallback` for a name without one of those extensions.
TImageFormat ImageFormatOr(const std::string& path, TImageFormat fallback);

// 24-bit, rows from the bottom, each padded to 4 bytes.
void WriteBmp(const TRgbImage& image, const std::string& path);
// quality 1..100.
void WriteJpeg(const TRgbImage& image, const std::string& path, int quality);
void WritePng(const TRgbImage& image, const std::string& path);

void WriteImageFile(const TRgbImage& image, const std::string& path, TImageFormat format,
                    int jpegQuality);
