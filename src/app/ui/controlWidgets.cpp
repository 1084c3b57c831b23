#include "controlWidgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

TUpDownBox::TUpDownBox(bool reversedRange, QWidget* parent)
    : QSpinBox(parent), reversed(reversedRange) {
  setAlignment(Qt::AlignRight);
  setAccelerated(true);
}

void TUpDownBox::stepBy(int steps) { QSpinBox::stepBy(reversed ? -steps : steps); }

QAbstractSpinBox::StepEnabled TUpDownBox::stepEnabled() const {
  const StepEnabled e = QSpinBox::stepEnabled();
  if (!reversed) return e;
  StepEnabled swapped = StepNone;
  if (e & StepUpEnabled) swapped |= StepDownEnabled;
  if (e & StepDownEnabled) swapped |= StepUpEnabled;
  return swapped;
}

TColorSwatch::TColorSwatch(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TColorSwatch::SetColor(uint32_t value) {
  color = value & 0xFFFFFFu;
  const QColor c = ToQColor(color);
  setToolTip(QStringLiteral("%1, %2, %3").arg(c.red()).arg(c.green()).arg(c.blue()));
  update();
}

void TColorSwatch::paintEvent(QPaintEvent* event) {
  {
    QPainter p(this);
    p.fillRect(contentsRect(), ToQColor(color));
  }
  QFrame::paintEvent(event);
}

void TColorSwatch::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    event->accept();
    emit clicked();
    return;
  }
  QFrame::mousePressEvent(event);
}

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {}

void TPaintBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  if (onPaint) onPaint(p);
}

TPicture::TPicture(QWidget* parent) : QLabel(parent) { setAlignment(Qt::AlignCenter); }

void TPicture::SetImage(const QImage& picture) {
  image = picture.convertToFormat(QImage::Format_RGB888);
  setPixmap(QPixmap::fromImage(image));
}

QColor ToQColor(uint32_t color) {
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

uint32_t FromQColor(const QColor& color) {
  return static_cast<uint32_t>(color.red()) | (static_cast<uint32_t>(color.green()) << 8) |
         (static_cast<uint32_t>(color.blue()) << 16);
}

TWrappedLabel::TWrappedLabel(QWidget* parent) : QLabel(parent) { setWordWrap(true); }

int TWrappedLabel::heightForWidth(int width) const {
  if (text() != heightsText) {
    heightsText = text();
    nHeights = nextHeight = 0;
  }
  for (int i = 0; i < nHeights; ++i)
    if (heights[i].first == width) return heights[i].second;
  const int height = QLabel::heightForWidth(width);
  heights[nextHeight] = {width, height};
  nextHeight = (nextHeight + 1) % kRemembered;
  nHeights = std::min(nHeights + 1, kRemembered);
  return height;
}

QSize TWrappedLabel::sizeHint() const {
  // Before the first layout the label has no width of its own: its parent's stands in.
  int w = width();
  if (w <= 1 && parentWidget()) w = parentWidget()->contentsRect().width();
  return QSize(0, heightForWidth(std::max(w, 1)));
}

QSize TWrappedLabel::minimumSizeHint() const { return sizeHint(); }
