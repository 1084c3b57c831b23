#pragma once
// An OpenGL context without a window or display: an EGL context on Mesa's surfaceless
// platform drawing into a frame buffer object of its own. For the drawing tests, the
// benchmarks and image rendering from the command line. Users link OpenGL::EGL.

#include <cstdint>
#include <vector>

class TOffscreenContext {
 public:
  // Makes a compatibility context current, drawing into width x height RGBA colour with a
  // 24-bit depth buffer. Throws std::runtime_error naming the step that failed.
  TOffscreenContext(int width, int height);
  ~TOffscreenContext();
  TOffscreenContext(const TOffscreenContext&) = delete;
  TOffscreenContext& operator=(const TOffscreenContext&) = delete;

  int Width() const { return width; }
  int Height() const { return height; }

  // The colour buffer as RGB bytes, top row first.
  std::vector<uint8_t> ReadPixels() const;

 private:
  void Create();
  void Release();

  int width, height;
  void* display = nullptr;  // EGLDisplay
  void* context = nullptr;  // EGLContext
  unsigned frameBuffer = 0, colourBuffer = 0, depthBuffer = 0;
};
