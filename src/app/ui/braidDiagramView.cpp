#include "braidDiagramView.h"

#include "controlWidgets.h"

void TPainterCanvas::SetPen(uint32_t colour, int32_t width) {
  // Round caps: the wide white gaps end softly, as a toolkit pen of that width does.
  painter.setPen(QPen(ToQColor(colour), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void TPainterCanvas::SetBrush(uint32_t colour) { painter.setBrush(ToQColor(colour)); }

void TPainterCanvas::Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  painter.drawRect(QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)));
}

void TPainterCanvas::LineTo(int32_t x, int32_t y) {
  painter.drawLine(at, QPoint(x, y));
  at = QPoint(x, y);
}
