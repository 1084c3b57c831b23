#pragma once
// The braid diagram's canvas on a QPainter, for the paint box beside the braid word.

#include <QPainter>

#include "knots/braidDiagram.h"

class TPainterCanvas : public TCanvas {
 public:
  explicit TPainterCanvas(QPainter& painter) : painter(painter) {}
  void SetPen(uint32_t colour, int32_t width) override;
  void SetBrush(uint32_t colour) override;
  void Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void MoveTo(int32_t x, int32_t y) override { at = QPoint(x, y); }
  void LineTo(int32_t x, int32_t y) override;

 private:
  QPainter& painter;
  QPoint at;
};
