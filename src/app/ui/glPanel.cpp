#include "glPanel.h"

#include <QMouseEvent>
#include <QOpenGLContext>
#include <QResizeEvent>
#include <QSurfaceFormat>
#include <QTimer>
#include <QWheelEvent>

#include <cfenv>
#include <cmath>

#include "render/view.h"

namespace {

uint8_t Buttons(Qt::MouseButtons b) {
  uint8_t out = 0;
  if (b & Qt::LeftButton) out |= kMouseLeft;
  if (b & Qt::RightButton) out |= kMouseRight;
  if (b & Qt::MiddleButton) out |= kMouseMiddle;
  return out;
}

// Drawing code may make infinities and NaNs; the flags they leave must not outlive the frame.
class TFloatGuard {
 public:
  TFloatGuard() { std::fegetenv(&saved); }
  ~TFloatGuard() {
    std::feclearexcept(FE_ALL_EXCEPT);
    std::fesetenv(&saved);
  }
  TFloatGuard(const TFloatGuard&) = delete;
  TFloatGuard& operator=(const TFloatGuard&) = delete;

 private:
  std::fenv_t saved;
};

// What the drawing needs of a context, or why this one does not do.
QString ContextProblem(const QOpenGLContext& ctx) {
  if (!ctx.isValid()) return QStringLiteral("No OpenGL context could be made for the drawing panel.");
  if (ctx.isOpenGLES())
    return QStringLiteral("The platform offers only OpenGL ES; the drawing needs desktop OpenGL.");
  const QSurfaceFormat f = ctx.format();
  if (f.profile() == QSurfaceFormat::CoreProfile && f.version() >= qMakePair(3, 2))
    return QStringLiteral("The OpenGL context has no fixed-function pipeline (core profile).");
  return {};
}

}  // namespace

QString OpenGLProblem() {
  QOpenGLContext probe;
  probe.setFormat(QSurfaceFormat::defaultFormat());
  if (!probe.create())
    return QStringLiteral("No OpenGL is available on this display.");
  return ContextProblem(probe);
}

void SetDefaultSurfaceFormat() {
  QSurfaceFormat f;
  f.setRenderableType(QSurfaceFormat::OpenGL);
  f.setProfile(QSurfaceFormat::CompatibilityProfile);
  f.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
  f.setRedBufferSize(8);
  f.setGreenBufferSize(8);
  f.setBlueBufferSize(8);
  f.setDepthBufferSize(32);
  QSurfaceFormat::setDefaultFormat(f);
}

TGLPanel::TGLPanel(QWidget* parent) : QOpenGLWidget(parent) {
  setMinimumSize(1, 1);
  // A click on the view gives it the keyboard, so that its keys ("F") work after any click.
  setFocusPolicy(Qt::ClickFocus);
}

TGLPanel::~TGLPanel() {
  // The context goes with the base class, after this object's own part: nothing of this
  // part may run then.
  disconnect(contextGone);
  active = false;
  OnRedraw = nullptr;
  OnGLInit = nullptr;
  OnShown = nullptr;
}

void TGLPanel::Fail(const QString& why) {
  active = false;
  if (failed) return;
  failed = true;
  // Reported after the current paint or resize is over: a message box must not open inside
  // one.
  QTimer::singleShot(0, this, [this, why] {
    if (OnGLFailed) OnGLFailed(why);
  });
}

void TGLPanel::initializeGL() {
  QOpenGLContext* ctx = context();
  if (!ctx) {
    Fail(QStringLiteral("No OpenGL context could be made for the drawing panel."));
    return;
  }
  if (const QString problem = ContextProblem(*ctx); !problem.isEmpty()) {
    Fail(problem);
    return;
  }
  // A context made again (the panel moved to another window) needs the set-up again.
  disconnect(contextGone);
  contextGone = connect(ctx, &QOpenGLContext::aboutToBeDestroyed, this, [this] { active = false; });
  failed = false;
  active = true;
  if (OnGLInit) {
    const TFloatGuard fp;
    OnGLInit();
  }
}

void TGLPanel::paintGL() {
  if (!active) return;
  const TFloatGuard fp;
  ++framesDrawn;
  if (OnRedraw) OnRedraw();
  // The window composes the frame once this returns; the call below runs after that.
  QMetaObject::invokeMethod(this, [this] { if (OnShown) OnShown(); }, Qt::QueuedConnection);
}

void TGLPanel::Redraw() {
  if (!active) return;
  if (SwapBB) {
    // Painted at the event loop's next pass, in one composition of the window with every
    // other widget changed meanwhile; requests until then make one frame. (A repaint here
    // composed the window once for the frame and once more for the other widgets.)
    update();
    return;
  }
  makeCurrent();
  const TFloatGuard fp;
  ++framesDrawn;
  if (OnRedraw) OnRedraw();
}

int TGLPanel::PixelWidth() const {
  return static_cast<int>(std::lround(width() * devicePixelRatioF()));
}

int TGLPanel::PixelHeight() const {
  return static_cast<int>(std::lround(height() * devicePixelRatioF()));
}

void TGLPanel::resizeEvent(QResizeEvent* event) {
  QOpenGLWidget::resizeEvent(event);
  if (OnResize) OnResize();
}

void TGLPanel::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (OnMouseDown) OnMouseDown(p.x(), p.y(), Buttons(event->buttons()));
}

void TGLPanel::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (OnMouseMove) OnMouseMove(p.x(), p.y(), Buttons(event->buttons()));
}

void TGLPanel::mouseReleaseEvent(QMouseEvent*) {
  if (OnMouseUp) OnMouseUp();
}

void TGLPanel::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta == 0 || !OnWheel) {
    event->ignore();
    return;
  }
  const QPoint p = event->position().toPoint();
  OnWheel(p.x(), p.y(), delta / 120.0);
  event->accept();
}
