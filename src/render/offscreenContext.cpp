#include "offscreenContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

// Frame buffer objects are not part of OpenGL 1.1; the entry points come from the driver.
struct TFrameBufferCalls {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;

  bool Load() {
    Get(genFramebuffers, "glGenFramebuffers");
    Get(bindFramebuffer, "glBindFramebuffer");
    Get(deleteFramebuffers, "glDeleteFramebuffers");
    Get(genRenderbuffers, "glGenRenderbuffers");
    Get(bindRenderbuffer, "glBindRenderbuffer");
    Get(deleteRenderbuffers, "glDeleteRenderbuffers");
    Get(renderbufferStorage, "glRenderbufferStorage");
    Get(framebufferRenderbuffer, "glFramebufferRenderbuffer");
    Get(checkFramebufferStatus, "glCheckFramebufferStatus");
    return genFramebuffers && bindFramebuffer && deleteFramebuffers && genRenderbuffers &&
           bindRenderbuffer && deleteRenderbuffers && renderbufferStorage &&
           framebufferRenderbuffer && checkFramebufferStatus;
  }

 private:
  template <typename F>
  static void Get(F& f, const char* name) {
    f = reinterpret_cast<F>(eglGetProcAddress(name));
  }
};

TFrameBufferCalls& Calls() {
  static TFrameBufferCalls calls;
  return calls;
}

[[noreturn]] void Fail(const char* step) {
  char message[160];
  std::snprintf(message, sizeof message, "offscreen OpenGL: %s failed (EGL error 0x%04x)", step,
                static_cast<unsigned>(eglGetError()));
  throw std::runtime_error(message);
}

EGLDisplay SurfacelessDisplay() {
  const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (extensions && std::strstr(extensions, "EGL_MESA_platform_surfaceless")) {
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay)
      return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  }
  return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}

}  // namespace

TOffscreenContext::TOffscreenContext(int w, int h) : width(w), height(h) {
  if (w <= 0 || h <= 0) throw std::runtime_error("offscreen OpenGL: the image has no area");
  try {
    Create();
  } catch (...) {
    Release();
    throw;
  }
}

void TOffscreenContext::Create() {
  const int w = width, h = height;
  EGLDisplay d = SurfacelessDisplay();
  if (d == EGL_NO_DISPLAY) Fail("opening a surfaceless display");
  EGLint major = 0, minor = 0;
  if (!eglInitialize(d, &major, &minor)) Fail("initialising EGL");
  display = d;
  if (!eglBindAPI(EGL_OPENGL_API)) Fail("choosing desktop OpenGL");
  // No config: the context draws only into its own frame buffer object.
  EGLContext c = eglCreateContext(d, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
  if (c == EGL_NO_CONTEXT) Fail("creating a context");
  context = c;
  if (!eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, c)) Fail("making the context current");

  TFrameBufferCalls& gl = Calls();
  if (!gl.Load()) throw std::runtime_error("offscreen OpenGL: no frame buffer objects");
  gl.genRenderbuffers(1, &colourBuffer);
  gl.bindRenderbuffer(GL_RENDERBUFFER, colourBuffer);
  gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
  gl.genRenderbuffers(1, &depthBuffer);
  gl.bindRenderbuffer(GL_RENDERBUFFER, depthBuffer);
  gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
  gl.genFramebuffers(1, &frameBuffer);
  gl.bindFramebuffer(GL_FRAMEBUFFER, frameBuffer);
  gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colourBuffer);
  gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer);
  if (gl.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
    throw std::runtime_error("offscreen OpenGL: the frame buffer is incomplete");
  glDrawBuffer(GL_COLOR_ATTACHMENT0);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
}

TOffscreenContext::~TOffscreenContext() { Release(); }

void TOffscreenContext::Release() {
  if (context) {
    TFrameBufferCalls& gl = Calls();
    if (frameBuffer) gl.deleteFramebuffers(1, &frameBuffer);
    if (colourBuffer) gl.deleteRenderbuffers(1, &colourBuffer);
    if (depthBuffer) gl.deleteRenderbuffers(1, &depthBuffer);
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display, context);
    context = nullptr;
    frameBuffer = colourBuffer = depthBuffer = 0;
  }
  // The display stays initialised: EGL counts nothing, and a second context reuses it.
}

std::vector<uint8_t> TOffscreenContext::ReadPixels() const {
  const size_t row = static_cast<size_t>(width) * 3;
  std::vector<uint8_t> bottomUp(row * static_cast<size_t>(height));
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  std::vector<uint8_t> topDown(bottomUp.size());
  for (int y = 0; y < height; ++y)
    std::memcpy(topDown.data() + row * static_cast<size_t>(y),
                bottomUp.data() + row * static_cast<size_t>(height - 1 - y), row);
  return topDown;
}
