#pragma once
// The OpenGL drawing panel. It owns one context and hands all drawing to its owner through
// two events: OnGLInit once the context exists, OnRedraw for every frame. Redraw() asks for a
// frame; the mouse and resize events are passed on as they come.

#include <QOpenGLWidget>
#include <QString>

#include <cstdint>
#include <functional>

class TGLPanel : public QOpenGLWidget {
  Q_OBJECT
 public:
  explicit TGLPanel(QWidget* parent = nullptr);
  ~TGLPanel() override;

  std::function<void()> OnGLInit;   // once, with the new context current
  std::function<void()> OnRedraw;   // every frame, with the context current; must not throw
  std::function<void()> OnResize;
  // After a painted frame has been composed into the window (the paint's whole cost is over).
  std::function<void()> OnShown;
  // Buttons as in render/view.h: 1 left, 2 right, 4 middle.
  std::function<void(int x, int y, uint8_t buttons)> OnMouseDown;
  std::function<void(int x, int y, uint8_t buttons)> OnMouseMove;
  std::function<void()> OnMouseUp;
  // The wheel at (x, y): steps away from the user (negative: towards), 1 per notch.
  std::function<void(int x, int y, double steps)> OnWheel;
  // Once, when the platform gives no usable OpenGL; the text says what is missing.
  std::function<void(const QString& why)> OnGLFailed;

  // Whether an explicit Redraw shows its frame; false renders into the panel's buffer only
  // (for frames that are read back rather than shown).
  bool SwapBB = true;

  // A usable context exists.
  bool Active() const { return active; }
  bool Failed() const { return failed; }
  // Frames drawn so far (OnRedraw calls).
  int64_t FramesDrawn() const { return framesDrawn; }

  // Asks for a frame; does nothing before the context exists. A shown frame is painted at the
  // event loop's next pass (several requests before it make one frame); with SwapBB false the
  // frame is drawn into the panel's buffer now, for reading back.
  void Redraw();

  // The drawing size in device pixels.
  int PixelWidth() const;
  int PixelHeight() const;

 protected:
  void initializeGL() override;
  void paintGL() override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void Fail(const QString& why);

  QMetaObject::Connection contextGone;
  bool active = false;
  bool failed = false;
  int64_t framesDrawn = 0;
};

// Why this platform cannot run the drawing panel, or an empty text when it can: a context of
// the default surface format can be made and offers the fixed-function pipeline. A window
// must not hold an OpenGL panel when it cannot (the toolkit itself fails then).
QString OpenGLProblem();

// The default surface of every OpenGL panel: compatibility profile (the drawing uses the
// fixed-function pipeline), double buffer, 8 bits per colour, 32 depth bits asked for (the
// platform may give fewer). Call before the first window exists.
void SetDefaultSurfaceFormat();
