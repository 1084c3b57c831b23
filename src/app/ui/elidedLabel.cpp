#include "elidedLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

TElidedLabel::TElidedLabel(QWidget* parent) : QFrame(parent) {
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void TElidedLabel::setText(const QString& text) {
  if (text == full) return;
  full = text;
  setToolTip(full);
  update();
}

QString TElidedLabel::shownText() const {
  return fontMetrics().elidedText(full, Qt::ElideRight, contentsRect().width());
}

QSize TElidedLabel::sizeHint() const {
  const QFontMetrics fm = fontMetrics();
  return {fm.horizontalAdvance(full) + 2 * frameWidth(), fm.height() + 2 * frameWidth()};
}

QSize TElidedLabel::minimumSizeHint() const {
  return {0, fontMetrics().height() + 2 * frameWidth()};
}

void TElidedLabel::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
}
